#pragma once
// A fixed number of workers taking numbered tasks in order.

#include <cstddef>
#include <functional>

namespace cli {

/// The number of workers for `tasks` tasks when `requested` were asked
/// for (0: one per processor): at least 1, at most `tasks` (and 0 only
/// when there is nothing to do).
unsigned WorkerCount(unsigned requested, std::size_t tasks);

/// Calls `task(i)` once for every i below `tasks`, on `workers` threads
/// (the calling one among them), each taking the lowest number not yet
/// taken. Returns when every task has ended. When a task throws, no
/// further task starts and the first exception is thrown again here.
void RunPool(std::size_t tasks, unsigned workers, const std::function<void(std::size_t)>& task);

}  // namespace cli
