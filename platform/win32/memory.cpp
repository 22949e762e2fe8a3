#include "platform/memory.h"

namespace platform {

// The Windows heap needs no preparation.
void PrepareHeapForLargeData() {}

// The Windows heap decides on its own what it gives back.
void KeepFreedHeapMemory() {}

}  // namespace platform
