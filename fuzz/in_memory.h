#pragma once
// The fuzz targets' files live in memory: every path below kFuzzRoot is
// served by the platform's in-memory files, so no input touches the disk.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/memory_files.h"
#include "platform/path.h"

namespace fuzz {

/// The in-memory directory, mounted on first use.
inline const std::string& Root() {
  static const std::string root = [] {
    std::string full;
    std::size_t last;
    platform::FullPathName("/fuzz-memory", full, last);
    platform::MountMemoryDirectory(full);
    return full;
  }();
  return root;
}

/// The full path of `name` ('/'-separated) inside the in-memory directory.
inline std::string Path(const std::string& name) {
  std::string path = Root() + platform::kSeparator;
  for (char c : name) path += c == '/' ? platform::kSeparator : c;
  return path;
}

/// Stores `size` bytes as the in-memory file `path`.
inline void Put(const std::string& path, const uint8_t* data, std::size_t size) {
  platform::PutMemoryFile(path, data, size);
}

/// The bytes of the in-memory file `path` (empty when there is none).
inline std::vector<uint8_t> Get(const std::string& path) {
  std::vector<uint8_t> bytes;
  platform::GetMemoryFile(path, bytes);
  return bytes;
}

}  // namespace fuzz
