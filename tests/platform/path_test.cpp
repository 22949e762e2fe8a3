#include "platform/path.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "platform/file_attributes.h"
#include "platform/native_file.h"
#include "support/platform_conventions.h"
#include "support/temp_dir.h"

namespace {

using testing_support::CurrentRoot;
using testing_support::Native;
using testing_support::ScopedCurrentDirectory;
using testing_support::TempDir;
using testing_support::WriteText;

std::string Full(const std::string& path, std::size_t* last = nullptr) {
  std::string full;
  std::size_t last_component = 0;
  EXPECT_TRUE(platform::FullPathName(path, full, last_component)) << path;
  if (last) *last = last_component;
  return full;
}

TEST(FullPathName, CollapsesLexically) {
  // A leading separator means the root: "/" itself on POSIX, the current
  // drive's root (such as C:\ with a backslash) on Windows. Native() keeps
  // Wine from taking a leading '/' for a path of the Linux host.
  const std::string root = CurrentRoot();
  std::size_t last = 0;
  EXPECT_EQ(Full(Native("/a//b/./c/../d/"), &last), root + Native("a/b/d"));
  EXPECT_EQ(last, root.size() + 4);
  EXPECT_EQ(Full("\\a\\b\\..\\c"), root + Native("a/c"));
  EXPECT_EQ(Full(Native("/../.."), &last), root);
  EXPECT_EQ(last, std::string::npos);

  TempDir dir;
  ScopedCurrentDirectory in_dir(dir.path());
  EXPECT_EQ(Full("sub\\beta"), dir / "sub/beta");
  EXPECT_EQ(Full("."), dir.path().string());

  std::string full;
  std::size_t ignored;
  EXPECT_FALSE(platform::FullPathName("", full, ignored));
  EXPECT_FALSE(platform::FullPathName(root + std::string(platform::kMaxPath, 'x'), full, ignored));
  EXPECT_TRUE(platform::FullPathName(root + std::string(platform::kMaxPath - 1 - root.size(), 'x'),
                                     full, ignored));
}

TEST(CaseLookup, ExistingPathsMatchRegardlessOfCase) {
  TempDir dir;
  std::filesystem::create_directory(dir.path() / "Tracks");
  WriteText(dir / "Tracks/ALPHA.TRK", "upper");
  WriteText(dir / "Tracks/alpha.Trk", "mixed");  // byte-wise first of the two matches
  uint32_t attributes = 0;
  ASSERT_TRUE(platform::GetFileAttributes(dir / "TRACKS", attributes));
  EXPECT_EQ(attributes & platform::kAttributeDirectory, platform::kAttributeDirectory);
  EXPECT_FALSE(platform::GetFileAttributes(dir / "tracks/beta.trk", attributes));

  auto contents = [](const std::string& path) {
    platform::NativeFile file = platform::OpenFile(path, platform::kGenericRead, platform::kShareRead,
                                                   platform::kOpenExisting);
    if (!file.valid()) return std::string("(not opened)");
    char buffer[16];
    uint32_t done = 0;
    platform::ReadFile(file, buffer, sizeof buffer, done);
    platform::CloseFile(file);
    return std::string(buffer, done);
  };
  if (testing_support::WindowsConventions()) {
    // The Windows file system itself ignores case: both names are one file,
    // which holds what was written last.
    EXPECT_EQ(testing_support::ListNames(dir.path() / "Tracks"), std::vector<std::string>{"ALPHA.TRK"});
    EXPECT_EQ(contents(dir / "tracks/alpha.trk"), "mixed");
    EXPECT_EQ(contents(dir / "tracks/alpha.Trk"), "mixed");
  } else {
    EXPECT_EQ(contents(dir / "tracks/alpha.trk"), "upper");
    EXPECT_EQ(contents(dir / "tracks/alpha.Trk"), "mixed");  // an exact match wins
  }
}

}  // namespace
