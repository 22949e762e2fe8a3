#include "platform/interrupt.h"

#include <signal.h>
#include <unistd.h>

#include <atomic>

#include "platform/common/temporaries.h"
#include "platform/common/children.h"

namespace platform {

namespace {

constexpr int kSignals[] = {SIGINT, SIGTERM, SIGHUP};

std::atomic<int> requested{0};  // the signal that arrived, 0 while none did

bool Unlink(const char* path) { return unlink(path) == 0; }

// Ends the process as killed by `signal`, which the shell shows as 128 +
// its number; _exit stands in should the signal not end it.
[[noreturn]] void EndBy(int signal) {
  struct sigaction plain {};
  plain.sa_handler = SIG_DFL;
  sigemptyset(&plain.sa_mask);
  sigaction(signal, &plain, nullptr);
  sigset_t only;
  sigemptyset(&only);
  sigaddset(&only, signal);
  pthread_sigmask(SIG_UNBLOCK, &only, nullptr);
  raise(signal);
  _exit(128 + signal);
}

void SendRequested(long child) { kill(static_cast<pid_t>(child), requested.load()); }

void EndAtOnce(int signal) {
  int none = 0;
  if (!requested.compare_exchange_strong(none, signal)) {
    // Another thread is already ending the process.
    for (;;) pause();
  }
  temporaries::RemoveAll(Unlink);
  EndBy(signal);
}

void PassOn(int signal) {
  int none = 0;
  requested.compare_exchange_strong(none, signal);
  children::ForEach(SendRequested);
}

}  // namespace

void HandleInterrupts(InterruptAnswer answer) {
  struct sigaction action {};
  action.sa_handler = answer == InterruptAnswer::kEndAtOnce ? EndAtOnce : PassOn;
  // One handler at a time in a thread: the others wait while it runs.
  sigemptyset(&action.sa_mask);
  for (int signal : kSignals) sigaddset(&action.sa_mask, signal);
  action.sa_flags = SA_RESTART;
  for (int signal : kSignals) {
    // A signal the program was started to ignore (nohup) stays ignored.
    struct sigaction before {};
    if (sigaction(signal, nullptr, &before) == 0 && before.sa_handler == SIG_IGN) continue;
    sigaction(signal, &action, nullptr);
  }
}

bool InterruptRequested() { return requested.load() != 0; }

void EndInterrupted() {
  temporaries::RemoveAll(Unlink);
  const int signal = requested.load();
  EndBy(signal != 0 ? signal : SIGINT);
}

void PassInterruptOn(long child) {
  if (requested.load() != 0) SendRequested(child);
}

}  // namespace platform
