#include <string>

#include <gtest/gtest.h>

#include "platform/path.h"
#include "support/platform_conventions.h"
#include "support/temp_dir.h"

using testing_support::Native;

TEST(FullPathName, OnlyRootsLackALastComponent) {
  testing_support::TempDir dir;
  testing_support::ScopedCurrentDirectory in_dir(dir.path());
  std::string full;
  std::size_t last = 0;

  // A trailing separator does not turn a directory into a root.
  ASSERT_TRUE(platform::FullPathName(Native("tracks/"), full, last));
  EXPECT_EQ(full, dir / "tracks");
  ASSERT_NE(last, std::string::npos);
  EXPECT_EQ(full.substr(last), "tracks");

  ASSERT_TRUE(platform::FullPathName(Native("tracks/alpha//"), full, last));
  EXPECT_EQ(full, dir / "tracks/alpha");
  ASSERT_NE(last, std::string::npos);
  EXPECT_EQ(full.substr(last), "alpha");

  const std::string root = testing_support::CurrentRoot();
  ASSERT_TRUE(platform::FullPathName(root, full, last));
  EXPECT_EQ(full, root);
  EXPECT_EQ(last, std::string::npos);
}
