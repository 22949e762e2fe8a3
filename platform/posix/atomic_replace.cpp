#include "platform/atomic_replace.h"

#include <errno.h>
#include <fcntl.h>
#include <limits.h>
#include <signal.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstring>
#include <vector>

#include "platform/common/guarded.h"
#include "platform/common/temporaries.h"
#include "platform/interrupt.h"
#include "platform/path.h"
#include "platform/posix/case_lookup.h"

namespace platform {

namespace {

// As many links as the system itself follows before it gives up.
constexpr int kMostLinks = 40;

// `path` made absolute and found on disk regardless of letter case; "" when
// it cannot be made absolute or is a root.
std::string FullOnDisk(const char* path) {
  std::string full;
  std::size_t last = 0;
  if (!path || !*path || !FullPathName(path, full, last) || last == std::string::npos) return std::string();
  return posix::ExistingCase(full);
}

// Everything up to and including the last separator.
std::string DirectoryPart(const std::string& path) { return path.substr(0, path.rfind('/') + 1); }

// The file that writing at `path` (absolute, found on disk) replaces: the
// path itself, or where the chain of symbolic links starting there ends
// (which need not exist yet); "" when the chain does not end.
std::string ReplacedFile(std::string path) {
  for (int hop = 0; hop < kMostLinks; ++hop) {
    struct stat info;
    if (lstat(path.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) return path;
    std::vector<char> text(PATH_MAX + 1);
    const ssize_t length = readlink(path.c_str(), text.data(), PATH_MAX);
    if (length <= 0) return std::string();
    std::string target(text.data(), static_cast<std::size_t>(length));
    if (target[0] != '/') target = DirectoryPart(path) + target;
    path = posix::ExistingCase(target);
  }
  return std::string();
}

// The replacement takes over the owner and the permission bits of the file
// it replaces. Only the superuser may hand a file to another owner; the
// group goes along where the system allows it.
bool TakeOverOwnerAndMode(int fd, const struct stat& replaced) {
  if ((replaced.st_uid != geteuid() || replaced.st_gid != getegid()) &&
      fchown(fd, replaced.st_uid, replaced.st_gid) != 0 &&
      fchown(fd, static_cast<uid_t>(-1), replaced.st_gid) != 0) {
    // The owner the system lets us keep is ourselves.
  }
  return fchmod(fd, replaced.st_mode & 07777) == 0;
}

// A hard-to-guess 24-bit number, different for every call in the process.
unsigned NextSalt() {
  static std::atomic<unsigned> counter{0};
  struct timespec now {};
  clock_gettime(CLOCK_MONOTONIC, &now);
  unsigned salt = static_cast<unsigned>(getpid()) * 2654435761u;
  salt ^= static_cast<unsigned>(now.tv_nsec) ^ (counter++ * 40503u);
  return salt & 0xFFFFFFu;
}

// Holds off the interruption signals in this thread, so that a temporary
// is never on disk without being registered for removal.
class SignalsHeld {
 public:
  SignalsHeld() {
    sigset_t held;
    sigemptyset(&held);
    for (int signal : {SIGINT, SIGTERM, SIGHUP}) sigaddset(&held, signal);
    pthread_sigmask(SIG_BLOCK, &held, &before_);
  }
  ~SignalsHeld() { pthread_sigmask(SIG_SETMASK, &before_, nullptr); }
  SignalsHeld(const SignalsHeld&) = delete;
  SignalsHeld& operator=(const SignalsHeld&) = delete;

 private:
  sigset_t before_;
};

// Creates a new empty file under a short name of its own in `directory`
// (ending in '/'), registered for removal, taking over the owner and mode
// of `replaced` if given.
bool CreateIn(const std::string& directory, const struct stat* replaced, char* temporary, std::size_t size) {
  // A short name of its own, not the final name with a suffix, so that
  // every final name the system accepts can be written.
  for (int attempt = 0; attempt < 100; ++attempt) {
    char name[16];
    std::snprintf(name, sizeof name, "out%06x.tmp", NextSalt());
    const std::string candidate = directory + name;
    if (candidate.size() >= size) return false;
    SignalsHeld held;
    if (!temporaries::BeginCreating()) return false;
    // Created like any new file (the umask applies) unless it replaces one.
    const int fd = open(candidate.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    const int error = errno;
    if (fd >= 0) RegisterTemporary(candidate.c_str());
    temporaries::EndCreating();
    if (fd < 0) {
      if (error == EEXIST) continue;
      return false;
    }
    const bool ready = !replaced || TakeOverOwnerAndMode(fd, *replaced);
    close(fd);
    if (!ready) {
      RemoveFile(candidate.c_str());
      return false;
    }
    std::memcpy(temporary, candidate.c_str(), candidate.size() + 1);
    return true;
  }
  return false;
}

}  // namespace

bool CanTakeOutput(const char* final_path) {
  return Guarded(false, [&] {
    const std::string path = FullOnDisk(final_path);
    if (path.empty()) return false;
    struct stat info;
    if (stat(path.c_str(), &info) != 0) return errno == ENOENT;  // nothing, or a link to nothing
    if (S_ISDIR(info.st_mode)) return false;
    // Opening is the test: permission bits alone do not tell what this
    // user may do (another user's file, the superuser).
    const int fd = open(path.c_str(), O_RDWR | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) return false;
    const bool regular = fstat(fd, &info) == 0 && S_ISREG(info.st_mode);
    close(fd);
    return regular;
  });
}

bool CreateTemporaryFileBeside(const char* final_path, char* temporary, std::size_t size) {
  return Guarded(false, [&] {
    if (!temporary) return false;
    const std::string target = ReplacedFile(FullOnDisk(final_path));
    if (target.empty()) return false;
    struct stat replaced;
    const bool replaces = stat(target.c_str(), &replaced) == 0 && S_ISREG(replaced.st_mode);
    return CreateIn(DirectoryPart(target), replaces ? &replaced : nullptr, temporary, size);
  });
}

bool CreateTemporaryFileForNew(const char* final_path, char* temporary, std::size_t size) {
  return Guarded(false, [&] {
    if (!temporary) return false;
    // Only the folders on the way are found regardless of case: the name
    // itself is new.
    std::string full;
    std::size_t last = 0;
    if (!final_path || !*final_path || !FullPathName(final_path, full, last) || last == std::string::npos)
      return false;
    return CreateIn(DirectoryPart(posix::CreationCase(full)), nullptr, temporary, size);
  });
}

bool PlaceNewFile(const char* from, const char* to) {
  return Guarded(false, [&] {
    std::string full;
    std::size_t last = 0;
    if (!from || !*from || !to || !*to || !FullPathName(to, full, last) || last == std::string::npos) return false;
    const std::string target = posix::CreationCase(full);
#ifdef RENAME_NOREPLACE
    // One call where the system has it: the name is taken only if free.
    if (renameat2(AT_FDCWD, from, AT_FDCWD, target.c_str(), RENAME_NOREPLACE) == 0) {
      ForgetTemporary(from);
      return true;
    }
    if (errno == EEXIST) return false;
#endif
    // A second link fails where the name exists: nothing is replaced.
    if (link(from, target.c_str()) == 0) {
      RemoveFile(from);  // the other name of the same file, in the same folder
      return true;
    }
    if (errno == EEXIST) return false;
    // File systems without links: the name is checked, then taken.
    struct stat info;
    if (lstat(target.c_str(), &info) == 0 || errno != ENOENT || rename(from, target.c_str()) != 0) return false;
    ForgetTemporary(from);
    return true;
  });
}

bool ReplaceFileWith(const char* from, const char* to) {
  return Guarded(false, [&] {
    if (!from || !*from) return false;
    std::string target = ReplacedFile(FullOnDisk(to));
    if (target.empty()) return false;
    // Only a missing final name can match the temporary file itself.
    if (target == from) {
      std::string full;
      std::size_t last = 0;
      if (!FullPathName(to, full, last)) return false;
      target = posix::CreationCase(full);
    }
    if (rename(from, target.c_str()) != 0) return false;
    ForgetTemporary(from);
    return true;
  });
}

bool RemoveFile(const char* path) {
  if (!path || unlink(path) != 0) return false;
  ForgetTemporary(path);
  return true;
}

}  // namespace platform
