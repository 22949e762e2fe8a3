#include "platform/process.h"

#include <windows.h>

#include <functional>
#include <thread>

#include "platform/common/children.h"

namespace platform {

namespace {

// Quotes one argument so that the child's runtime splits it back into exactly
// the same text (backslashes only need doubling when they precede a quote).
std::string QuoteArgument(const std::string& argument) {
  if (!argument.empty() && argument.find_first_of(" \t\n\v\"") == std::string::npos) {
    return argument;
  }
  std::string quoted = "\"";
  std::size_t backslashes = 0;
  for (char c : argument) {
    if (c == '\\') {
      ++backslashes;
      continue;
    }
    if (c == '"') {
      quoted.append(backslashes * 2 + 1, '\\');
    } else {
      quoted.append(backslashes, '\\');
    }
    backslashes = 0;
    quoted += c;
  }
  quoted.append(backslashes * 2, '\\');
  quoted += '"';
  return quoted;
}

void ReadAll(HANDLE pipe, std::string& text) {
  char buffer[4096];
  DWORD read = 0;
  while (::ReadFile(pipe, buffer, sizeof buffer, &read, nullptr) && read > 0) {
    text.append(buffer, read);
  }
}

// Closes a handle on every way out of RunProcess.
struct OwnedHandle {
  HANDLE handle = nullptr;
  ~OwnedHandle() { Close(); }
  void Close() {
    if (handle && handle != INVALID_HANDLE_VALUE) CloseHandle(handle);
    handle = nullptr;
  }
};

bool CreateOutputPipe(OwnedHandle& read_end, OwnedHandle& write_end) {
  SECURITY_ATTRIBUTES inherit = {sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
  if (!CreatePipe(&read_end.handle, &write_end.handle, &inherit, 0)) return false;
  // Only the child's end may be inherited, or the parent never sees EOF.
  return SetHandleInformation(read_end.handle, HANDLE_FLAG_INHERIT, 0) != FALSE;
}

// The program as the parent's current directory names it: a relative path
// must not be looked up again from the child's working directory.
std::string Absolute(const std::string& program) {
  if (program.find_first_of("\\/") == std::string::npos) return program;  // searched as usual
  char full[MAX_PATH];
  const DWORD length = GetFullPathNameA(program.c_str(), sizeof full, full, nullptr);
  return length > 0 && length < sizeof full ? std::string(full, length) : program;
}

}  // namespace

struct ChildProcess::State {
  ProcessResult result;
  OwnedHandle process, out_read, err_read;
  DWORD id = 0;
  bool waited = false;
  std::thread error_reader, output_reader;
};

ChildProcess::ChildProcess(const std::string& program, const std::vector<std::string>& arguments,
                           const std::string& working_directory)
    : state_(new State) {
  ProcessResult& result = state_->result;
  OwnedHandle out_write, err_write, input;
  if (!CreateOutputPipe(state_->out_read, out_write) || !CreateOutputPipe(state_->err_read, err_write)) {
    result.standard_error = "cannot start " + program + ": no pipes";
    return;
  }
  SECURITY_ATTRIBUTES inherit = {sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
  input.handle = CreateFileA("NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                             &inherit, OPEN_EXISTING, 0, nullptr);

  std::string command_line = QuoteArgument(Absolute(program));
  for (const std::string& argument : arguments) {
    command_line += ' ';
    command_line += QuoteArgument(argument);
  }

  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = input.handle;
  startup.hStdOutput = out_write.handle;
  startup.hStdError = err_write.handle;
  PROCESS_INFORMATION child = {};
  // A group of its own, so that Interrupt can send Ctrl-Break to the child
  // alone; the console's own Ctrl-C and Ctrl-Break still reach it.
  // Wine on a busy machine now and then loses a new process while it sets
  // it up, before the program runs, and answers ERROR_INTERNAL_ERROR: that
  // start is tried again. Nothing of the program has run then.
  BOOL started = FALSE;
  for (int attempt = 0; attempt < 3 && !started; ++attempt) {
    started = CreateProcessA(nullptr, &command_line[0], nullptr, nullptr, TRUE, CREATE_NEW_PROCESS_GROUP,
                             nullptr, working_directory.empty() ? nullptr : working_directory.c_str(),
                             &startup, &child);
    if (!started && GetLastError() != ERROR_INTERNAL_ERROR) break;
  }
  if (!started) {
    result.standard_error = "cannot start " + program + ": error " + std::to_string(GetLastError());
    return;
  }
  result.started = true;
  state_->process.handle = child.hProcess;
  state_->id = child.dwProcessId;
  children::Add(static_cast<long>(child.dwProcessId));
  PassInterruptOn(static_cast<long>(child.dwProcessId));
  CloseHandle(child.hThread);
  // Both pipes are drained at once so that a child filling one of them can
  // never block while the parent waits on the other.
  state_->error_reader = std::thread(ReadAll, state_->err_read.handle, std::ref(result.standard_error));
  state_->output_reader = std::thread(ReadAll, state_->out_read.handle, std::ref(result.standard_output));
}

ChildProcess::~ChildProcess() { Wait(); }

bool ChildProcess::started() const { return state_->result.started; }

bool ChildProcess::Running() const {
  return started() && !state_->waited && WaitForSingleObject(state_->process.handle, 0) == WAIT_TIMEOUT;
}

bool ChildProcess::Interrupt(Interruption) {
  // Ctrl-C cannot be sent to one group; Ctrl-Break can, and programs
  // answer both alike. Without a console nothing can be sent.
  return Running() && GenerateConsoleCtrlEvent(CTRL_BREAK_EVENT, state_->id) != FALSE;
}

ProcessResult ChildProcess::Wait() {
  if (!started() || state_->waited) return state_->result;
  state_->output_reader.join();
  state_->error_reader.join();
  WaitForSingleObject(state_->process.handle, INFINITE);
  children::Remove(static_cast<long>(state_->id));
  state_->waited = true;
  DWORD exit_code = 0;
  // A crash ends the process with its exception code (0xC0000005 and the
  // like, the error severity of NTSTATUS); that is no normal exit.
  if (GetExitCodeProcess(state_->process.handle, &exit_code) &&
      (exit_code & 0xC0000000u) != 0xC0000000u) {
    state_->result.exit_status = static_cast<int>(exit_code);
  }
  return state_->result;
}

ProcessResult RunProcess(const std::string& program, const std::vector<std::string>& arguments,
                         const std::string& working_directory) {
  return ChildProcess(program, arguments, working_directory).Wait();
}

std::string CurrentExecutable() {
  std::string path(MAX_PATH, '\0');
  for (;;) {
    const DWORD length = GetModuleFileNameA(nullptr, &path[0], static_cast<DWORD>(path.size()));
    if (length == 0) return std::string();
    if (length < path.size()) {
      path.resize(length);
      return path;
    }
    path.resize(path.size() * 2);
  }
}

std::string ExecutableName(const std::string& base) { return base + ".exe"; }

std::string FindOnPath(const std::string& name) {
  const DWORD size = GetEnvironmentVariableA("PATH", nullptr, 0);
  std::string list(size, '\0');
  if (size == 0 || GetEnvironmentVariableA("PATH", &list[0], size) == 0) return std::string();
  list.resize(size - 1);
  std::size_t start = 0;
  while (start <= list.size()) {
    std::size_t end = list.find(';', start);
    if (end == std::string::npos) end = list.size();
    if (end > start) {
      std::string candidate = list.substr(start, end - start);
      if (candidate.back() != '\\' && candidate.back() != '/') candidate += '\\';
      candidate += name;
      const DWORD attributes = GetFileAttributesA(candidate.c_str());
      if (attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        return candidate;
      }
    }
    start = end + 1;
  }
  return std::string();
}

}  // namespace platform
