#include "platform/memory.h"

#include <malloc.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>

namespace platform {

namespace {
constexpr std::size_t kLargePage = 2u << 20;
constexpr std::size_t kSmallPage = 4096;
constexpr std::size_t kHeapReserve = 64u << 20;
}  // namespace

void PrepareHeapForLargeData() {
#if defined(__GLIBC__) && defined(M_MMAP_THRESHOLD) && !defined(__SANITIZE_ADDRESS__)
  // Keep blocks up to 32 MiB in the heap, grow the heap in one large step
  // and never hand it back, then ask for large pages over that range.
  if (!mallopt(M_MMAP_THRESHOLD, 32 << 20)) return;
  mallopt(M_TOP_PAD, static_cast<int>(kHeapReserve));
  mallopt(M_TRIM_THRESHOLD, static_cast<int>(kHeapReserve));
  // Static initialisers have already started the heap: grow it now with one
  // block and give that back, so the space stays as the heap's top.
  void* probe = std::malloc(kHeapReserve / 4);
  if (!probe) return;
  const uintptr_t start = reinterpret_cast<uintptr_t>(probe);
  const uintptr_t begin = (start + kLargePage - 1) & ~(kLargePage - 1);
  const uintptr_t end = reinterpret_cast<uintptr_t>(sbrk(0)) & ~(kLargePage - 1);
  std::free(probe);
  if (end <= begin) return;
  madvise(reinterpret_cast<void*>(begin), end - begin, MADV_HUGEPAGE);
  // The heap's free top starts where the probe did, up to a large page
  // short of the advised range, and blocks placed in that stretch would
  // be backed page by page: a first touch each, which costs tens of
  // microseconds on some virtual machines. One block that is never freed
  // fills the stretch, so the program's data starts on a large page. Its
  // pages are never touched beyond the block's header.
  const std::size_t header = 2 * sizeof(std::size_t);
  const std::size_t gap = begin - start;
  if (gap < kSmallPage) return;
  void* filler = std::malloc(gap - header);
  if (reinterpret_cast<uintptr_t>(filler) != start) std::free(filler);  // placed elsewhere: no help
#endif
}

void KeepFreedHeapMemory() {
#if defined(__GLIBC__) && defined(M_MMAP_THRESHOLD) && !defined(__SANITIZE_ADDRESS__)
  // Blocks below the mapping threshold come from the heap and go back to
  // it; the heap's top is only trimmed beyond the trim threshold.
  if (!mallopt(M_MMAP_THRESHOLD, 32 << 20)) return;
  mallopt(M_TRIM_THRESHOLD, static_cast<int>(kHeapReserve));
#endif
}

}  // namespace platform
