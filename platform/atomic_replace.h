#pragma once
// The pieces of writing an output under a temporary name and replacing the
// final file only once it is complete.

#include <string>

namespace platform {

/// Creates a new empty file beside `final_path` (same directory) under a
/// fresh unique name and returns that name, or "" on failure.
std::string CreateTemporaryFileBeside(const std::string& final_path);

/// Renames `from` over `to`, replacing an existing `to` (found regardless of
/// letter case). False on failure.
bool ReplaceFileWith(const std::string& from, const std::string& to);

/// Deletes a file. False on failure.
bool RemoveFile(const std::string& path);

}  // namespace platform
