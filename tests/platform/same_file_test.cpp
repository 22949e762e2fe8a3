#include "platform/same_file.h"

#include <filesystem>
#include <string>

#include <gtest/gtest.h>

#include "platform/memory_files.h"
#include "platform/path.h"
#include "support/temp_dir.h"

namespace fs = std::filesystem;
using testing_support::TempDir;

namespace {

// Names that reach one file, and names that do not, asked both ways round.
TEST(SameFile, NamesOfOneFileAndOfOthers) {
  TempDir dir;
  testing_support::WriteText(dir / "Pic.tga", "picture");
  testing_support::WriteText(dir / "other.tga", "picture");
  fs::create_directory(dir.path() / "sub");
  fs::create_hard_link(dir.path() / "Pic.tga", dir.path() / "sub" / "hard.tga");
  const std::string pic = dir / "Pic.tga";
  struct Case {
    std::string other;
    bool same;
  } cases[] = {
      {pic, true},
      {dir / "PIC.TGA", true},
      {dir / "sub/../Pic.tga", true},
      {dir / "sub/hard.tga", true},
      {dir / "other.tga", false},
      {dir / "missing.tga", false},
      {dir / "sub", false},
      {"", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.other);
    EXPECT_EQ(platform::SameFile(pic, c.other), c.same);
    EXPECT_EQ(platform::SameFile(c.other, pic), c.same);
    EXPECT_EQ(platform::SameFile(pic.c_str(), c.other.c_str()), c.same);
  }
  EXPECT_FALSE(platform::SameFile(dir / "missing.tga", dir / "missing.tga"));
  EXPECT_FALSE(platform::SameFile(nullptr, pic.c_str()));
}

#ifndef _WIN32
// Two names that differ in letter case and both exist are two files.
TEST(SameFile, TwoFilesInOtherLetterCasesStayApart) {
  TempDir dir;
  testing_support::WriteText(dir / "pic.tga", "a");
  testing_support::WriteText(dir / "PIC.TGA", "b");
  EXPECT_FALSE(platform::SameFile(dir / "pic.tga", dir / "PIC.TGA"));
}
#endif

TEST(SameFile, InMemoryFilesByTheirNames) {
  TempDir dir;
  std::string root;
  std::size_t last = 0;
  ASSERT_TRUE(platform::FullPathName(dir / "mem", root, last));
  platform::MountMemoryDirectory(root);
  const std::string a = root + platform::kSeparator + "a.tga";
  ASSERT_TRUE(platform::PutMemoryFile(a, "x", 1));
  EXPECT_TRUE(platform::SameFile(a, a));
  EXPECT_FALSE(platform::SameFile(a, root + platform::kSeparator + "b.tga"));
  platform::UnmountMemoryDirectories();
}

}  // namespace
