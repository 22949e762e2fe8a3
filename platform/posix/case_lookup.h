#pragma once
// Finding existing paths regardless of letter case, as game data made on a
// case-insensitive system expects.

#include <string>

namespace platform {
namespace posix {

/// Returns the path as it exists on disk: every component that does not
/// exist exactly is replaced by an entry of its directory that matches it
/// regardless of ASCII letter case (an exact match wins, otherwise the first
/// in byte-wise order). Components that match nothing are kept as given, so
/// the result names a missing path when the path does not exist.
std::string ExistingCase(const std::string& absolute_path);

/// Like ExistingCase for every component but the last, which is kept as
/// given: the path at which a new file of exactly that name is created.
std::string CreationCase(const std::string& absolute_path);

}  // namespace posix
}  // namespace platform
