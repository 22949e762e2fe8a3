#include "trackconv/driver/game_factories.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "support/platform_conventions.h"
#include "support/temp_dir.h"
#include "tools/lib/synthetic_dat.h"
#include "trackconv/driver/game_registry.h"
#include "trackconv/driver/track_files.h"
#include "trackconv/foundation/byte_order.h"
#include "trackconv/foundation/errors.h"
#include "trackconv/track/mota_trk_file.h"
#include "support/messages.h"

using driver_test::MotaTrackBytes;
using testing_support::ListNames;
using testing_support::TempDir;
using testing_support::WriteBytes;
using trackgen::BuildDatArchive;
using trackgen::BytesOf;
using trackgen::DatMember;

namespace {

using testing_support::MessageOf;

const std::vector<uint8_t> kVtrModel = {0x34, 0x4F, 0x44, 0x33, 1, 2, 3, 4};
const std::vector<uint8_t> kK5Model = {0x33, 0x4F, 0x44, 0x33, 1, 2, 3, 4};
const std::vector<uint8_t> kVtrReplay = {0x59, 0x4C, 0x50, 0x52, 0, 0};

// A model whose header gives its size: 20 + h0 + 8 * (h2 + h3 + h4).
std::vector<uint8_t> MotaModel() {
  std::vector<uint8_t> bytes(20 + 4 + 8 * 3, 0xAA);
  StoreU32(&bytes[0], 4);
  StoreU32(&bytes[4], 0x12345678);  // not used by the rule
  StoreU32(&bytes[8], 1);
  StoreU32(&bytes[12], 0);
  StoreU32(&bytes[16], 2);
  return bytes;
}

// A replay whose header gives its size: 16 + r0 + r1.
std::vector<uint8_t> K5Replay() {
  std::vector<uint8_t> bytes(16 + 10, 0);
  StoreU32(&bytes[0], 7);
  StoreU32(&bytes[4], 3);
  return bytes;
}

const GameRegistry& Registry() { return GameRegistry::Instance(); }
const FileFactory& VtrPrototype() { return *Registry().Prototype(0); }
const FileFactory& MotaPrototype() { return *Registry().Prototype(1); }
const FileFactory& K5Prototype() { return *Registry().Prototype(2); }

// Which of the three games answer yes, as "VTR MOTA K5" flags.
std::string Answers(const Directory& directory) {
  std::string answers;
  answers += VtrPrototype().Recognizes(directory) ? "V" : "-";
  answers += MotaPrototype().Recognizes(directory) ? "M" : "-";
  answers += K5Prototype().Recognizes(directory) ? "K" : "-";
  return answers;
}

class RecognitionTest : public ::testing::Test {
 protected:
  std::string Path(const std::string& name) const { return root_ / ("alpha/" + name); }
  void Write(const std::string& name, const std::vector<uint8_t>& bytes) const { WriteBytes(Path(name), bytes); }
  Directory Alpha() const { return Directory(root_ / "alpha"); }
  /// The loose files of alpha in the order the directory lists them.
  std::vector<std::string> ListingOrder() const {
    std::vector<std::string> names;
    const DirectoryListing listing{Pathname(root_ / "alpha")};
    for (uint32_t i = 0; i < listing.Count(); ++i) names.push_back(listing.Entry(i).FileName());
    return names;
  }

