#include "trackconv/track/vtr_trk_file.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "support/bytes_through.h"
#include "support/platform_conventions.h"
#include "support/temp_dir.h"
#include "tools/lib/synthetic_track.h"
#include "trackconv/foundation/byte_order.h"
#include "trackconv/foundation/errors.h"
#include "support/messages.h"

namespace {

using testing_support::MessageOf;
using testing_support::ReadBytes;
using testing_support::TempDir;
using testing_support::WriteBytes;

SyntheticTrackOptions Options(uint32_t sections = 6, uint32_t laterals = 3, uint32_t surfaces = 3) {
  SyntheticTrackOptions options;
  options.sections = sections;
  options.laterals = laterals;
  options.surfaces = surfaces;
  return options;
}

Handle<SubFile> CreateFile(const TempDir& dir, const std::string& name) {
  return Handle<SubFile>(new SubFile(dir / name, true, true));
}

std::vector<uint8_t> WriteTrack(const Handle<TrkFile>& source) {
  TempDir dir;
  {
    VTRTrkFile built(CreateFile(dir, "built.trk"), source);
    built.Write();
  }
  return ReadBytes(dir / "built.trk");
}

std::vector<uint8_t> Generate(const SyntheticTrackOptions& options) {
  return WriteTrack(Handle<TrkFile>(new SyntheticTrack(options)));
}

// Reads bytes as the archive member "alpha.trk", the name every message
// carries.
Handle<TrkFile> ReadTrack(const std::vector<uint8_t>& bytes) {
  TempDir dir;
  WriteBytes(dir / "data.bin", bytes);
  Handle<SubFile> file(new SubFile(DiskFile::OpenForRead(dir / "data.bin"), "alpha.trk"));
  return Handle<TrkFile>(new VTRTrkFile(file));
}

std::string ReadError(const std::vector<uint8_t>& bytes) {
  try {
    ReadTrack(bytes);
  } catch (const XAssumption& e) {
    return e.what();
  } catch (const XFileRead& e) {
    return e.what();
  }
  return "accepted";
}

// Byte offsets of the blocks of a VTR file, from its own header.
struct Layout {
  explicit Layout(const std::vector<uint8_t>& bytes)
      : laterals(LoadU32(&bytes[12])),
        sections(LoadU32(&bytes[16])),
        surface_bytes(LoadU32(&bytes[20])),
        index(92),
        lines(index + 4 * sections),
        surfaces(lines + 32 * laterals * sections),
        records(surfaces + surface_bytes) {}
  uint32_t laterals, sections, surface_bytes;
  uint32_t index, lines, surfaces, records;
  uint32_t Line(uint32_t r, uint32_t word) const { return lines + 32 * r + 4 * word; }
  uint32_t Surface(uint32_t r, uint32_t word) const { return surfaces + 32 * r + 4 * word; }
  uint32_t Section(uint32_t i, uint32_t word) const { return records + 52 * i + 4 * word; }
};

void Put(std::vector<uint8_t>& bytes, uint32_t offset, uint32_t value) {
  StoreU32(&bytes[offset], value);
}
uint32_t Get(const std::vector<uint8_t>& bytes, uint32_t offset) { return LoadU32(&bytes[offset]); }

using Corruption = std::function<void(std::vector<uint8_t>&, const Layout&)>;

}  // namespace

TEST(VTRTrkFileReader, AcceptsWhatItWrites) {
  const std::vector<uint8_t> bytes = Generate(Options());
  EXPECT_EQ(ReadError(bytes), "accepted");
  const Layout layout(bytes);
  EXPECT_EQ(bytes.size(), layout.records + 52u * layout.sections);
  EXPECT_EQ(bytes[0], 0x4B);  // "TRAK" with T in the top byte
  EXPECT_EQ(bytes[3], 0x54);
}

