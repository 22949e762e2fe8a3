#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#ifndef _WIN32
#include <sys/stat.h>
#endif

#include "platform/atomic_replace.h"
#include "platform/directory_enum.h"
#include "platform/file_attributes.h"
#include "platform/native_file.h"
#include "platform/stream.h"
#include "platform/whole_file.h"
#include "support/platform_conventions.h"
#include "support/temp_dir.h"

namespace fs = std::filesystem;
using namespace platform;
using testing_support::TempDir;

namespace {

constexpr uint32_t kReadWrite = kGenericRead | kGenericWrite;

void WriteText(const fs::path& path, const std::string& text) {
  testing_support::WriteText(path.string(), text);
}

std::string ReadText(const fs::path& path) {
  std::vector<uint8_t> bytes = testing_support::ReadBytes(path.string());
  return std::string(bytes.begin(), bytes.end());
}

// Closes the file at the end of a test, also when an assertion fails.
struct OpenFileGuard {
  NativeFile file;
  ~OpenFileGuard() { CloseFile(file); }
};

}  // namespace

TEST(NativeFile, CreationDispositionsAndPositionedIo) {
  TempDir dir;
  const std::string name = (dir / "data.bin");

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
  TempDir dir;
  OpenFileGuard file{OpenFile(dir / "small.bin", kReadWrite, 0, kCreateNew)};
  ASSERT_TRUE(file.file.valid());

  // Positions from 2 GiB up are valid; only the failure value itself is not.
  EXPECT_EQ(SeekFile(file.file, 0x80000000u), 0x80000000u);
  EXPECT_EQ(TellFile(file.file), 0x80000000u);
  EXPECT_EQ(SeekFile(file.file, 0xFFFFFFF0u), 0xFFFFFFF0u);
  EXPECT_EQ(SeekFile(file.file, kSeekFailed), kSeekFailed);
  EXPECT_EQ(FileSize(file.file), 0u) << "seeking alone does not grow a file";
}

TEST(NativeFile, SharingAndLetterCase) {
  TempDir dir;
  WriteText(dir.path() / "alpha.trk", "track");

  // Game data written on Windows names files in any case.
  OpenFileGuard reader{OpenFile(dir / "ALPHA.TRK", kGenericRead, kShareRead, kOpenExisting)};
  ASSERT_TRUE(reader.file.valid());
  EXPECT_EQ(FileSize(reader.file), 5u);
  uint32_t attributes = 0;
  ASSERT_TRUE(GetFileAttributes(dir / "Alpha.Trk", attributes));
  EXPECT_EQ(attributes & kAttributeDirectory, 0u);

  // Write access without sharing while a reader holds the file: Win32 refuses
  // it; POSIX has no share modes, so the same request succeeds there.
  OpenFileGuard writer{OpenFile(dir / "alpha.trk", kReadWrite, 0, kOpenExisting)};
  EXPECT_EQ(writer.file.valid(), !testing_support::WindowsConventions());

  // A created file gets exactly the name it was given.
  OpenFileGuard created{OpenFile(dir / "Beta.XQ", kReadWrite, 0, kCreateNew)};
  ASSERT_TRUE(created.file.valid());
  std::vector<std::string> names = testing_support::ListNames(dir.path());
  EXPECT_NE(std::find(names.begin(), names.end(), "Beta.XQ"), names.end());
}

TEST(FileAttributes, DirectoriesFilesAndMissingPaths) {
  TempDir dir;
  fs::create_directory(dir.path() / "sub");
  WriteText(dir.path() / "one.trk", "1");
  uint32_t attributes = 0;
  ASSERT_TRUE(GetFileAttributes(dir / "sub", attributes));
  EXPECT_NE(attributes & kAttributeDirectory, 0u);
  ASSERT_TRUE(GetFileAttributes(dir / "one.trk", attributes));
  EXPECT_EQ(attributes & kAttributeDirectory, 0u);
  EXPECT_FALSE(GetFileAttributes(dir / "missing", attributes));
  EXPECT_FALSE(GetFileAttributes(dir / "missing/x", attributes));
}

