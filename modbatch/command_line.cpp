#include "modbatch/command_line.h"

#include <cstddef>

namespace modbatch {

const char kHelpText[] =
    "usage: modbatch [options] FOLDER... [-- pixmill switches]\n"
    "       modbatch [options] [FOLDER...] --explain PATH...\n"
    "\n"
    "Converts every picture (.pcx, .tga, .png) under the folders with pixmill,\n"
    "and every track directory (one holding <Name>.trk or <Name>.dat) with\n"
    "trackconv. A file modbatch.ini in a folder gives the pixmill switches,\n"
    "output names and skipped pictures for that folder and those below it, and\n"
    "the archives to pack; the switches after -- apply where no rule gives any.\n"
    "Only conversions whose input bytes, switches, tool or output changed since\n"
    "they were made are converted again.\n"
    "\n"
    "options:\n"
    "  -j N             run N conversions at a time (default: one per processor)\n"
    "  -o DIR           write picture outputs under DIR, keeping the folder\n"
    "                   structure (track outputs stay in their directories)\n"
    "  --force          convert everything, up to date or not\n"
    "  --dry-run        list what would be converted, convert nothing\n"
    "  --explain PATH...  for each picture (or everything in a folder), print the\n"
    "                   rules that apply, the command they give and whether it\n"
    "                   is up to date; converts nothing\n"
    "  --watch          build, then rebuild what changes until interrupted\n"
    "  -q               print nothing but failures\n"
    "  -v               also name every file that is skipped, and why\n"
    "  --pixmill PATH   the pixmill program to run\n"
    "  --trackconv PATH the trackconv program to run\n"
    "  --help           print this text\n"
    "  --version        print the version\n"
    "\n"
    "exit status: 0 all converted or up to date, 1 some input failed,\n"
    "2 usage error or missing folder\n";

Request ParseCommandLine(const std::vector<std::string>& arguments, BatchOptions& options,
                         std::string& error) {
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    const std::string& a = arguments[i];
    auto value = [&](std::string& out) {
      if (i + 1 >= arguments.size()) {
        error = "option " + a + " needs a value";
        return false;
      }
      out = arguments[++i];
      return true;
    };
    if (a == "--") {
      options.pixmillSwitches.assign(arguments.begin() + static_cast<std::ptrdiff_t>(i) + 1,
                                     arguments.end());
      break;
    }
    if (a == "--help" || a == "-h") return Request::kHelp;
    if (a == "--version") return Request::kVersion;
    if (a == "--explain") {
      options.explain = true;
    } else if (a == "--watch") {
      options.watch = true;
    } else if (a == "--force") {
      options.force = true;
    } else if (a == "--dry-run" || a == "-n") {
      options.dryRun = true;
    } else if (a == "-q" || a == "--quiet") {
      options.quiet = true;
    } else if (a == "-v" || a == "--verbose") {
      options.verbose = true;
    } else if (a == "-j" || (a.size() > 2 && a.compare(0, 2, "-j") == 0)) {
      std::string count = a.size() > 2 ? a.substr(2) : std::string();
      if (count.empty() && !value(count)) return Request::kUsageError;
      if (!cli::ParseJobs(count, options.jobs)) {
        error = "-j needs a positive number, not '" + count + "'";
        return Request::kUsageError;
      }
    } else if (a == "-o") {
      if (!value(options.outputRoot)) return Request::kUsageError;
    } else if (a == "--pixmill") {
      if (!value(options.pixmill)) return Request::kUsageError;
    } else if (a == "--trackconv") {
      if (!value(options.trackconv)) return Request::kUsageError;
    } else if (a.size() > 1 && a[0] == '-') {
      error = "unknown option " + a;
      return Request::kUsageError;
    } else {
      (options.explain ? options.explainPaths : options.folders).push_back(a);
    }
  }
  if (options.explain && options.explainPaths.empty()) {
    error = "--explain needs the pictures or folders to explain";
    return Request::kUsageError;
  }
  if (options.explain && options.watch) {
    error = "--explain and --watch do not go together";
    return Request::kUsageError;
  }
  if (options.folders.empty() && !options.explain) {
    error = "no folder given";
    return Request::kUsageError;
  }
  return Request::kRun;
}

}  // namespace modbatch
