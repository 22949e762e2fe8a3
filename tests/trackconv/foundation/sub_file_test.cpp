#include "trackconv/foundation/sub_file.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "platform/native_file.h"
#include "support/platform_conventions.h"
#include "support/temp_dir.h"
#include "trackconv/foundation/errors.h"
#include "support/messages.h"

namespace {

using testing_support::MessageOf;
using testing_support::ReadBytes;
using testing_support::ScopedCurrentDirectory;
using testing_support::TempDir;
using testing_support::WindowsConventions;
using testing_support::WriteBytes;

// Whether another opener can read a file right now.
bool ReadableByOthers(const std::string& path) {
  try {
    ReadBytes(path);
    return true;
  } catch (const std::exception&) {
    return false;
  }
}

std::vector<uint8_t> Counting(std::size_t size) {
  std::vector<uint8_t> bytes(size);
  for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<uint8_t>(i);
  return bytes;
}

TEST(SubFile, MemberWindowRefusesToPassItsEnd) {
  TempDir dir;
  WriteBytes(dir / "pack.dat", Counting(100));
  Handle<DiskFile> disk = DiskFile::OpenForRead(dir / "pack.dat");
  SubFile member(disk, "ALPHA.TRK", 64, 16);
  EXPECT_EQ(member.GetName(), "alpha.trk");
  EXPECT_EQ(member.GetExtension(), "trk");
  EXPECT_EQ(member.Size(), 16u);

  member.Seek(14);
  uint8_t bytes[4] = {0, 0, 0, 0};
  EXPECT_EQ(MessageOf<XFileRead>([&] { member.Read(4, bytes); }), "Couldn't read file alpha.trk");
  EXPECT_EQ(member.Position(), 14u);
  member.Read(2, bytes);
  EXPECT_EQ(bytes[0], 78);
  EXPECT_EQ(bytes[1], 79);
  member.Read(0, bytes);  // nothing left, and nothing asked: fine

  member.Seek(16);
  EXPECT_EQ(MessageOf<XFileSeek>([&] { member.Seek(17); }), "Couldn't seek in file alpha.trk");
  EXPECT_EQ(member.Position(), 16u);
  // A member cannot grow: writing past its end is refused before any byte moves.
  member.Seek(15);
  EXPECT_EQ(MessageOf<XFileWrite>([&] { member.Write(2, bytes); }), "Couldn't write file alpha.trk");
  EXPECT_EQ(ReadBytes(dir / "pack.dat"), Counting(100));
}

TEST(SubFile, MembersSharingOneDiskFileInterleave) {
  TempDir dir;
  WriteBytes(dir / "pack.dat", Counting(64));
  Handle<DiskFile> disk = DiskFile::OpenForRead(dir / "pack.dat");
  SubFile first(disk, "a", 10, 10);
  SubFile second(disk, "b", 40, 10);
  uint8_t a = 0, b = 0;
  for (int i = 0; i < 10; ++i) {
    first.Read(1, &a);
    second.Read(1, &b);
    EXPECT_EQ(a, 10 + i);
    EXPECT_EQ(b, 40 + i);
  }
  EXPECT_EQ(disk.Holders(), 3u);
}

TEST(SubFile, WholeFileGrowsWhileWritten) {
  TempDir dir;
  std::vector<uint8_t> twelve = Counting(12);
  {
    SubFile out(dir / "out.bin", true, true);
    EXPECT_EQ(out.Size(), 0u);
    out.Write(12, twelve.data());
    EXPECT_EQ(out.Size(), 12u);
    out.Seek(0);
    uint8_t four[4] = {9, 9, 9, 9};
    out.Write(4, four);
    EXPECT_EQ(out.Size(), 12u);
    EXPECT_EQ(out.Position(), 4u);
    // A file open for writing is not shared: Windows refuses other openers
    // until it is closed; POSIX has no share modes.
    EXPECT_EQ(ReadableByOthers(dir / "out.bin"), !WindowsConventions());
  }
  std::vector<uint8_t> expected = twelve;
  std::fill(expected.begin(), expected.begin() + 4, 9);
  EXPECT_EQ(ReadBytes(dir / "out.bin"), expected);

  // Replacing truncates an old file.
  SubFile again(dir / "out.bin", true, true);
  EXPECT_EQ(again.Size(), 0u);
}

TEST(SubFile, OpenFailuresNameTheFullPath) {
  TempDir dir;
  ScopedCurrentDirectory in_dir(dir.path());
  WriteBytes(dir / "there.trk", Counting(3));
  EXPECT_EQ(MessageOf<XFileOpen>([] { SubFile("there.trk", true, false); }),
            "Couldn't open file " + (dir / "there.trk"));
  EXPECT_EQ(MessageOf<XFileOpen>([] { SubFile("missing.trk", false, false); }),
            "Couldn't open file " + (dir / "missing.trk"));
  std::filesystem::create_directory(dir / "sub");
  EXPECT_EQ(MessageOf<XFileOpen>([] { SubFile("sub", false, false); }),
            "Couldn't open file " + (dir / "sub"));
  // A name whose absolute form is too long is reported as given.
  std::string huge(5000, 'x');
  EXPECT_EQ(MessageOf<XFileOpen>([&] { SubFile(huge, false, false); }), "Couldn't open file " + huge);
}

TEST(SubFile, EmptyFileAndLetterCaseOnDisk) {
  TempDir dir;
  ScopedCurrentDirectory in_dir(dir.path());
  std::filesystem::create_directory(dir / "TRACKS");
  WriteBytes(dir / "TRACKS/ALPHA.TRK", {});
  SubFile file("tracks\\alpha.trk", false, false);
  EXPECT_EQ(file.GetName(), "tracks\\alpha.trk");  // as asked, not as found
  EXPECT_EQ(file.GetExtension(), "trk");
  EXPECT_EQ(file.Size(), 0u);
  uint8_t byte;
  file.Read(0, &byte);
  EXPECT_EQ(MessageOf<XFileRead>([&] { file.Read(1, &byte); }),
            "Couldn't read file tracks\\alpha.trk");
}

TEST(SubFile, ShortReadFromDiskKeepsPosition) {
  TempDir dir;
  WriteBytes(dir / "t.trk", Counting(20));
  SubFile file(dir / "t.trk", false, false);
  uint8_t bytes[8];
  std::error_code error;
  std::filesystem::resize_file(dir / "t.trk", 8, error);  // shrinks under the window
  if (WindowsConventions()) {
    // The reader shares the file for reading only, so Windows refuses to let
    // anyone shrink it.
    EXPECT_TRUE(error);
  } else {
    ASSERT_FALSE(error);
    file.Seek(4);
    EXPECT_EQ(MessageOf<XFileRead>([&] { file.Read(8, bytes); }),
              "Couldn't read file " + (dir / "t.trk"));
    EXPECT_EQ(file.Position(), 4u);
  }

  // An archive member whose window reaches past the file's real end reads
  // short on every system.
  SubFile member(file.GetDiskFile(), "beyond.trk", 16, 8);
  member.Seek(2);
  EXPECT_EQ(MessageOf<XFileRead>([&] { member.Read(4, bytes); }), "Couldn't read file beyond.trk");
  EXPECT_EQ(member.Position(), 2u);
}

TEST(SubFile, ExtensionComesFromTheLastComponentOnly) {
  TempDir dir;
  WriteBytes(dir / "f", {});
  Handle<DiskFile> disk = DiskFile::OpenForRead(dir / "f");
  EXPECT_EQ(SubFile(disk, "dir.x\\file", 0, 0).GetExtension(), "");
  EXPECT_EQ(SubFile(disk, "dir.x/file", 0, 0).GetExtension(), "");
  EXPECT_EQ(SubFile(disk, "a.b.trk", 0, 0).GetExtension(), "trk");
  EXPECT_EQ(SubFile(disk, ".trk", 0, 0).GetExtension(), "trk");
  EXPECT_EQ(SubFile(disk, "noext", 0, 0).GetExtension(), "");
}

TEST(DiskFile, ReadOnlyFileIsUpgradedOnFirstWrite) {
  TempDir dir;
  WriteBytes(dir / "t.trk", Counting(8));
  {
    SubFile file(dir / "t.trk", false, false);
    EXPECT_FALSE(file.GetDiskFile()->Writable());
    uint8_t byte = 0;
    file.Read(1, &byte);
    uint8_t patch[2] = {0xAA, 0xBB};
    file.Seek(3);
    file.Write(2, patch);
    EXPECT_TRUE(file.GetDiskFile()->Writable());
    file.Read(1, &byte);
    EXPECT_EQ(byte, 5);
    // After the upgrade the file is held without sharing (Windows only).
    EXPECT_EQ(ReadableByOthers(dir / "t.trk"), !WindowsConventions());
  }
  std::vector<uint8_t> expected = Counting(8);
  expected[3] = 0xAA;
  expected[4] = 0xBB;
  EXPECT_EQ(ReadBytes(dir / "t.trk"), expected);
}

TEST(DiskFile, FailedUpgradeIsAWriteError) {
  TempDir dir;
  WriteBytes(dir / "t.trk", Counting(8));
  std::string now_at = dir / "t.trk";
  {
    Handle<DiskFile> disk = DiskFile::OpenForRead(dir / "t.trk");
    SubFile file(disk, "t.trk", 0, 8);
    platform::NativeFile other_reader;
    if (WindowsConventions()) {
      // Another program reading the file keeps the unshared reopen from
      // succeeding on Windows.
      other_reader = platform::OpenFile(dir / "t.trk", platform::kGenericRead,
                                        platform::kShareRead, platform::kOpenExisting);
      ASSERT_TRUE(other_reader.valid());
    } else {
      // POSIX knows no share modes; a file that left its path cannot be
      // reopened instead.
      now_at = dir / "elsewhere";
      std::filesystem::rename(dir / "t.trk", now_at);
    }
    uint8_t byte = 1;
    file.Seek(6);
    EXPECT_EQ(MessageOf<XFileWrite>([&] { disk->Write(1, &byte); }),
              "Couldn't write file " + (dir / "t.trk"));
    EXPECT_FALSE(disk->Writable());
    if (WindowsConventions()) {
      // Reopened for reading as before the attempt.
      file.Seek(6);
      file.Read(1, &byte);
      EXPECT_EQ(byte, 6);
      platform::CloseFile(other_reader);
    }
  }
  EXPECT_EQ(ReadBytes(now_at), Counting(8));
}

TEST(DiskFile, WriteAccessDeniedByPermissionsIsAWriteError) {
  TempDir dir;
  WriteBytes(dir / "locked.trk", Counting(4));
  std::filesystem::permissions(dir / "locked.trk", std::filesystem::perms::owner_read);
  {
    std::FILE* probe = std::fopen((dir / "locked.trk").c_str(), "r+");
    if (probe) {
      std::fclose(probe);
      GTEST_SKIP() << "file permissions do not bind this user";
    }
  }
  SubFile file(dir / "locked.trk", false, false);
  uint8_t byte = 7;
  EXPECT_EQ(MessageOf<XFileWrite>([&] { file.Write(1, &byte); }),
            "Couldn't write file " + (dir / "locked.trk"));
  // Still readable after the refused upgrade, and the position is unchanged.
  EXPECT_EQ(file.Position(), 0u);
  file.Read(1, &byte);
  EXPECT_EQ(byte, 0);
}

}  // namespace
