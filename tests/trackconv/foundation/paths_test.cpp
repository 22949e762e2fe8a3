#include "trackconv/foundation/paths.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "support/platform_conventions.h"
#include "support/temp_dir.h"
#include "trackconv/foundation/errors.h"

namespace {

using testing_support::ScopedCurrentDirectory;
using testing_support::TempDir;
using testing_support::WriteText;

std::string AssumptionOf(const std::string& path) {
  try {
    Directory directory(path);
  } catch (const XAssumption& error) {
    return error.what();
  }
  return "(nothing thrown)";
}

TEST(Directory, ResolvesCurrentDirectoryFileAndArchiveFallback) {
  TempDir dir;
  std::filesystem::create_directories(dir.path() / "tracks/alpha");
  WriteText(dir / "tracks/alpha/alpha.trk", "x");
  ScopedCurrentDirectory in_alpha(dir.path() / "tracks/alpha");

  Directory here(".");
  EXPECT_EQ(here.Name(), "alpha");
  EXPECT_EQ(here.FullPath(), dir / "tracks/alpha");

  Directory of_file("alpha.trk");
  EXPECT_EQ(of_file.FullPath(), dir / "tracks/alpha");

  // A missing directory is taken as its parent when the parent holds its
  // own archive.
  EXPECT_EQ(AssumptionOf("../missing"), "Directory ../missing does not exist");
  WriteText(dir / "tracks/tracks.dat", "");
  Directory fallback("../missing");
  EXPECT_EQ(fallback.Name(), "tracks");
  EXPECT_EQ(fallback.FullPath(), dir / "tracks");

  // A file inside a missing directory is not a directory.
  EXPECT_EQ(AssumptionOf("../nothere/x.trk"), "Directory ../nothere/x.trk does not exist");
}

TEST(Directory, RootAndLetterCase) {
  // The root of the current drive on Windows, such as C:\ there. (Wine
  // would take a path that starts with '/' as a path of the Linux host.)
  Directory root(testing_support::Native("/"));
  EXPECT_EQ(root.Name(), testing_support::CurrentRoot());
  EXPECT_EQ(root.FullPath(), testing_support::CurrentRoot());
  EXPECT_EQ(AssumptionOf("/no-such-dir-anywhere"), "Directory /no-such-dir-anywhere does not exist");

  TempDir dir;
  std::filesystem::create_directory(dir.path() / "Alpha");
  Directory mixed(dir / "ALPHA");  // found regardless of case, named as asked
  EXPECT_EQ(mixed.Name(), "ALPHA");

  EXPECT_EQ(AssumptionOf(std::string(5000, 'a')), "GetFullPathName failed");
}

TEST(Pathname, SplitsWithoutTouchingTheDisk) {
  TempDir dir;
  ScopedCurrentDirectory in_dir(dir.path());
  Pathname path("a\\b/../b/./c.d.trk");
  EXPECT_EQ(path.FullPath(), dir / "a/b/c.d.trk");
  EXPECT_EQ(path.FileName(), "c.d.trk");
  EXPECT_EQ(path.Extension(), "trk");
  EXPECT_EQ(path.Parent(), dir / "a/b");
  EXPECT_FALSE(path.IsRoot());
  EXPECT_EQ(Pathname().FullPath(), dir.path().string());

  Pathname root(testing_support::Native("/..//"));
  EXPECT_TRUE(root.IsRoot());
  EXPECT_EQ(root.FileName(), testing_support::CurrentRoot());
  EXPECT_EQ(root.Extension(), "");
  try {
    root.Parent();
    FAIL() << "a root has no parent";
  } catch (const XAssumption& error) {
    EXPECT_STREQ(error.what(), "Pathname has no parent");
  }
  // Cutting "C:\top" before its backslash leaves the drive designator
  // "C:" on Windows; POSIX keeps the root itself.
  const std::string root_path = testing_support::CurrentRoot();
  EXPECT_EQ(Pathname(testing_support::Native("/top")).Parent(), testing_support::WindowsConventions()
                                           ? root_path.substr(0, root_path.size() - 1)
                                           : root_path);
}

TEST(DirectoryListing, ListsEntriesWithoutDotEntries) {
  TempDir dir;
  WriteText(dir / "file.trk", "");
  std::filesystem::create_directory(dir.path() / "sub");
  DirectoryListing listing{Pathname(dir.path().string())};
  ASSERT_EQ(listing.Count(), 2u);
  for (uint32_t i = 0; i < listing.Count(); ++i) {
    bool is_sub = listing.Entry(i).FileName() == "sub";
    EXPECT_EQ(listing.IsDirectory(i), is_sub);
    EXPECT_EQ(listing.Entry(i).FullPath(), dir / listing.Entry(i).FileName());
  }
  EXPECT_EQ(DirectoryListing(Pathname(dir / "missing")).Count(), 0u);
}

TEST(LetterCase, OnlyAsciiLettersFold) {
  EXPECT_EQ(ToLower("ALPHA.Trk"), "alpha.trk");
  EXPECT_EQ(ToLower("\xC4X\xE4"), "\xC4x\xE4");
  EXPECT_EQ(CompareNoCase("3DO", "3do"), 0);
  EXPECT_EQ(CompareNoCase("3do", "3do4"), -1);
  EXPECT_LT(CompareNoCase("a", "b"), 0);
  EXPECT_GT(CompareNoCase("\x01", "\xFF"), 0);  // characters compare as signed bytes
}

}  // namespace
