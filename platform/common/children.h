#pragma once
// The children RunProcess is running, kept so that an interruption can be
// passed on to them (see platform/interrupt.h). Fixed slots with atomic
// operations: a signal handler may walk them.

namespace platform {
namespace children {

/// Keeps the process id `child`.
void Add(long child);

/// Forgets `child`; on POSIX before it is waited for, while its id cannot
/// belong to another process yet.
void Remove(long child);

/// Calls `send` with each kept id. Async-signal-safe as long as `send` is.
void ForEach(void (*send)(long child));

}  // namespace children

/// Passes an interruption that has already arrived on to `child`, which
/// started too late to be reached by the handler (each system's
/// interrupt.cpp).
void PassInterruptOn(long child);

}  // namespace platform
