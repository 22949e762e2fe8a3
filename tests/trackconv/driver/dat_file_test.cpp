#include "trackconv/driver/dat_file.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "support/temp_dir.h"
#include "tools/lib/synthetic_dat.h"
#include "trackconv/foundation/byte_order.h"
#include "trackconv/foundation/errors.h"
#include "trackconv/foundation/paths.h"
#include "support/messages.h"

using testing_support::ListNames;
using testing_support::ReadBytes;
using testing_support::ScopedCurrentDirectory;
using testing_support::TempDir;
using testing_support::WriteBytes;
using trackgen::BuildDatArchive;
using trackgen::BytesOf;
using trackgen::DatEntryOffset;
using trackgen::DatMember;

namespace {

using testing_support::MessageOf;

std::string ReadAll(const Handle<SubFile>& file) {
  std::string text(file->Size(), '\0');
  file->Seek(0);
  file->Read(file->Size(), text.data());
  return text;
}

class DatFileTest : public ::testing::Test {
 protected:
  std::string Archive() const { return (dir_ / "alpha.dat"); }
  void WriteArchive(const std::vector<uint8_t>& image) const { WriteBytes(dir_ / "alpha.dat", image); }
  std::string OpenError(const std::vector<uint8_t>& image) const {
    WriteArchive(image);
    return MessageOf<XAssumption>([&] { MOTADatFile archive(Archive()); });
  }

