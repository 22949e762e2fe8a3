#pragma once
// The current directory into a caller's buffer.

#include <cstddef>

namespace platform {

/// Writes the current directory and a terminator into `out`. False, with
/// `out` holding the empty text, when it cannot be read or does not fit in
/// size - 1 characters.
bool WorkingDirectory(char* out, std::size_t size);

}  // namespace platform
