#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "platform/atomic_replace.h"
#include "platform/directory_enum.h"
#include "platform/file_attributes.h"
#include "platform/native_file.h"
#include "scratch_directory.h"

namespace fs = std::filesystem;
using namespace platform;

namespace {

constexpr uint32_t kReadWrite = kGenericRead | kGenericWrite;

void WriteText(const fs::path& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary);
  out << text;
}

std::string ReadText(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

// Closes the file at the end of a test, also when an assertion fails.
struct OpenFileGuard {
  NativeFile file;
  ~OpenFileGuard() { CloseFile(file); }
};

}  // namespace

TEST(NativeFile, CreationDispositionsAndPositionedIo) {
  ScratchDirectory dir;
  const std::string name = dir.Join("data.bin");

  EXPECT_FALSE(OpenFile(name, kGenericRead, kShareRead, kOpenExisting).valid());

  OpenFileGuard created{OpenFile(name, kReadWrite, 0, kCreateNew)};
  ASSERT_TRUE(created.file.valid());
  uint32_t done = 0;
  ASSERT_TRUE(WriteFile(created.file, "0123456789AB", 12, done));
  EXPECT_EQ(done, 12u);
  EXPECT_EQ(TellFile(created.file), 12u);
  EXPECT_EQ(FileSize(created.file), 12u);

  EXPECT_EQ(SeekFile(created.file, 4), 4u);
  char buffer[16] = {};
  ASSERT_TRUE(ReadFile(created.file, buffer, 8, done));
  EXPECT_EQ(done, 8u);
  EXPECT_EQ(std::string(buffer, 8), "456789AB");
  // A read at the end succeeds with fewer bytes; callers detect the shortfall.
  ASSERT_TRUE(ReadFile(created.file, buffer, 4, done));
  EXPECT_EQ(done, 0u);
  CloseFile(created.file);
  created.file = NativeFile();

  EXPECT_FALSE(OpenFile(name, kReadWrite, 0, kCreateNew).valid())
      << "creating a new file must fail when it exists";

  OpenFileGuard replaced{OpenFile(name, kReadWrite, 0, kCreateAlways)};
  ASSERT_TRUE(replaced.file.valid());
  EXPECT_EQ(FileSize(replaced.file), 0u) << "an existing file is truncated";
}

TEST(NativeFile, PositionsUseTheWholeUnsigned32BitRange) {
  ScratchDirectory dir;
  OpenFileGuard file{OpenFile(dir.Join("small.bin"), kReadWrite, 0, kCreateNew)};
  ASSERT_TRUE(file.file.valid());

  // Positions from 2 GiB up are valid; only the failure value itself is not.
  EXPECT_EQ(SeekFile(file.file, 0x80000000u), 0x80000000u);
  EXPECT_EQ(TellFile(file.file), 0x80000000u);
  EXPECT_EQ(SeekFile(file.file, 0xFFFFFFF0u), 0xFFFFFFF0u);
  EXPECT_EQ(SeekFile(file.file, kSeekFailed), kSeekFailed);
  EXPECT_EQ(FileSize(file.file), 0u) << "seeking alone does not grow a file";
}

TEST(NativeFile, SharingAndLetterCase) {
  ScratchDirectory dir;
  WriteText(dir.Path() / "alpha.trk", "track");

  // Game data written on Windows names files in any case.
  OpenFileGuard reader{OpenFile(dir.Join("ALPHA.TRK"), kGenericRead, kShareRead, kOpenExisting)};
  ASSERT_TRUE(reader.file.valid());
  EXPECT_EQ(FileSize(reader.file), 5u);
  uint32_t attributes = 0;
  ASSERT_TRUE(GetFileAttributes(dir.Join("Alpha.Trk"), attributes));
  EXPECT_EQ(attributes & kAttributeDirectory, 0u);

  // Write access without sharing while a reader holds the file: Win32 refuses
  // it; POSIX has no share modes, so the same request succeeds there.
  OpenFileGuard writer{OpenFile(dir.Join("alpha.trk"), kReadWrite, 0, kOpenExisting)};
  EXPECT_EQ(writer.file.valid(), !OnWindowsConventions());

  // A created file gets exactly the name it was given.
  OpenFileGuard created{OpenFile(dir.Join("Beta.XQ"), kReadWrite, 0, kCreateNew)};
  ASSERT_TRUE(created.file.valid());
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(dir.Path())) {
    names.push_back(entry.path().filename().string());
  }
  EXPECT_NE(std::find(names.begin(), names.end(), "Beta.XQ"), names.end());
}

