// The pooled memory manager.
//
// A pool is one system block. Inside it every block is a 12-byte header of
// three 32-bit words (payload size * 2 with bit 0 set while handed out, then
// the next and previous free block as offsets from the pool's base) followed
// by the payload. Pool bases sit 4 bytes past an 8-byte boundary and every
// payload size is 4 more than a multiple of 8, so every header starts at
// base + a multiple of 8 and every payload is 8-byte aligned.
//
// Each pool also keeps a bitmap with one bit per 8 bytes that marks the
// headers of the blocks handed out. memFree consults it before it trusts a
// header, so a pointer that is not a live block of the pool (a foreign
// pointer, an inner pointer, a block freed twice) is ignored untouched.
//
// Direct blocks, made outside the bracket, carry the marker header and are
// chained in a list of their own; memFree only releases pointers found in
// that list and never reads memory in front of an unknown pointer.

#include "runtime/mem.h"

#include <cstddef>
#include <cstdio>
#include <cstring>

#include "platform/stream.h"
#include "platform/system_memory.h"
#include "runtime/profile/profile.h"

namespace {

constexpr uint32_t kHeaderBytes = 12;
constexpr uint32_t kNoBlock = 0xFFFFFFFFu;
constexpr uint32_t kPageBytes = 4096;
// The pool table keeps sizes in 30 bits.
constexpr uint64_t kMaxPoolBytes = (uint64_t{1} << 30) - kPageBytes;
constexpr int kPoolCount = 256;
constexpr uint32_t kDirectMarker = 0xBEEFF00Du;
constexpr uint8_t kDedicated = 1;
constexpr uint8_t kTemp = 2;

struct BlockHeader {
  uint32_t sizeWord;  // payload * 2, bit 0 while handed out
  uint32_t next;      // offsets of the neighbours in the free list
  uint32_t prev;
};

struct Pool {
  uint8_t flags;
  uint32_t size;
  uint32_t usedCount;
  uint32_t freeHead;
  uint32_t freeTail;
  uint8_t* base;    // none: entry not in use
  void* system;     // what the system handed out
  uint8_t* starts;  // bitmap of handed-out headers, one bit per 8 bytes
};

// Direct blocks: link, then the 12-byte marker header right before the
// payload, which starts 32 bytes into the system block.
struct DirectLink {
  DirectLink* next;
  DirectLink* prev;
};
constexpr std::size_t kDirectPrefix = 32;
static_assert(sizeof(DirectLink) + kHeaderBytes <= kDirectPrefix, "direct prefix");

struct Settings {
  uint32_t poolSize;
  int32_t numEmptyBlocks;
  uint32_t maxBlockSize;
  int32_t showMemStats;
  uint64_t keepPhysical;
};

struct State {
  bool inside = false;
  Settings settings{};
  Pool pools[kPoolCount]{};
  uint32_t bytesInUse = 0;
  uint32_t peak = 0;
  uint64_t physical = 0;
  uint64_t directBytes = 0;
  DirectLink* directHead = nullptr;
  DirectLink* directTail = nullptr;
};

State& S() {
  static State state;
  return state;
}

BlockHeader* HeaderAt(const Pool& pool, uint32_t offset) {
  return reinterpret_cast<BlockHeader*>(pool.base + offset);
}

uint32_t Payload(const BlockHeader* h) { return h->sizeWord >> 1; }

bool StartMarked(const Pool& pool, uint32_t offset) {
  const uint32_t bit = offset / 8;
  return (pool.starts[bit / 8] >> (bit % 8)) & 1;
}

void MarkStart(Pool& pool, uint32_t offset, bool on) {
  const uint32_t bit = offset / 8;
  const uint8_t mask = static_cast<uint8_t>(1u << (bit % 8));
  if (on)
    pool.starts[bit / 8] |= mask;
  else
    pool.starts[bit / 8] &= static_cast<uint8_t>(~mask);
}

// The payload handed out for a request: at least 4 bytes, 4 more than a
// multiple of 8. Computed in 64 bits so requests near 4 GiB cannot wrap.
uint64_t RoundedRequest(uint32_t size) {
  const uint64_t r = size < 4 ? 4 : size;
  return ((r + 4 + 7) & ~uint64_t{7}) - 4;
}

void ReleasePool(Pool& pool) {
  platform::FreeSystemBlock(pool.system);
  pool = Pool{};
}

int CreatePool(uint64_t size, bool dedicated, bool temp) {
  State& s = S();
  int index = 0;
  while (index < kPoolCount && s.pools[index].base) ++index;
  if (index == kPoolCount) return -1;
  uint64_t n = (size + kHeaderBytes + kPageBytes - 1) & ~uint64_t{kPageBytes - 1};
  if (n > kMaxPoolBytes) {
    if (dedicated) return -1;
    n = kMaxPoolBytes;
  }
  void* system = nullptr;
  for (;;) {
    system = platform::AllocateSystemBlock(static_cast<std::size_t>(4 + n + n / 64));
    if (system) break;
    if (dedicated) return -1;
    n -= kPageBytes;
    if (n <= kPageBytes) return -1;
  }
  Pool& pool = s.pools[index];
  pool.flags = static_cast<uint8_t>((dedicated ? kDedicated : 0) | (temp ? kTemp : 0));
  pool.size = static_cast<uint32_t>(n);
  pool.usedCount = 0;
  pool.system = system;
  pool.base = static_cast<uint8_t*>(system) + 4;
  pool.starts = pool.base + n;
  std::memset(pool.starts, 0, static_cast<std::size_t>(n / 64));
  BlockHeader* first = HeaderAt(pool, 0);
  first->sizeWord = (pool.size - kHeaderBytes) * 2;
  first->next = kNoBlock;
  first->prev = kNoBlock;
  pool.freeHead = 0;
  pool.freeTail = 0;
  return index;
}

// Replaces the free-list entry `from` by `to` (or drops it when `to` is none).
void Relink(Pool& pool, uint32_t from, uint32_t to) {
  BlockHeader* h = HeaderAt(pool, from);
  if (to != kNoBlock) {
    BlockHeader* t = HeaderAt(pool, to);
    t->next = h->next;
    t->prev = h->prev;
  }
  const uint32_t after = to != kNoBlock ? to : h->next;
  const uint32_t before = to != kNoBlock ? to : h->prev;
  if (h->prev == kNoBlock)
    pool.freeHead = after;
  else
    HeaderAt(pool, h->prev)->next = after;
  if (h->next == kNoBlock)
    pool.freeTail = before;
  else
    HeaderAt(pool, h->next)->prev = before;
}

void* Take(Pool& pool, uint32_t offset, uint32_t request) {
  State& s = S();
  BlockHeader* h = HeaderAt(pool, offset);
  const uint32_t payload = Payload(h);
  if (request + 16 < payload) {
    const uint32_t rest = offset + kHeaderBytes + request;
    BlockHeader* r = HeaderAt(pool, rest);
    r->sizeWord = (payload - request - kHeaderBytes) * 2;
    Relink(pool, offset, rest);
    h->sizeWord = request * 2;
  } else {
    Relink(pool, offset, kNoBlock);
  }
  h->sizeWord |= 1;
  MarkStart(pool, offset, true);
  ++pool.usedCount;
  s.bytesInUse += Payload(h);
  if (s.bytesInUse > s.peak) s.peak = s.bytesInUse;
  return pool.base + offset + kHeaderBytes;
}

uint32_t FirstFit(const Pool& pool, uint32_t request) {
  for (uint32_t at = pool.freeHead; at != kNoBlock; at = HeaderAt(pool, at)->next)
    if (Payload(HeaderAt(pool, at)) >= request) return at;
  return kNoBlock;
}

success Allocate(void** out, uint32_t size, bool temp) {
  State& s = S();
  const uint64_t rounded = RoundedRequest(size);
  if (rounded > kMaxPoolBytes) return 0;
  const uint32_t request = static_cast<uint32_t>(rounded);
  const bool big = size >= s.settings.maxBlockSize;
  const uint8_t kind = temp ? kTemp : 0;
  if (!big) {
    for (Pool& pool : s.pools) {
      if (!pool.base || (pool.flags & kDedicated) || (pool.flags & kTemp) != kind) continue;
      const uint32_t at = FirstFit(pool, request);
      if (at != kNoBlock) {
        *out = Take(pool, at, request);
        return 1;
      }
    }
  }
  const int index = CreatePool(big ? size : s.settings.poolSize, big, temp);
  if (index < 0) return 0;
  Pool& pool = s.pools[index];
  const uint32_t at = FirstFit(pool, request);
  if (at == kNoBlock) {
    // A pool made smaller than asked cannot serve the request; keeping it
    // would only hold memory nobody can use.
    ReleasePool(pool);
    return 0;
  }
  *out = Take(pool, at, request);
  return 1;
}

// The pool and header offset of a live pool block, or -1.
int FindLiveBlock(const void* block, uint32_t* offset) {
  State& s = S();
  const uintptr_t p = reinterpret_cast<uintptr_t>(block);
  for (int i = 0; i < kPoolCount; ++i) {
    const Pool& pool = s.pools[i];
    if (!pool.base) continue;
    const uintptr_t base = reinterpret_cast<uintptr_t>(pool.base);
    if (p < base + kHeaderBytes || p - kHeaderBytes >= base + pool.size) continue;
    const uintptr_t at = p - kHeaderBytes - base;
    if (at % 8 != 0 || !StartMarked(pool, static_cast<uint32_t>(at))) return -1;
    *offset = static_cast<uint32_t>(at);
    return i;
  }
  return -1;
}

int EmptyPools() {
  int count = 0;
  for (const Pool& pool : S().pools)
    if (pool.base && pool.usedCount == 0) ++count;
  return count;
}

void FreeInPool(int index, uint32_t offset) {
  State& s = S();
  Pool& pool = s.pools[index];
  BlockHeader* h = HeaderAt(pool, offset);
  s.bytesInUse -= Payload(h);
  h->sizeWord &= ~1u;
  MarkStart(pool, offset, false);

  uint32_t after = pool.freeHead;
  while (after != kNoBlock && after < offset) after = HeaderAt(pool, after)->next;
  const uint32_t before = after == kNoBlock ? pool.freeTail : HeaderAt(pool, after)->prev;
  h->next = after;
  h->prev = before;
  if (before == kNoBlock)
    pool.freeHead = offset;
  else
    HeaderAt(pool, before)->next = offset;
  if (after == kNoBlock)
    pool.freeTail = offset;
  else
    HeaderAt(pool, after)->prev = offset;

  if (after != kNoBlock && after == offset + kHeaderBytes + Payload(h)) {
    const uint32_t merged = Payload(h) + Payload(HeaderAt(pool, after)) + kHeaderBytes;
    Relink(pool, after, kNoBlock);
    h->sizeWord = merged * 2;
  }
  if (before != kNoBlock) {
    BlockHeader* b = HeaderAt(pool, before);
    if (before + kHeaderBytes + Payload(b) == offset) {
      const uint32_t merged = Payload(b) + Payload(h) + kHeaderBytes;
      Relink(pool, offset, kNoBlock);
      b->sizeWord = merged * 2;
    }
  }
  --pool.usedCount;

  if (pool.usedCount != 0) return;
  if ((pool.flags & kDedicated) || EmptyPools() > s.settings.numEmptyBlocks) ReleasePool(pool);
}

DirectLink* FindDirect(const void* block) {
  // Searched from both ends at once: blocks tend to be freed either in the
  // order they were made or in the reverse order.
  State& s = S();
  DirectLink* front = s.directHead;
  DirectLink* back = s.directTail;
  while (front) {
    if (reinterpret_cast<uint8_t*>(front) + kDirectPrefix == block) return front;
    if (reinterpret_cast<uint8_t*>(back) + kDirectPrefix == block) return back;
    if (front == back || front->next == back) break;
    front = front->next;
    back = back->prev;
  }
  return nullptr;
}

BlockHeader* DirectHeader(DirectLink* link) {
  return reinterpret_cast<BlockHeader*>(reinterpret_cast<uint8_t*>(link) + kDirectPrefix -
                                        kHeaderBytes);
}

success AllocateDirect(void** out, uint32_t size) {
  State& s = S();
  const uint64_t taken = (uint64_t{size} + 15) & ~uint64_t{3};
  if (taken > 0xFFFFFFFFu) return 0;
  void* system = platform::AllocateSystemBlock(
      static_cast<std::size_t>(taken - kHeaderBytes + kDirectPrefix));
  if (!system) return 0;
  DirectLink* link = static_cast<DirectLink*>(system);
  link->next = nullptr;
  link->prev = s.directTail;
  if (s.directTail)
    s.directTail->next = link;
  else
    s.directHead = link;
  s.directTail = link;
  BlockHeader* h = DirectHeader(link);
  h->sizeWord = kDirectMarker;
  h->next = size;
  h->prev = static_cast<uint32_t>(taken);
  s.directBytes += taken;
  *out = reinterpret_cast<uint8_t*>(link) + kDirectPrefix;
  return 1;
}

void FreeDirect(DirectLink* link) {
  State& s = S();
  if (link->prev)
    link->prev->next = link->next;
  else
    s.directHead = link->next;
  if (link->next)
    link->next->prev = link->prev;
  else
    s.directTail = link->prev;
  s.directBytes -= DirectHeader(link)->prev;
  platform::FreeSystemBlock(link);
}

int32_t ProfileNumber(const char* key, int32_t fallback) {
  int32_t value = fallback;
  ProfileGetOption("Profile", key, &value, fallback);
  return value;
}

}  // namespace

