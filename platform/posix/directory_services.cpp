#include "platform/directory_services.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <new>
#include <string>

#include "platform/common/ascii_case.h"
#include "platform/common/guarded.h"
#include "platform/path.h"
#include "platform/posix/case_lookup.h"

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

// The entry itself, not what a link points to: a walk never leaves its tree.
uint32_t AttributesOf(const std::string& path) {
  struct stat info;
  if (lstat(path.c_str(), &info) != 0) return kFindNormal;
  if (S_ISLNK(info.st_mode)) return kFindReparsePoint;
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
  return Guarded(false, [&] {
    const std::string target = OnDisk(path);
    return !target.empty() && chdir(target.c_str()) == 0;
  });
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
  return Guarded(false, [&] {
    std::string full;
    std::size_t last = 0;
    return FullPathName(path, full, last) && CopyOut(full, buffer, size);
  });
}

bool IsDirectory(const char* path) {
  return Guarded(false, [&] {
    const std::string target = OnDisk(path);
    struct stat info;
    return !target.empty() && stat(target.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
  });
}

bool SameDirectory(const char* a, const char* b) {
  return Guarded(false, [&] {
    const std::string first = OnDisk(a);
    const std::string second = OnDisk(b);
    struct stat one, other;
    return !first.empty() && !second.empty() && stat(first.c_str(), &one) == 0 &&
           stat(second.c_str(), &other) == 0 && S_ISDIR(one.st_mode) && S_ISDIR(other.st_mode) &&
           one.st_dev == other.st_dev && one.st_ino == other.st_ino;
  });
}

// A name that exists in another letter case is taken, as on Windows: only a
// name that exists in no case is made, exactly as given.
bool MakeDirectory(const char* path) {
  return Guarded(false, [&] {
    struct stat info;
    const std::string existing = OnDisk(path);
    if (existing.empty() || lstat(existing.c_str(), &info) == 0) return false;
    return mkdir(ForCreation(path).c_str(), 0777) == 0;
  });
}

bool RemoveDirectory(const char* path) {
  return Guarded(false, [&] {
    const std::string target = OnDisk(path);
    return !target.empty() && rmdir(target.c_str()) == 0;
  });
}

bool RenamePath(const char* from, const char* to) {
  return Guarded(false, [&] {
    const std::string source = OnDisk(from);
    const std::string existing = OnDisk(to);
    if (source.empty() || existing.empty()) return false;
    // Windows refuses to rename onto an existing name, in any letter case;
    // so do we, except onto the source itself, which changes its case.
    struct stat info;
    if (lstat(existing.c_str(), &info) == 0 && existing != source) return false;
    return std::rename(source.c_str(), ForCreation(to).c_str()) == 0;
  });
}

bool DeleteFile(const char* path) {
  return Guarded(false, [&] {
    const std::string target = OnDisk(path);
    struct stat info;
    if (target.empty() || lstat(target.c_str(), &info) != 0 || S_ISDIR(info.st_mode)) return false;
    return unlink(target.c_str()) == 0;
  });
}

FindHandle* FindFirst(const char* pattern, FindEntry* entry) {
  if (!pattern || !*pattern) return nullptr;
  FindHandle* handle = new (std::nothrow) FindHandle;
  if (!handle) return nullptr;
  const bool opened = Guarded(false, [&] {
    const std::string text = pattern;
    std::size_t split = text.size();
    while (split > 0 && !IsSeparator(text[split - 1])) --split;
    handle->pattern = text.substr(split);
    if (handle->pattern.empty()) return false;
    const std::string directory = OnDisk(split == 0 ? "." : text.substr(0, split).c_str());
    if (directory.empty()) return false;
    handle->directory = directory == "/" ? directory : directory + "/";
    handle->dir = opendir(directory.c_str());
    return handle->dir != nullptr;
  });
  if (!opened || !FindNext(handle, entry)) {
    FindClose(handle);
    return nullptr;
  }
  return handle;
}

bool FindNext(FindHandle* handle, FindEntry* entry) {
  if (!handle || !handle->dir) return false;
  return Guarded(false, [&] {
    while (struct dirent* item = readdir(handle->dir)) {
      if (!MatchesName(handle->pattern, item->d_name)) continue;
      if (!CopyOut(item->d_name, entry->name, kFindNameSize)) continue;
      entry->attributes = AttributesOf(handle->directory + item->d_name);
      return true;
    }
    return false;
  });
}

void FindClose(FindHandle* handle) {
  if (!handle) return;
  if (handle->dir) closedir(handle->dir);
  delete handle;
}

}  // namespace platform
