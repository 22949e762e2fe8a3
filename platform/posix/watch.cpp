#include "platform/watch.h"

#include <poll.h>
#include <sys/inotify.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <map>
#include <system_error>

namespace platform {

namespace {

namespace fs = std::filesystem;

constexpr uint32_t kEvents = IN_CLOSE_WRITE | IN_MODIFY | IN_ATTRIB | IN_CREATE | IN_DELETE |
                             IN_MOVED_FROM | IN_MOVED_TO | IN_DELETE_SELF | IN_ONLYDIR |
                             IN_DONT_FOLLOW;

// One inotify instance with a watch on every folder of the tree; folders
// made later are added as their creation is seen.
class InotifyWatch : public FolderWatch {
 public:
  InotifyWatch(int descriptor, std::string root) : fd_(descriptor), root_(std::move(root)) {}
  ~InotifyWatch() override { close(fd_); }

  bool AddTree(const std::string& folder) {
    if (!Add(folder)) return false;
    std::error_code error;
    fs::recursive_directory_iterator it(folder, fs::directory_options::skip_permission_denied, error);
    for (fs::recursive_directory_iterator end; !error && it != end; it.increment(error)) {
      std::error_code ignored;
      if (!it->is_symlink(ignored) && it->is_directory(ignored) && !Add(it->path().string())) {
        return false;
      }
    }
    return true;
  }

  bool Wait(int milliseconds, std::vector<std::string>& changed) override {
    pollfd ready{fd_, POLLIN, 0};
    const int count = poll(&ready, 1, milliseconds);
    if (count < 0) return errno == EINTR;
    if (count == 0) return true;
    alignas(inotify_event) char buffer[64 * 1024];
    for (;;) {
      const ssize_t got = read(fd_, buffer, sizeof buffer);
      if (got <= 0) return got == 0 || errno == EAGAIN || errno == EINTR;
      for (ssize_t at = 0; at < got;) {
        const inotify_event* event = reinterpret_cast<const inotify_event*>(buffer + at);
        at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
        if (event->mask & IN_Q_OVERFLOW) {
          // Events were lost: anything may have changed.
          changed.push_back(root_);
          continue;
        }
        auto folder = folders_.find(event->wd);
        if (folder == folders_.end()) continue;
        if (event->mask & IN_IGNORED) {
          folders_.erase(folder);
          continue;
        }
        const std::string path =
            event->len > 0 ? folder->second + "/" + event->name : folder->second;
        changed.push_back(path);
        if ((event->mask & IN_ISDIR) && (event->mask & (IN_CREATE | IN_MOVED_TO))) {
          // A new folder may hold files already, written before its watch.
          AddTree(path);
          std::error_code error;
          for (fs::recursive_directory_iterator it(path, error), end; !error && it != end;
               it.increment(error)) {
            changed.push_back(it->path().string());
          }
        }
      }
    }
  }

 private:
  bool Add(const std::string& folder) {
    const int wd = inotify_add_watch(fd_, folder.c_str(), kEvents);
    if (wd < 0) return false;
    folders_[wd] = folder;
    return true;
  }

  const int fd_;
  const std::string root_;
  std::map<int, std::string> folders_;
};

}  // namespace

std::unique_ptr<FolderWatch> WatchFolder(const std::string& root) {
  std::error_code error;
  if (!fs::is_directory(root, error)) return nullptr;
  const int fd = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
  if (fd >= 0) {
    auto watch = std::make_unique<InotifyWatch>(fd, root);
    // Too many folders for the user's watch limit: poll instead.
    if (watch->AddTree(root)) return watch;
  }
  return PollFolder(root);
}

}  // namespace platform
