#include "platform/stream.h"

#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#include <windows.h>

#include <cstring>

#include "platform/win32/temporary_sharing.h"

namespace platform {

namespace {

constexpr long long kLargestSize = 0xFFFFFFFFll;

bool ValidMode(const char* mode) {
  if (!mode || (mode[0] != 'r' && mode[0] != 'w' && mode[0] != 'a')) return false;
  for (const char* c = mode + 1; *c; ++c)
    if (*c != '+' && *c != 'b' && *c != 't') return false;
  return true;
}

// Only regular files below 4 GiB are files here.
bool Acceptable(std::FILE* stream) {
  struct _stati64 info;
  return _fstati64(_fileno(stream), &info) == 0 && (info.st_mode & _S_IFREG) != 0 &&
         info.st_size <= kLargestSize;
}

// A stream over an open handle, which it takes over; null (the handle
// closed) on failure.
std::FILE* StreamOver(HANDLE handle, int flags, const char* mode) {
  const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(handle), flags);
  if (fd < 0) {
    CloseHandle(handle);
    return nullptr;
  }
  std::FILE* stream = _fdopen(fd, mode);
  if (!stream) _close(fd);
  return stream;
}

// The temporary of an output opened as fopen opens files (sharing reading
// and writing), and sharing deletion too (see temporary_sharing.h), which
// fopen cannot ask for.
std::FILE* OpenTemporary(const char* path, const char* mode) {
  const bool update = std::strchr(mode, '+') != nullptr;
  const bool text = std::strchr(mode, 't') != nullptr;
  DWORD access = update ? GENERIC_READ | GENERIC_WRITE : mode[0] == 'r' ? GENERIC_READ : GENERIC_WRITE;
  DWORD creation = mode[0] == 'r' ? OPEN_EXISTING : mode[0] == 'w' ? CREATE_ALWAYS : OPEN_ALWAYS;
  int flags = (text ? _O_TEXT : _O_BINARY) | (mode[0] == 'a' ? _O_APPEND : 0) |
              (access == GENERIC_READ ? _O_RDONLY : 0);
  HANDLE handle = CreateFileA(path, access, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              creation, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return nullptr;
  return StreamOver(handle, flags, mode);
}

}  // namespace

std::FILE* OpenStream(const char* path, const char* mode) {
  if (!path || !*path || !ValidMode(mode)) return nullptr;
  std::FILE* stream = win32::IsTemporary(path) ? OpenTemporary(path, mode) : std::fopen(path, mode);
  if (stream && !Acceptable(stream)) {
    std::fclose(stream);
    return nullptr;
  }
  return stream;
}

// Windows has no streams over memory: the bytes go into a temporary file
// that the system deletes when the stream is closed.
std::FILE* OpenMemoryStream(const void* data, uint32_t size) {
  if (!data && size != 0) return nullptr;
  char directory[MAX_PATH + 1];
  char name[MAX_PATH + 1];
  DWORD length = GetTempPathA(sizeof directory, directory);
  if (length == 0 || length > MAX_PATH || GetTempFileNameA(directory, "qmf", 0, name) == 0)
    return nullptr;
  HANDLE handle = CreateFileA(name, GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    DeleteFileA(name);
    return nullptr;
  }
  DWORD written = 0;
  if (size != 0 && (!::WriteFile(handle, data, size, &written, nullptr) || written != size)) {
    CloseHandle(handle);
    return nullptr;
  }
  SetFilePointer(handle, 0, nullptr, FILE_BEGIN);
  return StreamOver(handle, _O_RDONLY | _O_BINARY, "rb");
}

bool SeekStream(std::FILE* stream, int64_t offset, int whence) {
  return _fseeki64(stream, offset, whence) == 0;
}

int64_t TellStream(std::FILE* stream) {
  long long position = _ftelli64(stream);
  return position < 0 ? -1 : static_cast<int64_t>(position);
}

}  // namespace platform
