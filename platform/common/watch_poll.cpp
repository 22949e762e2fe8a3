// The polling watch: both systems fall back to it, and the tests compare
// it with the notification services.

#include <chrono>
#include <filesystem>
#include <map>
#include <system_error>
#include <thread>

#include "platform/watch.h"

namespace platform {

namespace {

namespace fs = std::filesystem;

class PollingWatch : public FolderWatch {
 public:
  explicit PollingWatch(std::string root) : root_(std::move(root)) { Scan(seen_); }

  bool Wait(int milliseconds, std::vector<std::string>& changed) override {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
    for (;;) {
      std::map<std::string, Look> now;
      if (!Scan(now)) return false;
      bool any = false;
      for (const auto& [path, look] : now) {
        auto before = seen_.find(path);
        if (before == seen_.end() || !(before->second == look)) {
          changed.push_back(path);
          any = true;
        }
      }
      for (const auto& [path, look] : seen_) {
        if (now.find(path) == now.end()) {
          changed.push_back(path);
          any = true;
        }
      }
      seen_ = std::move(now);
      if (any) return true;
      const auto left = deadline - std::chrono::steady_clock::now();
      if (left <= std::chrono::steady_clock::duration::zero()) return true;
      std::this_thread::sleep_for(std::min<std::chrono::steady_clock::duration>(
          left, std::chrono::milliseconds(100)));
    }
  }

 private:
  struct Look {
    uintmax_t size;
    fs::file_time_type time;
    bool operator==(const Look& other) const { return size == other.size && time == other.time; }
  };

  bool Scan(std::map<std::string, Look>& into) {
    std::error_code error;
    if (!fs::is_directory(root_, error)) return false;
    fs::recursive_directory_iterator it(root_, fs::directory_options::skip_permission_denied, error);
    for (fs::recursive_directory_iterator end; !error && it != end; it.increment(error)) {
      std::error_code ignored;
      const bool directory = !it->is_symlink(ignored) && it->is_directory(ignored);
      Look look{directory ? 0 : it->file_size(ignored), it->last_write_time(ignored)};
      into[it->path().string()] = look;
    }
    return true;
  }

  const std::string root_;
  std::map<std::string, Look> seen_;
};

}  // namespace

std::unique_ptr<FolderWatch> PollFolder(const std::string& root) {
  std::error_code error;
  if (!fs::is_directory(root, error)) return nullptr;
  return std::make_unique<PollingWatch>(root);
}

}  // namespace platform
