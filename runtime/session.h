#pragma once
// The runtime library brought up for a program of its own, without the
// frame around it: the error system, the memory manager and the file layer,
// and the one way to call into them from several threads.

#include <mutex>
#include <utility>

/// The runtime's bring-up for the life of the object (at most one at a
/// time per process). The library keeps process-wide state without locks,
/// so every call into it goes through Exclusive(): a caller holding the
/// session cannot reach the library without the lock.
class RuntimeSession {
 public:
  /// Records the start directory and brings the library up; started()
  /// tells whether all of it came up.
  RuntimeSession();
  /// Tears down what came up, in the reverse order.
  ~RuntimeSession();
  RuntimeSession(const RuntimeSession&) = delete;
  RuntimeSession& operator=(const RuntimeSession&) = delete;

  /// Whether the error system came up (the frame reports when it did not).
  bool errorSystemUp() const { return errors_; }
  /// Whether the whole library came up.
  bool started() const { return files_; }

  /// Runs `work` with the library to itself and answers its result.
  template <typename Work>
  auto Exclusive(Work&& work) -> decltype(work()) {
    std::lock_guard<std::mutex> hold(lock_);
    return std::forward<Work>(work)();
  }

 private:
  std::mutex lock_;
  bool errors_ = false;
  bool memory_ = false;
  bool files_ = false;
};
