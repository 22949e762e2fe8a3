#include "platform/memory.h"

namespace platform {

// The Windows heap needs no preparation.
void PrepareHeapForLargeData() {}

}  // namespace platform
