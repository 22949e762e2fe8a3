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

// A program that cannot be started says so, in one way on every system,
// rather than look like one that ran and failed or crashed.
TEST(RunProcess, AProgramThatCannotStartIsReportedAsNotStarted) {
  TempDir dir;
  fs::create_directory(dir.path() / "a folder");
  testing_support::WriteText(dir / "not a program.exe", "plain text\n");
  for (const std::string& program : {dir / "no-such-program", dir / "a folder", dir / "not a program.exe"}) {
    platform::ProcessResult result = platform::RunProcess(program, {}, dir.path().string());
    EXPECT_FALSE(result.started) << program;
    EXPECT_EQ(result.exit_status, -1) << program;
    EXPECT_NE(result.standard_error.find(program), std::string::npos) << result.standard_error;
  }
  platform::ProcessResult started = platform::RunProcess(PROCESS_PROBE_EXE, {"0"}, dir.path().string());
  EXPECT_TRUE(started.started);
  // A working directory that is not there keeps the program from starting.
  platform::ProcessResult nowhere = platform::RunProcess(PROCESS_PROBE_EXE, {"0"}, dir / "missing");
  EXPECT_FALSE(nowhere.started);
}

// An empty working directory is the current one; a relative program is
// found from the current directory, not from the working directory.
TEST(RunProcess, EmptyWorkingDirectoryAndRelativeProgramMeanTheCurrentDirectory) {
  TempDir dir;
  const fs::path probe = fs::path(PROCESS_PROBE_EXE);
  testing_support::ScopedCurrentDirectory here(probe.parent_path());
  const std::string relative = (fs::path(".") / probe.filename()).string();

  platform::ProcessResult plain = platform::RunProcess(relative, {"0"}, "");
  ASSERT_TRUE(plain.started) << plain.standard_error;
  EXPECT_EQ(plain.exit_status, 0);
  const std::string cwd = plain.standard_output.substr(4, plain.standard_output.find(LineEnd()) - 4);
  EXPECT_TRUE(fs::equivalent(cwd, probe.parent_path())) << plain.standard_output;

  platform::ProcessResult elsewhere = platform::RunProcess(relative, {"4"}, dir.path().string());
  ASSERT_TRUE(elsewhere.started) << elsewhere.standard_error;
  EXPECT_EQ(elsewhere.exit_status, 4);
}

TEST(ChildProcess, RunsAlongsideAndEndsByAnInterruption) {
  TempDir dir;
  platform::ChildProcess child(PROCESS_PROBE_EXE, {"0", "--wait"}, dir.path().string());
  ASSERT_TRUE(child.started());
  EXPECT_TRUE(child.Running());
  if (!child.Interrupt(platform::Interruption::kTerminate)) {
    // Ended another way, so the test does not wait forever.
    testing_support::WriteText(dir / "stop", "");
    GTEST_SKIP() << "this system cannot send the program an interruption here";
  }
  const platform::ProcessResult result = child.Wait();
  EXPECT_FALSE(child.Running());
  if (testing_support::WindowsConventions()) {
    EXPECT_EQ(result.exit_status, -1);
  } else {
    EXPECT_EQ(result.signal, 15);
  }
}