  TempDir dir_;
  const std::vector<DatMember> members_{{"ALPHA.TRK", BytesOf("track bytes")},
                                        {"alpha.3do", BytesOf("3DO4")},
                                        {"twelve_c.wav", BytesOf("sound")}};
};

TEST_F(DatFileTest, ReadsMembersThroughTheirOffsets) {
  WriteArchive(BuildDatArchive(members_));
  MOTADatFile archive(Archive());
  ASSERT_EQ(archive.MemberCount(), 3u);
  // Names are lower-cased; a name that fills 12 characters is kept whole.
  EXPECT_EQ(archive.Member(0)->GetName(), "alpha.trk");
  EXPECT_EQ(archive.Member(0)->GetExtension(), "trk");
  EXPECT_EQ(archive.Member(2)->GetName(), "twelve_c.wav");
  EXPECT_EQ(ReadAll(archive.Member(0)), "track bytes");
  EXPECT_EQ(ReadAll(archive.Member(1)), "3DO4");
  EXPECT_EQ(ReadAll(archive.Member(2)), "sound");
}

TEST_F(DatFileTest, MemberDataNeedNotFollowDirectoryOrder) {
  std::vector<uint8_t> image = BuildDatArchive({{"a.trk", BytesOf("AAAA")}, {"b.trk", BytesOf("BB")}});
  const uint32_t data = static_cast<uint32_t>(DatEntryOffset(2));
  // Put b's bytes first and a's after them.
  std::copy_n(BytesOf("BBAAAA").begin(), 6, image.begin() + data);
  StoreU32(&image[DatEntryOffset(0) + trackgen::kDatEntryOffset], data + 2);
  StoreU32(&image[DatEntryOffset(1) + trackgen::kDatEntryOffset], data);
  WriteArchive(image);
  const MOTADatFile archive(Archive());
  EXPECT_EQ(ReadAll(archive.Member(0)), "AAAA");
  EXPECT_EQ(ReadAll(archive.Member(1)), "BB");
}

TEST_F(DatFileTest, MemberOutlivesTheArchiveObject) {
  WriteArchive(BuildDatArchive(members_));
  Handle<SubFile> member;
  {
    MOTADatFile archive(Archive());
    member = archive.FindMember("alpha.3do");
  }
  EXPECT_EQ(ReadAll(member), "3DO4");
}

TEST_F(DatFileTest, DirectoryChecksNameTheArchive) {
  const std::string name = Archive();
  std::vector<uint8_t> image = BuildDatArchive(members_);

  std::vector<uint8_t> zero = image;
  StoreI16(&zero[0], 0);
  EXPECT_EQ(OpenError(zero), name + ": MOTA dat file subfile count error");

  std::vector<uint8_t> negative = image;
  StoreU16(&negative[0], 0x8003);
  EXPECT_EQ(OpenError(negative), name + ": MOTA dat file subfile count error");

  std::vector<uint8_t> type = image;
  StoreU16(&type[DatEntryOffset(1) + trackgen::kDatEntryType], 4);
  EXPECT_EQ(OpenError(type), name + ": MOTA dat file subfile type not 5");

  std::vector<uint8_t> size = image;
  StoreU32(&size[DatEntryOffset(2) + trackgen::kDatEntryLengthCopy], 6);
  EXPECT_EQ(OpenError(size), name + ": MOTA dat file subfile size mismatch");

  // The type is checked before the lengths.
  std::vector<uint8_t> both = size;
  StoreU16(&both[DatEntryOffset(2) + trackgen::kDatEntryType], 0);
  EXPECT_EQ(OpenError(both), name + ": MOTA dat file subfile type not 5");

  // An earlier bad entry is reported before a later one.
  std::vector<uint8_t> earlier = size;
  StoreU16(&earlier[DatEntryOffset(0) + trackgen::kDatEntryType], 6);
  EXPECT_EQ(OpenError(earlier), name + ": MOTA dat file subfile type not 5");
}

TEST_F(DatFileTest, NameFieldWithoutTerminatorIsRefused) {
  const std::string name = Archive();
  std::vector<uint8_t> image = BuildDatArchive({{"thirteen_.trk", BytesOf("x")}});
  EXPECT_EQ(OpenError(image), name + ": MOTA dat file subfile name not terminated");
}

TEST_F(DatFileTest, WindowWrappingPast4GiBFailsWhenRead) {
  std::vector<uint8_t> image = BuildDatArchive({{"a.trk", BytesOf("AAAA")}});
  StoreU32(&image[DatEntryOffset(0) + trackgen::kDatEntryOffset], 0xFFFFFFFEu);
  WriteArchive(image);
  MOTADatFile archive(Archive());
  char buffer[4];
  EXPECT_THROW(archive.Member(0)->Read(4, buffer), XFileRead);
}

TEST_F(DatFileTest, ShortOrMissingArchiveIsAFileError) {
  EXPECT_NE(MessageOf<XFileOpen>([&] { MOTADatFile archive((dir_ / "none.dat")); }), testing_support::kNothingThrown);

  WriteArchive({1});
  EXPECT_NE(MessageOf<XFileRead>([&] { MOTADatFile archive(Archive()); }), testing_support::kNothingThrown);

  // The directory promises two entries but holds one and a half.
  std::vector<uint8_t> image = BuildDatArchive({{"a.trk", {}}, {"b.trk", {}}});
  image.resize(DatEntryOffset(1) + 10);
  WriteArchive(image);
  EXPECT_NE(MessageOf<XFileRead>([&] { MOTADatFile archive(Archive()); }), testing_support::kNothingThrown);
}

TEST_F(DatFileTest, MemberReachingPastTheEndFailsWhenRead) {
  std::vector<uint8_t> image = BuildDatArchive({{"a.trk", BytesOf("AAAA")}});
  StoreU32(&image[DatEntryOffset(0) + trackgen::kDatEntryLength], 400);
  StoreU32(&image[DatEntryOffset(0) + trackgen::kDatEntryLengthCopy], 400);
  WriteArchive(image);
  MOTADatFile archive(Archive());
  Handle<SubFile> member = archive.Member(0);
  EXPECT_EQ(member->Size(), 400u);
  char buffer[400];
  EXPECT_THROW(member->Read(400, buffer), XFileRead);
}

TEST_F(DatFileTest, MemberIndexOutOfRangeIsRefused) {
  WriteArchive(BuildDatArchive(members_));
  MOTADatFile archive(Archive());
  EXPECT_EQ(MessageOf<XAssumption>([&] { archive.Member(3); }),
            Archive() + ": MOTA dat file subfile index out of range");
}

TEST_F(DatFileTest, FindMemberIgnoresCaseAndTakesTheFirst) {
  WriteArchive(BuildDatArchive({{"track.trk", BytesOf("first")},
                                {"other.3do", BytesOf("x")},
                                {"TRACK.TRK", BytesOf("second")}}));
  const MOTADatFile archive(Archive());
  EXPECT_EQ(ReadAll(archive.FindMember("TRACK.TRK")), "first");
  EXPECT_EQ(ReadAll(archive.FindMember("Other.3DO")), "x");
  EXPECT_EQ(archive.FindMember("track").Get(), nullptr);
  EXPECT_EQ(archive.FindMember("missing.trk").Get(), nullptr);
}

TEST_F(DatFileTest, ReplaceMemberOverwritesInPlace) {
  WriteArchive(BuildDatArchive(members_));
  const std::vector<uint8_t> before = ReadBytes(dir_ / "alpha.dat");
  WriteBytes(dir_ / "alpha.3do", BytesOf("3DO3"));
  {
    MOTADatFile archive(Archive());
    // A member handed out earlier sees the new bytes: it shares the file.
    Handle<SubFile> member = archive.Member(1);
    {
      ScopedCurrentDirectory here(dir_.path());
      Handle<SubFile> replacement(new SubFile("alpha.3do", false, false));
      archive.ReplaceMember(replacement);
    }
    EXPECT_EQ(ReadAll(member), "3DO3");
  }  // closed first: Windows shares no file that is open for writing
  std::vector<uint8_t> after = ReadBytes(dir_ / "alpha.dat");
  ASSERT_EQ(after.size(), before.size());
  const std::size_t data = DatEntryOffset(3) + 11;
  EXPECT_TRUE(std::equal(after.begin(), after.begin() + data, before.begin()));
  EXPECT_EQ(std::string(after.begin() + data, after.begin() + data + 4), "3DO3");
}

TEST_F(DatFileTest, ReplaceMemberRefusals) {
  WriteArchive(BuildDatArchive(members_));
  WriteBytes(dir_ / "ALPHA.TRK", BytesOf("track bytes"));
  WriteBytes(dir_ / "twelve_c.wav", BytesOf("longer sound"));
  ScopedCurrentDirectory here(dir_.path());
  MOTADatFile archive("alpha.dat");
  // Letter case counts: the member is stored as alpha.trk.
  Handle<SubFile> upper(new SubFile("ALPHA.TRK", false, false));
  EXPECT_EQ(MessageOf<XGeneral>([&] { archive.ReplaceMember(upper); }), "Subfile not found\n");
  Handle<SubFile> longer(new SubFile("twelve_c.wav", false, false));
  EXPECT_EQ(MessageOf<XGeneral>([&] { archive.ReplaceMember(longer); }),
            "Unable to replace - sizes differ\n");
}

TEST_F(DatFileTest, RebuildWritesLooseFilesContiguously) {
  // The old archive has stale data and a gap that the rebuild drops.
  std::vector<uint8_t> old = BuildDatArchive({{"a.trk", BytesOf("old a")}, {"b.3do", BytesOf("old b")}});
  old.resize(old.size() + 100, 0xEE);
  WriteArchive(old);
  WriteBytes(dir_ / "a.trk", BytesOf("new contents of a"));
  WriteBytes(dir_ / "b.3do", BytesOf("b"));
  ScopedCurrentDirectory here(dir_.path());
  MOTADatFile archive("alpha.dat");
  archive.Rebuild();
  EXPECT_EQ(ReadBytes(dir_ / "alpha.dat"),
            BuildDatArchive({{"a.trk", BytesOf("new contents of a")}, {"b.3do", BytesOf("b")}}));
  ASSERT_EQ(archive.MemberCount(), 2u);
  EXPECT_EQ(ReadAll(archive.FindMember("a.trk")), "new contents of a");
  EXPECT_EQ(ReadAll(archive.Member(1)), "b");
  // The rebuilt archive reads back the same way.
  const MOTADatFile reopened("alpha.dat");
  EXPECT_EQ(ReadAll(reopened.Member(0)), "new contents of a");
}

TEST_F(DatFileTest, FailedRebuildLeavesArchiveAndMembersAlone) {
  const std::vector<uint8_t> image = BuildDatArchive({{"a.trk", BytesOf("old a")}, {"b.3do", BytesOf("old b")}});
  WriteArchive(image);
  WriteBytes(dir_ / "a.trk", BytesOf("new a"));
  ScopedCurrentDirectory here(dir_.path());
  MOTADatFile archive("alpha.dat");
  Handle<SubFile> held = archive.Member(0);
  // b.3do missing, then b.3do a directory that cannot be read as a file.
  EXPECT_THROW(archive.Rebuild(), XFileOpen);
  std::filesystem::create_directory(dir_.path() / "b.3do");
  EXPECT_ANY_THROW(archive.Rebuild());

  EXPECT_EQ(ReadBytes(dir_ / "alpha.dat"), image);
  ASSERT_EQ(archive.MemberCount(), 2u);
  EXPECT_EQ(ReadAll(archive.Member(1)), "old b");
  EXPECT_EQ(ReadAll(held), "old a");
  EXPECT_EQ(ListNames(dir_.path()), (std::vector<std::string>{"a.trk", "alpha.dat", "b.3do"}));
}

TEST_F(DatFileTest, RebuildRefusesNamesLongerThanTheField) {
  WriteArchive(BuildDatArchive(members_));
  WriteBytes(dir_ / "x.trk", BytesOf("x"));
  const std::vector<uint8_t> image = ReadBytes(dir_ / "alpha.dat");
  MOTADatFile archive(Archive());
  archive.CollectLooseFiles();  // members are now named by full path
  const std::string member = archive.Member(0)->GetName();
  EXPECT_EQ(MessageOf<XAssumption>([&] { archive.Rebuild(); }),
            member + ": MOTA dat file subfile name longer than 12 characters");
  EXPECT_EQ(ReadBytes(dir_ / "alpha.dat"), image);
}

TEST_F(DatFileTest, CollectLooseFilesTakesKnownKindsInListingOrder) {
  WriteArchive(BuildDatArchive(members_));
  for (const char* name : {"a.trk", "b.Trk", "c.txt", "d.wav", "E.3DO", "f"}) WriteBytes(dir_ / name, BytesOf(name));
  std::filesystem::create_directory(dir_.path() / "g.trk");
  MOTADatFile archive(Archive());
  archive.CollectLooseFiles();

  std::vector<std::string> expected;
  const DirectoryListing listing{Pathname(dir_.path().string())};
  for (uint32_t i = 0; i < listing.Count(); ++i) {
    const std::string file = listing.Entry(i).FileName();
    if (file == "a.trk" || file == "b.Trk" || file == "d.wav" || file == "E.3DO")
      expected.push_back(listing.Entry(i).FullPath());
  }
  std::vector<std::string> collected;
  for (uint32_t i = 0; i < archive.MemberCount(); ++i) collected.push_back(archive.Member(i)->GetName());
  EXPECT_EQ(collected, expected);
  EXPECT_EQ(ReadAll(archive.FindMember((dir_ / "b.Trk"))), "b.Trk");
}

}  // namespace
