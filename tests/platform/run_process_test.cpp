#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "platform/process.h"
#include "support/platform_conventions.h"
#include "support/temp_dir.h"

namespace fs = std::filesystem;
using testing_support::TempDir;

namespace {

// The child's runtime ends text lines with CR LF on Windows.
std::string LineEnd() { return testing_support::WindowsConventions() ? "\r\n" : "\n"; }

}  // namespace

TEST(RunProcess, PassesArgumentsAndWorkingDirectoryAndCapturesBothStreams) {
  TempDir dir;
  fs::create_directory(dir.path() / "work dir");
  // Every argument must reach the child unchanged, however the system
  // splits a command line.
  const std::vector<std::string> arguments = {
      "3", "two words", "", "quote\"inside", "trailing\\", "back\\\\slashes\\\"q", "tab\there"};

  platform::ProcessResult result =
      platform::RunProcess(PROCESS_PROBE_EXE, arguments, dir / "work dir");

  EXPECT_EQ(result.exit_status, 3);
  EXPECT_EQ(result.standard_error, "probe stderr");
  const std::string& out = result.standard_output;
  const std::string cwd_tag = "cwd=";
  ASSERT_EQ(out.compare(0, cwd_tag.size(), cwd_tag), 0) << out;
  const std::size_t cwd_end = out.find(LineEnd());
  ASSERT_NE(cwd_end, std::string::npos) << out;
  EXPECT_TRUE(fs::equivalent(out.substr(cwd_tag.size(), cwd_end - cwd_tag.size()),
                             dir.path() / "work dir"))
      << out;

  std::string expected;
  for (const std::string& argument : arguments) expected += "[" + argument + "]" + LineEnd();
  EXPECT_EQ(out.substr(cwd_end + LineEnd().size()), expected);
}

TEST(RunProcess, HeavyOutputOnBothStreamsDoesNotBlock) {
  TempDir dir;
  // Far more than a pipe holds, on both streams at once: a parent that
  // drained one stream at a time would wait forever.
  platform::ProcessResult result =
      platform::RunProcess(PROCESS_PROBE_EXE, {"0", "--flood", "5000"}, dir.path().string());
  EXPECT_EQ(result.exit_status, 0);
  const std::size_t expected = 5000 * (99 + LineEnd().size());
  EXPECT_EQ(result.standard_output.size(), expected);
  EXPECT_EQ(result.standard_error.size(), expected);
}

TEST(RunProcess, AMissingProgramIsAFailureNotASuccess) {
  TempDir dir;
  platform::ProcessResult result =
      platform::RunProcess(dir / "no-such-program", {}, dir.path().string());
  EXPECT_NE(result.exit_status, 0);
}
