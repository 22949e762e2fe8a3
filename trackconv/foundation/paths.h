#pragma once
// Resolved directories, split paths, directory listings and the letter-case
// handling of file names.

#include <cstdint>
#include <string>
#include <vector>

/// A resolved directory: its last component and its absolute path.
class Directory {
 public:
  explicit Directory(const std::string& path);
  std::string Name() const { return name_; }
  std::string FullPath() const { return full_path_; }

 private:
  std::string name_;
  std::string full_path_;
};

/// An absolute path split into its parts; the path need not exist.
class Pathname {
 public:
  Pathname();
  explicit Pathname(const std::string& path);
  std::string FullPath() const { return full_path_; }
  std::string FileName() const { return file_name_; }
  std::string Extension() const { return extension_; }
  /// The path without its last component; XAssumption for a root.
  std::string Parent() const;
  bool IsRoot() const { return root_; }

 private:
  std::string full_path_;
  std::string file_name_;
  std::string extension_;
  std::string parent_;
  bool root_ = false;
};

/// The entries of a directory, in the order the system enumerates them.
class DirectoryListing {
 public:
  explicit DirectoryListing(const Pathname& directory);
  uint32_t Count() const { return static_cast<uint32_t>(entries_.size()); }
  Pathname Entry(uint32_t i) const { return entries_.at(i).path; }
  bool IsDirectory(uint32_t i) const { return entries_.at(i).is_directory; }

 private:
  struct Item {
    Pathname path;
    bool is_directory;
  };
  std::vector<Item> entries_;
};

/// Lower-cases exactly the letters A to Z.
std::string ToLower(const std::string& text);

/// Compares without regard to letter case; 0 means equal.
int CompareNoCase(const std::string& a, const std::string& b);

/// The extension of the last component of `name`: the text after its last
/// "."; empty when it has none.
std::string ExtensionOf(const std::string& name);
