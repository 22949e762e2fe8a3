#include "platform/directory_services.h"

#include <direct.h>
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <new>

#include "platform/common/ascii_case.h"
// windows.h maps these names onto its ANSI variants; ours keep their own.
#undef DeleteFile
#undef RemoveDirectory

namespace platform {

namespace {

bool Missing(const char* path) { return !path || !*path; }

// Length of a path without its trailing separators (a lone root keeps its own).
size_t TrimmedLength(const char* path) {
  size_t length = std::strlen(path);
  while (length > 1 && IsPathSeparator(path[length - 1])) --length;
  return length;
}

void Fill(const WIN32_FIND_DATAA& data, FindEntry* entry) {
  entry->attributes = data.dwFileAttributes ? data.dwFileAttributes : kFindNormal;
  std::strncpy(entry->name, data.cFileName, kFindNameSize - 1);
  entry->name[kFindNameSize - 1] = 0;
}

}  // namespace

struct FindHandle {
  HANDLE find = INVALID_HANDLE_VALUE;
};

bool GetDirectory(char* buffer, uint32_t size) {
  const DWORD length = GetCurrentDirectoryA(size, buffer);
  return length > 0 && length < size;
}

bool SetDirectory(const char* path) { return !Missing(path) && SetCurrentDirectoryA(path); }

bool GetDrive(uint32_t* drive) {
  const int number = _getdrive();
  if (number <= 0) return false;
  *drive = static_cast<uint32_t>(number - 1);
  return true;
}

bool SetDrive(uint32_t drive) { return drive < 26 && _chdrive(static_cast<int>(drive) + 1) == 0; }

bool PathDrive(const char* path, uint32_t* drive, uint32_t* prefixLength) {
  if (!path || !path[0] || path[1] != ':') return false;
  char letter = path[0];
  if (letter >= 'a' && letter <= 'z') letter = static_cast<char>(letter - 'a' + 'A');
  if (letter < 'A') return false;
  *drive = static_cast<uint32_t>(letter - 'A');
  *prefixLength = 2;
  return true;
}

bool PathIsDriveRooted(const char* path) { return path && path[0] && path[1] == ':' && path[2] == '\\'; }

void DriveText(uint32_t drive, char* buffer) {
  buffer[0] = static_cast<char>('A' + drive % 26);
  buffer[1] = ':';
  buffer[2] = 0;
}

char PathSeparator() { return '\\'; }

bool IsPathSeparator(char c) { return c == '\\' || c == '/'; }

bool MakeFullPath(const char* path, char* buffer, uint32_t size) {
  if (Missing(path)) return false;
  const DWORD length = GetFullPathNameA(path, size, buffer, nullptr);
  return length > 0 && length < size;
}

bool IsDirectory(const char* path) {
  if (Missing(path)) return false;
  const DWORD attributes = GetFileAttributesA(path);
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool SameDirectory(const char* a, const char* b) {
  if (Missing(a) || Missing(b)) return false;
  const size_t length = TrimmedLength(a);
  if (length != TrimmedLength(b)) return false;
  for (size_t i = 0; i < length; ++i) {
    if (IsPathSeparator(a[i]) && IsPathSeparator(b[i])) continue;
    if (LowerAscii(a[i]) != LowerAscii(b[i])) return false;
  }
  return true;
}

bool MakeDirectory(const char* path) { return !Missing(path) && CreateDirectoryA(path, nullptr); }

bool RemoveDirectory(const char* path) { return !Missing(path) && RemoveDirectoryA(path); }

bool RenamePath(const char* from, const char* to) {
  return !Missing(from) && !Missing(to) && MoveFileA(from, to);
}

bool DeleteFile(const char* path) { return !Missing(path) && DeleteFileA(path); }

FindHandle* FindFirst(const char* pattern, FindEntry* entry) {
  if (Missing(pattern)) return nullptr;
  WIN32_FIND_DATAA data;
  HANDLE find = FindFirstFileA(pattern, &data);
  if (find == INVALID_HANDLE_VALUE) return nullptr;
  Fill(data, entry);
  FindHandle* handle = new (std::nothrow) FindHandle;
  if (!handle) {
    ::FindClose(find);
    return nullptr;
  }
  handle->find = find;
  return handle;
}

bool FindNext(FindHandle* handle, FindEntry* entry) {
  if (!handle) return false;
  WIN32_FIND_DATAA data;
  if (!FindNextFileA(handle->find, &data)) return false;
  Fill(data, entry);
  return true;
}

void FindClose(FindHandle* handle) {
  if (!handle) return;
  ::FindClose(handle->find);
  delete handle;
}

}  // namespace platform
