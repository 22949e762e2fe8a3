#include <algorithm>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <vector>

#include "runtime/file/home_fixture.h"
#include "platform/directory_services.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace fs = std::filesystem;
using testing_support::WriteText;

namespace {

// Whether the system keeps the mark (Wine keeps none on directories).
bool MakeReadOnly(const fs::path& path) {
  fs::permissions(path, fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                  fs::perm_options::remove);
#ifdef _WIN32
  const std::string name = path.string();
  SetFileAttributesA(name.c_str(), GetFileAttributesA(name.c_str()) | FILE_ATTRIBUTE_READONLY);
  return (GetFileAttributesA(name.c_str()) & FILE_ATTRIBUTE_READONLY) != 0;
#else
  return true;
#endif
}

// Every name one search reports, sorted.
std::vector<std::string> Search(bool directories, const std::string& pattern) {
  std::vector<std::string> names;
  char name[kFileFindNameSize];
  bool found = directories ? fileFindFirstDir(name, pattern.c_str()) : fileFindFirst(name, pattern.c_str());
  while (found) {
    names.push_back(name);
    found = directories ? fileFindNextDir(name) : fileFindNext(name);
  }
  fileFindDone();
  std::sort(names.begin(), names.end());
  return names;
}

using Names = std::vector<std::string>;

}  // namespace

class DirectoryTest : public HomeTest {};

TEST_F(DirectoryTest, SearchesReportFilesOrPlainDirectoriesByPattern) {
  WriteText(Path("a.txt"), "a");
  WriteText(Path("B.Dat"), "b");
  WriteText(Path("noext"), "c");
  WriteText(Path("fixed.txt"), "d");
  MakeReadOnly(Path("fixed.txt"));
  MakeDirs("sub/inner");
  MakeDirs("locked");
  const bool locked = MakeReadOnly(Path("locked"));

  struct Case {
    bool directories;
    std::string pattern;
    Names expected;
  };
  const Case cases[] = {
      {false, "*.*", {"B.Dat", "a.txt", "fixed.txt", "noext"}},
      {false, "*", {"B.Dat", "a.txt", "fixed.txt", "noext"}},
      {false, "*.TXT", {"a.txt", "fixed.txt"}},
      {false, "?.dat", {"B.Dat"}},
      {false, "sub/*.*", {}},
      // Read-only directories carry a further attribute bit and are skipped.
      {true, "*", locked ? Names{".", "..", "sub"} : Names{".", "..", "locked", "sub"}},
      {true, "S*", {"sub"}},
      {true, "sub/*", {".", "..", "inner"}},
      {true, "*.txt", {}},
  };
  for (const Case& c : cases)
    EXPECT_EQ(Search(c.directories, c.pattern), c.expected) << c.pattern << (c.directories ? " (directories)" : "");
}

TEST_F(DirectoryTest, OnlyOneSearchRunsAtATime) {
  WriteText(Path("a.txt"), "a");
  WriteText(Path("b.txt"), "b");
  char name[kFileFindNameSize];
  EXPECT_FALSE(fileFindNext(name));
  EXPECT_FALSE(fileFindFirst(name, "*.none"));
  // A search that found nothing leaves none running.
  ASSERT_TRUE(fileFindFirst(name, "*.txt"));
  EXPECT_FALSE(fileFindFirst(name, "*.txt"));
  EXPECT_FALSE(fileFindFirstDir(name, "*"));
  EXPECT_FALSE(fileFindNextDir(name));
  EXPECT_TRUE(fileFindNext(name));
  EXPECT_FALSE(fileFindNext(name));
  EXPECT_FALSE(fileFindFirst(name, "*.txt"));
  fileFindDone();
  EXPECT_FALSE(fileFindNext(name));
  EXPECT_TRUE(fileFindFirstDir(name, "*"));
  EXPECT_FALSE(fileFindNext(name));
}

TEST_F(DirectoryTest, DeleteDirRemovesATreeTwoLevelsDeep) {
  MakeDirs("tree/one/two");
  MakeDirs("tree/empty");
  WriteText(Path("tree/top.txt"), "1");
  WriteText(Path("tree/noext"), "2");
  WriteText(Path("tree/one/mid.txt"), "3");
  WriteText(Path("tree/one/two/low.txt"), "4");
  const std::string start = CurrentDir();

  EXPECT_TRUE(fileDeleteDir("tree"));
  EXPECT_FALSE(fs::exists(Path("tree")));
  EXPECT_EQ(CurrentDir(), start);
}

