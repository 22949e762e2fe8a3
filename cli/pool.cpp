#include "cli/pool.h"

#include <atomic>
#include <exception>
#include <mutex>
#include <thread>
#include <vector>

namespace cli {

unsigned WorkerCount(unsigned requested, std::size_t tasks) {
  unsigned workers = requested ? requested : std::thread::hardware_concurrency();
  if (workers == 0) workers = 1;
  if (workers > tasks) workers = static_cast<unsigned>(tasks);
  return workers;
}

void RunPool(std::size_t tasks, unsigned workers, const std::function<void(std::size_t)>& task) {
  if (tasks == 0) return;
  if (workers == 0) workers = 1;
  std::atomic<std::size_t> next{0};
  std::mutex failureLock;
  std::exception_ptr failure;
  auto work = [&] {
    for (std::size_t n; (n = next.fetch_add(1)) < tasks;) {
      try {
        task(n);
      } catch (...) {
        std::lock_guard<std::mutex> hold(failureLock);
        if (!failure) failure = std::current_exception();
        next.store(tasks);  // nobody starts another task
      }
    }
  };
  std::vector<std::thread> threads;
  for (unsigned t = 1; t < workers && t < tasks; ++t) threads.emplace_back(work);
  work();
  for (std::thread& thread : threads) thread.join();
  if (failure) std::rethrow_exception(failure);
}

}  // namespace cli
