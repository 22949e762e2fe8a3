// End-to-end runs of the real trackconv binary in game directories of each
// family: recognition, where the track comes from, archive faults, and what
// is left on disk after success and after failure.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "platform/path.h"
#include "support/interrupt_run.h"
#include "support/platform_conventions.h"
#include "support/run_trackconv.h"
#include "support/temp_dir.h"
#include "tools/lib/synthetic_dat.h"
#include "tools/lib/synthetic_game_files.h"
#include "tools/lib/synthetic_track.h"
#include "trackconv/foundation/byte_order.h"
#include "trackconv/track/mota_trk_file.h"
#include "trackconv/track/vtr_trk_file.h"
#include "trackconv/track/xq_trk_file.h"

namespace {

namespace fs = std::filesystem;
using testing_support::ListNames;
using testing_support::ReadBytes;
using testing_support::TempDir;
using testing_support::WriteBytes;
using trackgen::DatMember;
using Bytes = std::vector<uint8_t>;

enum class Format { kVtr, kMota };

SyntheticTrackOptions TrackOptions(Format format, uint32_t sections, uint32_t seed) {
  SyntheticTrackOptions options;
  options.sections = sections;
  options.laterals = 3;
  options.surfaces = 2;
  options.seed = seed;
  options.walls = 0;
  options.surface_styles = ConvertibleSurfaceStyles();
  if (format == Format::kMota) {
    options.walls = 1;
    options.surface_styles = MotaSurfaceStyles();
    options.wall_kinds = {0, 1, 2, 5};
    options.thin_walls = true;
  }
  return options;
}

Bytes TrackBytes(Format format, const SyntheticTrackOptions& options) {
  TempDir scratch;
  Handle<TrkFile> source(new SyntheticTrack(options));
  Handle<SubFile> file(new SubFile(scratch / "track.trk", true, true));
  if (format == Format::kVtr) {
    VTRTrkFile(file, source).Write();
  } else {
    MOTATrkFile(file, source).Write();
  }
  file = Handle<SubFile>();
  return ReadBytes(scratch / "track.trk");
}

Bytes TrackBytes(Format format, uint32_t sections = 12, uint32_t seed = 1) {
  return TrackBytes(format, TrackOptions(format, sections, seed));
}

// What the converter makes of `track` in this process, for comparison with
// the file the program writes.
Bytes ConvertedBytes(Format format, const Bytes& track) {
  TempDir scratch;
  WriteBytes(scratch / "in.trk", track);
  Handle<SubFile> in(new SubFile(scratch / "in.trk", false, false));
  Handle<TrkFile> source;
  if (format == Format::kVtr) {
    source = Handle<TrkFile>(new VTRTrkFile(in));
  } else {
    source = Handle<TrkFile>(new MOTATrkFile(in));
  }
  {
    Handle<SubFile> out(new SubFile(scratch / "out.xq", true, true));
    XQTrkFile(out, source).Write();
  }
  return ReadBytes(scratch / "out.xq");
}

/// A game directory inside a scratch root, named after its track.
class GameDirectory {
 public:
  explicit GameDirectory(const std::string& name = "alpha") : path_(root_.path() / name) {
    fs::create_directory(path_);
  }
  void Put(const std::string& file, const Bytes& bytes) const { WriteBytes(Path(file), bytes); }
  void PutArchive(const std::string& file, const std::vector<DatMember>& members) const {
    Put(file, trackgen::BuildDatArchive(members));
  }
  Bytes Read(const std::string& file) const { return ReadBytes(Path(file)); }
  std::vector<std::string> Names() const { return ListNames(path_); }
  /// The directory's full path as the program reports it.
  std::string FullPath() const { return path_.string(); }
  /// A file of the directory as the program names it in messages.
  std::string Path(const std::string& file) const { return FullPath() + platform::kSeparator + file; }

