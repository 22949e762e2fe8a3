#pragma once
// millview's command line and the run over every file it names.

#include <string>
#include <vector>

#include "cli/command_line.h"
#include "runtime/session.h"

namespace millview {

struct Options {
  std::vector<std::string> inputs;  ///< files and folders, as given
  std::string outputRoot;           ///< -o; empty: outputs beside inputs
  unsigned jobs = 0;                ///< -j; 0: one per processor
  bool sheet = false;
  bool html = false;
  bool model = false;               ///< --3d: a .glb beside every plan
  bool quiet = false;
  bool verbose = false;             ///< -v: name every skipped file
};

/// Parses the arguments after the program name; on kUsageError `error`
/// holds the reason.
cli::Request ParseCommandLine(const std::vector<std::string>& arguments, Options& options,
                              std::string& error);

/// Converts everything the options name, reading textures through
/// `runtime`; the exit status (0 all done, 1 some input failed, 2 an input
/// is missing).
int Run(const Options& options, RuntimeSession& runtime);

/// The whole program: arguments (without the program name) to exit status.
int Main(const std::vector<std::string>& arguments);

}  // namespace millview
