#include "platform/directory_enum.h"

#include <windows.h>

namespace platform {

std::vector<DirectoryEntry> FindFiles(const std::string& pattern) {
  std::vector<DirectoryEntry> entries;
  if (pattern.find('\0') != std::string::npos) return entries;
  WIN32_FIND_DATAA data;
  HANDLE find = FindFirstFileA(pattern.c_str(), &data);
  if (find == INVALID_HANDLE_VALUE) return entries;
  do {
    entries.push_back(DirectoryEntry{data.cFileName, data.dwFileAttributes});
  } while (FindNextFileA(find, &data));
  FindClose(find);
  return entries;
}

}  // namespace platform
