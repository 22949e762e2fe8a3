#include "platform/process.h"

#include <windows.h>

#include <functional>
#include <thread>

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

}  // namespace

ProcessResult RunProcess(const std::string& program,
                         const std::vector<std::string>& arguments,
                         const std::string& working_directory) {
  ProcessResult result;
  OwnedHandle out_read, out_write, err_read, err_write, input;
  if (!CreateOutputPipe(out_read, out_write) || !CreateOutputPipe(err_read, err_write)) {
    result.standard_error = "cannot create pipes for " + program;
    return result;
  }
  SECURITY_ATTRIBUTES inherit = {sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
  input.handle = CreateFileA("NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                             &inherit, OPEN_EXISTING, 0, nullptr);

  std::string command_line = QuoteArgument(program);
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
  BOOL started = CreateProcessA(
      nullptr, &command_line[0], nullptr, nullptr, TRUE, 0, nullptr,
      working_directory.empty() ? nullptr : working_directory.c_str(), &startup,
      &child);
  out_write.Close();
  err_write.Close();
  input.Close();
  if (!started) {
    result.standard_error = "cannot start " + program;
    return result;
  }
  OwnedHandle process{child.hProcess};
  OwnedHandle thread{child.hThread};

  // Both pipes are drained at once so that a child filling one of them can
  // never block while the parent waits on the other.
  std::thread error_reader(ReadAll, err_read.handle, std::ref(result.standard_error));
  ReadAll(out_read.handle, result.standard_output);
  error_reader.join();

  WaitForSingleObject(process.handle, INFINITE);
  DWORD exit_code = 0;
  // A crash ends the process with its exception code (0xC0000005 and the
  // like, the error severity of NTSTATUS); that is no normal exit.
  if (GetExitCodeProcess(process.handle, &exit_code) &&
      (exit_code & 0xC0000000u) != 0xC0000000u) {
    result.exit_status = static_cast<int>(exit_code);
  }
  return result;
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