TEST(FileAttributes, DirectoriesFilesAndMissingPaths) {
  ScratchDirectory dir;
  fs::create_directory(dir.Path() / "sub");
  WriteText(dir.Path() / "one.trk", "1");
  uint32_t attributes = 0;
  ASSERT_TRUE(GetFileAttributes(dir.Join("sub"), attributes));
  EXPECT_NE(attributes & kAttributeDirectory, 0u);
  ASSERT_TRUE(GetFileAttributes(dir.Join("one.trk"), attributes));
  EXPECT_EQ(attributes & kAttributeDirectory, 0u);
  EXPECT_FALSE(GetFileAttributes(dir.Join("missing"), attributes));
  EXPECT_FALSE(GetFileAttributes(dir.Join("missing") + kSeparator + "x", attributes));
}

TEST(DirectoryEnum, ListsFilesAndSubdirectoriesWithTheirKind) {
  ScratchDirectory dir;
  fs::create_directory(dir.Path() / "sub");
  WriteText(dir.Path() / "one.trk", "1");

  std::vector<std::string> names;
  for (const DirectoryEntry& entry : FindFiles(dir.Join("*"))) {
    const bool is_directory = (entry.attributes & kAttributeDirectory) != 0;
    if (entry.name == "." || entry.name == "..") {
      // Win32 reports the two navigation entries; callers skip them.
      EXPECT_TRUE(is_directory);
      continue;
    }
    EXPECT_EQ(is_directory, entry.name == "sub") << entry.name;
    names.push_back(entry.name);
  }
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"one.trk", "sub"}));

  EXPECT_TRUE(FindFiles(dir.Join("missing") + kSeparator + "*").empty());
}

TEST(AtomicReplace, TemporaryFileReplacesTheFinalOneOnlyWhenAsked) {
  ScratchDirectory dir;
  const fs::path final_path = dir.Path() / "alpha.xq";
  WriteText(final_path, "old");

  const std::string temporary = CreateTemporaryFileBeside(dir.Join("alpha.xq"));
  ASSERT_FALSE(temporary.empty());
  EXPECT_TRUE(fs::exists(temporary));
  EXPECT_EQ(fs::file_size(temporary), 0u);
  EXPECT_TRUE(fs::equivalent(fs::path(temporary).parent_path(), dir.Path()))
      << "the temporary file must be in the final file's directory";
  const std::string second = CreateTemporaryFileBeside(dir.Join("alpha.xq"));
  EXPECT_NE(second, temporary);
  EXPECT_EQ(ReadText(final_path), "old") << "creating temporaries leaves the output alone";

  WriteText(temporary, "new");
  ASSERT_TRUE(ReplaceFileWith(temporary, dir.Join("alpha.xq")));
  EXPECT_EQ(ReadText(final_path), "new");
  EXPECT_FALSE(fs::exists(temporary));

  EXPECT_FALSE(ReplaceFileWith(temporary, dir.Join("alpha.xq")));
  EXPECT_EQ(ReadText(final_path), "new");

  ASSERT_TRUE(RemoveFile(second));
  EXPECT_FALSE(fs::exists(second));
  EXPECT_FALSE(RemoveFile(second));

  EXPECT_EQ(CreateTemporaryFileBeside(dir.Join("missing") + kSeparator + "alpha.xq"), "");
}
