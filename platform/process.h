#pragma once
// Running a child program; used by the end-to-end tests.

#include <string>
#include <vector>

namespace platform {

/// The outcome of a finished child program.
struct ProcessResult {
  int exit_status = -1;      ///< exit code, or -1 when it did not exit normally
  std::string standard_error;
  std::string standard_output;
};

/// Runs `program` with `arguments` in the directory `working_directory` and
/// waits for it, capturing both output streams.
ProcessResult RunProcess(const std::string& program,
                         const std::vector<std::string>& arguments,
                         const std::string& working_directory);

}  // namespace platform
