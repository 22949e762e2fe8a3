#pragma once
// The pieces of writing an output under a temporary name and replacing the
// final file only once it is complete. Paths are absolute. No call throws:
// every failure, running out of memory included, is answered as one.

#include <cstddef>
#include <string>

namespace platform {

/// Whether a finished file may be put at `final_path`: nothing is there in
/// any letter case, or a file that can be opened for writing. A directory,
/// or a file that cannot be opened for writing (read-only, another user's,
/// held by another program), refuses it. Symbolic links are followed.
bool CanTakeOutput(const char* final_path);

/// Creates a new empty file under a short unique name in the directory of
/// the file that `final_path` replaces (beside the final file, or beside the
/// file a symbolic link there points to), with that file's permission bits
/// when it exists. Its name goes into `temporary` (`size` bytes, room for a
/// path of platform::kMaxPath characters); false on failure.
bool CreateTemporaryFileBeside(const char* final_path, char* temporary, std::size_t size);

/// Renames `from` over the file that `to` names: an existing file in
/// another letter case, the file a symbolic link at `to` points to (the
/// link stays), or else `to` as given. False on failure.
bool ReplaceFileWith(const char* from, const char* to);

/// Deletes a file. False on failure.
bool RemoveFile(const char* path);

// The same two steps for a final name that the caller has just seen to
// exist in no letter case (in a folder it listed itself, say). Nothing is
// replaced, so the folder is not searched for the name again: writing many
// new files into one large folder costs no search of it per file.

/// Creates the temporary file in the directory of `final_path`.
bool CreateTemporaryFileForNew(const char* final_path, char* temporary, std::size_t size);
/// Gives `from` the new name `to`; fails, leaving `from`, where a file of
/// that name has appeared meanwhile (it is never replaced).
bool PlaceNewFile(const char* from, const char* to);

// The same for callers that hold their names as strings.

bool CanTakeOutput(const std::string& final_path);
/// The temporary file's name, or "" on failure.
std::string CreateTemporaryFileBeside(const std::string& final_path);
bool ReplaceFileWith(const std::string& from, const std::string& to);
bool RemoveFile(const std::string& path);
std::string CreateTemporaryFileForNew(const std::string& final_path);
bool PlaceNewFile(const std::string& from, const std::string& to);

}  // namespace platform
