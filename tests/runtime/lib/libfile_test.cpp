#include <cstring>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "runtime/file/home_fixture.h"
#include "runtime/lib/lib_archive.h"

namespace fs = std::filesystem;
using testing_support::WriteBytes;
using testing_support::WriteText;

namespace {

struct Member {
  std::string name;
  std::string data;
};

void PutU32(std::vector<uint8_t>& bytes, std::size_t at, uint32_t value) {
  for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<uint8_t>(value >> (8 * i));
}

// Offset of field `field` of directory entry `index`.
std::size_t EntryField(uint32_t index, std::size_t field) { return 2 + 27 * index + field; }

std::vector<uint8_t> Archive(const std::vector<Member>& members) {
  std::vector<uint8_t> bytes(2 + 27 * members.size());
  bytes[0] = static_cast<uint8_t>(members.size());
  bytes[1] = static_cast<uint8_t>(members.size() >> 8);
  for (uint32_t i = 0; i < members.size(); ++i) {
    bytes[EntryField(i, 0)] = 5;
    PutU32(bytes, EntryField(i, 2), static_cast<uint32_t>(members[i].data.size()));
    PutU32(bytes, EntryField(i, 6), static_cast<uint32_t>(members[i].data.size()));
    std::memcpy(&bytes[EntryField(i, 10)], members[i].name.data(), std::min<std::size_t>(members[i].name.size(), 13));
    PutU32(bytes, EntryField(i, 23), static_cast<uint32_t>(bytes.size()));
    bytes.insert(bytes.end(), members[i].data.begin(), members[i].data.end());
  }
  return bytes;
}

// The whole content of a file opened by name, or "<none>".
std::string Content(const char* name) {
  QuorFile* file = nullptr;
  if (!libfileOpenRead(&file, name)) return "<none>";
  std::string text;
  char buffer[7];
  uint32_t got = 0;
  while (fileReadAtMost(file, &got, buffer, sizeof buffer) && got > 0) text.append(buffer, got);
  EXPECT_TRUE(fileClose(file));
  return text;
}

std::string Read(QuorFile* file, uint32_t count, bool expect = true) {
  std::string text(count, '\0');
  EXPECT_EQ(fileReadExact(file, &text[0], count), expect ? 1 : 0);
  return text;
}

// The directories of the cached archives, by their last component.
std::set<std::string> CachedDirectories() {
  std::set<std::string> names;
  for (int i = 0; i < kLibCacheSize; ++i)
    if (libCacheEntry(i).inUse) names.insert(fs::path(libCacheEntry(i).directory).filename().string());
  return names;
}

}  // namespace

class LibfileTest : public HomeTest {
 protected:
  void SetUp() override {
    HomeTest::SetUp();
    ASSERT_TRUE(libfileBegin());
  }
  // One directory per archive: dNN holding dNN.dat with member x.txt = "dNN".
  void MakeArchives(int count) {
    for (int i = 0; i < count; ++i) {
      const std::string name = Dir(i);
      MakeDirs(name);
      WriteBytes(Path(name + "/" + name + ".dat"), Archive({{"x.txt", name}}));
    }
  }
  static std::string Dir(int i) { return (i < 10 ? "d0" : "d") + std::to_string(i); }
  QuorFile* OpenIn(int i) {
    QuorFile* file = nullptr;
    EXPECT_TRUE(fileChDir(Path(Dir(i)).c_str()));
    EXPECT_TRUE(libfileOpenRead(&file, "x.txt")) << Dir(i);
    return file;
  }
};

