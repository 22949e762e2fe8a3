#include <string>

#include <gtest/gtest.h>

#include "platform/path.h"
#include "scratch_directory.h"

using namespace platform;

namespace {

struct Resolved {
  bool ok = false;
  std::string full;
  std::size_t last = std::string::npos;
  std::string LastComponent() const {
    return last == std::string::npos ? std::string() : full.substr(last);
  }
};

Resolved Resolve(const std::string& path) {
  Resolved r;
  r.ok = FullPathName(path, r.full, r.last);
  return r;
}

const std::string kSep(1, kSeparator);

}  // namespace

TEST(FullPathName, RelativePathsJoinTheCurrentDirectoryAndCollapse) {
  const std::string cwd = CurrentDirectory();
  ASSERT_FALSE(cwd.empty());

  Resolved r = Resolve("a" + kSep + "b" + kSep + ".." + kSep + "." + kSep + "c.d.trk");
  ASSERT_TRUE(r.ok);
  EXPECT_EQ(r.full, cwd + kSep + "a" + kSep + "c.d.trk");
  EXPECT_EQ(r.LastComponent(), "c.d.trk");

  // A Windows-style relative name means the same path on every system.
  r = Resolve("sub\\beta");
  ASSERT_TRUE(r.ok);
  EXPECT_EQ(r.full, cwd + kSep + "sub" + kSep + "beta");
  EXPECT_EQ(r.LastComponent(), "beta");

  r = Resolve(".");
  ASSERT_TRUE(r.ok);
  EXPECT_EQ(r.full, cwd);
}

TEST(FullPathName, OnlyRootsLackALastComponent) {
  // A trailing separator does not turn a directory into a root.
  Resolved r = Resolve("tracks" + kSep);
  ASSERT_TRUE(r.ok);
  EXPECT_EQ(r.full, CurrentDirectory() + kSep + "tracks");
  EXPECT_EQ(r.LastComponent(), "tracks");

  // The root of the current drive (Win32) or of the file system (POSIX).
  Resolved root = Resolve(kSep);
  ASSERT_TRUE(root.ok);
  EXPECT_EQ(root.last, std::string::npos);
  EXPECT_EQ(root.full.back(), kSeparator);
  EXPECT_EQ(CurrentDirectory().compare(0, root.full.size(), root.full), 0);

  Resolved above = Resolve(root.full + "..");
  ASSERT_TRUE(above.ok);
  EXPECT_EQ(above.full, root.full) << "there is nothing above the root";
  EXPECT_EQ(above.last, std::string::npos);
}

TEST(FullPathName, RefusesResultsBeyondTheSystemLimit) {
  EXPECT_FALSE(Resolve(std::string(kMaxPath, 'a')).ok);

  // Just below the limit still works.
  const std::string prefix = CurrentDirectory() + kSep;
  if (prefix.size() + 1 < kMaxPath) {
    const std::string longest(kMaxPath - 1 - prefix.size(), 'n');
    Resolved r = Resolve(longest);
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(r.full.size(), kMaxPath - 1);
  }
}