TEST(VTRTrkFileReader, EachCheckNamesTheFileAndTheField) {
  const std::vector<uint8_t> valid = Generate(Options());
  const struct {
    const char* message;
    Corruption corrupt;
  } cases[] = {
      {": VTR trk file id not TRAK",
       [](auto& b, auto&) { b[0] = 'T', b[1] = 'R', b[2] = 'A', b[3] = 'K'; }},
      {": VTR trk file version not 3000", [](auto& b, auto&) { Put(b, 4, 3001); }},
      {": VTR trk file has no laterals", [](auto& b, auto&) { Put(b, 12, 0); }},
      {": VTR trk file has too many laterals", [](auto& b, auto&) { Put(b, 12, 17); }},
      {": VTR trk section length mismatch", [](auto& b, auto&) { Put(b, 24, Get(b, 24) + 52); }},
      {": VTR trk file size mismatch", [](auto& b, auto&) { b.push_back(0); }},
      {": VTR trk file size mismatch", [](auto& b, auto&) { Put(b, 12, 4); }},
      {": VTR trk file section header index error",
       [](auto& b, auto& l) { Put(b, l.index + 8, 105); }},
      {": VTR trk file altitude delta 4 error",
       [](auto& b, auto& l) { Put(b, l.Line(5, 4), 3 * Get(b, l.Line(5, 0)) + 3); }},
      {": VTR trk file altitude delta 5 error",
       [](auto& b, auto& l) { Put(b, l.Line(5, 5), 2 * Get(b, l.Line(5, 1)) + 2); }},
      {": VTR trk file seventh surface value not zero",
       [](auto& b, auto& l) { Put(b, l.Surface(2, 6), 1); }},
      {": VTR trk file eighth surface value not zero",
       [](auto& b, auto& l) { Put(b, l.Surface(2, 7), 1); }},
      {": VTR trk file last surface type not 10",
       [](auto& b, auto& l) { Put(b, l.records - 32 + 8, 0x80A); }},
      {": VTR trk file unknown section type", [](auto& b, auto& l) { Put(b, l.Section(1, 0), 3); }},
      {": VTR trk file unknown section type", [](auto& b, auto& l) { Put(b, l.Section(1, 0), 0); }},
      {": VTR trk file pieces index error",
       [](auto& b, auto& l) { Put(b, l.Section(1, 10), Get(b, l.Section(1, 10)) + 1); }},
      {": VTR trk file section start error",
       [](auto& b, auto& l) { Put(b, l.Section(2, 1), Get(b, l.Section(2, 1)) + 1); }},
      {": VTR trk file unknown proximity", [](auto& b, auto& l) { Put(b, l.Section(2, 4), 2); }},
      {": VTR trk file surface start error",
       [](auto& b, auto& l) { Put(b, l.Section(3, 12), Get(b, l.Section(3, 12)) + 1); }},
      {": VTR trk file section has no surface records",
       [](auto& b, auto& l) { Put(b, l.Section(l.sections - 1, 11), 0); }},
      {": VTR trk file total length error", [](auto& b, auto&) { Put(b, 8, Get(b, 8) + 1); }},
      {": VTR trk file total length error",
       [](auto& b, auto& l) { Put(b, l.Section(l.sections - 1, 2), Get(b, l.Section(l.sections - 1, 2)) - 1); }},
      {": VTR trk file total surface length error",
       [](auto& b, auto& l) { Put(b, l.Section(l.sections - 1, 11), Get(b, l.Section(l.sections - 1, 11)) + 1); }},
  };
  for (const auto& c : cases) {
    std::vector<uint8_t> bytes = valid;
    c.corrupt(bytes, Layout(valid));
    EXPECT_EQ(ReadError(bytes), std::string("alpha.trk") + c.message);
  }
}

