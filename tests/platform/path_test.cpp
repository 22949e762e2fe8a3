#include "platform/path.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "platform/file_attributes.h"
#include "platform/native_file.h"
#include "support/temp_dir.h"

namespace {

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
  std::size_t last = 0;
  EXPECT_EQ(Full("/a//b/./c/../d/", &last), "/a/b/d");
  EXPECT_EQ(last, 5u);
  EXPECT_EQ(Full("\\a\\b\\..\\c"), "/a/c");
  EXPECT_EQ(Full("/../..", &last), "/");
  EXPECT_EQ(last, std::string::npos);

  TempDir dir;
  ScopedCurrentDirectory in_dir(dir.path());
  EXPECT_EQ(Full("sub\\beta"), dir / "sub/beta");
  EXPECT_EQ(Full("."), dir.path().string());

  std::string full;
  std::size_t ignored;
  EXPECT_FALSE(platform::FullPathName("", full, ignored));
  EXPECT_FALSE(platform::FullPathName("/" + std::string(platform::kMaxPath, 'x'), full, ignored));
  EXPECT_TRUE(platform::FullPathName("/" + std::string(platform::kMaxPath - 2, 'x'), full, ignored));
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
  EXPECT_EQ(contents(dir / "tracks/alpha.trk"), "upper");
  EXPECT_EQ(contents(dir / "tracks/alpha.Trk"), "mixed");  // an exact match wins
}

}  // namespace
