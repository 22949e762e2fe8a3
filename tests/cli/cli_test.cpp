// The newer programs' shared conventions, tested once where they live.

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <mutex>
#include <stdexcept>
#include <string>
#include <vector>

#include "cli/command_line.h"
#include "cli/pool.h"
#include "cli/progress.h"
#include "cli/walk.h"
#include "support/temp_dir.h"

namespace fs = std::filesystem;
using testing_support::TempDir;
using testing_support::WriteText;

namespace {

TEST(Cli, ParseJobsTakesOnlyCountsFrom1To9999) {
  struct Case {
    const char* text;
    bool ok;
    unsigned jobs;
  } cases[] = {
      {"1", true, 1},     {"16", true, 16},  {"0009", true, 9}, {"9999", true, 9999},
      {"0", false, 7},    {"", false, 7},    {"10000", false, 7}, {"-1", false, 7},
      {"+2", false, 7},   {"2x", false, 7},  {" 2", false, 7},  {"0000", false, 7},
  };
  for (const Case& c : cases) {
    unsigned jobs = 7;
    EXPECT_EQ(cli::ParseJobs(c.text, jobs), c.ok) << c.text;
    EXPECT_EQ(jobs, c.jobs) << c.text;
  }
}

TEST(Cli, UsageErrorPointsToHelp) {
  testing::internal::CaptureStderr();
  cli::PrintUsageError("datpack", "unknown option '-x'");
  cli::PrintUsageError("modbatch", "no folder given", "usage: modbatch FOLDER...");
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "datpack: unknown option '-x'\nTry 'datpack --help' for more information.\n"
            "modbatch: no folder given\nusage: modbatch FOLDER...\n");
}

TEST(Cli, SummaryLineJoinsTheCounts) {
  EXPECT_EQ(cli::SummaryLine("millview", {{3, "converted"}, {0, "failed"}, {12, "skipped"}}),
            "millview: 3 converted, 0 failed, 12 skipped");
  EXPECT_EQ(cli::SummaryLine("", {{1, "converted"}, {2, "up to date"}}), "1 converted, 2 up to date");
}

TEST(Cli, ProgressLineRedrawsInPlaceAndOnlyWhenShown) {
  testing::internal::CaptureStderr();
  {
    cli::ProgressLine hidden(false);
    hidden.Show("1/2 files");
    hidden.Clear();
    hidden.Keep();
  }
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "");

  testing::internal::CaptureStderr();
  cli::ProgressLine line(true);
  line.Clear();  // nothing drawn yet: nothing to blank
  line.Show("10/20 files");
  line.Show("11/20");  // a shorter line blanks what the longer one left
  line.Clear();
  line.Show("12/20");
  line.Keep();
  line.Keep();  // the line already ended
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "\r10/20 files\r11/20      \r           \r\r12/20\n");
}

TEST(Cli, WorkerCountStaysBetweenOneAndTheTasks) {
  EXPECT_EQ(cli::WorkerCount(4, 10), 4u);
  EXPECT_EQ(cli::WorkerCount(4, 2), 2u);
  EXPECT_EQ(cli::WorkerCount(3, 0), 0u);
  EXPECT_GE(cli::WorkerCount(0, 1000), 1u);
  EXPECT_EQ(cli::WorkerCount(0, 1), 1u);
}

TEST(Cli, PoolRunsEveryTaskOnce) {
  for (unsigned workers : {1u, 2u, 8u}) {
    std::vector<std::atomic<int>> runs(100);
    cli::RunPool(runs.size(), workers, [&](std::size_t n) { ++runs[n]; });
    for (std::size_t n = 0; n < runs.size(); ++n) EXPECT_EQ(runs[n].load(), 1) << n << " of " << workers;
  }
  cli::RunPool(0, 2, [](std::size_t) { FAIL() << "no task to run"; });
}

TEST(Cli, PoolStopsAtAFailureAndThrowsItHere) {
  std::atomic<std::size_t> ran{0};
  try {
    cli::RunPool(1000, 1, [&](std::size_t n) {
      ++ran;
      if (n == 3) throw std::runtime_error("task 3");
    });
    FAIL() << "nothing thrown";
  } catch (const std::runtime_error& failure) {
    EXPECT_STREQ(failure.what(), "task 3");
  }
  EXPECT_EQ(ran.load(), 4u);
}

// A walk as text: one line per folder with its three lists.
std::string Walked(const std::string& root) {
  std::string text;
  cli::WalkTree(root, [&](const cli::Folder& folder) {
    text += "[" + folder.relative + "]";
    for (const std::string& name : folder.files) text += " f:" + name;
    for (const std::string& name : folder.folders) text += " d:" + name;
    for (const std::string& name : folder.linkedFolders) text += " l:" + name;
    text += "\n";
    EXPECT_EQ(folder.path, folder.relative.empty() ? root : cli::JoinPath(root, fs::path(folder.relative).make_preferred().string()));
  });
  return text;
}

TEST(Cli, WalkVisitsFoldersDepthFirstInSortedOrder) {
  TempDir dir;
  for (const char* name : {"tree/b.txt", "tree/a.txt", "tree/z/one", "tree/m/n/two", "tree/m/x"})
    fs::create_directories(fs::path(dir / name).parent_path()), WriteText(dir / name, "x");
  fs::create_directories(dir.path() / "tree/empty");
  EXPECT_EQ(Walked(dir / "tree"),
            "[] f:a.txt f:b.txt d:empty d:m d:z\n[empty]\n[m] f:x d:n\n[m/n] f:two\n[z] f:one\n");
  EXPECT_EQ(Walked(dir / "missing"), "[]\n");
}

TEST(Cli, WalkNeverFollowsALinkToAFolder) {
  TempDir dir;
  fs::create_directories(dir.path() / "tree/a");
  fs::create_directories(dir.path() / "outside/deep");
  WriteText(dir / "outside/secret.txt", "x");
  WriteText(dir / "tree/a/real.txt", "x");
  std::error_code error;
  fs::create_directory_symlink("..", dir.path() / "tree/a/up", error);
  if (!error) fs::create_directory_symlink(dir.path() / "outside", dir.path() / "tree/a/out", error);
  if (!error) fs::create_symlink(dir.path() / "outside/secret.txt", dir.path() / "tree/a/file", error);
  if (!error) fs::create_symlink(dir.path() / "nowhere", dir.path() / "tree/a/broken", error);
  if (error) GTEST_SKIP() << "this system makes no symbolic links here: " << error.message();
  EXPECT_EQ(Walked(dir / "tree"), "[] d:a\n[a] f:broken f:file f:real.txt l:out l:up\n");
  // A root that is itself a link is the folder the user named: it is walked.
  EXPECT_EQ(Walked(dir / "tree/a/out"), "[] f:secret.txt d:deep\n[deep]\n");
}

}  // namespace
