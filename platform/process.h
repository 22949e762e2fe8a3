#pragma once
// Running child programs (the end-to-end tests, modbatch) and what a
// program needs to know to find and start them.

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

/// The full path of the running program's executable file; empty when the
/// system does not tell.
std::string CurrentExecutable();

/// `base` as the system names an executable file ("pixmill" or "pixmill.exe").
std::string ExecutableName(const std::string& base);

/// The first directory of the PATH environment variable that holds the
/// executable file `name`, joined with it; empty when none does.
std::string FindOnPath(const std::string& name);

}  // namespace platform
