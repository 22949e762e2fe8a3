// Stand-ins for the memory manager, the frame and the home directory while
// those are not in the library yet. They are weak: the library's own
// definitions take over as soon as they are linked in.

#include <cstdint>
#include <cstdlib>

#include "runtime/file/directory.h"
#include "runtime/frame.h"
#include "runtime/mem.h"

__attribute__((weak)) success _memAlloc(void** out, uint32_t size) {
  void* block = std::malloc(size ? size : 1);
  if (!block) return 0;
  *out = block;
  return 1;
}

__attribute__((weak)) void memFree(void* block) { std::free(block); }

__attribute__((weak)) const char* frameStartDirectory() { return "."; }

__attribute__((weak)) success fileHomeBegin(const char*) { return 1; }
