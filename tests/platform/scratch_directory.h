#pragma once
// A fresh, empty directory under the system's temporary directory for one
// test, removed with everything in it afterwards.

#include <atomic>
#include <chrono>
#include <filesystem>
#include <string>

#include "platform/path.h"

class ScratchDirectory {
 public:
  ScratchDirectory() {
    static std::atomic<unsigned> counter{0};
    auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
    path_ = std::filesystem::temp_directory_path() /
            ("platform-test-" + std::to_string(stamp) + "-" + std::to_string(counter++));
    std::filesystem::create_directories(path_);
  }
  ~ScratchDirectory() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  ScratchDirectory(const ScratchDirectory&) = delete;
  ScratchDirectory& operator=(const ScratchDirectory&) = delete;

  const std::filesystem::path& Path() const { return path_; }
  /// `name` inside the directory, joined with the system's own separator.
  std::string Join(const std::string& name) const {
    return path_.string() + platform::kSeparator + name;
  }

 private:
  std::filesystem::path path_;
};

/// True where the platform layer maps onto Win32 (the separator tells).
inline bool OnWindowsConventions() { return platform::kSeparator == '\\'; }
