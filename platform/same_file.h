#pragma once
// Telling whether two names reach one file on disk, so that a program never
// writes an output over one of its own inputs.

#include <string>

namespace platform {

/// True when both names reach one existing file: the same name in another
/// letter case, another path to it, a symbolic or hard link. False when
/// either does not exist or the question cannot be answered. Relative names
/// are taken against the current directory.
bool SameFile(const std::string& a, const std::string& b);
/// The same for names their caller holds as text.
bool SameFile(const char* a, const char* b);

}  // namespace platform
