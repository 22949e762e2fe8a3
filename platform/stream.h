#pragma once
// C stdio streams opened the way the runtime library's file layer needs them:
// names found regardless of letter case, positions limited to 32 bits, and
// read-only streams over bytes in memory.

#include <cstdint>
#include <cstdio>

namespace platform {

/// Opens `path` with a C open mode ("rb", "r+b", "wb", "w+b", "ab", "a+b" or
/// a 't' variant). Every mode finds an existing file regardless of letter
/// case, so 'w' empties that file rather than make a second one; only a
/// name that exists in no case is created, exactly as given. Refuses
/// (returns null) directories, devices and files of 4 GiB or more.
std::FILE* OpenStream(const char* path, const char* mode);

/// A read-only stream over `size` bytes at `data`, which must stay valid
/// until the stream is closed with fclose. Null on failure.
std::FILE* OpenMemoryStream(const void* data, uint32_t size);

/// Moves to `offset` from SEEK_SET, SEEK_CUR or SEEK_END. False on failure.
bool SeekStream(std::FILE* stream, int64_t offset, int whence);

/// The stream position, or -1 on failure.
int64_t TellStream(std::FILE* stream);

}  // namespace platform
