#pragma once
// Tuning the C allocator for programs that allocate and free large blocks
// over and over.

namespace platform {

/// Asks the allocator to keep freed memory for reuse rather than return it
/// to the system at once, so that the next block of the same size does not
/// fault in fresh pages. Does nothing where the allocator has no such knob.
void KeepFreedMemory();

}  // namespace platform