  /// Runs trackconv and expects it to write exactly `expected` as `output`
  /// and to leave nothing else behind.
  void ExpectConverts(const std::string& output, const Bytes& expected) const {
    std::vector<std::string> names = Names();
    if (std::find(names.begin(), names.end(), output) == names.end()) names.push_back(output);
    std::sort(names.begin(), names.end());
    const platform::ProcessResult result = testing_support::RunTrackconv(path_);
    EXPECT_EQ(result.exit_status, 0) << result.standard_error;
    EXPECT_EQ(result.standard_error, "");
    EXPECT_EQ(result.standard_output, "");
    EXPECT_EQ(Names(), names);
    if (fs::exists(path_ / output)) {
      EXPECT_TRUE(Read(output) == expected) << output << " differs";
    }
  }

  /// Runs trackconv and expects exactly `message` and an untouched directory.
  void ExpectFails(const std::string& message) const {
    const std::vector<std::string> names = Names();
    const platform::ProcessResult result = testing_support::RunTrackconv(path_);
    EXPECT_EQ(result.exit_status, 1);
    EXPECT_EQ(result.standard_error, message);
    EXPECT_EQ(result.standard_output, "");
    EXPECT_EQ(Names(), names);
  }

 private:
  TempDir root_;
  fs::path path_;
};

struct Filling {
  const char* label;
  std::function<void(const GameDirectory&)> fill;
};

TEST(ConversionEndToEnd, EachFamilyConvertsItsTrackLooseOrFromItsArchive) {
  const Bytes vtr = TrackBytes(Format::kVtr);
  const Bytes mota = TrackBytes(Format::kMota);
  struct Case {
    Filling setup;
    const char* directory;
    Format format;
  };
  const std::vector<Case> cases = {
      {{"VTR, loose", [&](const GameDirectory& d) {
          d.Put("alpha.trk", vtr);
          d.Put("car.3do", trackgen::VtrModelBytes());
        }}, "alpha", Format::kVtr},
      {{"VTR, archive", [&](const GameDirectory& d) {
          d.PutArchive("alpha.dat", {{"car.3do", trackgen::VtrModelBytes()}, {"alpha.trk", vtr}});
        }}, "alpha", Format::kVtr},
      {{"nobody recognises the directory: VTR", [&](const GameDirectory& d) {
          d.Put("alpha.trk", vtr);
          d.Put("notes.txt", trackgen::BytesOf("nothing decisive"));
        }}, "alpha", Format::kVtr},
      {{"MOTA, loose", [&](const GameDirectory& d) {
          d.Put("alpha.trk", mota);
          d.Put("car.3do", trackgen::MotaModelBytes());
        }}, "alpha", Format::kMota},
      {{"MOTA, archive only, upper-case names", [&](const GameDirectory& d) {
          d.PutArchive("BRAVO.DAT", {{"CAR.3DO", trackgen::MotaModelBytes()}, {"BRAVO.TRK", mota}});
        }}, "Bravo", Format::kMota},
      {{"K5, loose replay, upper-case names", [&](const GameDirectory& d) {
          d.Put("CHARLIE.TRK", mota);
          d.Put("LAP.RPL", trackgen::K5ReplayBytes());
        }}, "Charlie", Format::kMota},
      {{"K5, archive", [&](const GameDirectory& d) {
          d.PutArchive("alpha.dat", {{"alpha.trk", mota}, {"car.3do", trackgen::K5ModelBytes()}});
        }}, "alpha", Format::kMota},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.setup.label);
    GameDirectory directory(c.directory);
    c.setup.fill(directory);
    directory.ExpectConverts(std::string(c.directory) + ".xq",
                             ConvertedBytes(c.format, c.format == Format::kVtr ? vtr : mota));
  }
}