  void SetUp() override { std::filesystem::create_directory(root_.path() / "alpha"); }
  TempDir root_;
};

TEST(GameRegistryTest, PrototypesAreRegisteredVtrFirstAsDefault) {
  ASSERT_EQ(Registry().PrototypeCount(), 3u);
  EXPECT_NE(dynamic_cast<const VTRFileFactory*>(&VtrPrototype()), nullptr);
  EXPECT_NE(dynamic_cast<const MOTAFileFactory*>(&MotaPrototype()), nullptr);
  EXPECT_NE(dynamic_cast<const K5FileFactory*>(&K5Prototype()), nullptr);
  EXPECT_TRUE(Registry().IsDefault(0));
  EXPECT_FALSE(Registry().IsDefault(1));
  EXPECT_FALSE(Registry().IsDefault(2));
  EXPECT_EQ(VtrPrototype().GetDatFile().Get(), nullptr);
}

TEST_F(RecognitionTest, ArchiveModelDecidesEachGame) {
  Write("alpha.dat", BuildDatArchive({{"alpha.trk", BytesOf("x")}, {"ALPHA.3DO", kVtrModel}}));
  EXPECT_EQ(Answers(Alpha()), "V--");
  Write("alpha.dat", BuildDatArchive({{"alpha.trk", BytesOf("x")}, {"car.3do", MotaModel()}}));
  EXPECT_EQ(Answers(Alpha()), "-M-");
  Write("alpha.dat", BuildDatArchive({{"car.3Do", kK5Model}}));
  EXPECT_EQ(Answers(Alpha()), "--K");
}

TEST_F(RecognitionTest, ArchiveModelSettlesItAgainstLooseFiles) {
  // The archive's model says K5; a loose VTR model is never looked at.
  Write("alpha.dat", BuildDatArchive({{"car.3do", kK5Model}}));
  Write("loose.3do", kVtrModel);
  EXPECT_EQ(Answers(Alpha()), "--K");
}

TEST_F(RecognitionTest, ArchiveWithBadHeaderAnswersNoWithoutLooseFiles) {
  std::vector<uint8_t> image = BuildDatArchive({{"car.3do", kVtrModel}});
  StoreU16(&image[2], 4);
  Write("alpha.dat", image);
  Write("loose.3do", kVtrModel);
  EXPECT_EQ(Answers(Alpha()), "---");
  // The default game is taken, and its archive check ends the run.
  EXPECT_EQ(MessageOf<XAssumption>([&] { GameRegistry::Instance().FactoryFor(Alpha()); }),
            Path("alpha.dat") + ": MOTA dat file subfile type not 5");
}

TEST_F(RecognitionTest, UnreadableArchiveMembersAreSkipped) {
  // The first model reaches past the archive's end and cannot be read.
  std::vector<uint8_t> image = BuildDatArchive({{"broken.3do", kVtrModel}, {"car.3do", kK5Model}});
  StoreU32(&image[trackgen::DatEntryOffset(0) + trackgen::kDatEntryLength], 5000);
  StoreU32(&image[trackgen::DatEntryOffset(0) + trackgen::kDatEntryLengthCopy], 5000);
  StoreU32(&image[trackgen::DatEntryOffset(0) + trackgen::kDatEntryOffset], 60000);
  Write("alpha.dat", image);
  EXPECT_EQ(Answers(Alpha()), "--K");
}

TEST_F(RecognitionTest, ArchiveWithoutModelFallsBackToLooseFiles) {
  Write("alpha.dat", BuildDatArchive({{"alpha.trk", BytesOf("x")}}));
  Write("x.rpy", kVtrReplay);
  EXPECT_EQ(Answers(Alpha()), "V--");
}

TEST_F(RecognitionTest, ShortOrMalformedArchiveFallsBackToLooseFiles) {
  Write("alpha.dat", {1, 0});
  Write("car.3do", kK5Model);
  EXPECT_EQ(Answers(Alpha()), "--K");
  // Header fine, directory truncated.
  Write("alpha.dat", {1, 0, 5, 0});
  EXPECT_EQ(Answers(Alpha()), "--K");
}

TEST_F(RecognitionTest, LooseFilesOfEachGame) {
  Write("a.3do", MotaModel());
  EXPECT_EQ(Answers(Alpha()), "-M-");
  std::filesystem::remove(Path("a.3do"));
  Write("replay.RPL", K5Replay());
  EXPECT_EQ(Answers(Alpha()), "--K");
  std::filesystem::remove(Path("replay.RPL"));
  Write("X.RPY", kVtrReplay);
  EXPECT_EQ(Answers(Alpha()), "V--");
}

TEST_F(RecognitionTest, FirstDecisiveLooseFileSettlesTheAnswer) {
  Write("b.3do", {});
  Write("c.rpy", {});
  const std::vector<std::string> order = ListingOrder();
  const bool model_first = order.front() == "b.3do";
  // Whichever comes first is made to fail the VTR test, the other to pass.
  Write("b.3do", model_first ? kK5Model : kVtrModel);
  Write("c.rpy", model_first ? kVtrReplay : std::vector<uint8_t>{0, 0, 0, 0});
  EXPECT_FALSE(VtrPrototype().Recognizes(Alpha()));
}

TEST_F(RecognitionTest, ModelTooShortIsSkipped) {
  Write("short.3do", {0x34, 0x4F, 0x44});
  Write("real.3do", kVtrModel);
  EXPECT_EQ(Answers(Alpha()), "V--");
}

TEST_F(RecognitionTest, UnrecognisedDirectoryGetsTheDefaultGame) {
  Write("notes.txt", BytesOf("nothing here"));
  Write("car.3do", BytesOf("junk junk junk junk junk"));
  EXPECT_EQ(Answers(Alpha()), "---");
  Handle<FileFactory> factory = GameRegistry::Instance().FactoryFor(Alpha());
  EXPECT_NE(dynamic_cast<VTRFileFactory*>(factory.Get()), nullptr);
  EXPECT_EQ(factory->GetDatFile().Get(), nullptr);
}

TEST_F(RecognitionTest, RegistryClonesTheGameAndCachesByFullPath) {
  Write("ALPHA.DAT", BuildDatArchive({{"Car.3DO", MotaModel()}}));
  Handle<FileFactory> factory = GameRegistry::Instance().FactoryFor(Alpha());
  ASSERT_NE(dynamic_cast<MOTAFileFactory*>(factory.Get()), nullptr);
  EXPECT_EQ(factory->GetDirectory().FullPath(), Alpha().FullPath());
  ASSERT_NE(factory->GetDatFile().Get(), nullptr);
  EXPECT_EQ(factory->GetDatFile()->MemberCount(), 1u);

  // Asked again, nothing is tested again, even though the game changed.
  // (Windows keeps the archive from changing at all while the factory's
  // archive shares it for reading only.)
  if (testing_support::WindowsConventions()) {
    EXPECT_ANY_THROW(Write("ALPHA.DAT", BuildDatArchive({{"Car.3DO", kK5Model}})));
  } else {
    Write("ALPHA.DAT", BuildDatArchive({{"Car.3DO", kK5Model}}));
  }
  EXPECT_EQ(GameRegistry::Instance().FactoryFor(Alpha()).Get(), factory.Get());
}

// ---------------------------------------------------------------------------
// Opening tracks

class TrackOpeningTest : public RecognitionTest {
 protected:
  Handle<FileFactory> Factory() const { return Handle<FileFactory>(new MOTAFileFactory(Alpha())); }
};

TEST_F(TrackOpeningTest, LooseTrackWinsAndBothCopiesAreCachedApart) {
  Write("alpha.trk", MotaTrackBytes(5));
  Write("alpha.dat", BuildDatArchive({{"ALPHA.TRK", MotaTrackBytes(7)}}));
  Handle<FileFactory> factory = Factory();
  Handle<TrkFile> loose = factory->OpenTrack("", "", false);
  EXPECT_EQ(loose->SectionCount(), 5u);
  Handle<TrkFile> archived = factory->OpenTrack("", "", true);
  EXPECT_EQ(archived->SectionCount(), 7u);
  EXPECT_EQ(factory->OpenTrack("ALPHA", "TRK", false).Get(), loose.Get());
  EXPECT_EQ(factory->OpenTrackBase("alpha", "trk", true).Get(), archived.Get());
  EXPECT_EQ(dynamic_cast<GameFileFactory&>(*factory).CachedTrackCount(), 2u);
}

TEST_F(TrackOpeningTest, ArchivedTrackIsFoundWhenNoLooseOne) {
  Write("ALPHA.DAT", BuildDatArchive({{"car.3do", MotaModel()}, {"alpha.trk", MotaTrackBytes(6)}}));
  Handle<FileFactory> factory = Factory();
  Handle<TrkFile> track = factory->OpenTrack("", "", false);
  EXPECT_EQ(track->SectionCount(), 6u);
  // Cached as an archived track: asking for the archive only finds it too.
  EXPECT_EQ(factory->OpenTrack("", "", true).Get(), track.Get());
  // Flushed, it is read again from the shared member, from its first byte.
  factory->FlushTracks();
  Handle<TrkFile> again = factory->OpenTrack("", "", false);
  EXPECT_NE(again.Get(), track.Get());
  EXPECT_EQ(again->SectionCount(), 6u);
  EXPECT_EQ(track->SectionCount(), 6u);  // the held track lives on
}

TEST_F(TrackOpeningTest, EachGameReadsItsOwnTrackClass) {
  Write("alpha.trk", driver_test::VtrTrackBytes(4));
  const Directory alpha = Alpha();
  EXPECT_EQ(VTRFileFactory(alpha).OpenTrack("", "", false)->SectionCount(), 4u);
  // The MOTA and K5 games read the same file with the MOTA checks.
  const std::string vtr_as_mota = MessageOf<XAssumption>([&] { MOTAFileFactory(alpha).OpenTrack("", "", false); });
  EXPECT_NE(vtr_as_mota.find(": MOTA trk file"), std::string::npos) << vtr_as_mota;
  Write("alpha.trk", MotaTrackBytes(5));
  EXPECT_EQ(K5FileFactory(alpha).OpenTrack("", "", false)->SectionCount(), 5u);
}

TEST_F(TrackOpeningTest, UpperCaseLooseTrackIsFound) {
  Write("ALPHA.TRK", MotaTrackBytes(4));
  EXPECT_EQ(Factory()->OpenTrack("", "", false)->SectionCount(), 4u);
}

TEST_F(TrackOpeningTest, DirectoryPartOfTheNameIsDropped) {
  std::filesystem::create_directory(root_.path() / "alpha" / "sub");
  Write("sub/beta.trk", MotaTrackBytes(3));
  Write("beta.trk", MotaTrackBytes(4));
  EXPECT_EQ(Factory()->OpenTrack("sub\\beta", "", false)->SectionCount(), 4u);
  EXPECT_EQ(Factory()->OpenTrack("sub/beta", "", false)->SectionCount(), 4u);
}

TEST_F(TrackOpeningTest, MissingTrackNamesTheDirectoryAndGame) {
  const Directory alpha = Alpha();
  Write("alpha.dat", BuildDatArchive({{"other.trk", BytesOf("x")}}));
  EXPECT_EQ(MessageOf<XAssumption>([&] { VTRFileFactory(alpha).OpenTrack("", "", false); }),
            alpha.FullPath() + ": VTR subfile not found");
  EXPECT_EQ(MessageOf<XAssumption>([&] { MOTAFileFactory(alpha).OpenTrack("", "", false); }),
            alpha.FullPath() + ": MOTA subfile not found");
  EXPECT_EQ(MessageOf<XAssumption>([&] { K5FileFactory(alpha).OpenTrack("", "", false); }),
            alpha.FullPath() + ": K5/K6/KV subfile not found");
  // A loose file alone never satisfies an archive-only request.
  Write("alpha.trk", MotaTrackBytes(2));
  EXPECT_EQ(MessageOf<XAssumption>([&] { MOTAFileFactory(alpha).OpenTrack("", "", true); }),
            alpha.FullPath() + ": MOTA subfile not found");
}

TEST_F(TrackOpeningTest, BadTrackIsReportedAndNotCached) {
  std::vector<uint8_t> bytes = MotaTrackBytes(3);
  bytes[0] ^= 0xFF;
  Write("alpha.trk", bytes);
  Handle<FileFactory> factory = Factory();
  EXPECT_THROW(factory->OpenTrack("", "", false), XAssumption);
  EXPECT_EQ(dynamic_cast<GameFileFactory&>(*factory).CachedTrackCount(), 0u);
  Write("alpha.trk", MotaTrackBytes(3));
  EXPECT_EQ(factory->OpenTrack("", "", false)->SectionCount(), 3u);
}

TEST_F(TrackOpeningTest, CreateTrackMakesALooseFileNamedAfterTheDirectory) {
  Write("alpha.trk", MotaTrackBytes(3));
  Write("source.trk", MotaTrackBytes(4));
  Handle<FileFactory> factory = Factory();
  GameFileFactory& game = dynamic_cast<GameFileFactory&>(*factory);
  Handle<TrkFile> source = factory->OpenTrack("source", "", false);
  factory->OpenTrack("", "", false);
  ASSERT_EQ(game.CachedTrackCount(), 2u);

  EXPECT_THROW(factory->CreateTrack(source, false), XFileOpen);
  // The refused create still dropped the cached alpha.trk.
  EXPECT_EQ(game.CachedTrackCount(), 1u);

  Handle<TrkFile> created = factory->CreateTrack(source, true);
  EXPECT_EQ(factory->OpenTrack("", "", false).Get(), created.Get());
  created->Write();
  created = Handle<TrkFile>();
  factory->FlushTracks();
  EXPECT_EQ(factory->OpenTrack("", "", false)->SectionCount(), 4u);
}

TEST_F(TrackOpeningTest, EveryOtherFileKindIsRefused) {
  const std::vector<std::pair<void (FileFactory::*)(), const char*>> kinds = {
      {&FileFactory::Palettes1, "Palettes not supported"}, {&FileFactory::Palettes2, "Palettes not supported"},
      {&FileFactory::Palettes3, "Palettes not supported"}, {&FileFactory::Palettes4, "Palettes not supported"},
      {&FileFactory::Cam1, "CAM files not supported"},     {&FileFactory::Cam2, "CAM files not supported"},
      {&FileFactory::Lp1, "LP files not supported"},       {&FileFactory::Lp2, "LP files not supported"},
      {&FileFactory::Lp3, "LP files not supported"},       {&FileFactory::Mip1, "MIP files not supported"},
      {&FileFactory::Mip2, "MIP files not supported"},     {&FileFactory::Mip3, "MIP files not supported"},
      {&FileFactory::Pbf1, "PBF files not supported"},     {&FileFactory::Pbf2, "PBF files not supported"},
      {&FileFactory::Pcx1, "PCX files not supported"},     {&FileFactory::Pcx2, "PCX files not supported"},
      {&FileFactory::Rpy1, "RPY files not supported"},     {&FileFactory::Srb1, "SRB files not supported"},
      {&FileFactory::Srb2, "SRB files not supported"},     {&FileFactory::Srb3, "SRB files not supported"},
      {&FileFactory::Tdo1, "TDO files not supported"},     {&FileFactory::Tdo2, "TDO files not supported"},
      {&FileFactory::Tdo3, "TDO files not supported"}};
  const Directory alpha = Alpha();
  VTRFileFactory vtr(alpha);
  MOTAFileFactory mota(alpha);
  K5FileFactory k5(alpha);
  for (FileFactory* factory : std::vector<FileFactory*>{&vtr, &mota, &k5})
    for (const auto& [operation, message] : kinds)
      EXPECT_EQ(MessageOf<XAssumption>([&] { (factory->*operation)(); }), message);
}

}  // namespace
