#pragma once
// Capturing the message of an expected failure.

#include <string>
#include <utility>

#include "trackconv/foundation/errors.h"

namespace testing_support {

/// What MessageOf answers when the action throws nothing.
constexpr const char kNothingThrown[] = "(nothing thrown)";

/// The message of the `Error` that `action` throws, or kNothingThrown.
/// Exceptions of other classes pass through and fail the test.
template <typename Error = XAssumption, typename Action>
std::string MessageOf(Action&& action) {
  try {
    std::forward<Action>(action)();
  } catch (const Error& error) {
    return error.what();
  }
  return kNothingThrown;
}

}  // namespace testing_support
