#pragma once
// Unbuffered files with Win32 access, share and creation semantics.

#include <cstdint>
#include <string>

namespace platform {

constexpr uint32_t kGenericRead = 0x80000000u;
constexpr uint32_t kGenericWrite = 0x40000000u;
constexpr uint32_t kShareRead = 1;
constexpr uint32_t kCreateNew = 1;
constexpr uint32_t kCreateAlways = 2;
constexpr uint32_t kOpenExisting = 3;
constexpr uint32_t kSeekFailed = 0xFFFFFFFFu;

/// An opaque system file handle, or one of an in-memory file
/// (platform/memory_files.h); invalid when `valid` is false.
struct NativeFile {
  intptr_t value = -1;
  bool in_memory = false;
  bool valid() const { return value != -1; }
};

/// Opens or creates `path` with the given access mask, share mode and
/// creation disposition. Returns an invalid handle on failure.
NativeFile OpenFile(const std::string& path, uint32_t access, uint32_t share,
                    uint32_t creation);

/// Closes the handle.
void CloseFile(NativeFile file);

/// Reads up to `count` bytes; `done` receives the number read. False on error.
bool ReadFile(NativeFile file, void* buffer, uint32_t count, uint32_t& done);

/// Writes up to `count` bytes; `done` receives the number written. False on error.
bool WriteFile(NativeFile file, const void* buffer, uint32_t count,
               uint32_t& done);

/// Moves to an absolute position; returns it, or kSeekFailed.
uint32_t SeekFile(NativeFile file, uint32_t position);

/// The current position, or kSeekFailed.
uint32_t TellFile(NativeFile file);

/// The size in bytes, or kSeekFailed (also for files of 4 GiB or more).
uint32_t FileSize(NativeFile file);

}  // namespace platform