TEST_F(DirectoryTest, FailedDeleteDirChangesBack) {
  // The read-only directory is never found by the directory search, so the
  // tree cannot be emptied; where directories cannot be marked, a file held
  // open cannot be deleted instead.
  MakeDirs("tree/kept/locked");
  WriteText(Path("tree/gone.txt"), "1");
  WriteText(Path("tree/kept/locked/held.txt"), "2");
  std::ifstream held;
  if (!MakeReadOnly(Path("tree/kept/locked"))) held.open(Path("tree/kept/locked/held.txt"));
  const std::string start = CurrentDir();

  EXPECT_FALSE(fileDeleteDir("tree"));
  EXPECT_EQ(CurrentDir(), start);
  EXPECT_FALSE(fs::exists(Path("tree/gone.txt")));
  EXPECT_TRUE(fs::exists(Path("tree/kept/locked")));

  EXPECT_FALSE(fileDeleteDir("missing"));
  EXPECT_EQ(CurrentDir(), start);
}

TEST_F(DirectoryTest, NamesAreRenamedDeletedAndMade) {
  WriteText(Path("old.txt"), "x");
  WriteText(Path("taken.txt"), "y");
  EXPECT_TRUE(fileExists("old.txt"));
  EXPECT_FALSE(fileExists("none.txt"));
  EXPECT_FALSE(fileRename("old.txt", "taken.txt"));  // never over an existing file
  EXPECT_TRUE(fileRename("old.txt", "new.txt"));
  EXPECT_TRUE(fileMkDir("dir"));
  EXPECT_FALSE(fileMkDir("dir"));
  EXPECT_TRUE(fileRenameDir("dir", "moved"));
  EXPECT_FALSE(fileDelete("moved"));  // a directory is no file
  EXPECT_TRUE(fileDelete("new.txt"));
  EXPECT_FALSE(fileDelete("new.txt"));
  EXPECT_EQ(testing_support::ListNames(home_.path()), (Names{"moved", "taken.txt"}));
}

TEST_F(DirectoryTest, ChDirFollowsDriveAndHomeRules) {
  MakeDirs("sub");
  uint32_t drive = 99;
  ASSERT_TRUE(fileGetDrive(&drive));
#ifndef _WIN32
  EXPECT_EQ(drive, 2u);
#endif
  EXPECT_TRUE(fileSetDrive(drive));
  EXPECT_FALSE(fileSetDrive(26));

  EXPECT_TRUE(fileChDir(Path("sub").c_str()));
  EXPECT_EQ(CurrentDir(), Path("sub"));
  EXPECT_TRUE(fileChDir(".."));
  EXPECT_EQ(CurrentDir(), home_.path().string());
  EXPECT_FALSE(fileChDir("missing"));
  EXPECT_FALSE(fileChDir(""));
  EXPECT_EQ(CurrentDir(), home_.path().string());

  // A home directory must start at the root of its drive.
  const std::string home = fileGetHomeDir();
  EXPECT_FALSE(fileSetHomeDir("sub"));
  EXPECT_EQ(fileGetHomeDir(), home);
  EXPECT_EQ(CurrentDir(), home_.path().string());
  EXPECT_TRUE(fileSetHomeDir(Path("sub").c_str()));
  EXPECT_EQ(fileGetHomeDir(), Path("sub"));
  EXPECT_EQ(CurrentDir(), Path("sub"));
}

TEST_F(DirectoryTest, ChDirMirrorsTheHomeTreeOnTheCdrom) {
  MakeDirs("home/sub/deeper");
  MakeDirs("home/local");
  MakeDirs("cd/sub/deeper");
  ASSERT_TRUE(fileSetHomeDir(Path("home").c_str()));
  WriteText(Path("home/lib.cfg"), std::string("\r\n \t") + std::string(1, '\0') + Path("cd"));
  ASSERT_TRUE(libfileBegin());
  ASSERT_TRUE(fileCdromPresent());
  EXPECT_EQ(fileGetCdromHomeDir(), Path("cd"));
  EXPECT_TRUE(fileCdromCurrentDirExists());

  struct Step {
    std::string target;
    bool changes;
    bool onCdrom;
    std::string cdromDir;  // where the mirror stands afterwards
  };
  const Step steps[] = {
      {Path("home/sub"), true, true, Path("cd/sub")},
      {"deeper", true, true, Path("cd/sub/deeper")},
      {Path("home/local"), true, false, Path("cd/sub/deeper")},
      {"missing", false, false, Path("cd/sub/deeper")},
      // Relative changes move the mirror from where it last stood.
      {"..", true, true, Path("cd/sub")},
      {Path("home"), true, true, Path("cd")},
#ifdef _WIN32
      {Path("cd/sub"), true, true, Path("cd/sub")},  // outside home: the same path on the CD-ROM drive
#else
      // Outside home the same path on the one drive is the directory itself,
      // which is not its own CD-ROM copy.
      {Path("cd/sub"), true, false, Path("cd")},
#endif
  };
  for (const Step& step : steps) {
    EXPECT_EQ(fileChDir(step.target.c_str()), step.changes ? 1 : 0) << step.target;
    EXPECT_EQ(fileCdromCurrentDirExists(), step.onCdrom) << step.target;
    EXPECT_EQ(fileGetCdromDir(), step.cdromDir) << step.target;
  }
}

