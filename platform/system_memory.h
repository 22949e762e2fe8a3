#pragma once
// Memory taken straight from the system, and the size of physical memory.

#include <cstddef>
#include <cstdint>

namespace platform {

/// Bytes of physical memory installed, or 0 when the system cannot tell.
uint64_t PhysicalMemoryBytes();

/// A fixed block of `bytes` from the system, aligned to at least 8 bytes;
/// none when the system refuses.
void* AllocateSystemBlock(std::size_t bytes);

/// Gives a block from AllocateSystemBlock back; none is ignored.
void FreeSystemBlock(void* block);

}  // namespace platform
