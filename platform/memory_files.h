#pragma once
// In-memory files: below a mounted root, the file services (OpenFile and
// the calls on its handles, GetFileAttributes, FindFiles) serve a registry
// of named byte arrays instead of the disk, the way a virtual file system
// serves tests and fuzz targets. Everywhere else the disk is used as usual.
// Not thread-safe: mount, fill and use from one thread.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/directory_enum.h"
#include "platform/native_file.h"

namespace platform {

/// Serves every path at or below `root` (absolute, in the form FullPathName
/// gives) from memory. The root itself is an empty directory to begin with.
void MountMemoryDirectory(const std::string& root);

/// Unmounts every root and drops every in-memory file; handles still open
/// on them keep their bytes until closed.
void UnmountMemoryDirectories();

/// Puts a file of `size` bytes at `path` below a mounted root, replacing a
/// file of that name (its open handles keep the old bytes). False when the
/// path is not below a mounted root or names a directory.
bool PutMemoryFile(const std::string& path, const void* data, std::size_t size);

/// Copies the bytes of the in-memory file at `path`; false when none exists.
bool GetMemoryFile(const std::string& path, std::vector<uint8_t>& bytes);

namespace memory {

// The hooks the system implementations call first. Each one answers only
// for paths below a mounted root or for handles it made.

/// True when `path` is at or below a mounted root.
bool Serves(const std::string& path);
/// OpenFile for a served path (share modes are not emulated).
NativeFile Open(const std::string& path, uint32_t access, uint32_t creation);
void Close(NativeFile file);
bool Read(NativeFile file, void* buffer, uint32_t count, uint32_t& done);
bool Write(NativeFile file, const void* buffer, uint32_t count, uint32_t& done);
uint32_t Seek(NativeFile file, uint32_t position);
uint32_t Tell(NativeFile file);
uint32_t Size(NativeFile file);
/// GetFileAttributes for a served path.
bool Attributes(const std::string& path, uint32_t& attributes);
/// FindFiles for a served directory: its files and subdirectories.
std::vector<DirectoryEntry> List(const std::string& directory);

}  // namespace memory
}  // namespace platform