TEST(DirectoryEnum, ListsFilesAndSubdirectoriesWithTheirKind) {
  TempDir dir;
  fs::create_directory(dir.path() / "sub");
  WriteText(dir.path() / "one.trk", "1");

  std::vector<std::string> names;
  for (const DirectoryEntry& entry : FindFiles(dir / "*")) {
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

  EXPECT_TRUE(FindFiles(dir / "missing/*").empty());
}

TEST(AtomicReplace, TemporaryFileReplacesTheFinalOneOnlyWhenAsked) {
  TempDir dir;
  const fs::path final_path = dir.path() / "alpha.xq";
  WriteText(final_path, "old");

  const std::string temporary = CreateTemporaryFileBeside(dir / "alpha.xq");
  ASSERT_FALSE(temporary.empty());
  EXPECT_TRUE(fs::exists(temporary));
  EXPECT_EQ(fs::file_size(temporary), 0u);
  EXPECT_TRUE(fs::equivalent(fs::path(temporary).parent_path(), dir.path()))
      << "the temporary file must be in the final file's directory";
  const std::string second = CreateTemporaryFileBeside(dir / "alpha.xq");
  EXPECT_NE(second, temporary);
  EXPECT_EQ(ReadText(final_path), "old") << "creating temporaries leaves the output alone";

  WriteText(temporary, "new");
  ASSERT_TRUE(ReplaceFileWith(temporary, dir / "alpha.xq"));
  EXPECT_EQ(ReadText(final_path), "new");
  EXPECT_FALSE(fs::exists(temporary));

  EXPECT_FALSE(ReplaceFileWith(temporary, dir / "alpha.xq"));
  EXPECT_EQ(ReadText(final_path), "new");

  // A final file that does not exist yet is simply created.
  ASSERT_TRUE(ReplaceFileWith(second, dir / "beta.xq"));
  EXPECT_TRUE(fs::exists(dir.path() / "beta.xq"));
  EXPECT_FALSE(fs::exists(second));

  const std::string third = CreateTemporaryFileBeside(dir / "alpha.xq");
  ASSERT_TRUE(RemoveFile(third));
  EXPECT_FALSE(fs::exists(third));
  EXPECT_FALSE(RemoveFile(third));

  EXPECT_EQ(CreateTemporaryFileBeside(dir / "missing/alpha.xq"), "");
}

namespace {

TEST(AtomicReplace, AnOutputNameIsFreeUnlessADirectoryOrAnUnwritableFileHoldsIt) {
  TempDir dir;
  fs::create_directory(dir.path() / "TAKEN.XQ");
  WriteText(dir.path() / "old.xq", "old");
  const struct {
    const char* name;
    bool free;
  } cases[] = {{"new.xq", true}, {"old.xq", true}, {"OLD.XQ", true}, {"taken.xq", false}, {"missing/new.xq", true}};
  for (const auto& c : cases) EXPECT_EQ(CanTakeOutput(dir / c.name), c.free) << c.name;
}

#ifndef _WIN32
// Links are entries of their own in a listing, marked the way Windows marks
// reparse points, so that no walk leaves the directory through them.
TEST(DirectoryEnum, LinksAreEntriesOfTheirOwn) {
  TempDir dir;
  fs::create_directories(dir.path() / "outside/inner");
  fs::create_directory(dir.path() / "listed");
  fs::create_directory_symlink(dir.path() / "outside", dir.path() / "listed/to-dir");
  fs::create_symlink(dir.path() / "outside/none", dir.path() / "listed/to-nothing");
  std::vector<std::pair<std::string, uint32_t>> entries;
  for (const DirectoryEntry& entry : FindFiles(dir / "listed/*"))
    if (entry.name != "." && entry.name != "..") entries.emplace_back(entry.name, entry.attributes);
  std::sort(entries.begin(), entries.end());
  EXPECT_EQ(entries, (std::vector<std::pair<std::string, uint32_t>>{
                         {"to-dir", kAttributeReparsePoint | kAttributeDirectory},
                         {"to-nothing", kAttributeReparsePoint}}));
}

// A named pipe with no writer would block an open for reading until one
// came: every way of opening a file refuses it at once instead.
TEST(NativeFile, ANamedPipeIsRefusedWithoutWaitingForAWriter) {
  TempDir dir;
  const std::string pipe = dir / "x.trk";
  ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
  EXPECT_FALSE(OpenFile(pipe, kGenericRead, kShareRead, kOpenExisting).valid());
  EXPECT_FALSE(OpenFile(pipe, kReadWrite, 0, kCreateAlways).valid());
  std::vector<uint8_t> bytes;
  EXPECT_EQ(ReadWholeFile(pipe, bytes), WholeFile::kCannotOpen);
  EXPECT_EQ(OpenStream(pipe.c_str(), "rb"), nullptr);
}
#endif

}  // namespace
