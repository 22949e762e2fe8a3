#include "platform/heap.h"

#include <cstdlib>  // defines __GLIBC__ where the C library is glibc

#if defined(__GLIBC__)
#include <malloc.h>
#endif

namespace platform {

void KeepFreedMemory() {
#if defined(__GLIBC__)
  // glibc returns the top of the heap above 128 KiB and serves blocks from
  // 128 KiB up with their own mappings, so a picture-sized buffer costs
  // fresh page faults every time it is allocated again.
  mallopt(M_TRIM_THRESHOLD, 256 * 1024 * 1024);
  mallopt(M_MMAP_THRESHOLD, 32 * 1024 * 1024);
#endif
}

}  // namespace platform