TEST_F(LibfileTest, LooseFilesComeBeforeMembersWhoseNamesIgnoreCase) {
  WriteBytes(Path("main.dat"), Archive({{"alpha.txt", "member alpha"},
                                        {"Beta.TXT", "member beta"},
                                        {"twelve12.abc", "full name"},
                                        {"beta.txt", "second beta"}}));
  WriteText(Path("alpha.txt"), "loose alpha");
  MakeDirs("level");
  WriteBytes(Path("level/level.dat"), Archive({{"inner.txt", "inner member"}}));

  struct Case {
    const char* directory;
    const char* name;
    std::string content;
  };
  const Case cases[] = {
      {"", "alpha.txt", "loose alpha"},  {"", "BETA.txt", "member beta"},  {"", "beta.txt", "member beta"},
      {"", "TWELVE12.ABC", "full name"}, {"", "gamma.txt", "<none>"},
      {"level", "INNER.txt", "inner member"}, {"level", "alpha.txt", "<none>"},
  };
  for (const Case& c : cases) {
    ASSERT_TRUE(fileChDir(Path(c.directory).c_str()));
    EXPECT_EQ(Content(c.name), c.content) << c.directory << "/" << c.name;
    EXPECT_EQ(libfileExists(c.name), c.content != "<none>") << c.name;
  }
}

TEST_F(LibfileTest, MemberReadsAndSeeksStayInsideTheMember) {
  WriteBytes(Path("main.dat"), Archive({{"before", "xx"}, {"digits", "0123456789"}, {"after", "yy"}}));
  QuorFile* file = nullptr;
  ASSERT_TRUE(libfileOpenRead(&file, "Digits"));
  EXPECT_STREQ(fileName(file), "Digits");
  EXPECT_EQ(fileSize(file), 10u);
  EXPECT_FALSE(fileWrite(file, "z", 1));

  EXPECT_EQ(Read(file, 4), "0123");
  // Short reads deliver what is left and fail; then nothing is left.
  std::string rest(8, '.');
  EXPECT_FALSE(fileReadExact(file, &rest[0], 8));
  EXPECT_EQ(rest, "456789..");
  uint32_t got = 99;
  char byte;
  EXPECT_TRUE(fileReadAtMost(file, &got, &byte, 1));
  EXPECT_EQ(got, 0u);
  EXPECT_EQ(fileGetCurrentPosition(file), 10u);

  struct Seek {
    int how;  // 0 from start, 1 from end, 2 from current
    int32_t by;
    bool works;
    uint32_t position;
  };
  const Seek seeks[] = {{0, 10, true, 10}, {0, 11, false, 10}, {0, -1, false, 10}, {1, 3, true, 7},
                        {1, 11, false, 7}, {1, -1, false, 7},  {2, -7, true, 0},   {2, -1, false, 0},
                        {2, 10, true, 10}, {2, 1, false, 10},  {1, 10, true, 0}};
  for (const Seek& s : seeks) {
    const success done = s.how == 0   ? fileSeekFromStart(file, s.by)
                         : s.how == 1 ? fileSeekFromEnd(file, s.by)
                                      : fileSeekFromCurrent(file, s.by);
    EXPECT_EQ(done, s.works ? 1 : 0) << s.how << " " << s.by;
    EXPECT_EQ(fileGetCurrentPosition(file), s.position) << s.how << " " << s.by;
  }
  got = 0;
  char all[32];
  EXPECT_TRUE(fileReadAtMost(file, &got, all, sizeof all));
  EXPECT_EQ(std::string(all, got), "0123456789");
  EXPECT_TRUE(fileClose(file));
}

TEST_F(LibfileTest, TwoMembersOfOneArchiveReadInterleaved) {
  WriteBytes(Path("main.dat"), Archive({{"a", "AAAAaaaaAAAA"}, {"b", "bbbbBBBBbbbb"}}));
  QuorFile* a = nullptr;
  QuorFile* b = nullptr;
  ASSERT_TRUE(libfileOpenRead(&a, "a"));
  ASSERT_TRUE(libfileOpenRead(&b, "b"));
  std::string read;
  for (int round = 0; round < 3; ++round) read += Read(a, 4) + Read(b, 4) + "|";
  EXPECT_EQ(read, "AAAAbbbb|aaaaBBBB|AAAAbbbb|");
  EXPECT_TRUE(fileSeekFromStart(a, 2));
  EXPECT_EQ(Read(a, 3) + Read(b, 1, false), "AAa" + std::string(1, '\0'));
  EXPECT_TRUE(fileClose(a));
  EXPECT_TRUE(fileClose(b));
  EXPECT_EQ(CachedDirectories().size(), 1u);  // the cache keeps the archive open
}

