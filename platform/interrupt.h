#pragma once
// What a program does when the user interrupts it (SIGINT, SIGTERM or
// SIGHUP; on Windows Ctrl-C, Ctrl-Break or closing the console): the
// temporary files it is writing go, and it ends as interrupted programs do
// (128 + the signal's number, as the shell shows it). The temporaries are
// registered by the calls that create them (CreateTemporaryFileBeside) and
// forgotten by the ones that rename or delete them, so every program is
// covered without doing anything itself but choose how it answers.

namespace platform {

enum class InterruptAnswer {
  /// The handler removes every registered temporary and ends the process.
  kEndAtOnce,
  /// The handler only remembers the request and passes it on to the
  /// children RunProcess is running; the program ends itself with
  /// EndInterrupted once its children are done.
  kFinishChildren,
};

/// Installs the handlers; call once, early in main.
void HandleInterrupts(InterruptAnswer answer);

/// Whether an interruption arrived (with kFinishChildren).
bool InterruptRequested();

/// Removes every registered temporary and ends the process as the
/// interruption asked. Only after InterruptRequested answered true.
[[noreturn]] void EndInterrupted();

/// Keeps `path` (absolute) to be removed should the process be
/// interrupted. Has room for a fixed number of names; past that a name is
/// not kept. Safe from any thread.
void RegisterTemporary(const char* path);

/// Forgets `path` again (it was renamed or deleted). Safe from any thread.
void ForgetTemporary(const char* path);

}  // namespace platform
