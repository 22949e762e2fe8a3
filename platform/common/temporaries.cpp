#include "platform/common/temporaries.h"

#include <atomic>
#include <cstring>

#include "platform/interrupt.h"

namespace platform {

namespace {

// Room for every output that a program writes at once; a path of any
// length the systems here accept fits.
constexpr int kSlots = 256;
constexpr std::size_t kLongestName = 4096;

enum State : int { kFree, kBusy, kKept };

struct Slot {
  std::atomic<int> state{kFree};
  char path[kLongestName + 1];
};

// Static storage: nothing is allocated, before or inside a signal handler.
Slot slots[kSlots];

// Sequentially consistent: either a creation sees `ending`, or the handler
// sees it under way and waits for it.
std::atomic<int> creating{0};
std::atomic<bool> ending{false};

static_assert(std::atomic<int>::is_always_lock_free, "the handler may only use lock-free atomics");

}  // namespace

void RegisterTemporary(const char* path) {
  if (!path) return;
  const std::size_t length = std::strlen(path);
  if (length == 0 || length > kLongestName) return;
  for (Slot& slot : slots) {
    int expected = kFree;
    if (!slot.state.compare_exchange_strong(expected, kBusy, std::memory_order_acquire)) continue;
    std::memcpy(slot.path, path, length + 1);
    slot.state.store(kKept, std::memory_order_release);
    return;
  }
}

void ForgetTemporary(const char* path) {
  if (!path) return;
  for (Slot& slot : slots) {
    if (slot.state.load(std::memory_order_acquire) != kKept || std::strcmp(slot.path, path) != 0) continue;
    int expected = kKept;
    if (slot.state.compare_exchange_strong(expected, kBusy, std::memory_order_acquire)) {
      slot.state.store(kFree, std::memory_order_release);
      return;
    }
  }
}

namespace temporaries {

bool BeginCreating() {
  ++creating;
  if (!ending) return true;
  --creating;
  return false;
}

void EndCreating() { --creating; }

bool Holds(const char* path, bool (*same)(const char* kept, const char* path)) {
  if (!path) return false;
  for (Slot& slot : slots) {
    if (slot.state.load(std::memory_order_acquire) == kKept && same(slot.path, path)) return true;
  }
  return false;
}

void RemoveAll(bool (*remove)(const char* path)) {
  ending = true;
  // The creating thread holds the interruption signals off, so it is never
  // this one; it needs only a few system calls to finish.
  while (creating.load() != 0) {
  }
  for (Slot& slot : slots) {
    if (slot.state.load(std::memory_order_acquire) == kKept) remove(slot.path);
  }
}

}  // namespace temporaries
}  // namespace platform