// Without a track the message tells which game the directory was taken for.
TEST(ConversionEndToEnd, MissingTrackNamesTheGameTheFirstDecisiveFileChose) {
  const char* const kVtrMissing = ": VTR subfile not found";
  const char* const kMotaMissing = ": MOTA subfile not found";
  const char* const kK5Missing = ": K5/K6/KV subfile not found";
  const Bytes tiny = {0x34, 0x4F};
  struct Case {
    Filling setup;
    const char* message;
  };
  const std::vector<Case> cases = {
      {{"empty directory", [](const GameDirectory&) {}}, kVtrMissing},
      {{"VTR model", [](const GameDirectory& d) { d.Put("car.3do", trackgen::VtrModelBytes()); }}, kVtrMissing},
      {{"VTR replay", [](const GameDirectory& d) { d.Put("lap.rpy", trackgen::VtrReplayBytes()); }}, kVtrMissing},
      {{"MOTA model", [](const GameDirectory& d) { d.Put("car.3do", trackgen::MotaModelBytes()); }}, kMotaMissing},
      {{"K5 model", [](const GameDirectory& d) { d.Put("CAR.3DO", trackgen::K5ModelBytes()); }}, kK5Missing},
      {{"K5 replay", [](const GameDirectory& d) { d.Put("lap.rpl", trackgen::K5ReplayBytes()); }}, kK5Missing},
      {{"first archived model decides, the second is not looked at", [](const GameDirectory& d) {
          d.PutArchive("alpha.dat", {{"a.3do", trackgen::K5ModelBytes()}, {"b.3do", trackgen::VtrModelBytes()}});
        }}, kK5Missing},
      {{"a model too short to test is skipped", [&](const GameDirectory& d) {
          d.PutArchive("alpha.dat", {{"a.3do", tiny}, {"b.3do", trackgen::K5ModelBytes()}});
        }}, kK5Missing},
      {{"an archived model settles it before the loose files", [](const GameDirectory& d) {
          d.PutArchive("alpha.dat", {{"car.3do", trackgen::MotaModelBytes()}});
          d.Put("lap.rpl", trackgen::K5ReplayBytes());
        }}, kMotaMissing},
      {{"an archive without models leaves it to the loose files", [](const GameDirectory& d) {
          d.PutArchive("alpha.dat", {{"readme.txt", trackgen::BytesOf("no model here")}});
          d.Put("lap.rpl", trackgen::K5ReplayBytes());
        }}, kK5Missing},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.setup.label);
    GameDirectory directory;
    c.setup.fill(directory);
    directory.ExpectFails(directory.FullPath() + c.message);
  }
}

TEST(ConversionEndToEnd, LooseTrackWinsOverTheArchiveMember) {
  GameDirectory directory;
  const Bytes loose = TrackBytes(Format::kVtr);
  directory.Put("alpha.trk", loose);
  // The member would not even read, so success shows it was never opened.
  directory.PutArchive("alpha.dat", {{"car.3do", trackgen::VtrModelBytes()},
                                     {"alpha.trk", trackgen::BytesOf("not a track")}});
  directory.ExpectConverts("alpha.xq", ConvertedBytes(Format::kVtr, loose));
}

