#include "platform/interrupt.h"

#include <windows.h>

#include <atomic>

#include "platform/common/children.h"
#include "platform/common/temporaries.h"

namespace platform {

namespace {

// What a console program ended by Ctrl-C ends with on Windows.
constexpr UINT kInterruptedStatus = 0xC000013Au;

std::atomic<bool> requested{false};
std::atomic<bool> finish_children{false};

bool Delete(const char* path) { return DeleteFileA(path) != FALSE; }

// Children run in process groups of their own (see process.cpp), which the
// console's Ctrl-C does not reach: they get a Ctrl-Break of their own.
void SendBreak(long child) { GenerateConsoleCtrlEvent(CTRL_BREAK_EVENT, static_cast<DWORD>(child)); }

BOOL WINAPI OnConsoleEvent(DWORD event) {
  if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT && event != CTRL_CLOSE_EVENT) return FALSE;
  requested = true;
  if (finish_children && event != CTRL_CLOSE_EVENT) {
    children::ForEach(SendBreak);
    return TRUE;
  }
  temporaries::RemoveAll(Delete);
  // The handler runs on a thread of its own while the others go on:
  // the process ends here, without the clean-up of a normal exit.
  TerminateProcess(GetCurrentProcess(), kInterruptedStatus);
  return TRUE;
}

}  // namespace

void HandleInterrupts(InterruptAnswer answer) {
  finish_children = answer == InterruptAnswer::kFinishChildren;
  SetConsoleCtrlHandler(OnConsoleEvent, TRUE);
}

bool InterruptRequested() { return requested; }

void PassInterruptOn(long child) {
  if (requested) SendBreak(child);
}

void EndInterrupted() {
  temporaries::RemoveAll(Delete);
  TerminateProcess(GetCurrentProcess(), kInterruptedStatus);
  ExitProcess(kInterruptedStatus);
}

}  // namespace platform
