#pragma once
// Interrupting a real program in the middle of writing an output, for the
// end-to-end tests of what an interrupted run leaves behind.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "platform/process.h"

namespace testing_support {

/// Whether `name` has the form of an output's temporary file.
bool IsTemporaryName(const std::string& name);

/// Every temporary file anywhere below `root`.
std::vector<std::string> TemporariesBelow(const std::filesystem::path& root);

enum class Sent {
  kTooLate,     ///< the program ended before there was anything to interrupt
  kSent,        ///< interrupted while it ran
  kCannotSend,  ///< the system could not deliver an interruption
};

/// The reason a test gives when the system cannot interrupt a program.
extern const char kCannotInterrupt[];

/// Runs `program` and interrupts it as soon as a temporary file shows up
/// below `watched` (or, with `when_exists`, once that file exists).
/// Returns the child's outcome.
platform::ProcessResult InterruptWhenWriting(const std::string& program,
                                             const std::vector<std::string>& arguments,
                                             const std::filesystem::path& working_directory,
                                             const std::filesystem::path& watched,
                                             platform::Interruption how, Sent& sent,
                                             const std::filesystem::path& when_exists = {});

/// The signal number of an interruption on POSIX.
int SignalOf(platform::Interruption how);

/// The interruptions the tests send, and their names as parts of test names.
std::vector<platform::Interruption> Interruptions();
std::string InterruptionName(const ::testing::TestParamInfo<platform::Interruption>& info);

}  // namespace testing_support
