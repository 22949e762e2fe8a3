#pragma once
// Attribute queries on existing paths.

#include <cstdint>
#include <string>

namespace platform {

/// The attribute bit of a directory.
constexpr uint32_t kAttributeDirectory = 0x10;

/// Reads the attributes of an existing path (file names match regardless of
/// letter case). Returns false when the path does not exist.
bool GetFileAttributes(const std::string& path, uint32_t& attributes);

}  // namespace platform
