#include "platform/atomic_replace.h"

#include <windows.h>

#include <cstring>

#include "platform/common/temporaries.h"
#include "platform/interrupt.h"

namespace platform {

namespace {
bool Missing(const char* path) { return !path || !*path; }
}  // namespace

bool CanTakeOutput(const char* final_path) {
  if (Missing(final_path)) return false;
  const DWORD attributes = GetFileAttributesA(final_path);
  if (attributes == INVALID_FILE_ATTRIBUTES) return true;
  if (attributes & FILE_ATTRIBUTE_DIRECTORY) return false;
  HANDLE probe = CreateFileA(final_path, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                             FILE_ATTRIBUTE_NORMAL, nullptr);
  if (probe == INVALID_HANDLE_VALUE) return false;
  CloseHandle(probe);
  return true;
}

bool CreateTemporaryFileBeside(const char* final_path, char* temporary, std::size_t size) {
  if (Missing(final_path) || !temporary) return false;
  // A short name of the system's own making in the final file's directory,
  // so that every final name the system accepts can be written.
  const char* end = final_path + std::strlen(final_path);
  while (end > final_path && end[-1] != '\\' && end[-1] != '/') --end;
  const std::size_t length = static_cast<std::size_t>(end - final_path);
  if (length == 0 || length >= MAX_PATH) return false;
  char directory[MAX_PATH];
  std::memcpy(directory, final_path, length);
  directory[length] = 0;
  char name[MAX_PATH];
  if (!temporaries::BeginCreating()) return false;
  const bool made = GetTempFileNameA(directory, "out", 0, name) != 0;
  if (made) RegisterTemporary(name);
  temporaries::EndCreating();
  if (!made) return false;
  if (std::strlen(name) >= size) {
    RemoveFile(name);
    return false;
  }
  std::strcpy(temporary, name);
  return true;
}

bool ReplaceFileWith(const char* from, const char* to) {
  if (Missing(from) || Missing(to) || MoveFileExA(from, to, MOVEFILE_REPLACE_EXISTING) == FALSE) return false;
  ForgetTemporary(from);
  return true;
}

bool RemoveFile(const char* path) {
  if (Missing(path) || DeleteFileA(path) == FALSE) return false;
  ForgetTemporary(path);
  return true;
}

// The system finds names regardless of letter case by itself: a new name
// needs nothing more than the usual temporary file and a move that never
// replaces.
bool CreateTemporaryFileForNew(const char* final_path, char* temporary, std::size_t size) {
  return CreateTemporaryFileBeside(final_path, temporary, size);
}

bool PlaceNewFile(const char* from, const char* to) {
  if (Missing(from) || Missing(to) || MoveFileExA(from, to, 0) == FALSE) return false;
  ForgetTemporary(from);
  return true;
}

}  // namespace platform
