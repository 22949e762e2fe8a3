#include "platform/directory_enum.h"

#include <dirent.h>
#include <sys/stat.h>

#include "platform/file_attributes.h"
#include "platform/memory_files.h"
#include "platform/path.h"
#include "platform/posix/case_lookup.h"

namespace platform {

std::vector<DirectoryEntry> FindFiles(const std::string& pattern) {
  std::vector<DirectoryEntry> entries;
  // Only "<directory>/*" patterns are used: everything in one directory.
  if (pattern.empty() || pattern.back() != '*') return entries;
  std::string directory = pattern.substr(0, pattern.size() - 1);
  while (directory.size() > 1 && IsSeparator(directory.back())) directory.pop_back();
  if (directory.empty()) return entries;
  if (memory::Serves(directory)) return memory::List(directory);
  directory = posix::ExistingCase(directory);

  DIR* dir = opendir(directory.c_str());
  if (!dir) return entries;
  std::string prefix = directory == "/" ? directory : directory + "/";
  while (struct dirent* item = readdir(dir)) {
    DirectoryEntry entry;
    entry.name = item->d_name;
    struct stat info;
    if (stat((prefix + entry.name).c_str(), &info) == 0 && S_ISDIR(info.st_mode))
      entry.attributes = kAttributeDirectory;
    entries.push_back(entry);
  }
  closedir(dir);
  return entries;
}

}  // namespace platform
