#include "trackconv/foundation/paths.h"

#include "platform/directory_enum.h"
#include "platform/file_attributes.h"
#include "platform/path.h"
#include "trackconv/foundation/errors.h"

namespace {

struct Resolved {
  std::string full;
  std::size_t last = std::string::npos;  // npos for a root
  bool IsRoot() const { return last == std::string::npos; }
  std::string LastComponent() const { return IsRoot() ? std::string() : full.substr(last); }
  /// The path up to the separator before the last component. A path right
  /// below a root keeps the root with its separator: cutting C:\x to "C:"
  /// would name the current directory of drive C instead.
  std::string Parent() const {
    if (IsRoot()) return std::string();
    std::string with_separator = full.substr(0, last);
    std::string resolved;
    std::size_t resolved_last;
    if (platform::FullPathName(with_separator, resolved, resolved_last) &&
        resolved_last == std::string::npos)
      return resolved;
    std::size_t cut = last;
    while (cut > 0 && platform::IsSeparator(full[cut - 1])) --cut;
    return full.substr(0, cut);
  }
};

Resolved Absolute(const std::string& path) {
  Resolved resolved;
  if (!platform::FullPathName(path, resolved.full, resolved.last))
    throw XAssumption("GetFullPathName failed");
  return resolved;
}

bool Attributes(const std::string& path, uint32_t& attributes) {
  return platform::GetFileAttributes(path, attributes);
}

char LowerChar(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

std::string LastComponentOf(const std::string& name) {
  std::size_t start = name.size();
  while (start > 0 && !platform::IsSeparator(name[start - 1])) --start;
  return name.substr(start);
}

std::string AfterLastDot(const std::string& component) {
  std::size_t dot = component.rfind('.');
  return dot == std::string::npos ? std::string() : component.substr(dot + 1);
}

}  // namespace

Directory::Directory(const std::string& path) {
  auto does_not_exist = [&path]() { return XAssumption("Directory " + path + " does not exist"); };

  Resolved current = Absolute(path);
  uint32_t attributes = 0;
  if (!Attributes(current.full, attributes)) {
    // A missing directory is still accepted when its parent holds the
    // archive named after the parent itself.
    if (current.IsRoot()) throw does_not_exist();
    Resolved parent = Absolute(current.Parent());
    if (parent.IsRoot()) throw does_not_exist();
    std::string separator(1, platform::kSeparator);
    current = Absolute(parent.full + separator + parent.LastComponent() + ".dat");
    if (!Attributes(current.full, attributes)) throw does_not_exist();
  }
  if (!(attributes & platform::kAttributeDirectory)) {
    if (current.IsRoot()) throw does_not_exist();
    current = Absolute(current.Parent());
    if (!Attributes(current.full, attributes) || !(attributes & platform::kAttributeDirectory))
      throw does_not_exist();
  }
  full_path_ = current.full;
  name_ = current.IsRoot() ? current.full : current.LastComponent();
}

Pathname::Pathname() : Pathname(".") {}

Pathname::Pathname(const std::string& path) {
  Resolved resolved = Absolute(path);
  full_path_ = resolved.full;
  if (resolved.IsRoot()) {
    file_name_ = resolved.full;
    root_ = true;
  } else {
    file_name_ = resolved.LastComponent();
    extension_ = AfterLastDot(file_name_);
    parent_ = resolved.Parent();
  }
}

std::string Pathname::Parent() const {
  if (root_) throw XAssumption("Pathname has no parent");
  return parent_;
}

DirectoryListing::DirectoryListing(const Pathname& directory) {
  std::string prefix = directory.FullPath();
  if (prefix.empty() || !platform::IsSeparator(prefix.back())) prefix += platform::kSeparator;
  for (const platform::DirectoryEntry& entry : platform::FindFiles(prefix + "*")) {
    if (entry.name == "." || entry.name == "..") continue;
    entries_.push_back(
        {Pathname(prefix + entry.name), (entry.attributes & platform::kAttributeDirectory) != 0});
  }
}

std::string ToLower(const std::string& text) {
  std::string lower = text;
  for (char& c : lower) c = LowerChar(c);
  return lower;
}

int CompareNoCase(const std::string& a, const std::string& b) {
  std::size_t common = a.size() < b.size() ? a.size() : b.size();
  for (std::size_t i = 0; i < common; ++i) {
    int8_t ca = static_cast<int8_t>(LowerChar(a[i]));
    int8_t cb = static_cast<int8_t>(LowerChar(b[i]));
    if (ca != cb) return ca - cb;
  }
  return static_cast<int>(a.size()) - static_cast<int>(b.size());
}

std::string ExtensionOf(const std::string& name) { return AfterLastDot(LastComponentOf(name)); }
