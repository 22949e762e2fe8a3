// datpack: lists, unpacks, packs, updates, checks and compares .dat
// archives, with round trips that give back the same bytes.

#include <cstdio>
#include <iostream>
#include <string>
#include <vector>

#include "cli/command_line.h"
#include "cli/progress.h"
#include "datpack/command_line.h"
#include "datpack/verbs.h"
#include "rt_version.h"

int main(int argc, char** argv) {
  const std::vector<std::string> arguments(argv + 1, argv + argc);
  datpack::Options options;
  std::string error;
  switch (datpack::ParseCommandLine(arguments, options, error)) {
    case datpack::Request::kHelp:
      std::cout << datpack::HelpText(options.verb);
      return datpack::kAllDone;
    case datpack::Request::kVersion:
      std::cout << "datpack " << RT_VERSION << "\n";
      return datpack::kAllDone;
    case datpack::Request::kUsageError:
      cli::PrintUsageError("datpack", error, datpack::UsageLine(options.verb));
      return datpack::kUsageError;
    case datpack::Request::kRun:
      break;
  }
  options.progress = cli::ProgressLine::Wanted(options.quiet);
  const int status = datpack::RunVerb(options, std::cout, std::cerr);
  std::cout.flush();
  return status;
}
