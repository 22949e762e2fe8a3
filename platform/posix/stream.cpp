#include "platform/stream.h"

#include <errno.h>
#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

#include <string>

#include "platform/common/guarded.h"
#include "platform/path.h"
#include "platform/posix/case_lookup.h"

namespace platform {

namespace {

constexpr int64_t kLargestSize = 0xFFFFFFFFll;

// The open(2) flags and the fdopen mode of a C open mode; false for a mode
// that is not one of r, w, a with optional '+', 'b' and 't'.
bool TranslateMode(const char* mode, int& flags, const char*& stream_mode) {
  if (!mode || (mode[0] != 'r' && mode[0] != 'w' && mode[0] != 'a')) return false;
  bool update = false;
  for (const char* c = mode + 1; *c; ++c) {
    if (*c == '+')
      update = true;
    else if (*c != 'b' && *c != 't')
      return false;
  }
  switch (mode[0]) {
    case 'r':
      flags = update ? O_RDWR : O_RDONLY;
      stream_mode = update ? "r+" : "r";
      break;
    case 'w':
      flags = (update ? O_RDWR : O_WRONLY) | O_CREAT | O_TRUNC;
      stream_mode = update ? "w+" : "w";
      break;
    default:
      flags = (update ? O_RDWR : O_WRONLY) | O_CREAT | O_APPEND;
      stream_mode = update ? "a+" : "a";
      break;
  }
  return true;
}

}  // namespace

std::FILE* OpenStream(const char* path, const char* mode) {
  int flags = 0;
  const char* stream_mode = nullptr;
  if (!path || !*path || !TranslateMode(mode, flags, stream_mode)) return nullptr;
  // An existing file is found in any letter case, also by the modes that
  // create or empty it; only a name that exists in no case is new.
  const std::string on_disk = Guarded(std::string(), [&] {
    std::string full;
    std::size_t last_component = 0;
    return FullPathName(path, full, last_component) ? posix::ExistingCase(full) : std::string();
  });
  if (on_disk.empty()) return nullptr;

  // O_NONBLOCK keeps a named pipe from blocking the open; it is refused
  // below like every other non-regular file.
  int fd;
  do {
    fd = open(on_disk.c_str(), flags | O_CLOEXEC | O_NONBLOCK, 0666);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) return nullptr;
  struct stat info;
  if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) || info.st_size > kLargestSize ||
      fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK) != 0) {
    close(fd);
    return nullptr;
  }
  std::FILE* stream = fdopen(fd, stream_mode);
  if (!stream) close(fd);
  return stream;
}

std::FILE* OpenMemoryStream(const void* data, uint32_t size) {
  static char empty[1];
  // fmemopen only reads from a stream opened for reading.
  void* bytes = size == 0 ? static_cast<void*>(empty) : const_cast<void*>(data);
  if (!bytes) return nullptr;
  return fmemopen(bytes, size, "r");
}

bool SeekStream(std::FILE* stream, int64_t offset, int whence) {
  return fseeko(stream, static_cast<off_t>(offset), whence) == 0;
}

int64_t TellStream(std::FILE* stream) {
  off_t position = ftello(stream);
  return position < 0 ? -1 : static_cast<int64_t>(position);
}

}  // namespace platform
