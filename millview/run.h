#pragma once
// millview's command line and the run over every file it names.

#include <string>
#include <vector>

namespace millview {

struct Options {
  std::vector<std::string> inputs;  ///< files and folders, as given
  std::string out_dir;              ///< -o; empty: outputs beside inputs
  unsigned jobs = 0;                ///< -j; 0: one per processor
  bool sheet = false;
  bool html = false;
  bool model = false;               ///< --3d: a .glb beside every plan
  bool quiet = false;
};

/// Parses the arguments after the program name. Returns -1 to go on, or the
/// exit status when the run ends here (0 after --help or --version, 2 after
/// a usage error, with its message printed).
int ParseCommandLine(const std::vector<std::string>& arguments, Options& options);

/// Converts everything the options name; the exit status (0 all done,
/// 1 some input failed, 2 an input is missing).
int Run(const Options& options);

/// The whole program: arguments (without the program name) to exit status.
int Main(const std::vector<std::string>& arguments);

}  // namespace millview
