// Stand-ins for the memory manager, the frame and the home directory while
// those are not in the library yet. They are weak: the library's own
// definitions take over as soon as they are linked in.

#include <cstdint>
#include <cstdlib>

#include "runtime/file/directory.h"
#include "runtime/frame.h"
#include "runtime/mem.h"

// PE archives do not resolve weak definitions against the library: there
// the stand-ins are ordinary definitions until the library has its own.
#ifdef _WIN32
#define STAND_IN
#else
#define STAND_IN __attribute__((weak))
#endif

STAND_IN success _memAlloc(void** out, uint32_t size) {
  void* block = std::malloc(size ? size : 1);
  if (!block) return 0;
  *out = block;
  return 1;
}

STAND_IN void memFree(void* block) { std::free(block); }

STAND_IN const char* frameStartDirectory() { return "."; }

STAND_IN success fileHomeBegin(const char*) { return 1; }
