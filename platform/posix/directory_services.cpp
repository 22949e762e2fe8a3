#include "platform/directory_services.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "platform/path.h"
#include "platform/posix/case_lookup.h"
#include "platform/common/ascii_case.h"

namespace platform {

namespace {

// The one drive POSIX has plays drive C.
constexpr uint32_t kOnlyDrive = 2;

bool CopyOut(const std::string& text, char* buffer, uint32_t size) {
  if (size == 0 || text.size() >= size) return false;
  std::memcpy(buffer, text.c_str(), text.size() + 1);
  return true;
}

// An absolute path as it exists on disk, letter case resolved, or "" when
// the path cannot be made absolute.
std::string OnDisk(const char* path) {
  if (!path || !*path) return std::string();
  std::string full;
  std::size_t last = 0;
  if (!FullPathName(path, full, last)) return std::string();
  return posix::ExistingCase(full);
}

// The same for a path whose last component is to be created with exactly
// the name given.
std::string ForCreation(const char* path) {
  if (!path || !*path) return std::string();
  std::string full;
  std::size_t last = 0;
  if (!FullPathName(path, full, last)) return std::string();
  return posix::CreationCase(full);
}

// '*' matches any run of characters, '?' any one character; letter case is ignored.
bool Matches(const char* pattern, const char* name) {
  const char* star = nullptr;
  const char* resume = nullptr;
  while (*name) {
    if (*pattern == '*') {
      star = pattern++;
      resume = name;
    } else if (*pattern == '?' || (*pattern && LowerAscii(*pattern) == LowerAscii(*name))) {
      ++pattern;
      ++name;
    } else if (star) {
      pattern = star + 1;
      name = ++resume;
    } else {
      return false;
    }
  }
  while (*pattern == '*') ++pattern;
  return *pattern == 0;
}

// A name pattern ending in ".*" also matches names without an extension, so
// "*.*" matches every entry, as Windows has it.
bool MatchesName(const std::string& pattern, const char* name) {
  if (Matches(pattern.c_str(), name)) return true;
  if (pattern.size() >= 2 && pattern.compare(pattern.size() - 2, 2, ".*") == 0 && !std::strchr(name, '.'))
    return Matches(pattern.substr(0, pattern.size() - 2).c_str(), name);
  return false;
}

uint32_t AttributesOf(const std::string& path) {
  struct stat info;
  if (stat(path.c_str(), &info) != 0 && lstat(path.c_str(), &info) != 0) return kFindNormal;
  uint32_t attributes = 0;
  if (S_ISDIR(info.st_mode)) attributes |= kFindDirectory;
  if (!(info.st_mode & S_IWUSR)) attributes |= kFindReadOnly;
  return attributes ? attributes : kFindNormal;
}

}  // namespace

struct FindHandle {
  DIR* dir = nullptr;
  std::string directory;  // with a trailing '/'
  std::string pattern;
};

bool GetDirectory(char* buffer, uint32_t size) { return CopyOut(CurrentDirectory(), buffer, size) && *buffer; }

bool SetDirectory(const char* path) {
  const std::string target = OnDisk(path);
  return !target.empty() && chdir(target.c_str()) == 0;
}

bool GetDrive(uint32_t* drive) {
  *drive = kOnlyDrive;
  return true;
}

bool SetDrive(uint32_t drive) { return drive == kOnlyDrive; }

bool PathDrive(const char* path, uint32_t* drive, uint32_t* prefixLength) {
  if (!path || path[0] != '/') return false;
  *drive = kOnlyDrive;
  *prefixLength = 0;
  return true;
}

bool PathIsDriveRooted(const char* path) { return path && path[0] == '/'; }

void DriveText(uint32_t, char* buffer) { buffer[0] = 0; }

char PathSeparator() { return '/'; }

bool IsPathSeparator(char c) { return IsSeparator(c); }

bool MakeFullPath(const char* path, char* buffer, uint32_t size) {
  if (!path || !*path) return false;
  std::string full;
  std::size_t last = 0;
  return FullPathName(path, full, last) && CopyOut(full, buffer, size);
}

bool IsDirectory(const char* path) {
  const std::string target = OnDisk(path);
  struct stat info;
  return !target.empty() && stat(target.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

bool MakeDirectory(const char* path) {
  const std::string target = ForCreation(path);
  return !target.empty() && mkdir(target.c_str(), 0777) == 0;
}

bool RemoveDirectory(const char* path) {
  const std::string target = OnDisk(path);
  return !target.empty() && rmdir(target.c_str()) == 0;
}

bool RenamePath(const char* from, const char* to) {
  const std::string source = OnDisk(from);
  const std::string target = ForCreation(to);
  if (source.empty() || target.empty()) return false;
  // Windows refuses to rename onto an existing name; so do we.
  struct stat info;
  if (lstat(target.c_str(), &info) == 0 && target != source) return false;
  return std::rename(source.c_str(), target.c_str()) == 0;
}

bool DeleteFile(const char* path) {
  const std::string target = OnDisk(path);
  struct stat info;
  if (target.empty() || lstat(target.c_str(), &info) != 0 || S_ISDIR(info.st_mode)) return false;
  return unlink(target.c_str()) == 0;
}

FindHandle* FindFirst(const char* pattern, FindEntry* entry) {
  if (!pattern || !*pattern) return nullptr;
  const std::string text = pattern;
  std::size_t split = text.size();
  while (split > 0 && !IsSeparator(text[split - 1])) --split;
  const std::string name_pattern = text.substr(split);
  if (name_pattern.empty()) return nullptr;
  std::string directory = split == 0 ? std::string(".") : text.substr(0, split);
  directory = OnDisk(directory.c_str());
  if (directory.empty()) return nullptr;

  FindHandle* handle = new FindHandle;
  handle->dir = opendir(directory.c_str());
  if (!handle->dir) {
    delete handle;
    return nullptr;
  }
  handle->directory = directory == "/" ? directory : directory + "/";
  handle->pattern = name_pattern;
  if (!FindNext(handle, entry)) {
    FindClose(handle);
    return nullptr;
  }
  return handle;
}

bool FindNext(FindHandle* handle, FindEntry* entry) {
  if (!handle || !handle->dir) return false;
  while (struct dirent* item = readdir(handle->dir)) {
    if (!MatchesName(handle->pattern, item->d_name)) continue;
    if (!CopyOut(item->d_name, entry->name, kFindNameSize)) continue;
    entry->attributes = AttributesOf(handle->directory + item->d_name);
    return true;
  }
  return false;
}

void FindClose(FindHandle* handle) {
  if (!handle) return;
  if (handle->dir) closedir(handle->dir);
  delete handle;
}

}  // namespace platform
