// The folder watch, by the system's service and by polling: a saved file,
// a file in a folder made after the watch began, and nothing outside.
// Events are waited for with a generous limit, never timed.

#include "platform/watch.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "support/temp_dir.h"

namespace {

namespace fs = std::filesystem;
using testing_support::TempDir;
using testing_support::WriteText;

using MakeWatch = std::function<std::unique_ptr<platform::FolderWatch>(const std::string&)>;

// Whether the watch tells of `path` (or of a folder holding it) within 30 s.
bool Sees(platform::FolderWatch& watch, const fs::path& path) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  const std::string wanted = fs::path(path).make_preferred().string();
  while (std::chrono::steady_clock::now() < deadline) {
    std::vector<std::string> changed;
    if (!watch.Wait(200, changed)) return false;
    for (const std::string& c : changed) {
      const std::string seen = fs::path(c).make_preferred().string();
      if (seen == wanted || (wanted.compare(0, seen.size(), seen) == 0 &&
                             wanted.size() > seen.size() && (wanted[seen.size()] == '/' ||
                                                             wanted[seen.size()] == '\\'))) {
        return true;
      }
    }
  }
  return false;
}

class Watch : public testing::TestWithParam<const char*> {
 protected:
  std::unique_ptr<platform::FolderWatch> Make(const fs::path& root) {
    return std::string(GetParam()) == "poll" ? platform::PollFolder(root.string())
                                             : platform::WatchFolder(root.string());
  }
};

TEST_P(Watch, TellsOfASavedFileAndOfFilesInNewFolders) {
  TempDir dir;
  fs::create_directories(dir.path() / "tex/walls");
  WriteText((dir.path() / "tex/walls/a.tga").string(), "one");
  auto watch = Make(dir.path());
  ASSERT_NE(watch, nullptr);

  WriteText((dir.path() / "tex/walls/a.tga").string(), "two, longer");
  EXPECT_TRUE(Sees(*watch, dir.path() / "tex/walls/a.tga"));

  fs::create_directories(dir.path() / "tex/new/deeper");
  WriteText((dir.path() / "tex/new/deeper/b.tga").string(), "three");
  EXPECT_TRUE(Sees(*watch, dir.path() / "tex/new/deeper/b.tga"));
  // The new folder is watched from now on.
  WriteText((dir.path() / "tex/new/deeper/c.tga").string(), "four");
  EXPECT_TRUE(Sees(*watch, dir.path() / "tex/new/deeper/c.tga"));
}

TEST_P(Watch, AnswersWithinItsTimeWhenNothingChanges) {
  TempDir dir;
  auto watch = Make(dir.path());
  ASSERT_NE(watch, nullptr);
  std::vector<std::string> changed;
  EXPECT_TRUE(watch->Wait(50, changed));
  EXPECT_TRUE(changed.empty());
}

TEST_P(Watch, RefusesWhatIsNoFolder) {
  TempDir dir;
  WriteText((dir.path() / "file").string(), "x");
  EXPECT_EQ(Make(dir.path() / "file"), nullptr);
  EXPECT_EQ(Make(dir.path() / "none"), nullptr);
}

INSTANTIATE_TEST_SUITE_P(Services, Watch, testing::Values("system", "poll"));

}  // namespace
