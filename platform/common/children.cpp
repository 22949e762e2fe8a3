#include "platform/common/children.h"

#include <atomic>

namespace platform {
namespace children {

namespace {
// More than any batch runs at once.
constexpr int kSlots = 256;
std::atomic<long> slots[kSlots];
static_assert(std::atomic<long>::is_always_lock_free, "the handler may only use lock-free atomics");
}  // namespace

void Add(long child) {
  for (std::atomic<long>& slot : slots) {
    long empty = 0;
    if (slot.compare_exchange_strong(empty, child)) return;
  }
}

void Remove(long child) {
  for (std::atomic<long>& slot : slots) {
    long mine = child;
    if (slot.compare_exchange_strong(mine, 0)) return;
  }
}

void ForEach(void (*send)(long child)) {
  for (std::atomic<long>& slot : slots) {
    const long id = slot.load();
    if (id > 0) send(id);
  }
}

}  // namespace children
}  // namespace platform
