#pragma once
// Process-wide memory set-up.

namespace platform {

/// Prepares the heap for a program that holds whole files in memory: where
/// the system allows it, heap memory is backed by large pages so that first
/// use of many megabytes costs a few page faults instead of thousands. Call
/// once at start, before large allocations; it changes no behaviour.
void PrepareHeapForLargeData();

}  // namespace platform
