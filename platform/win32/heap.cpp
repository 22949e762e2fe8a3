#include "platform/heap.h"

namespace platform {

// The Windows heap keeps freed blocks for reuse on its own.
void KeepFreedMemory() {}

}  // namespace platform