TEST(VTRTrkFileReader, TheEarlierCheckWinsWhenTwoFieldsAreWrong) {
  const std::vector<uint8_t> valid = Generate(Options());
  const Layout l(valid);
  const struct {
    const char* message;
    Corruption corrupt;
  } cases[] = {
      {": VTR trk file id not TRAK", [](auto& b, auto&) { Put(b, 0, 0), Put(b, 4, 1); }},
      {": VTR trk section length mismatch", [](auto& b, auto&) { Put(b, 24, 1), b.push_back(0); }},
      {": VTR trk file size mismatch",
       [](auto& b, auto& l) { b.push_back(0), Put(b, l.index + 4, 0); }},
      {": VTR trk file section header index error",
       [](auto& b, auto& l) { Put(b, l.index + 4, 0), Put(b, l.Line(0, 4), 1000); }},
      {": VTR trk file altitude delta 5 error",
       [](auto& b, auto& l) { Put(b, l.Line(0, 5), 1001), Put(b, l.Line(1, 4), 1000); }},
      {": VTR trk file altitude delta 4 error",
       [](auto& b, auto& l) { Put(b, l.Line(0, 4), 1000), Put(b, l.Surface(0, 6), 1); }},
      {": VTR trk file seventh surface value not zero",
       [](auto& b, auto& l) { Put(b, l.Surface(0, 6), 1), Put(b, l.records - 24, 0); }},
      {": VTR trk file last surface type not 10",
       [](auto& b, auto& l) { Put(b, l.records - 24, 1), Put(b, l.Section(0, 0), 0); }},
      // Within a section: kind, line index, start, proximity, surface index.
      {": VTR trk file unknown section type",
       [](auto& b, auto& l) { Put(b, l.Section(1, 10), 0), Put(b, l.Section(1, 0), 9); }},
      {": VTR trk file pieces index error",
       [](auto& b, auto& l) { Put(b, l.Section(1, 1), 0), Put(b, l.Section(1, 10), 0); }},
      {": VTR trk file section start error",
       [](auto& b, auto& l) { Put(b, l.Section(1, 4), 7), Put(b, l.Section(1, 1), 0); }},
      {": VTR trk file unknown proximity",
       [](auto& b, auto& l) { Put(b, l.Section(1, 4), 7), Put(b, l.Section(1, 12), 0); }},
      // An earlier section's fault wins over a later section's.
      {": VTR trk file unknown proximity",
       [](auto& b, auto& l) { Put(b, l.Section(1, 4), 7), Put(b, l.Section(2, 0), 0); }},
      {": VTR trk file total length error",
       [](auto& b, auto& l) { Put(b, 8, 1), Put(b, l.Section(l.sections - 1, 11), 9); }},
  };
  for (const auto& c : cases) {
    std::vector<uint8_t> bytes = valid;
    c.corrupt(bytes, l);
    EXPECT_EQ(ReadError(bytes), std::string("alpha.trk") + c.message);
  }
}

TEST(VTRTrkFileReader, DerivativeWordsMayBeExactOrTruncatedQuotients) {
  const std::vector<uint8_t> valid = Generate(Options(4, 2));
  const Layout l(valid);
  auto with = [&](int32_t a, int32_t delta4) {
    std::vector<uint8_t> bytes = valid;
    Put(bytes, l.Line(3, 0), static_cast<uint32_t>(a));
    Put(bytes, l.Line(3, 4), static_cast<uint32_t>(delta4));
    return ReadError(bytes);
  };
  EXPECT_EQ(with(2, 7), "accepted");
  EXPECT_EQ(with(-2, -7), "accepted");
  EXPECT_EQ(with(3, 7), "alpha.trk: VTR trk file altitude delta 4 error");
  EXPECT_EQ(with(-3, -7), "alpha.trk: VTR trk file altitude delta 4 error");
  // A coefficient whose triple does not fit 32 bits is stored wrapped.
  EXPECT_EQ(with(0x40000000, static_cast<int32_t>(0xC0000000u)), "accepted");
  EXPECT_EQ(with(INT32_MIN, INT32_MIN), "accepted");
}

