#pragma once
// What legitimately differs between the systems the tests run on, so that a
// test states the difference instead of skipping the case.

#include <filesystem>
#include <string>

namespace testing_support {

/// True where files follow Win32 rules: backslash paths with drive roots,
/// share modes that lock files against other openers.
bool WindowsConventions();

/// `generic` with every '/' replaced by the system's separator.
std::string Native(const std::string& generic);

/// The root above the current directory: "/" on POSIX, the drive root such
/// as "C:\" on Windows.
std::string CurrentRoot();

}  // namespace testing_support
