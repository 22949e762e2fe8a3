#include "runtime/frame.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>
#include <algorithm>
#include <thread>

#include "platform/process.h"
#include "runtime/file/file.h"
#include "runtime/mem.h"
#include "runtime/session.h"
#include "support/temp_dir.h"

namespace {

using testing_support::TempDir;
using testing_support::WriteText;

std::string Unix(std::string text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i)
    if (!(text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')) out += text[i];
  return out;
}

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

void SetEnvironment(const char* name, const char* value) {
#ifdef _WIN32
  _putenv_s(name, value ? value : "");
#else
  if (value)
    setenv(name, value, 1);
  else
    unsetenv(name);
#endif
}

#ifdef _WIN32
constexpr int kMinusOne = -1;
#else
constexpr int kMinusOne = 255;
#endif

struct FrameCase {
  const char* name;
  std::vector<std::string> arguments;
  const char* options;  // written as OPTIONS.INI and my.ini when given
  int status;
  std::string out;  // after the first lines up to "device="
  std::string err;
};

const std::string kOverrideDefault = "\nOverriding default behavior with Options file: 'OPTIONS.INI'\n";
const std::string kOverrideMine = "\nOverriding default behavior with Options file: 'my.ini'\n";
const std::string kFrame = "path=argv0\nstart=current\n";

const FrameCase kFrameCases[] = {
    {"no switches", {"a", "exit=3"}, nullptr, 3,
     "argc=3\n[a]\n[exit=3]\n" + kFrame + "device=C mode=3 pools=1\nend\n", ""},
    {"upper case device switch", {"-KeF", "x"}, nullptr, 0,
     "argc=2\n[x]\n" + kFrame + "device=F mode=2 pools=1\nend\n", ""},
    {"lower case device switch", {"x", "-kef"}, nullptr, 0,
     "argc=2\n[x]\n" + kFrame + "device=F mode=2 pools=1\nend\n", ""},
    {"unknown device stays", {"-kex"}, nullptr, 0,
     "argc=2\n[-kex]\n" + kFrame + "device=C mode=3 pools=1\nend\n", ""},
    {"bare switch stays", {"-ke", "-k"}, nullptr, 0,
     "argc=3\n[-ke]\n[-k]\n" + kFrame + "device=C mode=3 pools=1\nend\n", ""},
    {"options file default name", {"-kp"}, "[Profile]\nErrorDevice=a\n", 0,
     kOverrideDefault + "argc=1\n" + kFrame + "device=C mode=1 pools=1\nend\n", ""},
    {"options file named", {"-KPmy.ini"}, "[Profile]\nErrorDevice=N\n", 0,
     kOverrideMine + "argc=1\n" + kFrame + "device=C mode=0 pools=1\nend\n", ""},
    {"missing options file", {"-kpnone.ini", "y"}, nullptr, 0,
     "\nOverriding default behavior with Options file: 'none.ini'\nargc=2\n[y]\n" + kFrame +
         "device=C mode=3 pools=1\nend\n",
     ""},
    {"two switches in a row", {"-keA", "-kpmy.ini", "y"}, "[Profile]\nPoolSize=4084\n", 0,
     kOverrideMine + "argc=2\n[y]\n" + kFrame + "device=A mode=1 pools=1\nend\n", ""},
    {"empty device in options wins", {"-kef", "-kpmy.ini"}, "[Profile]\nErrorDevice=\n", 0,
     kOverrideMine + "argc=1\n" + kFrame + "device=F mode=0 pools=1\nend\n", ""},
    {"error report", {"error=bad thing"}, nullptr, 0,
     "argc=2\n[error=bad thing]\n" + kFrame + "device=C mode=3 pools=1\nshown=1\nend\n",
     "_Error(): bad thing\n"},
    {"report cut to 255 characters", {"long"}, nullptr, 0,
     "argc=2\n[long]\n" + kFrame + "device=C mode=3 pools=1\nend\n",
     "_Error(): " + std::string(255, 'x') + "\n"},
    {"fatal error ends the run", {"fatal", "exit=4"}, nullptr, 1,
     "argc=3\n[fatal]\n[exit=4]\n" + kFrame + "device=C mode=3 pools=1\nbefore\n",
     "_FatalError(): fatal 7\n"},
    {"failure ends the run", {"failure"}, nullptr, 1,
     "argc=2\n[failure]\n" + kFrame + "device=C mode=3 pools=1\n", "_Failure(): failure here\n"},
    {"options file name too long", {"-kp" + std::string(256, 'n')}, nullptr, kMinusOne, "",
     "Options file name longer than 255 characters: '" + std::string(256, 'n') + "'\n"},
};

class FrameRun : public ::testing::TestWithParam<FrameCase> {};

TEST_P(FrameRun, SwitchesReportsAndExitCodes) {
  const FrameCase& run = GetParam();
  TempDir dir;
  if (run.options) {
    WriteText(dir / "OPTIONS.INI", run.options);
    WriteText(dir / "my.ini", run.options);
  }
  SetEnvironment("PIXMILL_NO_MESSAGE_BOX", "1");
  const platform::ProcessResult result =
      platform::RunProcess(FRAME_PROBE_EXE, run.arguments, dir.path().string());
  EXPECT_EQ(result.exit_status, run.status);
  EXPECT_EQ(Unix(result.standard_output), run.out);
  EXPECT_EQ(Unix(result.standard_error), run.err);
  EXPECT_FALSE(std::filesystem::exists(dir.path() / "memstats.txt"));
}

INSTANTIATE_TEST_SUITE_P(Frame, FrameRun, ::testing::ValuesIn(kFrameCases), [](const auto& info) {
  std::string name = info.param.name;
  for (char& c : name)
    if (!isalnum(static_cast<unsigned char>(c))) c = '_';
  return name;
});

TEST(Frame, MemStatsFileHoldsThePeak) {
  TempDir dir;
  WriteText(dir / "my.ini", "[Profile]\nShowMemStats=1\n");
  const platform::ProcessResult result =
      platform::RunProcess(FRAME_PROBE_EXE, {"-kpmy.ini", "alloc=1000", "alloc=20"}, dir.path().string());
  EXPECT_EQ(result.exit_status, 0);
  EXPECT_NE(Unix(result.standard_output).find("alloc=1\nalloc=1\n"), std::string::npos);
  EXPECT_EQ(Unix(ReadAll(dir / "memstats.txt")), "Max memory allocated: 1004\n");
}

#ifndef _WIN32
TEST(Frame, DebugOutputGoesToStandardErrorWhenAsked) {
  TempDir dir;
  SetEnvironment("PIXMILL_DEBUG_OUTPUT", "1");
  const platform::ProcessResult result =
      platform::RunProcess(FRAME_PROBE_EXE, {"error=x%d"}, dir.path().string());
  SetEnvironment("PIXMILL_DEBUG_OUTPUT", nullptr);
  EXPECT_EQ(result.standard_error, "x%d\n_Error(): x%d\n");
}
#endif

// The error system in this process: the log file.
TEST(ErrorSystem, ReportsGoToTheLogFileCutTo255Characters) {
  TempDir dir;
  std::FILE* log = std::fopen((dir / "log.txt").c_str(), "w");
  ASSERT_NE(log, nullptr);
  errSetFile(log);
  SetErrDevice('C');
  errBegin();
  EXPECT_EQ(errGetFile(), nullptr);  // only in mode 2
  SetErrDevice('F');
  errBegin();
  EXPECT_EQ(errGetFile(), log);
  EXPECT_EQ(_Error("value %d of %s", 5, "six"), 0);
  EXPECT_EQ(_Error("%s", std::string(400, 'y').c_str()), 0);
  errSetFile(nullptr);
  EXPECT_EQ(errGetFile(), nullptr);
  std::fclose(log);
  SetErrDevice('C');
  errBegin();
  EXPECT_EQ(Unix(ReadAll(dir / "log.txt")), "value 5 of six\n" + std::string(255, 'y') + "\n");
}

// Both probes must run at the same depth: one caller, nothing in between
// but what is measured.
__attribute__((noinline, no_sanitize_address)) int UseStack(int bytes) {
  volatile char buffer[2048];
  for (int i = 0; i < bytes && i < 2048; ++i) buffer[i] = static_cast<char>(i);
  return buffer[0];
}

__attribute__((noinline, no_sanitize_address)) int32_t Untouched(int32_t bytes, int used) {
  testStackUsageBegin(nullptr, bytes);
  if (used) UseStack(used);
  return testStackUsageEnd(nullptr, bytes);
}

TEST(StackProbe, CountsTheWordsNoCallUsed) {
  EXPECT_EQ(Untouched(0, 0), 0);
  const int32_t idle = Untouched(4096, 0);
  EXPECT_GE(idle, 1024 - 32);  // the two probes' frames may differ a little
  EXPECT_LE(idle, 1024);
  const int32_t busy = Untouched(4096, 2048);
  EXPECT_LT(busy, idle - 1600 / 4);  // most of the 2048-byte buffer
  EXPECT_GT(busy, 0);
}

}  // namespace

// A program with an entry of its own brings the library up for the
// session's life; every call goes through its exclusive section.
TEST(RuntimeSession, BringsTheLibraryUpForItsLifeOneCallerAtATime) {
  {
    RuntimeSession session;
    ASSERT_TRUE(session.started());
    EXPECT_TRUE(fileInitialized());
    EXPECT_GT(session.Exclusive([] { return memPoolCount(); }), 0);
    int inside = 0, most = 0;
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
      threads.emplace_back([&] {
        for (int n = 0; n < 200; ++n)
          session.Exclusive([&] {
            most = std::max(most, ++inside);
            --inside;
          });
      });
    for (std::thread& thread : threads) thread.join();
    EXPECT_EQ(most, 1);
  }
  EXPECT_FALSE(fileInitialized());
  EXPECT_EQ(memPoolCount(), 0);
}