TEST(ConversionEndToEnd, EveryArchiveFaultEndsWithItsMessage) {
  const Bytes archive = trackgen::BuildDatArchive(
      {{"car.3do", trackgen::VtrModelBytes()}, {"alpha.trk", TrackBytes(Format::kVtr, 4)}});
  const std::size_t second = trackgen::DatEntryOffset(1);
  struct Case {
    const char* label;
    std::function<void(Bytes&)> damage;
    std::string message;  // after the archive's path
  };
  const std::vector<Case> cases = {
      {"count 0", [](Bytes& b) { StoreU16(&b[0], 0); }, ": MOTA dat file subfile count error"},
      {"negative count", [](Bytes& b) { StoreU16(&b[0], 0x8002); }, ": MOTA dat file subfile count error"},
      {"member type 4", [](Bytes& b) { StoreU16(&b[2 + trackgen::kDatEntryType], 4); },
       ": MOTA dat file subfile type not 5"},
      {"second member type 4", [&](Bytes& b) { StoreU16(&b[second + trackgen::kDatEntryType], 4); },
       ": MOTA dat file subfile type not 5"},
      {"length copies differ", [&](Bytes& b) { StoreU32(&b[second + trackgen::kDatEntryLengthCopy], 1); },
       ": MOTA dat file subfile size mismatch"},
      {"name fills its field without a NUL",
       [&](Bytes& b) { std::fill_n(&b[second + trackgen::kDatEntryName], 13, 'x'); },
       ": MOTA dat file subfile name not terminated"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    GameDirectory directory;
    Bytes damaged = archive;
    c.damage(damaged);
    directory.Put("alpha.dat", damaged);
    directory.ExpectFails(directory.Path("alpha.dat") + c.message);
  }

  // The name in messages is the one the program asked for, not the one on disk.
  GameDirectory upper("Delta");
  Bytes damaged = archive;
  StoreU16(&damaged[0], 0);
  upper.Put("DELTA.DAT", damaged);
  upper.ExpectFails(upper.Path("Delta.dat") + ": MOTA dat file subfile count error");

  GameDirectory truncated;
  truncated.Put("alpha.dat", Bytes(archive.begin(), archive.begin() + second + 5));
  truncated.ExpectFails("Couldn't read file " + truncated.Path("alpha.dat"));

  // A member that reaches past the end of the archive fails when read.
  GameDirectory short_member;
  short_member.Put("alpha.dat", Bytes(archive.begin(), archive.end() - 1));
  short_member.ExpectFails("Couldn't read file alpha.trk");

  // Cut short the same way, a track with a bad field fails at that field
  // first, as reading it block by block would.
  const uint32_t sections = 6;
  Bytes mota = TrackBytes(Format::kMota, sections);
  const std::size_t first_section =
      68 + 4 * sections + 32 * 3 * sections + LoadU32(&mota[20]);  // header, offsets, lines, strips
  StoreU32(&mota[first_section], 9);
  Bytes cut = trackgen::BuildDatArchive({{"car.3do", trackgen::MotaModelBytes()}, {"alpha.trk", mota}});
  cut.pop_back();
  GameDirectory bad_field;
  bad_field.Put("alpha.dat", cut);
  bad_field.ExpectFails("alpha.trk: MOTA trk file unknown section type");
}

TEST(ConversionEndToEnd, WrongTrackFormatAndUnconvertibleTrackAreRefused) {
  // Nothing marks the directory as MOTA, so its track is read as VTR.
  GameDirectory unrecognised;
  unrecognised.Put("alpha.trk", TrackBytes(Format::kMota));
  unrecognised.ExpectFails(unrecognised.Path("alpha.trk") + ": VTR trk file version not 3000");

  // A track that reads but has more records per section than XQ can hold:
  // the message names the output, which is never created or replaced.
  SyntheticTrackOptions options = TrackOptions(Format::kMota, 6, 3);
  options.surfaces = 12;
  GameDirectory directory;
  directory.Put("alpha.trk", TrackBytes(Format::kMota, options));
  directory.Put("car.3do", trackgen::MotaModelBytes());
  const std::string refusal = "alpha.xq: XQ trk file supports too few surfaces";
  directory.ExpectFails(refusal);
  const Bytes older = trackgen::BytesOf("an older conversion");
  directory.Put("alpha.xq", older);
  directory.ExpectFails(refusal);
  EXPECT_EQ(directory.Read("alpha.xq"), older);
}

TEST(ConversionEndToEnd, EachRunReplacesTheOutputCompletely) {
  GameDirectory directory("Alpha");
  directory.Put("car.3do", trackgen::VtrModelBytes());
  const Bytes longer = TrackBytes(Format::kVtr, 30, 5);
  directory.Put("ALPHA.TRK", longer);
  directory.ExpectConverts("Alpha.xq", ConvertedBytes(Format::kVtr, longer));
  directory.ExpectConverts("Alpha.xq", ConvertedBytes(Format::kVtr, longer));

  const Bytes shorter = TrackBytes(Format::kVtr, 5, 6);
  directory.Put("ALPHA.TRK", shorter);
  directory.ExpectConverts("Alpha.xq", ConvertedBytes(Format::kVtr, shorter));
}

}  // namespace

// ---- Where the output goes, and tracks that lack walls, sections or lines ----