success memBegin() {
  State& s = S();
  if (s.inside) return 0;
  s.inside = true;
  Settings& set = s.settings;
  int32_t poolSize = ProfileNumber("PoolSize", 0x80000);
  // A pool must hold at least one block and fit the table's size field.
  if (poolSize < 1) poolSize = 1;
  if (static_cast<uint64_t>(poolSize) > kMaxPoolBytes - kHeaderBytes)
    poolSize = static_cast<int32_t>(kMaxPoolBytes - kHeaderBytes);
  set.poolSize = static_cast<uint32_t>(poolSize);
  set.numEmptyBlocks = ProfileNumber("NumEmptyBlocks", 3);
  const int32_t maxBlock = ProfileNumber("MaxBlockSize", poolSize >> 2);
  set.maxBlockSize = maxBlock < 0 ? 0 : static_cast<uint32_t>(maxBlock);
  set.showMemStats = ProfileNumber("ShowMemStats", 0);
  const int32_t keepKb = ProfileNumber("minPhysMemWontUse", 0);
  set.keepPhysical = keepKb < 0 ? 0 : uint64_t{static_cast<uint32_t>(keepKb)} * 1024;
  for (Pool& pool : s.pools) pool = Pool{};
  s.bytesInUse = 0;
  s.peak = 0;
  s.physical = platform::PhysicalMemoryBytes();
  if (CreatePool(set.poolSize, false, false) < 0) {
    // Without a pool the bracket would hand out nothing; the frame skips
    // memEnd in that case, so leave it here.
    s.inside = false;
    return 0;
  }
  memTouchMemory(true);
  return 1;
}

