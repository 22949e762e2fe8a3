#include "platform/atomic_replace.h"

#include <windows.h>

#include <cstdio>

namespace platform {

std::string CreateTemporaryFileBeside(const std::string& final_path) {
  if (final_path.empty() || final_path.find('\0') != std::string::npos) {
    return std::string();
  }
  // The name extends the final one, so it lands in the same directory and a
  // leftover is easy to recognise; CREATE_NEW makes the claim on it atomic.
  unsigned long process = GetCurrentProcessId();
  unsigned long tick = GetTickCount();
  for (unsigned attempt = 0; attempt < 100; ++attempt) {
    char suffix[48];
    std::snprintf(suffix, sizeof suffix, ".tmp-%lx-%lx-%u", process, tick, attempt);
    std::string candidate = final_path + suffix;
    HANDLE handle = CreateFileA(candidate.c_str(), GENERIC_WRITE, 0, nullptr,
                                CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle != INVALID_HANDLE_VALUE) {
      CloseHandle(handle);
      return candidate;
    }
    DWORD error = GetLastError();
    if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS) break;
  }
  return std::string();
}

bool ReplaceFileWith(const std::string& from, const std::string& to) {
  if (from.find('\0') != std::string::npos || to.find('\0') != std::string::npos) {
    return false;
  }
  return MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING) != FALSE;
}

bool RemoveFile(const std::string& path) {
  if (path.find('\0') != std::string::npos) return false;
  return DeleteFileA(path.c_str()) != FALSE;
}

}  // namespace platform
