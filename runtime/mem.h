#pragma once
// The pooled memory manager. Between memBegin and memEnd blocks come from
// pools taken from the system; outside that bracket _memAlloc hands out
// direct blocks marked 0xBEEFF00D, which memFree recognises at any time.

#include <cstdint>

#include "runtime/success.h"

/// Kinds of memory for memAvailable (1, 2, 4, 8 and 15 are answered).
typedef int memType;

/// Enters the bracket: reads the settings from the profile and creates the
/// first ordinary pool.
success memBegin();
/// Writes "memstats.txt" when asked, returns every pool, leaves the bracket.
void memEnd();

/// An ordinary block (inside the bracket; size 0 stores none) or a direct
/// block (outside). On failure `out` is left untouched.
success _memAlloc(void** out, uint32_t size);
/// Frees a pool block or a direct block; none and foreign pointers are ignored.
void memFree(void* block);
/// A block from a temp pool; fails outside the bracket.
success _memAllocTemp(void** out, uint32_t size);
/// Frees a temp block.
void memFreeTemp(void* block);

/// Allocates like _memAlloc; kept for callers of the old interface.
success memAllocConventional(void** out, uint32_t size, uint32_t, char*);
/// Frees like memFree.
void memFreeConventional(void* block);

/// An estimate of the memory still available, also stored in `out` when given.
uint32_t memAvailable(memType type, uint32_t* out);
/// Brings the program's pages into memory ahead of use.
void memTouchMemory(bool fromImage);

// Inspection, for tests and diagnostics.

/// One pool's figures.
struct memPoolInfo {
  uint32_t size;        ///< bytes taken from the system
  uint32_t usedCount;   ///< blocks handed out
  uint32_t freeBlocks;  ///< entries of the free list
  uint32_t freeBytes;   ///< payload bytes of the free blocks
  uint32_t largestFree; ///< largest free payload
  bool dedicated;
  bool temp;
};

/// True between memBegin and memEnd.
bool memInsideBracket();
/// Payload bytes of the handed-out pool blocks.
uint32_t memBytesInUse();
/// The peak of memBytesInUse since memBegin.
uint32_t memPeakBytes();
/// Bytes taken by live direct blocks.
uint32_t memDirectBytes();
/// Pool table entries in use.
int memPoolCount();
/// The table index of the pool that handed out `block`, or -1.
int memPoolOf(const void* block);
/// The figures of table entry `index`; 0 when the entry is not in use.
success memGetPoolInfo(int index, memPoolInfo* info);
/// Walks every pool and checks headers, free lists, counts and the total in
/// use against each other; 0 on the first inconsistency.
success memCheckPools();
