#include "platform/system_memory.h"

#include <windows.h>

namespace platform {

uint64_t PhysicalMemoryBytes() {
  MEMORYSTATUSEX status;
  status.dwLength = sizeof status;
  if (!GlobalMemoryStatusEx(&status)) return 0;
  return status.ullTotalPhys;
}

void* AllocateSystemBlock(std::size_t bytes) {
  return GlobalAlloc(GMEM_FIXED, bytes == 0 ? 1 : bytes);
}

void FreeSystemBlock(void* block) {
  if (block) GlobalFree(block);
}

}  // namespace platform