void memEnd() {
  State& s = S();
  if (!s.inside) return;
  if (s.settings.showMemStats & 0xFF) {
    if (std::FILE* stats = platform::OpenStream("memstats.txt", "w")) {
      std::fprintf(stats, "Max memory allocated: %d\n", static_cast<int>(s.peak));
      std::fclose(stats);
    }
  }
  for (Pool& pool : s.pools)
    if (pool.base) ReleasePool(pool);
  s.inside = false;
}

success _memAlloc(void** out, uint32_t size) {
  if (!out) return 0;
  if (!S().inside) return AllocateDirect(out, size);
  if (size == 0) {
    *out = nullptr;
    return 1;
  }
  return Allocate(out, size, false);
}

void memFree(void* block) {
  if (!block) return;
  if (S().inside) {
    uint32_t offset = 0;
    const int index = FindLiveBlock(block, &offset);
    if (index >= 0) {
      FreeInPool(index, offset);
      return;
    }
  }
  if (DirectLink* link = FindDirect(block)) FreeDirect(link);
}

success _memAllocTemp(void** out, uint32_t size) {
  if (!out || !S().inside) return 0;
  if (size == 0) {
    *out = nullptr;
    return 1;
  }
  return Allocate(out, size, true);
}

void memFreeTemp(void* block) {
  if (!block || !S().inside) return;
  uint32_t offset = 0;
  const int index = FindLiveBlock(block, &offset);
  if (index >= 0) FreeInPool(index, offset);
}

