#pragma once
// Keeps exceptions inside the platform layer: a call whose work throws
// (memory ran out while a path was built, mostly) answers its failure value
// instead, so that no caller is ever ended by std::bad_alloc from here.

namespace platform {

/// Runs `body` and answers its result, or `failure` when it throws.
template <typename Result, typename Body>
Result Guarded(const Result& failure, Body&& body) noexcept {
  try {
    return body();
  } catch (...) {
    return failure;
  }
}

}  // namespace platform
