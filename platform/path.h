#pragma once
// Path services: making a path absolute and telling separators apart.

#include <cstddef>
#include <string>

namespace platform {

/// Longest absolute path, in characters, that the system accepts.
extern const std::size_t kMaxPath;

/// The separator that paths built by the programs use.
extern const char kSeparator;

/// True where absolute paths begin with '/' (so "/home/me/pic.pcx" names a
/// file rather than an option of a program that also takes '/' options).
extern const bool kAbsolutePathsBeginWithSlash;

/// True for every character that separates path components on this system.
bool IsSeparator(char c);

/// Makes `path` absolute against the current directory, collapsing "." and
/// ".." and repeated separators. Fails (returns false) when the result does
/// not fit in kMaxPath characters or cannot be formed. `last_component` is
/// set to the offset of the last component in `full`, or std::string::npos
/// when the path is a root and has no last component.
bool FullPathName(const std::string& path, std::string& full,
                  std::size_t& last_component);

/// The current working directory as an absolute path, or "" on failure.
std::string CurrentDirectory();

}  // namespace platform
