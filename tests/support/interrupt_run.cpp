#include "support/interrupt_run.h"

#include <system_error>
#include <thread>

namespace testing_support {

namespace fs = std::filesystem;

// Wine delivers console control events only to programs attached to a
// console of its own, which programs started with redirected output under
// a test runner are not.
const char kCannotInterrupt[] =
    "the system cannot send this program a console interruption here (Wine without a console)";

bool IsTemporaryName(const std::string& name) {
  // "out" and hexadecimal digits, ".tmp" after them, in any letter case.
  if (name.size() < 8) return false;
  std::string lower;
  for (char c : name) lower += static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
  return lower.compare(0, 3, "out") == 0 && lower.compare(lower.size() - 4, 4, ".tmp") == 0;
}

std::vector<std::string> TemporariesBelow(const fs::path& root) {
  std::vector<std::string> found;
  std::error_code error;
  for (fs::recursive_directory_iterator it(root, error), end; !error && it != end; it.increment(error)) {
    if (IsTemporaryName(it->path().filename().string())) found.push_back(it->path().string());
  }
  return found;
}

platform::ProcessResult InterruptWhenWriting(const std::string& program,
                                             const std::vector<std::string>& arguments,
                                             const fs::path& working_directory, const fs::path& watched,
                                             platform::Interruption how, Sent& sent,
                                             const fs::path& when_exists) {
  sent = Sent::kTooLate;
  platform::ChildProcess child(program, arguments, working_directory.string());
  // Looks as often as it can: the window is what the program's work
  // between creating a temporary and renaming it takes.
  while (child.Running()) {
    std::error_code error;
    const bool due = when_exists.empty() ? !TemporariesBelow(watched).empty() : fs::exists(when_exists, error);
    if (due) {
      if (child.Interrupt(how)) {
        sent = Sent::kSent;
      } else if (child.Running()) {
        sent = Sent::kCannotSend;
      }
      break;
    }
    std::this_thread::yield();
  }
  return child.Wait();
}

int SignalOf(platform::Interruption how) {
  switch (how) {
    case platform::Interruption::kInterrupt: return 2;
    case platform::Interruption::kTerminate: return 15;
    case platform::Interruption::kHangUp: return 1;
  }
  return 0;
}

std::vector<platform::Interruption> Interruptions() {
  return {platform::Interruption::kInterrupt, platform::Interruption::kTerminate};
}

std::string InterruptionName(const ::testing::TestParamInfo<platform::Interruption>& info) {
  return info.param == platform::Interruption::kInterrupt ? "Interrupt" : "Terminate";
}

}  // namespace testing_support
