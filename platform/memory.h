#pragma once
// Process-wide memory set-up.

namespace platform {

/// Prepares the heap for a program that holds whole files in memory: where
/// the system allows it, heap memory is backed by large pages so that first
/// use of many megabytes costs a few page faults instead of thousands. Call
/// once at start, before large allocations; it changes no behaviour.
void PrepareHeapForLargeData();

/// Asks the heap to keep blocks of up to tens of megabytes that were freed
/// for the next requests instead of handing them back to the system, so a
/// program that frees and allocates large buffers in turn pays the first
/// use of its pages once. Call once at start; it changes no behaviour.
void KeepFreedHeapMemory();

}  // namespace platform