TEST(VTRTrkFileReader, SurfaceBlockEdgeCases) {
  const std::vector<uint8_t> valid = Generate(Options(4, 2));
  const Layout l(valid);
  // Spare bytes that make no whole record are read, then fail the total.
  std::vector<uint8_t> bytes = valid;
  bytes.insert(bytes.begin() + l.records, 8, 0);
  Put(bytes, 20, l.surface_bytes + 8);
  EXPECT_EQ(ReadError(bytes), "alpha.trk: VTR trk file total surface length error");
  // No surface records at all.
  bytes = valid;
  bytes.erase(bytes.begin() + l.surfaces, bytes.begin() + l.records);
  Put(bytes, 20, 0);
  EXPECT_EQ(ReadError(bytes), "alpha.trk: VTR trk file has no surface records");
  Put(bytes, 20, 16);
  bytes.insert(bytes.begin() + l.surfaces, 16, 0);
  EXPECT_EQ(ReadError(bytes), "alpha.trk: VTR trk file has no surface records");
}

TEST(VTRTrkFileReader, RejectsSectionCountsThatWrapIn32Bits) {
  // 52 * S and the total size both wrap to small values in 32-bit sums.
  std::vector<uint8_t> bytes = Generate(Options(2, 1));
  const uint32_t wrapping = 0x4EC4EC4Fu;  // 52 * this = 4 (mod 2^32)
  Put(bytes, 16, wrapping);
  Put(bytes, 24, 4);
  EXPECT_EQ(ReadError(bytes), "alpha.trk: VTR trk section length mismatch");
  Put(bytes, 24, static_cast<uint32_t>(52u * wrapping));
  EXPECT_EQ(ReadError(bytes), "alpha.trk: VTR trk section length mismatch");
}

TEST(VTRTrkFileReader, TruncatedFilesAreRefusedAtEveryBlockBoundary) {
  const std::vector<uint8_t> valid = Generate(Options(5, 3));
  const Layout l(valid);
  for (uint32_t cut : {0u, 4u, 91u}) {
    const std::vector<uint8_t> bytes(valid.begin(), valid.begin() + cut);
    EXPECT_EQ(ReadError(bytes), "Couldn't read file alpha.trk") << cut;
  }
  // Past the header the size check sees the loss before any block is read.
  for (uint32_t cut : {92u, l.lines, l.surfaces, l.records, l.records + 52,
                       static_cast<uint32_t>(valid.size() - 1)}) {
    const std::vector<uint8_t> bytes(valid.begin(), valid.begin() + cut);
    EXPECT_EQ(ReadError(bytes), "alpha.trk: VTR trk file size mismatch") << cut;
  }
}

