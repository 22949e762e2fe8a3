#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "platform/process.h"
#include "scratch_directory.h"

namespace fs = std::filesystem;

namespace {

// The child's runtime ends text lines with CR LF on Windows.
std::string LineEnd() { return OnWindowsConventions() ? "\r\n" : "\n"; }

}  // namespace

TEST(RunProcess, PassesArgumentsAndWorkingDirectoryAndCapturesBothStreams) {
  ScratchDirectory dir;
  fs::create_directory(dir.Path() / "work dir");
  const std::vector<std::string> arguments = {
      "3", "two words", "", "quote\"inside", "trailing\\", "back\\\\slashes\\\"q"};

  platform::ProcessResult result =
      platform::RunProcess(PROCESS_PROBE_EXE, arguments, dir.Join("work dir"));

  EXPECT_EQ(result.exit_status, 3);
  EXPECT_EQ(result.standard_error, "probe stderr");
  const std::string& out = result.standard_output;
  const std::string cwd_tag = "cwd=";
  ASSERT_EQ(out.compare(0, cwd_tag.size(), cwd_tag), 0) << out;
  const std::size_t cwd_end = out.find(LineEnd());
  ASSERT_NE(cwd_end, std::string::npos) << out;
  EXPECT_TRUE(fs::equivalent(out.substr(cwd_tag.size(), cwd_end - cwd_tag.size()),
                             dir.Path() / "work dir"))
      << out;

  std::string expected;
  for (const std::string& argument : arguments) expected += "[" + argument + "]" + LineEnd();
  EXPECT_EQ(out.substr(cwd_end + LineEnd().size()), expected);
}

TEST(RunProcess, LargeOutputOnBothStreamsDoesNotBlock) {
  ScratchDirectory dir;
  // Far more than a pipe buffer holds, so a parent draining one stream at a
  // time would wait forever.
  std::vector<std::string> arguments = {"0", "--both"};
  for (int i = 0; i < 2000; ++i) arguments.push_back(std::string(60, 'x'));
  platform::ProcessResult result =
      platform::RunProcess(PROCESS_PROBE_EXE, arguments, dir.Path().string());
  EXPECT_EQ(result.exit_status, 0);
  EXPECT_GT(result.standard_output.size(), 2000u * 62u);
  EXPECT_GT(result.standard_error.size(), 2000u * 62u);
}

TEST(RunProcess, AMissingProgramIsAFailureNotASuccess) {
  ScratchDirectory dir;
  platform::ProcessResult result =
      platform::RunProcess(dir.Join("no-such-program"), {}, dir.Path().string());
  EXPECT_NE(result.exit_status, 0);
}
