#include "trackconv/track/xq_trk_reader.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "support/temp_dir.h"
#include "tools/lib/synthetic_track.h"
#include "trackconv/foundation/byte_order.h"
#include "trackconv/foundation/errors.h"
#include "trackconv/track/xq_trk_file.h"

namespace {

using testing_support::TempDir;

// The .xq file trackconv writes for a generated track, and that track.
struct Converted {
  Handle<TrkFile> source;
  std::vector<uint8_t> bytes;
};

Converted Convert(const TempDir& dir, const SyntheticTrackOptions& options) {
  Converted c;
  c.source = Handle<TrkFile>(new SyntheticTrack(options));
  {
    Handle<SubFile> out(new SubFile(dir / "made.xq", true, true));
    XQTrkFile(out, c.source).Write();
  }
  c.bytes = testing_support::ReadBytes(dir / "made.xq");
  return c;
}

Handle<TrkFile> Read(const TempDir& dir, const std::vector<uint8_t>& bytes) {
  testing_support::WriteBytes(dir / "t.xq", bytes);
  return Handle<TrkFile>(new XQTrkReader(Handle<SubFile>(new SubFile(dir / "t.xq", false, false))));
}

SyntheticTrackOptions Options(uint32_t seed) {
  SyntheticTrackOptions options;
  options.sections = 30;
  options.laterals = 4;
  options.surfaces = 3;
  options.walls = 2;
  options.seed = seed;
  options.surface_styles = ConvertibleSurfaceStyles();
  options.wall_kinds = {0, 1, 2, 5};
  return options;
}

// The plan read back from the file is the plan of the track it was made
// from: section starts, points along every lateral line, and the direction
// and size of every curve. XQ keeps points in whole track units, so a few
// millimetres stand between the two.
TEST(XQTrkReader, ReadsBackThePlanOfTheConvertedTrack) {
  TempDir dir;
  for (uint32_t seed : {1u, 7u, 19u}) {
    const Converted c = Convert(dir, Options(seed));
    const Handle<TrkFile> read = Read(dir, c.bytes);
    const TrkFile& s = *c.source;
    ASSERT_EQ(read->SectionCount(), s.SectionCount());
    ASSERT_EQ(read->LateralCount(), s.LateralCount());
    EXPECT_NEAR(read->TrackLength(), s.TrackLength(), 1e-3);
    for (uint32_t i = 0; i < s.SectionCount(); ++i) {
      EXPECT_EQ(read->IsCurve(i), s.IsCurve(i));
      if (s.IsCurve(i)) {
        EXPECT_NEAR(read->CurveAngle(i), s.CurveAngle(i), 0.05) << i;
      }
      for (double t : {0.0, 0.5, 0.9})
        for (uint32_t j = 0; j < s.LateralCount(); ++j) {
          const double l = s.SectionStart(i) + t * s.SectionLength(i);
          const Point3D a = read->PointAt(l, s.LateralOffset(j));
          const Point3D b = s.PointAt(l, s.LateralOffset(j));
          EXPECT_NEAR(std::hypot(a.x - b.x, a.y - b.y), 0.0, 0.05) << seed << " " << i << " " << t;
        }
    }
  }
}

// Surfaces come back with the kind their XQ type stands for, walls with
// theirs, each section holding as many as were written.
TEST(XQTrkReader, ReadsSurfacesAndWallsByType) {
  TempDir dir;
  const Converted c = Convert(dir, Options(3));
  const Handle<TrkFile> read = Read(dir, c.bytes);
  XQTrkReader& xq = static_cast<XQTrkReader&>(*read);
  for (uint32_t i = 0; i < read->SectionCount(); ++i) {
    const XQSection& s = xq.Sections()[i];
    EXPECT_EQ(read->SurfaceCount(i) + read->WallCount(i), s.surface_count);
    for (uint32_t k = 0; k < read->SurfaceCount(i); ++k) {
      const int kind = read->SurfaceKind(i, k);
      EXPECT_TRUE(kind == 0 || kind == 1 || kind == 2 || kind == 3);
      EXPECT_LE(read->SurfaceFromAtStart(i, k), read->SurfaceToAtStart(i, k));
    }
    for (uint32_t w = 0; w < read->WallCount(i); ++w) EXPECT_LE(read->WallKind(i, w), 2);
  }
}

// One test per check of the reader: each damaged copy is refused with its
// own message, naming the file.
TEST(XQTrkReader, RefusesDamagedFiles) {
  TempDir dir;
  const Converted c = Convert(dir, Options(5));
  const uint32_t laterals = 4;
  const std::size_t section0 = 24 + 4 * laterals;
  const std::size_t block = 232 + 8 * laterals;
  struct Case {
    const char* what;
    std::size_t offset;  // where a 32-bit value is stored, or SIZE_MAX to cut the file
    uint32_t value;
    const char* message;
  } cases[] = {
      {"tag", 0, 0x12345678u, ": XQ trk file id not XQ"},
      {"no sections", 16, 0, ": XQ trk file has no sections"},
      {"no laterals", 20, 0, ": XQ trk file has no laterals"},
      {"more sections than bytes", 16, 31, ": XQ trk file size mismatch"},
      {"laterals out of order", 24 + 4, 0x80000000u, ": XQ trk file laterals out of order"},
      {"section kind", section0, 3, ": XQ trk file unknown section type"},
      {"next link", section0 + 4, 5, ": XQ trk file section links error"},
      {"start distance", section0 + block + 28, 1, ": XQ trk file section start error"},
      {"length", section0 + 32, 0, ": XQ trk file section length error"},
      {"surface count", section0 + 68 + 8 * laterals, 11, ": XQ trk file has too many surfaces"},
      {"surface type", section0 + 72 + 8 * laterals, 3, ": XQ trk file unknown surface type"},
      {"short file", SIZE_MAX, 20, ": XQ trk file too short"},
  };
  for (const Case& k : cases) {
    std::vector<uint8_t> bytes = c.bytes;
    if (k.offset == SIZE_MAX) bytes.resize(k.value);
    else StoreU32(&bytes[k.offset], k.value);
    try {
      Read(dir, bytes);
      ADD_FAILURE() << k.what << " was accepted";
    } catch (const XAssumption& e) {
      EXPECT_EQ(std::string(e.what()), (dir / "t.xq") + k.message) << k.what;
    }
  }
}

// A curve's stored radius is what the writer made of it; with none there
// is no circle to draw.
TEST(XQTrkReader, RefusesACurveWithoutRadius) {
  TempDir dir;
  const Converted c = Convert(dir, Options(9));
  const Handle<TrkFile> source = c.source;
  uint32_t curve = 0;
  while (!source->IsCurve(curve)) ++curve;
  std::vector<uint8_t> bytes = c.bytes;
  StoreU32(&bytes[24 + 16 + curve * (232 + 32) + 60], 0);
  EXPECT_THROW(Read(dir, bytes), XAssumption);
}

}  // namespace
