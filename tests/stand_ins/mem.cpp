// Test-only stand-in for the memory manager until the real one is in the
// tree; tests/CMakeLists.txt links it only while runtime/mem.cpp is missing.

#include <cstdlib>

#include "runtime/mem.h"

success _memAlloc(void** out, uint32_t size) {
  void* block = std::malloc(size ? size : 1);
  if (!block) return 0;
  *out = block;
  return 1;
}
void memFree(void* block) { std::free(block); }