TEST_F(LibfileTest, TheTwentyFirstArchiveEvictsTheLeastRecentlyUsed) {
  MakeArchives(21);
  for (int i = 0; i < 20; ++i) EXPECT_TRUE(fileClose(OpenIn(i)));
  EXPECT_TRUE(fileClose(OpenIn(0)));  // d01 is now the least recently used
  EXPECT_TRUE(fileClose(OpenIn(20)));
  std::set<std::string> expected;
  for (int i = 0; i <= 20; ++i)
    if (i != 1) expected.insert(Dir(i));
  EXPECT_EQ(CachedDirectories(), expected);
}

TEST_F(LibfileTest, MembersOfAnEvictedArchiveFailCleanly) {
  MakeArchives(21);
  std::vector<QuorFile*> open;
  for (int i = 0; i < 20; ++i) open.push_back(OpenIn(i));
  // Archives without open members go first, even when others are older.
  ASSERT_TRUE(fileClose(open[5]));
  QuorFile* newest = OpenIn(20);
  EXPECT_EQ(CachedDirectories().count("d05"), 0u);
  // With every archive busy the least recently used one goes.
  QuorFile* again = OpenIn(5);
  EXPECT_EQ(CachedDirectories().count("d00"), 0u);

  char byte;
  EXPECT_FALSE(fileReadExact(open[0], &byte, 1));
  EXPECT_FALSE(fileSeekFromStart(open[0], 1));
  EXPECT_TRUE(fileClose(open[0]));
  EXPECT_EQ(Read(newest, 3), "d20");
  EXPECT_EQ(Read(again, 3), "d05");
  EXPECT_EQ(Read(open[1], 3), "d01");
  EXPECT_TRUE(fileClose(newest));
  EXPECT_TRUE(fileClose(again));
  for (int i = 1; i < 20; ++i) EXPECT_TRUE(i == 5 || fileClose(open[i]));
}

TEST_F(LibfileTest, MalformedArchivesOpenNothingOutOfBounds) {
  const std::vector<uint8_t> good = Archive({{"one.txt", "first"}, {"two.txt", "second"}});
  struct Case {
    const char* what;
    std::vector<uint8_t> bytes;
    std::string one;
    std::string two;
  };
  std::vector<Case> cases;
  auto patched = [&](const char* what, std::size_t at, std::vector<uint8_t> with, std::string one, std::string two) {
    std::vector<uint8_t> bytes = good;
    std::copy(with.begin(), with.end(), bytes.begin() + static_cast<std::ptrdiff_t>(at));
    cases.push_back({what, bytes, one, two});
  };
  cases.push_back({"good", good, "first", "second"});
  cases.push_back({"empty file", {}, "<none>", "<none>"});
  cases.push_back({"directory cut short", std::vector<uint8_t>(good.begin(), good.begin() + 40), "<none>", "<none>"});
  patched("count 0", 0, {0, 0}, "<none>", "<none>");
  patched("count 501", 0, {0xF5, 0x01}, "<none>", "<none>");
  patched("type high byte set", EntryField(0, 1), {1}, "<none>", "second");
  patched("type low byte other", EntryField(0, 0), {7}, "first", "second");
  patched("second length differs", EntryField(0, 6), {9, 9, 9, 9}, "first", "second");
  patched("length past the end", EntryField(1, 2), {7}, "first", "<none>");
  patched("offset past the end", EntryField(0, 23), {0xFF, 0xFF, 0xFF, 0x7F}, "<none>", "second");
  patched("length wraps around", EntryField(0, 2), {0xFF, 0xFF, 0xFF, 0xFF}, "<none>", "second");
  patched("name without terminator", EntryField(0, 10), std::vector<uint8_t>(13, 'o'), "<none>", "second");

  for (const Case& c : cases) {
    libfileEnd();
    WriteBytes(Path("main.dat"), c.bytes);
    ASSERT_TRUE(libfileBegin());
    EXPECT_EQ(Content("one.txt"), c.one) << c.what;
    EXPECT_EQ(Content("two.txt"), c.two) << c.what;
  }
}

