#include "platform/directory_enum.h"

#include <dirent.h>
#include <sys/stat.h>

#include <memory>

#include "platform/common/guarded.h"
#include "platform/file_attributes.h"
#include "platform/memory_files.h"
#include "platform/path.h"
#include "platform/posix/case_lookup.h"

namespace platform {

namespace {

// A symbolic link is an entry of its own, reported the way Windows reports
// a reparse point (with the directory bit when it leads to a directory), so
// that nothing walks out of the directory through it.
uint32_t AttributesOf(const std::string& path) {
  struct stat info;
  if (lstat(path.c_str(), &info) != 0) return 0;
  if (!S_ISLNK(info.st_mode)) return S_ISDIR(info.st_mode) ? kAttributeDirectory : 0;
  const bool to_directory = stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
  return kAttributeReparsePoint | (to_directory ? kAttributeDirectory : 0);
}

std::vector<DirectoryEntry> List(const std::string& pattern) {
  std::vector<DirectoryEntry> entries;
  // Only "<directory>/*" patterns are used: everything in one directory.
  if (pattern.empty() || pattern.back() != '*') return entries;
  std::string directory = pattern.substr(0, pattern.size() - 1);
  while (directory.size() > 1 && IsSeparator(directory.back())) directory.pop_back();
  if (directory.empty()) return entries;
  if (memory::Serves(directory)) return memory::List(directory);
  directory = posix::ExistingCase(directory);

  const std::string prefix = directory == "/" ? directory : directory + "/";
  // Closed on every way out, also when memory runs out on the way.
  std::unique_ptr<DIR, int (*)(DIR*)> dir(opendir(directory.c_str()), closedir);
  if (!dir) return entries;
  while (struct dirent* item = readdir(dir.get())) {
    DirectoryEntry entry;
    entry.name = item->d_name;
    entry.attributes = AttributesOf(prefix + entry.name);
    entries.push_back(entry);
  }
  return entries;
}

}  // namespace

std::vector<DirectoryEntry> FindFiles(const std::string& pattern) {
  return Guarded(std::vector<DirectoryEntry>(), [&] { return List(pattern); });
}

}  // namespace platform
