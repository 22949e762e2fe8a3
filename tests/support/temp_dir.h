#pragma once
// Scratch directories and small file helpers for tests.

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace testing_support {

/// A fresh directory under the system's temporary folder, removed with
/// everything in it when the object goes.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::filesystem::path& path() const { return path_; }
  /// `relative` ('/'-separated) inside the directory, as a string in the
  /// system's own form, the way the programs print paths.
  std::string operator/(const std::string& relative) const {
    return (path_ / std::filesystem::path(relative).make_preferred()).string();
  }

 private:
  std::filesystem::path path_;
};

/// Makes `directory` the current directory until the object goes.
class ScopedCurrentDirectory {
 public:
  explicit ScopedCurrentDirectory(const std::filesystem::path& directory);
  ~ScopedCurrentDirectory();

 private:
  std::filesystem::path previous_;
};

void WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes);
void WriteText(const std::string& path, const std::string& text);
std::vector<uint8_t> ReadBytes(const std::string& path);
/// Names of the entries of a directory, sorted.
std::vector<std::string> ListNames(const std::filesystem::path& directory);

}  // namespace testing_support
