#include "datpack/command_line.h"

#include <algorithm>

namespace datpack {

namespace {

struct Verb {
  const char* name;
  const char* usage;
  const char* text;
  const char* options;  ///< the options it takes, as "-o -f ..."
  std::size_t least;    ///< fewest names
  std::size_t most;     ///< most names (0: any number)
};

const Verb kVerbs[] = {
    {"list", "datpack list [-l] [--json] ARCHIVE",
     "Prints one line per member in directory order: the name as stored, the\n"
     "size and the offset. -l adds the CRC-32 of the member's bytes and its kind;\n"
     "--json prints the same as one JSON object.\n",
     "-l --json -q", 1, 1},
    {"unpack", "datpack unpack ARCHIVE [-o DIR] [-f] [MEMBER...]",
     "Writes the members (all, or those named, matched regardless of letter\n"
     "case) as files into DIR (default: the archive's name without its\n"
     "extension), with the manifest DIR/<archive name>.datpack from which pack\n"
     "rebuilds the archive byte for byte. Files already in DIR are replaced only\n"
     "with -f. A member whose name cannot be a file there is named and skipped.\n",
     "-o -f -q", 1, 0},
    {"pack", "datpack pack DIR [-o ARCHIVE] [-f] | datpack pack ARCHIVE FILE...",
     "With a manifest in DIR, rebuilds the archive as it was unpacked, taking\n"
     "each member file at its current size (default output: the archive's name\n"
     "beside DIR). Without one, makes a new archive of the files in the order\n"
     "given. An existing archive is replaced only with -f.\n",
     "-o -f -q", 1, 0},
    {"add", "datpack add ARCHIVE FILE...",
     "Adds the files as new members after everything the archive holds.\n", "-q", 2, 0},
    {"replace", "datpack replace ARCHIVE FILE...",
     "Puts each file's bytes in place of the member of its name, at the file's size.\n", "-q", 2, 0},
    {"delete", "datpack delete ARCHIVE MEMBER...",
     "Removes the members of those names (regardless of letter case).\n", "-q", 2, 0},
    {"verify", "datpack verify ARCHIVE...",
     "Checks everything the reader checks, and members reaching past the end,\n"
     "members that overlap, names of more than 12 characters, names that\n"
     "collide regardless of letter case and names that cannot be files. Prints\n"
     "one line per problem.\n",
     "-q", 1, 0},
    {"diff", "datpack diff A B",
     "Lists members added, removed, changed (by content) and moved. Status 0\n"
     "when the archives are the same, 1 when they differ.\n",
     "-q", 2, 2},
};

const Verb* FindVerb(const std::string& name) {
  for (const Verb& verb : kVerbs)
    if (name == verb.name) return &verb;
  return nullptr;
}

bool Takes(const Verb& verb, const std::string& option) {
  const std::string options = std::string(" ") + verb.options + " ";
  return options.find(" " + option + " ") != std::string::npos;
}

}  // namespace

std::string HelpText(const std::string& verb_name) {
  if (const Verb* verb = FindVerb(verb_name)) {
    return std::string("usage: ") + verb->usage + "\n\n" + verb->text +
           "\nexit status: 0 done, 1 some input failed" + (verb_name == "diff" ? " or the archives differ" : "") +
           ", 2 usage error\n";
  }
  std::string text =
      "usage: datpack VERB [options] NAME...\n"
      "\n"
      "Lists, unpacks, packs, updates, checks and compares .dat archives. An\n"
      "archive unpacked and packed again is the same file, byte for byte.\n"
      "\n"
      "verbs:\n";
  for (const Verb& verb : kVerbs) text += std::string("  ") + verb.usage + "\n";
  text +=
      "\n"
      "options (before or after the names):\n"
      "  -o PATH    unpack: the folder to write; pack: the archive to write\n"
      "  -f         replace existing files\n"
      "  -l         list: add each member's CRC-32 and kind\n"
      "  --json     list: print JSON\n"
      "  -q         print nothing but failures\n"
      "  --help     print this text (after a verb: that verb's)\n"
      "  --version  print the version\n"
      "\n"
      "exit status: 0 all done, 1 some input failed, 2 usage error\n";
  return text;
}

std::string UsageLine(const std::string& verb_name) {
  if (const Verb* verb = FindVerb(verb_name))
    return std::string("usage: ") + verb->usage + "; see datpack " + verb->name + " --help";
  return "usage: datpack VERB [options] NAME...; see datpack --help";
}

Request ParseCommandLine(const std::vector<std::string>& arguments, Options& options, std::string& error) {
  options = Options();
  bool help = false, names_only = false;
  std::vector<std::string> given;  // options met, checked against the verb
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    const std::string& a = arguments[i];
    if (names_only || a.empty() || a[0] != '-' || a == "-") {
      if (options.verb.empty()) {
        if (!FindVerb(a)) {
          error = "unknown verb " + a;
          return Request::kUsageError;
        }
        options.verb = a;
      } else {
        options.names.push_back(a);
      }
      continue;
    }
    if (a == "--") {
      names_only = true;
    } else if (a == "--help" || a == "-h") {
      help = true;
    } else if (a == "--version") {
      return Request::kVersion;
    } else if (a == "-q" || a == "--quiet") {
      options.quiet = true;
      given.push_back("-q");
    } else if (a == "-f" || a == "--force") {
      options.force = true;
      given.push_back("-f");
    } else if (a == "-l") {
      options.long_list = true;
      given.push_back("-l");
    } else if (a == "--json") {
      options.json = true;
      given.push_back("--json");
    } else if (a == "-o") {
      if (i + 1 >= arguments.size()) {
        error = "option -o needs a value";
        return Request::kUsageError;
      }
      if (!options.output.empty()) {
        error = "option -o given twice";
        return Request::kUsageError;
      }
      options.output = arguments[++i];
      given.push_back("-o");
    } else {
      error = "unknown option " + a;
      return Request::kUsageError;
    }
  }
  if (help) return Request::kHelp;
  if (options.verb.empty()) {
    error = "no verb given";
    return Request::kUsageError;
  }
  const Verb& verb = *FindVerb(options.verb);
  for (const std::string& option : given) {
    if (!Takes(verb, option)) {
      error = "option " + option + " does not go with " + options.verb;
      return Request::kUsageError;
    }
  }
  if (options.names.size() < verb.least) {
    error = options.names.empty() ? std::string("no archive given") : "too few names for " + options.verb;
    return Request::kUsageError;
  }
  if (verb.most && options.names.size() > verb.most) {
    error = "too many names for " + options.verb;
    return Request::kUsageError;
  }
  return Request::kRun;
}

}  // namespace datpack