TEST_F(LibfileTest, CdromCopiesAreFoundOnlyWhenConfigured) {
  MakeDirs("home/sub");
  MakeDirs("cd/sub");
  WriteBytes(Path("home/main.dat"), Archive({{"both.txt", "home member"}}));
  WriteText(Path("cd/cdloose.txt"), "cd loose");
  WriteBytes(Path("cd/main.dat"), Archive({{"both.txt", "cd member"}, {"cdonly.txt", "cd member only"}}));
  WriteBytes(Path("cd/sub/sub.dat"), Archive({{"deep.txt", "cd sub member"}}));
  ASSERT_TRUE(fileSetHomeDir(Path("home").c_str()));

  struct Case {
    const char* directory;
    const char* name;
    std::string withCdrom;
    std::string without;
  };
  const Case cases[] = {
      {"home", "both.txt", "home member", "home member"},
      {"home", "CDLOOSE.TXT", "cd loose", "<none>"},
      {"home", "cdonly.txt", "cd member only", "<none>"},
      {"home/sub", "deep.txt", "cd sub member", "<none>"},
      {"home/sub", "cdonly.txt", "<none>", "<none>"},
  };
  for (bool configured : {true, false}) {
    libfileEnd();
    if (configured)
      WriteText(Path("home/lib.cfg"), Path("cd"));
    else
      fs::remove(Path("home/lib.cfg"));
    ASSERT_TRUE(libfileBegin());
    for (const Case& c : cases) {
      ASSERT_TRUE(fileChDir(Path(c.directory).c_str()));
      const std::string& expected = configured ? c.withCdrom : c.without;
      EXPECT_EQ(Content(c.name), expected) << c.directory << "/" << c.name << " configured " << configured;
      EXPECT_EQ(libfileExists(c.name), expected != "<none>") << c.name;
      EXPECT_EQ(CurrentDir(), Path(c.directory));
    }
  }
}

// Directories that differ only in letter case are two directories with two
// archives; a spelling of home through a link still reads "main.dat".
TEST_F(LibfileTest, ArchivesBelongToTheDirectoryOnDisk) {
#ifdef _WIN32
  GTEST_SKIP() << "names that differ only in letter case are one on Windows";
#else
  WriteBytes(Path("main.dat"), Archive({{"m.txt", "home member"}}));
  MakeDirs("H/Maps");
  MakeDirs("H/maps");
  WriteBytes(Path("H/Maps/Maps.dat"), Archive({{"a.txt", "upper"}}));
  WriteBytes(Path("H/maps/maps.dat"), Archive({{"a.txt", "lower"}}));
  fs::create_directory_symlink(home_.path(), Path("H/alias"));

  struct Case {
    std::string directory;
    const char* name;
    std::string content;
  };
  const Case cases[] = {
      {Path("H/Maps"), "a.txt", "upper"},
      {Path("H/maps"), "a.txt", "lower"},
      {Path("H/Maps"), "A.TXT", "upper"},
      {Path("H/alias"), "m.txt", "home member"},
  };
  for (const Case& c : cases) {
    ASSERT_TRUE(fileChDir(c.directory.c_str())) << c.directory;
    EXPECT_EQ(Content(c.name), c.content) << c.directory;
  }
  // Home itself, set through the link: its archive is "main.dat".
  ASSERT_TRUE(fileSetHomeDir(Path("H/alias").c_str()));
  ASSERT_TRUE(fileChDir(home_.path().string().c_str()));
  EXPECT_EQ(Content("m.txt"), "home member");
#endif
}