// Answers the allocation's own result: a success reported as failure would
// leave the caller holding a block it believes it never got.
success memAllocConventional(void** out, uint32_t size, uint32_t, char*) {
  return _memAlloc(out, size);
}

void memFreeConventional(void* block) { memFree(block); }

uint32_t memAvailable(memType type, uint32_t* out) {
  State& s = S();
  uint64_t answer = 0;
  if (type == 1 || type == 2 || type == 4 || type == 8 || type == 15) {
    // Without a portable region query, what this manager holds stands in
    // for the program's committed memory.
    uint64_t held = s.directBytes;
    for (const Pool& pool : s.pools)
      if (pool.base) held += pool.size;
    const uint64_t half = s.physical / 2;
    const uint64_t limit = half > s.settings.keepPhysical ? half - s.settings.keepPhysical : 0;
    answer = held < limit ? limit - held : 0;
    if (answer > 0xFFFFFFFFu) answer = 0xFFFFFFFFu;
  }
  if (out) *out = static_cast<uint32_t>(answer);
  return static_cast<uint32_t>(answer);
}

// Pages are faulted in on first use; pre-touching buys nothing here.
void memTouchMemory(bool) {}

bool memInsideBracket() { return S().inside; }
uint32_t memBytesInUse() { return S().bytesInUse; }
uint32_t memPeakBytes() { return S().peak; }
uint32_t memDirectBytes() { return static_cast<uint32_t>(S().directBytes); }

