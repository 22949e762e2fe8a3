// Writing a file and replacing it in one call, and whole-file reads.

#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "platform/atomic_replace.h"
#include "platform/file_attributes.h"
#include "platform/replace_file.h"
#include "platform/whole_file.h"
#include "support/temp_dir.h"

namespace fs = std::filesystem;
using testing_support::TempDir;

namespace {

std::vector<uint8_t> Bytes(const std::string& text) { return std::vector<uint8_t>(text.begin(), text.end()); }

std::vector<std::string> Names(const fs::path& directory) { return testing_support::ListNames(directory); }

TEST(ReplaceFile, WritesTheWholeFileOrLeavesTheOldOneAndNoTemporary) {
  TempDir dir;
  fs::create_directory(dir.path() / "taken");
  testing_support::WriteText(dir / "OLD.TXT", "old");
  struct Case {
    const char* name;
    bool written;
  } cases[] = {{"new.txt", true}, {"old.txt", true}, {"taken", false}, {"missing/new.txt", false}};
  for (const Case& c : cases) EXPECT_EQ(platform::WriteFileReplacing(dir / c.name, Bytes(c.name)), c.written) << c.name;
  // The existing name in another letter case was reused, and nothing else is left.
  EXPECT_EQ(Names(dir.path()), (std::vector<std::string>{"OLD.TXT", "new.txt", "taken"}));
  EXPECT_EQ(testing_support::ReadBytes(dir / "OLD.TXT"), Bytes("old.txt"));

  // A writer that fails leaves the old file as it was.
  EXPECT_FALSE(platform::WriteFileReplacing(dir / "new.txt", [](platform::NativeFile file) {
    platform::WriteAll(file, reinterpret_cast<const uint8_t*>("half"), 4);
    return false;
  }));
  EXPECT_EQ(testing_support::ReadBytes(dir / "new.txt"), Bytes("new.txt"));
  EXPECT_EQ(Names(dir.path()), (std::vector<std::string>{"OLD.TXT", "new.txt", "taken"}));
}

TEST(ReplaceFile, AReplacementNotCommittedTakesItsTemporaryWithIt) {
  TempDir dir;
  std::string temporary;
  {
    platform::Replacement replacement;
    ASSERT_TRUE(replacement.Begin(dir / "out.bin"));
    ASSERT_TRUE(replacement.Write(Bytes("data")));
    temporary = replacement.temporary();
    EXPECT_TRUE(fs::exists(temporary));
    platform::Replacement moved = std::move(replacement);
    EXPECT_FALSE(replacement.Commit());  // the moved-from one holds nothing
  }
  EXPECT_FALSE(fs::exists(temporary));
  EXPECT_TRUE(Names(dir.path()).empty());
}

TEST(ReplaceFile, ClaimsRefuseWhatTheyMust) {
  TempDir dir;
  fs::create_directory(dir.path() / "folder");
  testing_support::WriteText(dir / "locked", "x");
  fs::permissions(dir.path() / "locked", fs::perms::owner_read);
  const bool locked = !platform::CanTakeOutput(dir / "locked");  // root may write anything
  EXPECT_EQ(platform::BeginReplacement(dir / "folder", platform::Claim::kNotDirectory), "");
  const std::string claimed = platform::BeginReplacement(dir / "locked", platform::Claim::kWritable);
  EXPECT_EQ(claimed.empty(), locked);
  if (!claimed.empty()) platform::RemoveFile(claimed);
  const std::string temporary = platform::BeginReplacement(dir / "locked", platform::Claim::kNotDirectory);
  ASSERT_NE(temporary, "");
  // A rename that fails takes the temporary with it.
  EXPECT_FALSE(platform::FinishReplacement(temporary, dir / "folder"));
  EXPECT_FALSE(fs::exists(temporary));
  fs::permissions(dir.path() / "locked", fs::perms::owner_all);
  EXPECT_EQ(Names(dir.path()), (std::vector<std::string>{"folder", "locked"}));
}

TEST(WholeFile, ReadsAllOrSaysWhy) {
  TempDir dir;
  testing_support::WriteText(dir / "Some.Bin", "abc");
  std::vector<uint8_t> bytes;
  EXPECT_EQ(platform::ReadWholeFile(dir / "some.bin", bytes), platform::WholeFile::kRead);
  EXPECT_EQ(bytes, Bytes("abc"));
  EXPECT_EQ(platform::ReadWholeFile(dir / "missing.bin", bytes), platform::WholeFile::kCannotOpen);
}

TEST(FileAttributes, RegularFileTimesFollowWritesAndRefuseFolders) {
  TempDir dir;
  testing_support::WriteText(dir / "Old.txt", "x");
  fs::last_write_time(dir.path() / "Old.txt", fs::file_time_type::clock::now() - std::chrono::hours(2));
  testing_support::WriteText(dir / "new.txt", "x");
  int64_t older = 0, newer = 0, none = 7;
  ASSERT_TRUE(platform::RegularFileTime(dir / "old.txt", older));
  ASSERT_TRUE(platform::RegularFileTime(dir / "new.txt", newer));
  EXPECT_LT(older, newer);
  EXPECT_FALSE(platform::RegularFileTime(dir.path().string(), none));
  EXPECT_FALSE(platform::RegularFileTime(dir / "missing.txt", none));
  EXPECT_EQ(none, 7);
}

}  // namespace
