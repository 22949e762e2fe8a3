// In-memory files below a mounted root: the file services serve them like
// disk files, and nothing below the root reaches the disk.

#include "platform/memory_files.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "platform/directory_enum.h"
#include "platform/file_attributes.h"
#include "platform/native_file.h"
#include "platform/path.h"
#include "support/temp_dir.h"
#include "trackconv/foundation/errors.h"
#include "trackconv/foundation/sub_file.h"

namespace {

using namespace platform;
using Bytes = std::vector<uint8_t>;

class MemoryFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    std::size_t last;
    ASSERT_TRUE(FullPathName(disk_ / "mem", root_, last));
    MountMemoryDirectory(root_);
  }
  void TearDown() override {
    UnmountMemoryDirectories();
    EXPECT_FALSE(std::filesystem::exists(disk_ / "mem")) << "the disk was touched";
  }
  std::string At(const std::string& name) const { return root_ + kSeparator + name; }
  Bytes Contents(const std::string& path) const {
    Bytes bytes;
    EXPECT_TRUE(GetMemoryFile(path, bytes)) << path;
    return bytes;
  }

  testing_support::TempDir disk_;
  std::string root_;
};

TEST_F(MemoryFiles, CreationDispositionsReadsWritesAndPositions) {
  const std::string name = At("data.bin");
  EXPECT_FALSE(OpenFile(name, kGenericRead, kShareRead, kOpenExisting).valid());

  NativeFile created = OpenFile(name, kGenericRead | kGenericWrite, 0, kCreateNew);
  ASSERT_TRUE(created.valid());
  uint32_t done = 0;
  ASSERT_TRUE(WriteFile(created, "0123456789", 10, done));
  EXPECT_EQ(done, 10u);
  EXPECT_EQ(SeekFile(created, 12), 12u);  // writing past the end leaves zeros
  ASSERT_TRUE(WriteFile(created, "AB", 2, done));
  EXPECT_EQ(FileSize(created), 14u);
  EXPECT_EQ(SeekFile(created, 8), 8u);
  char buffer[8] = {};
  ASSERT_TRUE(ReadFile(created, buffer, 8, done));
  EXPECT_EQ(done, 6u) << "a read at the end is short";
  EXPECT_EQ(std::string(buffer, 6), std::string("89\0\0AB", 6));
  EXPECT_EQ(TellFile(created), 14u);
  CloseFile(created);

  EXPECT_FALSE(OpenFile(name, kGenericRead | kGenericWrite, 0, kCreateNew).valid());
  // Read access cannot write; letter case does not matter for opening.
  NativeFile reader = OpenFile(At("DATA.BIN"), kGenericRead, kShareRead, kOpenExisting);
  ASSERT_TRUE(reader.valid());
  EXPECT_FALSE(WriteFile(reader, "x", 1, done));
  // Truncation shows through a handle already open, as on the disk.
  NativeFile replacing = OpenFile(name, kGenericRead | kGenericWrite, 0, kCreateAlways);
  ASSERT_TRUE(replacing.valid());
  EXPECT_EQ(FileSize(reader), 0u);
  CloseFile(replacing);
  CloseFile(reader);
  EXPECT_EQ(Contents(name), Bytes{});
}

TEST_F(MemoryFiles, DirectoriesAttributesAndListings) {
  ASSERT_TRUE(PutMemoryFile(At("alpha.dat"), "abc", 3));
  ASSERT_TRUE(PutMemoryFile(At("sub/one.trk"), "1", 1));
  ASSERT_TRUE(PutMemoryFile(At("sub/two.trk"), "2", 1));
  EXPECT_FALSE(PutMemoryFile(At("sub"), "x", 1)) << "a directory is not a file";
  EXPECT_FALSE(PutMemoryFile(disk_ / "elsewhere.bin", "x", 1)) << "outside every root";

  uint32_t attributes = 0;
  ASSERT_TRUE(GetFileAttributes(root_, attributes));
  EXPECT_EQ(attributes, kAttributeDirectory);
  ASSERT_TRUE(GetFileAttributes(At("SUB"), attributes));
  EXPECT_EQ(attributes, kAttributeDirectory);
  ASSERT_TRUE(GetFileAttributes(At("alpha.dat"), attributes));
  EXPECT_EQ(attributes & kAttributeDirectory, 0u);
  EXPECT_FALSE(GetFileAttributes(At("missing.dat"), attributes));
  EXPECT_FALSE(OpenFile(At("sub"), kGenericRead, kShareRead, kOpenExisting).valid());

  std::vector<std::string> listed;
  for (const DirectoryEntry& entry : FindFiles(root_ + kSeparator + "*"))
    listed.push_back(entry.name + (entry.attributes & kAttributeDirectory ? "/" : ""));
  EXPECT_EQ(listed, (std::vector<std::string>{"alpha.dat", "sub/"}));
  EXPECT_EQ(FindFiles(At("sub") + kSeparator + "*").size(), 2u);
}

TEST_F(MemoryFiles, ReplacingAFileLeavesOpenHandlesTheirBytes) {
  ASSERT_TRUE(PutMemoryFile(At("a.trk"), "old", 3));
  NativeFile open = OpenFile(At("a.trk"), kGenericRead, kShareRead, kOpenExisting);
  ASSERT_TRUE(PutMemoryFile(At("A.TRK"), "newer", 5));
  EXPECT_EQ(FileSize(open), 3u);
  CloseFile(open);
  EXPECT_EQ(Contents(At("a.trk")), (Bytes{'n', 'e', 'w', 'e', 'r'})) << "one file, not two";
  // A closed handle answers like an invalid one.
  uint32_t done = 0;
  char byte;
  EXPECT_FALSE(ReadFile(open, &byte, 1, done));
  EXPECT_EQ(FileSize(open), kSeekFailed);
}

TEST_F(MemoryFiles, TrackconvFilesRunOnThem) {
  const std::string name = At("alpha.trk");
  {
    Handle<SubFile> out(new SubFile(name, true, true));
    const uint8_t bytes[4] = {1, 2, 3, 4};
    out->Write(4, bytes);
  }
  SubFile in(name, false, false);
  uint8_t back[4] = {};
  in.Read(4, back);
  EXPECT_EQ(Bytes(back, back + 4), (Bytes{1, 2, 3, 4}));
  EXPECT_THROW(in.Read(1, back), XFileRead);
  EXPECT_THROW(SubFile(At("missing.trk"), false, false), XFileOpen);
}

}  // namespace
