#pragma once
// Enumerating the entries of a directory.

#include <cstdint>
#include <string>
#include <vector>

namespace platform {

/// One entry of a directory as the system reports it.
struct DirectoryEntry {
  std::string name;
  uint32_t attributes = 0;
};

/// Lists the entries that match `pattern`, a directory prefix ending in a
/// separator followed by "*", in the order the system gives them ("." and
/// ".." included where the system reports them). A directory that cannot be
/// enumerated gives an empty list.
std::vector<DirectoryEntry> FindFiles(const std::string& pattern);

}  // namespace platform
