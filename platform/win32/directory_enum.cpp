#include "platform/directory_enum.h"

#include <windows.h>

#include "platform/memory_files.h"
#include "platform/path.h"

namespace platform {

std::vector<DirectoryEntry> FindFiles(const std::string& pattern) {
  std::vector<DirectoryEntry> entries;
  if (pattern.find('\0') != std::string::npos) return entries;
  if (!pattern.empty() && pattern.back() == '*') {
    std::string directory = pattern.substr(0, pattern.size() - 1);
    while (directory.size() > 1 && IsSeparator(directory.back()) && directory[directory.size() - 2] != ':')
      directory.pop_back();
    if (memory::Serves(directory)) return memory::List(directory);
  }
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
