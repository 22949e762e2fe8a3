#include "platform/native_file.h"

#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/common/guarded.h"
#include "platform/memory_files.h"
#include "platform/posix/case_lookup.h"

namespace platform {

namespace {
int Descriptor(NativeFile file) { return static_cast<int>(file.value); }
constexpr off_t kLargestPosition = 0xFFFFFFFEu;  // 0xFFFFFFFF means failure

NativeFile OpenOnDisk(const std::string& path, uint32_t access, uint32_t creation) {
  NativeFile result;
  int flags = O_CLOEXEC;
  flags |= (access & kGenericWrite) ? O_RDWR : O_RDONLY;
  std::string on_disk;
  switch (creation) {
    case kOpenExisting:
      on_disk = posix::ExistingCase(path);
      break;
    case kCreateNew:
      flags |= O_CREAT | O_EXCL;
      on_disk = posix::ExistingCase(path);  // an existing file in any case blocks it
      break;
    case kCreateAlways:
      flags |= O_CREAT | O_TRUNC;
      on_disk = posix::ExistingCase(path);  // replaces the file a lookup finds
      break;
    default:
      return result;
  }
  // O_NONBLOCK keeps a named pipe from blocking the open until a writer
  // comes; it is refused below like every other non-regular file.
  int fd;
  do {
    fd = open(on_disk.c_str(), flags | O_NONBLOCK, 0666);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) return result;

  // Only regular files are files here: a directory cannot be opened, and
  // neither can anything of 4 GiB or more.
  struct stat info;
  if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) || info.st_size > kLargestPosition ||
      fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK) != 0) {
    close(fd);
    return result;
  }
  result.value = fd;
  return result;
}

}  // namespace

NativeFile OpenFile(const std::string& path, uint32_t access, uint32_t /*share*/,
                    uint32_t creation) {
  return Guarded(NativeFile(), [&] {
    NativeFile result;
    if (path.empty()) return result;
    if (memory::Serves(path)) return memory::Open(path, access, creation);
    return OpenOnDisk(path, access, creation);
  });
}

void CloseFile(NativeFile file) {
  if (file.in_memory) return memory::Close(file);
  if (file.valid()) close(Descriptor(file));
}

bool ReadFile(NativeFile file, void* buffer, uint32_t count, uint32_t& done) {
  if (file.in_memory) return memory::Read(file, buffer, count, done);
  done = 0;
  char* out = static_cast<char*>(buffer);
  while (done < count) {
    ssize_t got = read(Descriptor(file), out + done, count - done);
    if (got < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    if (got == 0) break;  // end of file: a short read
    done += static_cast<uint32_t>(got);
  }
  return true;
}

bool WriteFile(NativeFile file, const void* buffer, uint32_t count, uint32_t& done) {
  if (file.in_memory) return memory::Write(file, buffer, count, done);
  done = 0;
  const char* in = static_cast<const char*>(buffer);
  while (done < count) {
    off_t position = lseek(Descriptor(file), 0, SEEK_CUR);
    if (position < 0 || static_cast<uint64_t>(position) + (count - done) > kLargestPosition)
      return false;
    ssize_t put = write(Descriptor(file), in + done, count - done);
    if (put < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    if (put == 0) return false;
    done += static_cast<uint32_t>(put);
  }
  return true;
}

uint32_t SeekFile(NativeFile file, uint32_t position) {
  if (file.in_memory) return memory::Seek(file, position);
  if (!file.valid() || position == kSeekFailed) return kSeekFailed;
  off_t result = lseek(Descriptor(file), static_cast<off_t>(position), SEEK_SET);
  return result < 0 ? kSeekFailed : static_cast<uint32_t>(result);
}

uint32_t TellFile(NativeFile file) {
  if (file.in_memory) return memory::Tell(file);
  if (!file.valid()) return kSeekFailed;
  off_t result = lseek(Descriptor(file), 0, SEEK_CUR);
  return (result < 0 || result > kLargestPosition) ? kSeekFailed : static_cast<uint32_t>(result);
}

uint32_t FileSize(NativeFile file) {
  if (file.in_memory) return memory::Size(file);
  struct stat info;
  if (!file.valid() || fstat(Descriptor(file), &info) != 0 || info.st_size > kLargestPosition)
    return kSeekFailed;
  return static_cast<uint32_t>(info.st_size);
}

}  // namespace platform
