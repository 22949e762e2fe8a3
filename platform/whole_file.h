#pragma once
// Reading a whole file into memory.

#include <cstdint>
#include <string>
#include <vector>

namespace platform {

enum class WholeFile { kRead, kCannotOpen, kCannotRead };

/// Reads all of `path` (names matched regardless of letter case) into
/// `bytes`; files of 4 GiB or more cannot be read.
WholeFile ReadWholeFile(const std::string& path, std::vector<uint8_t>& bytes);

}  // namespace platform
