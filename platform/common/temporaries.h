#pragma once
// The registry of temporary files behind platform/interrupt.h: fixed slots
// claimed with atomic operations, so that a signal handler may walk it
// while other threads register and forget names.

namespace platform {
namespace temporaries {

/// Calls `remove` with each registered name. Async-signal-safe as long as
/// `remove` is.
void RemoveAll(bool (*remove)(const char* path));

}  // namespace temporaries
}  // namespace platform
