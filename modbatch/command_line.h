#pragma once
// modbatch's command line: options, folders and the switches for pixmill.

#include <string>
#include <vector>

#include "cli/command_line.h"

namespace modbatch {

/// What the command line asks for.
struct BatchOptions {
  std::vector<std::string> folders;
  std::vector<std::string> pixmillSwitches;  ///< everything after "--"
  std::string outputRoot;                    ///< empty: outputs beside the inputs
  unsigned jobs = 0;                         ///< 0: one per processor
  bool force = false;
  bool dryRun = false;
  bool quiet = false;
  bool explain = false;                   ///< explain what the plan makes of explainPaths
  std::vector<std::string> explainPaths;  ///< the names after --explain
  bool watch = false;
  bool verbose = false;   ///< -v: also name every file that is skipped
  std::string pixmill;    ///< empty: looked up
  std::string trackconv;  ///< empty: looked up
};

using cli::Request;

/// Parses the arguments after the program name; on kUsageError `error`
/// holds the reason.
Request ParseCommandLine(const std::vector<std::string>& arguments, BatchOptions& options,
                         std::string& error);

/// The text --help prints.
extern const char kHelpText[];

}  // namespace modbatch
