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