// The generator keeps its values in track units, so a VTR file of it must
// answer every query the format carries exactly as the generator does.
TEST(VTRTrkFileRoundTrip, ReadBackAnswersLikeTheSource) {
  SyntheticTrackOptions options = Options(16, 5, 4);
  SyntheticTrack* generated = new SyntheticTrack(options);
  Handle<TrkFile> source(generated);
  Handle<TrkFile> read = ReadTrack(WriteTrack(source));
  const TrkFile& s = *source;
  const TrkFile& r = *read;
  ASSERT_EQ(r.TrackLength(), s.TrackLength());
  ASSERT_EQ(r.LateralCount(), s.LateralCount());
  for (uint32_t j = 0; j < s.LateralCount(); ++j) EXPECT_EQ(r.LateralOffset(j), s.LateralOffset(j));
  ASSERT_EQ(r.SectionCount(), s.SectionCount());
  for (uint32_t i = 0; i < s.SectionCount(); ++i) {
    SCOPED_TRACE(i);
    ASSERT_EQ(r.IsCurve(i), s.IsCurve(i));
    EXPECT_EQ(r.SectionProximity(i), s.SectionProximity(i));
    EXPECT_EQ(r.SectionStart(i), s.SectionStart(i));
    EXPECT_EQ(r.SectionLength(i), s.SectionLength(i));
    EXPECT_EQ(r.SectionHeading(i), s.SectionHeading(i));
    if (s.IsCurve(i)) {
      EXPECT_EQ(r.CurveCentreX(i), s.CurveCentreX(i));
      EXPECT_EQ(r.CurveCentreY(i), s.CurveCentreY(i));
      EXPECT_EQ(r.CurveAngle(i), s.CurveAngle(i));
    }
    EXPECT_EQ(r.SectionWordCount(i), s.SectionWordCount(i));
    for (uint32_t m = 0; m < 3; ++m) {
      EXPECT_EQ(r.SectionWord(i, m), s.SectionWord(i, m));
      EXPECT_EQ(r.SectionWordName(i, m), s.SectionWordName(i, m));
    }
    for (uint32_t j = 0; j < s.LateralCount(); ++j) {
      EXPECT_EQ(r.AltitudeStart(i, j), s.AltitudeStart(i, j));
      EXPECT_EQ(r.AltitudeLinear(i, j), s.AltitudeLinear(i, j));
      EXPECT_EQ(r.AltitudeQuadratic(i, j), s.AltitudeQuadratic(i, j));
      EXPECT_EQ(r.AltitudeCubic(i, j), s.AltitudeCubic(i, j));
      EXPECT_EQ(r.LineStartX(i, j), s.LineStartX(i, j));
      EXPECT_EQ(r.LineStartY(i, j), s.LineStartY(i, j));
      EXPECT_EQ(r.LineRadius(i, j), s.LineRadius(i, j));
      EXPECT_EQ(r.LineWordCount(i, j), 0u);
      EXPECT_EQ(r.LineWord(i, j, 0), 0u);
    }
    ASSERT_EQ(r.SurfaceCount(i), s.SurfaceCount(i));
    for (uint32_t k = 0; k < s.SurfaceCount(i); ++k) {
      EXPECT_EQ(r.SurfaceFromAtStart(i, k), s.SurfaceFromAtStart(i, k));
      EXPECT_EQ(r.SurfaceFromAtEnd(i, k), s.SurfaceFromAtEnd(i, k));
      EXPECT_EQ(r.SurfaceToAtStart(i, k), s.SurfaceToAtStart(i, k));
      EXPECT_EQ(r.SurfaceToAtEnd(i, k), s.SurfaceToAtEnd(i, k));
      EXPECT_EQ(r.SurfaceHeight(i, k), s.SurfaceHeight(i, k));
      EXPECT_FALSE(r.SurfaceIsWall(i, k));
      EXPECT_EQ(r.SurfaceKind(i, k), s.SurfaceKind(i, k));
      EXPECT_EQ(r.SurfaceVariant(i, k), s.SurfaceVariant(i, k));
      EXPECT_EQ(r.SurfaceWordCount(i, k), 2u);
      EXPECT_EQ(r.SurfaceWord(i, k, 0), 0u);
      EXPECT_EQ(r.SurfaceWord(i, k, 1), 0u);
      EXPECT_EQ(r.SurfaceWordName(i, k, 0), nullptr);
    }
    // Walls are not carried into VTR tracks that are built.
    EXPECT_EQ(r.WallCount(i), 0u);
  }
  for (double longitude : {0.0, s.TrackLength() / 3, s.TrackLength() * 0.77}) {
    const Point3D p = r.PointAt(longitude, 0.5);
    const Point3D q = s.PointAt(longitude, 0.5);
    EXPECT_EQ(p.x, q.x);
    EXPECT_EQ(p.y, q.y);
    EXPECT_EQ(p.z, q.z);
  }
}