namespace output_cases {

// The same MOTA track without any wall records: every section keeps its
// strips, and its wall count becomes 0.
Bytes WithoutWalls(const Bytes& mota) {
  const uint32_t laterals = LoadU32(&mota[12]);
  const uint32_t sections = LoadU32(&mota[16]);
  const std::size_t records = 68 + 4 * sections + 32 * laterals * sections + LoadU32(&mota[20]);
  Bytes out(mota.begin(), mota.begin() + static_cast<std::ptrdiff_t>(records));
  std::size_t at = records;
  for (uint32_t i = 0; i < sections; ++i) {
    const uint32_t walls = LoadU32(&mota[at + 48]);
    out.insert(out.end(), mota.begin() + static_cast<std::ptrdiff_t>(at),
               mota.begin() + static_cast<std::ptrdiff_t>(at + 52));
    StoreU32(&out[out.size() - 4], 0);
    at += 52 + 20 * walls;
  }
  StoreU32(&out[24], 52 * sections);
  return out;
}

// A MOTA track of no sections: its header alone.
Bytes EmptyMota(uint32_t laterals) {
  Bytes header(68, 0);
  StoreU32(&header[0], 0x5452414B);
  StoreU32(&header[4], 1);
  StoreU32(&header[12], laterals);
  for (uint32_t j = 0; j < laterals; ++j) StoreU32(&header[28 + 4 * j], 1000 * j);
  return header;
}

}  // namespace output_cases

TEST(ConversionEndToEnd, AnOutputNameThatCannotTakeTheResultIsReportedBeforeTheConversion) {
  // The track reads, but one of its surfaces has no XQ type: the name
  // taken by a directory is still what the run reports.
  SyntheticTrackOptions options = TrackOptions(Format::kVtr, 6, 2);
  options.surface_styles = AllSurfaceStyles();
  GameDirectory directory;
  directory.Put("alpha.trk", TrackBytes(Format::kVtr, options));
  fs::create_directory(fs::path(directory.Path("alpha.xq")));
  directory.ExpectFails("Couldn't open file " + directory.Path("alpha.xq"));

  // Without the directory in the way the conversion's own refusal shows.
  fs::remove(fs::path(directory.Path("alpha.xq")));
  directory.ExpectFails("alpha.xq: XQ trk unsupported surface type");
}

// An output that is the track's own file, loose or its archive, under
// another name (a link) is refused as a name that cannot take the result;
// the track stays as it was.
TEST(ConversionEndToEnd, AnOutputThatIsTheTrackItselfIsRefused) {
  const Bytes vtr = TrackBytes(Format::kVtr);
  const Bytes archive = trackgen::BuildDatArchive({{"car.3do", trackgen::VtrModelBytes()}, {"alpha.trk", vtr}});
  for (const auto& [input, bytes] : {std::pair<std::string, Bytes>{"alpha.trk", vtr}, {"ALPHA.DAT", archive}}) {
    SCOPED_TRACE(input);
    GameDirectory directory;
    directory.Put(input, bytes);
    fs::create_hard_link(fs::path(directory.Path(input)), fs::path(directory.Path("alpha.xq")));
    directory.ExpectFails("Couldn't open file " + directory.Path("alpha.xq"));
    EXPECT_EQ(directory.Read(input), bytes);
  }
}

TEST(ConversionEndToEnd, AnOutputInAnotherLetterCaseIsReplacedNotDoubled) {
  const Bytes track = TrackBytes(Format::kVtr, 4, 8);
  GameDirectory directory("Alpha");
  directory.Put("alpha.trk", track);
  directory.Put("ALPHA.XQ", trackgen::BytesOf("an older conversion"));
  const platform::ProcessResult result = testing_support::RunTrackconv(fs::path(directory.FullPath()));
  EXPECT_EQ(result.exit_status, 0) << result.standard_error;
  const std::vector<std::string> names = directory.Names();
  ASSERT_EQ(names.size(), 2u);
  EXPECT_EQ(names[1], "alpha.trk");
  // Windows keeps whichever spelling its file system chooses; the bytes are
  // the new conversion either way.
  if (!testing_support::WindowsConventions()) {
    EXPECT_EQ(names[0], "ALPHA.XQ");
  }
  EXPECT_EQ(directory.Read(names[0]), ConvertedBytes(Format::kVtr, track));

  // A failed run leaves that output as it was, under its own name.
  SyntheticTrackOptions options = TrackOptions(Format::kVtr, 4, 8);
  options.surface_styles = AllSurfaceStyles();
  directory.Put("alpha.trk", TrackBytes(Format::kVtr, options));
  directory.ExpectFails("Alpha.xq: XQ trk unsupported surface type");
  EXPECT_EQ(directory.Read(names[0]), ConvertedBytes(Format::kVtr, track));
}