TEST_F(DirectoryTest, LibCfgWithoutAUsableCdromLeavesTheMirrorOff) {
  MakeDirs("sub");
  const std::string configs[] = {"", " \n", "relative/path", Path("missing"), Path("sub") + "\n"};
  for (const std::string& config : configs) {
    WriteText(Path("lib.cfg"), config);
    ASSERT_TRUE(libfileBegin());
    EXPECT_FALSE(fileCdromPresent()) << config;
    EXPECT_TRUE(fileChDir(Path("sub").c_str()));
    EXPECT_FALSE(fileCdromCurrentDirExists()) << config;
    EXPECT_EQ(CurrentDir(), Path("sub"));
    libfileEnd();
    EXPECT_EQ(CurrentDir(), home_.path().string());
  }
}

// A link inside a tree is an entry of its own: the searches never offer it
// as a directory, and deleting the tree removes the link, not its target.
TEST_F(DirectoryTest, DeleteDirNeverLeavesItsTree) {
#ifdef _WIN32
  GTEST_SKIP() << "directory links are reparse points that the searches skip";
#else
  MakeDirs("victim/deeper");
  WriteText(Path("victim/keep.txt"), "keep");
  MakeDirs("tree/sub");
  WriteText(Path("tree/sub/gone.txt"), "gone");
  fs::create_directory_symlink(Path("victim"), Path("tree/sub/outside"));
  fs::create_symlink(Path("victim/keep.txt"), Path("tree/file-link"));

  EXPECT_EQ(Search(true, "tree/sub/*"), (Names{".", ".."}));
  EXPECT_EQ(Search(false, "tree/sub/*"), (Names{"gone.txt", "outside"}));
  EXPECT_TRUE(fileDeleteDir("tree"));
  EXPECT_FALSE(fs::exists(Path("tree")));
  EXPECT_EQ(testing_support::ListNames(Path("victim")), (Names{"deeper", "keep.txt"}));
#endif
}

// Names that exist in another letter case are the names Windows would find.
TEST_F(DirectoryTest, CreatedNamesFindTheirOtherCase) {
  WriteText(Path("out.bin"), "old contents");
  WriteText(Path("a.txt"), "a");
  WriteText(Path("b.txt"), "b");
  MakeDirs("d1x");

  QuorFile* file = nullptr;
  ASSERT_TRUE(fileCreate(&file, "OUT.BIN"));
  EXPECT_TRUE(fileClose(file));
  EXPECT_EQ(fs::file_size(Path("out.bin")), 0u);
  EXPECT_FALSE(fileRename("a.txt", "B.TXT"));
  EXPECT_FALSE(fileMkDir("D1X"));
  EXPECT_FALSE(fileRenameDir("d1x", "A.TXT"));
  EXPECT_TRUE(fileRename("b.txt", "B.TXT"));  // only the letter case changes
  Names names = testing_support::ListNames(home_.path());
#ifdef _WIN32
  // The file system chooses how a name whose case changed is spelled.
  for (std::string& name : names) std::transform(name.begin(), name.end(), name.begin(), ::tolower);
  EXPECT_EQ(names, (Names{"a.txt", "b.txt", "d1x", "out.bin"}));
#else
  EXPECT_EQ(names, (Names{"B.TXT", "a.txt", "d1x", "out.bin"}));
#endif
}

// The home directory is the directory itself, however it is spelled: the
// CD-ROM mirror takes a path below its real name as a path below home.
TEST_F(DirectoryTest, HomeSetThroughALinkIsTheSameHome) {
#ifdef _WIN32
  GTEST_SKIP() << "Windows compares the home directory by its name";
#else
  MakeDirs("real/sub");
  MakeDirs("cd/sub");
  fs::create_directory_symlink(Path("real"), Path("alias"));
  ASSERT_TRUE(fileSetHomeDir(Path("alias").c_str()));
  WriteText(Path("real/lib.cfg"), Path("cd"));
  ASSERT_TRUE(libfileBegin());
  ASSERT_TRUE(fileCdromPresent());
  EXPECT_TRUE(fileChDir(Path("real/sub").c_str()));
  EXPECT_TRUE(fileCdromCurrentDirExists());
  EXPECT_EQ(fileGetCdromDir(), Path("cd/sub"));
#endif
}