TEST(VTRTrkFileRoundTrip, WritingWhatWasReadGivesTheSameBytes) {
  for (uint32_t seed : {1u, 2u, 3u}) {
    SyntheticTrackOptions options = Options(9, 16, 8);
    options.seed = seed;
    const std::vector<uint8_t> original = Generate(options);
    TempDir dir;
    WriteBytes(dir / "alpha.trk", original);
    Handle<SubFile> file(new SubFile(dir / "alpha.trk", false, false));
    Handle<TrkFile> read(new VTRTrkFile(file));
    // Blank the file behind the reader's back; Write must restore it all.
    // Windows lets nobody write a file that a reader shares for reading only.
    const std::vector<uint8_t> blank(original.size(), 0xEE);
    if (testing_support::WindowsConventions()) {
      EXPECT_ANY_THROW(WriteBytes(dir / "alpha.trk", blank));
    } else {
      WriteBytes(dir / "alpha.trk", blank);
    }
    read->Write();
    EXPECT_EQ(testing_support::BytesThrough(file), original) << seed;
    // Building a VTR track from the read one reproduces the file too.
    EXPECT_EQ(WriteTrack(read), original) << seed;
  }
}

TEST(VTRTrkFileBuilder, StraightsStoreTruncatedUnitVectors) {
  SyntheticTrack* generated = new SyntheticTrack(Options(4, 2));
  generated->sections[1].curve = false;
  generated->sections[1].heading = 0;
  generated->sections[2].curve = false;
  generated->sections[2].heading = 1 << 30;  // 90 degrees
  const std::vector<uint8_t> bytes = WriteTrack(Handle<TrkFile>(generated));
  const Layout l(bytes);
  EXPECT_EQ(Get(bytes, l.Section(1, 5)), 1073741824u);
  EXPECT_EQ(Get(bytes, l.Section(1, 6)), 0u);
  EXPECT_EQ(Get(bytes, l.Section(1, 7)), 0u);
  EXPECT_EQ(Get(bytes, l.Section(1, 8)), 1073741824u);
  EXPECT_EQ(Get(bytes, l.Section(2, 5)), 0u);
  EXPECT_EQ(Get(bytes, l.Section(2, 6)), 1073741824u);
  EXPECT_EQ(Get(bytes, l.Section(2, 7)), static_cast<uint32_t>(-1073741824));
  EXPECT_EQ(Get(bytes, l.Section(2, 8)), 0u);
}

TEST(VTRTrkFileBuilder, TakesLengthsFromStartsAndClosesAltitudes) {
  SyntheticTrack* generated = new SyntheticTrack(Options(5, 2));
  // A source whose lengths and linear terms disagree with its starts and
  // altitudes: the builder must not copy them.
  generated->sections[2].length += 1000;
  generated->lines[3][1].c += 77;
  Handle<TrkFile> source(generated);
  Handle<TrkFile> read = ReadTrack(WriteTrack(source));
  const SyntheticTrack fresh(Options(5, 2));
  EXPECT_EQ(read->SectionLength(2), LengthFromUnits(fresh.sections[2].length));
  EXPECT_EQ(read->AltitudeLinear(3, 1), LengthFromUnits(fresh.lines[3][1].c));
}

TEST(VTRTrkFileBuilder, LengthsThatWrapInTheStoredFieldsReadBack) {
  // The last length is stored wrapped, so the lengths only add up to the
  // track length in 32 bits, as the fields hold them.
  SyntheticTrack* generated = new SyntheticTrack(Options(2, 1));
  generated->sections[1].start = 2000000000;
  generated->track_length = -2000000000;
  Handle<TrkFile> source(generated);
  const std::vector<uint8_t> bytes = WriteTrack(source);
  const Layout l(bytes);
  EXPECT_EQ(Get(bytes, l.Section(1, 2)), 294967296u);
  ASSERT_EQ(ReadError(bytes), "accepted");
  EXPECT_EQ(WriteTrack(ReadTrack(bytes)), bytes);
}

TEST(VTRTrkFileBuilder, SingleSectionClosesOnItself) {
  SyntheticTrack* generated = new SyntheticTrack(Options(1, 2));
  Handle<TrkFile> source(generated);
  Handle<TrkFile> read = ReadTrack(WriteTrack(source));
  ASSERT_EQ(read->SectionCount(), 1u);
  EXPECT_EQ(read->SectionLength(0), read->TrackLength());
  EXPECT_EQ(read->CurveAngle(0), -360.0);
  for (uint32_t j = 0; j < 2; ++j) {
    EXPECT_EQ(LengthToUnits(read->AltitudeLinear(0, j)),
              -generated->lines[0][j].a - generated->lines[0][j].b);
  }
}

