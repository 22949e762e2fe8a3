#include "platform/path.h"

#include <windows.h>

#include "platform/common/guarded.h"

namespace platform {

const std::size_t kMaxPath = MAX_PATH;
const char kSeparator = '\\';
const bool kAbsolutePathsBeginWithSlash = false;

// The Win32 file services accept both characters as separators, so splitting
// at either one names the same file the system would open.
bool IsSeparator(char c) { return c == '\\' || c == '/'; }

namespace {

// One call of GetFullPathNameA into the classic 260-character buffer.
bool Resolve(const std::string& path, std::string& full,
             std::size_t& last_component) {
  char buffer[MAX_PATH];
  char* file_part = nullptr;
  DWORD length = GetFullPathNameA(path.c_str(), MAX_PATH, buffer, &file_part);
  if (length == 0 || length >= MAX_PATH) return false;
  full.assign(buffer, length);
  last_component = file_part ? static_cast<std::size_t>(file_part - buffer)
                             : std::string::npos;
  return true;
}

bool Absolute(const std::string& path, std::string& full, std::size_t& last_component) {
  if (!Resolve(path, full, last_component)) return false;
  // A trailing separator ("C:\games\") leaves the system without a last
  // component although the path is no root; drop it so that only real roots
  // come back without one.
  if (last_component == std::string::npos && full.size() > 1 &&
      IsSeparator(full.back())) {
    std::string trimmed = full;
    while (trimmed.size() > 1 && IsSeparator(trimmed.back())) trimmed.pop_back();
    std::string again;
    std::size_t again_last = std::string::npos;
    if (Resolve(trimmed, again, again_last) && again == trimmed &&
        again_last != std::string::npos) {
      full = again;
      last_component = again_last;
    }
  }
  return true;
}

}  // namespace

bool FullPathName(const std::string& path, std::string& full,
                  std::size_t& last_component) {
  if (path.empty() || path.find('\0') != std::string::npos) return false;
  return Guarded(false, [&] { return Absolute(path, full, last_component); });
}

std::string CurrentDirectory() {
  char buffer[MAX_PATH];
  DWORD length = GetCurrentDirectoryA(MAX_PATH, buffer);
  if (length == 0 || length >= MAX_PATH) return std::string();
  return Guarded(std::string(), [&] { return std::string(buffer, length); });
}

}  // namespace platform
