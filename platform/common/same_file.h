#pragma once
// The part of SameFile that each system answers in its own way.

#include <string>

namespace platform {

/// Whether two absolute paths on disk reach one existing file.
bool SameFileOnDisk(const std::string& full_a, const std::string& full_b);

}  // namespace platform