TEST(VTRTrkFileBuilder, LateralLimits) {
  EXPECT_NO_THROW(Generate(Options(3, 16)));
  EXPECT_EQ(MessageOf([] { Generate(Options(3, 17)); }), "VTR trk file supports too few laterals");
  EXPECT_EQ(MessageOf([] { Generate(Options(3, 0)); }), "VTR trk file needs at least one lateral");
  EXPECT_EQ(MessageOf([] { Generate(Options(0, 2)); }), "VTR trk file needs at least one section");
}

TEST(VTRTrkFileBuilder, SectionWithoutStripsGetsOnlyAClosingRecord) {
  SyntheticTrack* generated = new SyntheticTrack(Options(4, 2, 2));
  generated->strips[1].clear();
  const std::vector<uint8_t> bytes = WriteTrack(Handle<TrkFile>(generated));
  const Layout l(bytes);
  EXPECT_EQ(Get(bytes, l.Section(1, 11)), 1u);
  const uint32_t closing = Get(bytes, l.Section(1, 12));
  EXPECT_EQ(Get(bytes, l.Surface(closing, 0)), 0u);
  EXPECT_EQ(Get(bytes, l.Surface(closing, 2)), 10u);
  Handle<TrkFile> read = ReadTrack(bytes);
  EXPECT_EQ(read->SurfaceCount(1), 0u);
  EXPECT_EQ(read->WallCount(1), 0u);
  EXPECT_EQ(read->SurfaceCount(2), 2u);
}

TEST(VTRTrkFileBuilder, SurfaceStylesMapToTypeCodesThatReadBack) {
  SyntheticTrackOptions options = Options(2, 1, 8);
  options.surface_styles = {{0, 0}, {0, -3}, {0, -4}, {0, -9}, {1, -2}, {2, 0}, {3, 0}, {4, -1}};
  const std::vector<uint8_t> bytes = Generate(options);
  const Layout l(bytes);
  const uint32_t expected[] = {1, 1, 2, 2, 3, 7, 4, 6};
  for (uint32_t k = 0; k < 8; ++k) EXPECT_EQ(Get(bytes, l.Surface(k, 2)), expected[k]) << k;
  // Kinds 5 and 6 keep codes that read back as themselves, never the
  // closing code 10.
  options.surface_styles = {{5, 0}, {6, 0}};
  options.surfaces = 2;
  Handle<TrkFile> read = ReadTrack(Generate(options));
  EXPECT_EQ(read->SurfaceKind(0, 0), 5);
  EXPECT_EQ(read->SurfaceKind(0, 1), 6);
  options.surface_styles = {{7, 0}};
  EXPECT_EQ(MessageOf([&] { Generate(options); }), "VTR trk unsupported surface type");
}

TEST(VTRTrkFileQueries, SurfaceTypeTable) {
  const std::vector<uint8_t> valid = Generate(Options(2, 1, 2));
  const Layout l(valid);
  const struct {
    uint32_t code;
    int kind, variant;
  } known[] = {{1, 0, 0}, {2, 0, -4}, {3, 1, 0}, {4, 3, 0}, {5, 5, 0}, {6, 4, 0}, {7, 2, 0}, {9, 6, 0}};
  for (const auto& entry : known) {
    std::vector<uint8_t> bytes = valid;
    Put(bytes, l.Surface(0, 2), entry.code);
    Handle<TrkFile> read = ReadTrack(bytes);
    EXPECT_EQ(read->SurfaceKind(0, 0), entry.kind) << entry.code;
    EXPECT_EQ(read->SurfaceVariant(0, 0), entry.variant) << entry.code;
  }
  for (uint32_t code : {0u, 8u, 10u, 11u, 0x7FFu}) {
    std::vector<uint8_t> bytes = valid;
    Put(bytes, l.Surface(0, 2), code);
    Handle<TrkFile> read = ReadTrack(bytes);
    EXPECT_EQ(MessageOf([&] { read->SurfaceKind(0, 0); }), "VTR trk file unknown surface") << code;
    EXPECT_EQ(MessageOf([&] { read->SurfaceVariant(0, 0); }), "VTR trk file unknown surface") << code;
  }
}

