// Weak stand-ins for the memory manager, the frame's start directory, the
// home directory and the mip chain's destruction, so that the picture and
// mip file tests link before those are in the library; the real
// definitions replace them. To be removed once all are in.

#include <cstdint>
#include <cstdlib>

#include "pixmill/mip_data.h"
#include "runtime/file/directory.h"
#include "runtime/frame.h"
#include "runtime/mem.h"

#define STAND_IN __attribute__((weak))

STAND_IN success _memAlloc(void** out, uint32_t size) {
  void* block = std::malloc(size != 0 ? size : 1);
  if (block == nullptr) return 0;
  *out = block;
  return 1;
}
STAND_IN void memFree(void* block) { std::free(block); }
STAND_IN const char* frameStartDirectory() { return "."; }
STAND_IN success fileHomeBegin(const char*) { return 1; }
STAND_IN void mipDataDestroy(MipData* mip) {
  if (mip == nullptr) return;
  for (int32_t i = 0; i < mip->levelCount; ++i) bitmapDestroy(mip->levels[i]);
  memFree(mip->colormap);
  memFree(mip);
}
