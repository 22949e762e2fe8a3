#pragma once
// The registry of temporary files behind platform/interrupt.h: fixed slots
// claimed with atomic operations, so that a signal handler may walk it
// while other threads register and forget names.

namespace platform {
namespace temporaries {

/// Bracket the creation and registration of a temporary, so that an
/// interruption handled on another thread meanwhile waits for the name to
/// be registered. BeginCreating answers false once the process is being
/// ended: nothing may be created then (EndCreating is not called).
bool BeginCreating();
void EndCreating();

/// Whether a registered name is `path`, as `same` compares two names.
bool Holds(const char* path, bool (*same)(const char* kept, const char* path));

/// Calls `remove` with each registered name, after any creation under way
/// on another thread has registered its name; later creations are refused.
/// Async-signal-safe as long as `remove` is.
void RemoveAll(bool (*remove)(const char* path));

}  // namespace temporaries
}  // namespace platform
