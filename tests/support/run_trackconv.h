#pragma once
// Runs the real trackconv binary for end-to-end tests.

#include <filesystem>

#include "platform/process.h"

namespace testing_support {

/// Runs trackconv with `directory` as its current directory.
platform::ProcessResult RunTrackconv(const std::filesystem::path& directory);

}  // namespace testing_support