// The longest output name a track directory allows (its track file is one
// character longer) is written where paths may be that long.
TEST(ConversionEndToEnd, TheLongestOutputNameWorks) {
  if (testing_support::WindowsConventions()) GTEST_SKIP() << "paths stop at 260 characters";
  const std::string name(251, 'a');
  const Bytes track = TrackBytes(Format::kVtr, 4, 8);
  GameDirectory directory(name);
  directory.Put(name + ".trk", track);
  directory.ExpectConverts(name + ".xq", ConvertedBytes(Format::kVtr, track));
}

TEST(ConversionEndToEnd, MotaSectionsWithStripsButNoWallsConvert) {
  const Bytes track = output_cases::WithoutWalls(TrackBytes(Format::kMota, 5, 4));
  GameDirectory directory;
  directory.Put("alpha.trk", track);
  directory.Put("car.3do", trackgen::MotaModelBytes());
  directory.ExpectConverts("alpha.xq", ConvertedBytes(Format::kMota, track));
}

TEST(ConversionEndToEnd, TracksWithoutSectionsOrLateralLines) {
  // No sections: the XQ file is its header and lateral table.
  GameDirectory empty;
  empty.Put("alpha.trk", output_cases::EmptyMota(2));
  empty.Put("car.3do", trackgen::MotaModelBytes());
  Bytes expected(24 + 4 * 2, 0);
  StoreU32(&expected[0], 0x58510000);
  StoreU32(&expected[4], 1);
  StoreU32(&expected[8], 1);
  StoreU32(&expected[20], 2);
  StoreU32(&expected[28], 1000);
  empty.ExpectConverts("alpha.xq", expected);

  // Sections but no lateral line: nothing to place their points on.
  SyntheticTrackOptions options = TrackOptions(Format::kMota, 3, 5);
  options.laterals = 0;
  GameDirectory flat;
  flat.Put("alpha.trk", TrackBytes(Format::kMota, options));
  flat.Put("car.3do", trackgen::MotaModelBytes());
  flat.ExpectFails("alpha.xq: XQ trk file needs at least one lateral");
}

// Interrupted while it writes alpha.xq: the temporary goes, the old output
// stays, and the end is the interruption's.
class TrackconvInterrupted : public ::testing::TestWithParam<platform::Interruption> {};

TEST_P(TrackconvInterrupted, LeavesNoTemporaryAndTheOldOutput) {
  TempDir root;
  const fs::path alpha = root.path() / "alpha";
  fs::create_directory(alpha);
  // A long track keeps the temporary on disk long enough to be seen.
  SyntheticTrackOptions options = TrackOptions(Format::kVtr, 2000, 3);
  options.laterals = 16;
  WriteBytes((alpha / "alpha.trk").string(), TrackBytes(Format::kVtr, options));
  const Bytes old = {'o', 'l', 'd'};
  bool hit = false;
  // The run is short: a few tries may see it end before the signal lands.
  for (int attempt = 0; attempt < 30 && !hit; ++attempt) {
    WriteBytes((alpha / "alpha.xq").string(), old);
    testing_support::Sent sent;
    const platform::ProcessResult result =
        testing_support::InterruptWhenWriting(TRACKCONV_EXE, {}, alpha, alpha, GetParam(), sent);
    ASSERT_TRUE(result.started) << result.standard_error;
    if (sent == testing_support::Sent::kCannotSend) GTEST_SKIP() << testing_support::kCannotInterrupt;
    EXPECT_EQ(testing_support::TemporariesBelow(root.path()), std::vector<std::string>());
    if (result.exit_status == 0) continue;
    hit = true;
    EXPECT_EQ(result.signal, testing_support::SignalOf(GetParam())) << result.standard_error;
    EXPECT_EQ(ReadBytes((alpha / "alpha.xq").string()), old);
    EXPECT_EQ(ListNames(alpha), (std::vector<std::string>{"alpha.trk", "alpha.xq"}));
  }
  EXPECT_TRUE(hit) << "trackconv always ended before the interruption reached it";
}

INSTANTIATE_TEST_SUITE_P(Signals, TrackconvInterrupted, ::testing::ValuesIn(testing_support::Interruptions()),
                         testing_support::InterruptionName);