TEST(VTRTrkFileQueries, WallRecordsAreFoundByTheirFlag) {
  std::vector<uint8_t> bytes = Generate(Options(3, 2, 5));
  const Layout l(bytes);
  // Section 1's records are 6..11 (five strips and the closing record).
  const uint32_t first = Get(bytes, l.Section(1, 12));
  ASSERT_EQ(first, 6u);
  Put(bytes, l.Surface(first + 1, 2), 0x800 | 4);
  Put(bytes, l.Surface(first + 1, 3), 0x1111);
  Put(bytes, l.Surface(first + 1, 4), 19685);
  Put(bytes, l.Surface(first + 1, 5), 0x2222);
  Put(bytes, l.Surface(first + 3, 2), 0x800 | 11);
  Handle<TrkFile> read = ReadTrack(bytes);
  EXPECT_EQ(read->SurfaceCount(1), 5u);
  EXPECT_EQ(read->WallCount(0), 0u);
  EXPECT_EQ(read->WallCount(1), 2u);
  EXPECT_TRUE(read->SurfaceIsWall(1, 1));
  EXPECT_EQ(read->SurfaceHeight(1, 1), 0.0);
  EXPECT_EQ(read->SurfaceWordCount(1, 1), 0u);
  EXPECT_EQ(read->SurfaceKind(1, 1), 0);
  EXPECT_EQ(read->SurfaceVariant(1, 1), 0);
  EXPECT_EQ(read->WallFromAtStart(1, 0), read->SurfaceFromAtStart(1, 1));
  EXPECT_EQ(read->WallToAtEnd(1, 0), read->SurfaceFromAtEnd(1, 2));
  EXPECT_EQ(read->WallHeight(1, 0), LengthFromUnits(19685));
  EXPECT_EQ(read->WallKind(1, 0), 3);
  EXPECT_EQ(read->WallWordCount(1, 0), 3u);
  EXPECT_EQ(read->WallWord(1, 0, 0), 0x1111u);
  EXPECT_EQ(read->WallWord(1, 0, 1), 0x2222u);
  EXPECT_EQ(read->WallWord(1, 0, 2), 4u);
  EXPECT_EQ(read->WallFromAtStart(1, 1), read->SurfaceFromAtStart(1, 3));
  EXPECT_EQ(read->WallKind(1, 1), 2);
  EXPECT_EQ(read->WallWord(1, 1, 2), 11u);
  // The closing record does not count, even when flagged.
  std::vector<uint8_t> flagged = bytes;
  Put(flagged, l.Surface(first + 5, 2), 0x800 | 10);
  EXPECT_EQ(ReadTrack(flagged)->WallCount(1), 2u);
  // A wall index beyond the count is refused rather than scanned past.
  EXPECT_EQ(MessageOf([&] { read->WallHeight(1, 2); }), "VTR trk file wall index out of range");
}

TEST(VTRTrkFileQueries, WallKindTable) {
  std::vector<uint8_t> bytes = Generate(Options(2, 1, 2));
  const Layout l(bytes);
  const int kinds[] = {6, 0, 0, 6, 3, 2, 4, 6, 6, 6, 2, 2, 6};
  for (uint32_t code = 0; code <= 12; ++code) {
    Put(bytes, l.Surface(0, 2), 0x800 | code);
    EXPECT_EQ(ReadTrack(bytes)->WallKind(0, 0), kinds[code]) << code;
  }
  Put(bytes, l.Surface(0, 2), 0x800 | 0x7FF);
  EXPECT_EQ(ReadTrack(bytes)->WallKind(0, 0), 6);
}
