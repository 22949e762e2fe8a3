#pragma once
// Running child programs (the end-to-end tests, modbatch) and what a
// program needs to know to find and start them.

#include <memory>
#include <string>
#include <vector>

namespace platform {

/// The outcome of a finished child program.
struct ProcessResult {
  bool started = false;      ///< false when the program could not be started at all
  int exit_status = -1;      ///< exit code, or -1 when it did not exit normally
  int signal = 0;            ///< the signal that ended it (POSIX), else 0
  std::string standard_error;  ///< why it did not start, when it did not
  std::string standard_output;
};

/// The ways a user interrupts a program: SIGINT, SIGTERM, SIGHUP on POSIX;
/// Ctrl-C, Ctrl-Break and closing the console on Windows.
enum class Interruption { kInterrupt, kTerminate, kHangUp };

/// A child program that runs while its parent goes on; both output streams
/// are captured. `program` may be relative: it is taken from the current
/// directory, not from `working_directory`, which may be empty for the
/// current directory. Standard input is empty.
class ChildProcess {
 public:
  ChildProcess(const std::string& program, const std::vector<std::string>& arguments,
               const std::string& working_directory);
  ~ChildProcess();  ///< waits for the child
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  bool started() const;
  /// Whether it has not ended yet.
  bool Running() const;
  /// Interrupts it as a user would; false when the system cannot.
  bool Interrupt(Interruption how);
  /// Waits for the end and gives the outcome; once.
  ProcessResult Wait();

 private:
  struct State;
  std::unique_ptr<State> state_;
};

/// Runs `program` with `arguments` in the directory `working_directory` and
/// waits for it, capturing both output streams (see ChildProcess).
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
