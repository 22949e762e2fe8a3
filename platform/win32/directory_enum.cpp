#include "platform/directory_enum.h"

#include <windows.h>

#include "platform/common/guarded.h"
#include "platform/memory_files.h"
#include "platform/path.h"

namespace platform {

std::vector<DirectoryEntry> FindFiles(const std::string& pattern) {
  std::vector<DirectoryEntry> entries;
  if (pattern.find('\0') != std::string::npos) return entries;
  if (!pattern.empty() && pattern.back() == '*') {
    const std::string directory = Guarded(std::string(), [&] {
      std::string text = pattern.substr(0, pattern.size() - 1);
      while (text.size() > 1 && IsSeparator(text.back()) && text[text.size() - 2] != ':') text.pop_back();
      return text;
    });
    if (!directory.empty() && memory::Serves(directory)) return memory::List(directory);
  }
  WIN32_FIND_DATAA data;
  HANDLE find = FindFirstFileA(pattern.c_str(), &data);
  if (find == INVALID_HANDLE_VALUE) return entries;
  // Memory that runs out ends the listing as one that could not be made.
  const bool listed = Guarded(false, [&] {
    do {
      entries.push_back(DirectoryEntry{data.cFileName, data.dwFileAttributes});
    } while (FindNextFileA(find, &data));
    return true;
  });
  FindClose(find);
  if (!listed) entries.clear();
  return entries;
}

}  // namespace platform
