#include "platform/system_memory.h"

#include <unistd.h>

#include <cstdlib>

namespace platform {

uint64_t PhysicalMemoryBytes() {
  const long pages = sysconf(_SC_PHYS_PAGES);
  const long page_size = sysconf(_SC_PAGESIZE);
  if (pages <= 0 || page_size <= 0) return 0;
  return static_cast<uint64_t>(pages) * static_cast<uint64_t>(page_size);
}

void* AllocateSystemBlock(std::size_t bytes) { return std::malloc(bytes == 0 ? 1 : bytes); }

void FreeSystemBlock(void* block) { std::free(block); }

}  // namespace platform
