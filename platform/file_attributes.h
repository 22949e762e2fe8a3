#pragma once
// Attribute queries on existing paths.

#include <cstdint>
#include <string>

namespace platform {

/// The attribute bit of a directory.
constexpr uint32_t kAttributeDirectory = 0x10;

/// A symbolic link (a reparse point on Windows) met in a directory listing.
constexpr uint32_t kAttributeReparsePoint = 0x400;

/// Reads the attributes of an existing path (file names match regardless of
/// letter case). Returns false when the path does not exist, or when the
/// question could not be asked (memory ran out).
bool GetFileAttributes(const std::string& path, uint32_t& attributes);
/// The same for a name its caller holds as text, made absolute first.
bool GetFileAttributes(const char* path, uint32_t& attributes);

/// The time `path` was last written, when it is an existing regular file
/// (links followed, names matched regardless of letter case), in ticks that
/// compare with each other on one system only. False otherwise.
bool RegularFileTime(const std::string& path, int64_t& time);

}  // namespace platform