int memPoolCount() {
  int count = 0;
  for (const Pool& pool : S().pools)
    if (pool.base) ++count;
  return count;
}

int memPoolOf(const void* block) {
  uint32_t offset = 0;
  return S().inside ? FindLiveBlock(block, &offset) : -1;
}

success memGetPoolInfo(int index, memPoolInfo* info) {
  if (index < 0 || index >= kPoolCount || !S().pools[index].base) return 0;
  const Pool& pool = S().pools[index];
  *info = memPoolInfo{};
  info->size = pool.size;
  info->usedCount = pool.usedCount;
  info->dedicated = (pool.flags & kDedicated) != 0;
  info->temp = (pool.flags & kTemp) != 0;
  for (uint32_t at = pool.freeHead; at != kNoBlock; at = HeaderAt(pool, at)->next) {
    const uint32_t payload = Payload(HeaderAt(pool, at));
    ++info->freeBlocks;
    info->freeBytes += payload;
    if (payload > info->largestFree) info->largestFree = payload;
  }
  return 1;
}

success memCheckPools() {
  const State& s = S();
  uint64_t used = 0;
  for (const Pool& pool : s.pools) {
    if (!pool.base) continue;
    // Walk the blocks in address order beside the free list.
    uint32_t at = 0, nextFree = pool.freeHead, prevFree = kNoBlock, handedOut = 0;
    bool lastFree = false;
    while (at < pool.size) {
      if (pool.size - at < kHeaderBytes) return 0;
      const BlockHeader* h = HeaderAt(pool, at);
      const uint32_t payload = Payload(h);
      if (payload % 8 != 4 || payload > pool.size - at - kHeaderBytes) return 0;
      const bool isUsed = h->sizeWord & 1;
      if (isUsed != StartMarked(pool, at)) return 0;
      if (isUsed) {
        ++handedOut;
        used += payload;
        lastFree = false;
      } else {
        if (lastFree || at != nextFree || h->prev != prevFree) return 0;
        prevFree = at;
        nextFree = h->next;
        lastFree = true;
      }
      at += kHeaderBytes + payload;
    }
    if (at != pool.size || nextFree != kNoBlock || prevFree != pool.freeTail) return 0;
    if (handedOut != pool.usedCount) return 0;
  }
  return used == s.bytesInUse ? 1 : 0;
}
