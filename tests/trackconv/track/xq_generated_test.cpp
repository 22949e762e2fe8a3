// Generated tracks converted to XQ and read back field by field: the file
// must describe the same track, whatever shape the generator makes.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <tuple>
#include <vector>

#include "support/temp_dir.h"
#include "tools/lib/synthetic_track.h"
#include "trackconv/foundation/byte_order.h"
#include "trackconv/foundation/errors.h"
#include "trackconv/track/xq_trk_file.h"

namespace {

struct Block {
  std::vector<uint32_t> record;  // the 17 words of the section record
  std::vector<int32_t> altitudes, grades;
  uint32_t count = 0;
  std::vector<std::tuple<uint32_t, uint32_t, int32_t, int32_t>> slots;  // all ten
};

struct Decoded {
  uint32_t tag = 0, words[3] = {0, 0, 0}, sections = 0, laterals = 0;
  std::vector<int32_t> lateral_table;
  std::vector<Block> blocks;
};

Decoded Decode(const std::vector<uint8_t>& bytes) {
  FieldReader in(bytes);
  Decoded d;
  d.tag = in.U32();
  for (uint32_t& w : d.words) w = in.U32();
  d.sections = in.U32();
  d.laterals = in.U32();
  for (uint32_t j = 0; j < d.laterals; ++j) d.lateral_table.push_back(in.I32());
  for (uint32_t i = 0; i < d.sections; ++i) {
    Block b;
    for (int w = 0; w < 17; ++w) b.record.push_back(in.U32());
    for (uint32_t j = 0; j < d.laterals; ++j) {
      b.altitudes.push_back(in.I32());
      b.grades.push_back(in.I32());
    }
    b.count = in.U32();
    for (int s = 0; s < 10; ++s) {
      const uint32_t type = in.U32();
      const uint32_t flags = in.U32();
      const int32_t from = in.I32();
      const int32_t to = in.I32();
      b.slots.emplace_back(type, flags, from, to);
    }
    d.blocks.push_back(b);
  }
  EXPECT_EQ(in.Offset(), bytes.size()) << "bytes after the last section";
  return d;
}

uint32_t SurfaceTypeOf(int kind, int variant) {
  static const uint32_t kTypes[6] = {6, 5, 2, 0, 2, 2};
  return kind == 0 && variant < 0 ? 5 : kTypes[kind];
}

enum Word { kKind, kNext, kPrevious, kStartX, kStartY, kEndX, kEndY, kDistance, kLength,
            kCentreX, kCentreY, kStartRadialY, kStartRadialX, kEndRadialY, kEndRadialX,
            kRadius, kReserved };

int32_t I(uint32_t word) { return static_cast<int32_t>(word); }

SyntheticTrackOptions Convertible(uint32_t sections, uint32_t laterals, uint32_t surfaces,
                                  uint32_t walls, uint32_t seed) {
  SyntheticTrackOptions o;
  o.sections = sections;
  o.laterals = laterals;
  o.surfaces = surfaces;
  o.walls = walls;
  o.seed = seed;
  o.surface_styles = MotaSurfaceStyles();
  o.wall_kinds = {0, 1, 2, 3, 4, 5};
  return o;
}

class XQGeneratedTest : public ::testing::TestWithParam<SyntheticTrackOptions> {
 protected:
  testing_support::TempDir dir_;
};

TEST_P(XQGeneratedTest, FileDescribesTheSourceTrack) {
  SyntheticTrack* track = new SyntheticTrack(GetParam());
  Handle<TrkFile> source(track);
  const std::string path = dir_ / "gen.xq";
  Handle<SubFile> output(new SubFile(path, true, true));
  {
    XQTrkFile xq(output, source);
    xq.Write();
  }
  output = Handle<SubFile>();

  const std::vector<uint8_t> bytes = testing_support::ReadBytes(path);
  const uint32_t s_count = static_cast<uint32_t>(track->sections.size());
  const uint32_t l_count = static_cast<uint32_t>(track->lateral_offsets.size());
  ASSERT_EQ(bytes.size(), 24u + 4 * l_count + s_count * (232 + 8 * l_count));
  const Decoded d = Decode(bytes);
  EXPECT_EQ(d.tag, 0x58510000u);
  EXPECT_EQ(d.words[0], 1u);
  EXPECT_EQ(d.words[1], 1u);
  EXPECT_EQ(d.words[2], 0u);
  EXPECT_EQ(d.sections, s_count);
  EXPECT_EQ(d.laterals, l_count);
  EXPECT_EQ(d.lateral_table, track->lateral_offsets);

  for (uint32_t i = 0; i < s_count; ++i) {
    SCOPED_TRACE("section " + std::to_string(i));
    const uint32_t next = (i + 1) % s_count;
    const uint32_t previous = (i + s_count - 1) % s_count;
    const SyntheticTrack::Section& src = track->sections[i];
    const std::vector<uint32_t>& r = d.blocks[i].record;
    const std::vector<uint32_t>& n = d.blocks[next].record;
    const std::vector<uint32_t>& p = d.blocks[previous].record;

    EXPECT_EQ(r[kKind], src.curve ? 2u : 1u);
    EXPECT_EQ(r[kNext], next);
    EXPECT_EQ(r[kPrevious], previous);
    EXPECT_EQ(r[kReserved], 0u);
    EXPECT_EQ(I(r[kDistance]), src.start);
    EXPECT_EQ(I(r[kLength]), src.length);
    EXPECT_EQ(r[kEndX], n[kStartX]);
    EXPECT_EQ(r[kEndY], n[kStartY]);
    if (src.curve) {
      EXPECT_EQ(I(r[kCentreX]), src.centre_x);
      EXPECT_EQ(I(r[kCentreY]), src.centre_y);
      EXPECT_EQ(I(r[kStartRadialY]), src.centre_y - I(r[kStartY]));
      EXPECT_EQ(I(r[kEndRadialX]), I(r[kEndX]) - src.centre_x);
      EXPECT_EQ(I(r[kRadius]) < 0, src.turn < 0);
      EXPECT_NE(I(r[kRadius]), 0);
    } else {
      EXPECT_EQ(r[kCentreX], 0u);
      EXPECT_EQ(r[kCentreY], 0u);
      EXPECT_EQ(r[kRadius], 0u);
      const bool after_curve = p[kKind] == 2;
      EXPECT_EQ(r[kStartRadialY], after_curve ? p[kEndRadialY] : 0u);
      EXPECT_EQ(r[kEndRadialY], after_curve ? p[kEndRadialY] : 0u);
      EXPECT_EQ(r[kStartRadialX], after_curve ? p[kEndRadialX] : 0u);
      EXPECT_EQ(r[kEndRadialX], after_curve ? p[kEndRadialX] : 0u);
    }

    for (uint32_t j = 0; j < l_count; ++j) {
      const SyntheticTrack::Line& line = track->lines[i][j];
      EXPECT_EQ(d.blocks[i].altitudes[j], track->lines[next][j].d);
      const int64_t slope = 3 * int64_t{line.a} + 2 * int64_t{line.b} + line.c;
      EXPECT_EQ(d.blocks[i].grades[j] > 0, slope > 0);
      EXPECT_LE(std::abs(d.blocks[i].grades[j]), 12858);
    }

    // Every strip and wall is there once, mapped, and the empty slots are zero.
    std::vector<std::tuple<uint32_t, uint32_t, int32_t, int32_t>> expected;
    for (const SyntheticTrack::Strip& strip : track->strips[i])
      expected.emplace_back(SurfaceTypeOf(strip.kind, strip.variant), 12, strip.from_start, strip.from_end);
    for (const SyntheticTrack::Wall& wall : track->walls[i]) {
      static const uint32_t kTypes[6] = {8, 7, 7, 8, 8, 7};
      static const uint32_t kFlags[6] = {12, 12, 14, 12, 12, 14};
      expected.emplace_back(kTypes[wall.kind], kFlags[wall.kind], wall.from_start, wall.from_end);
    }
    const Block& b = d.blocks[i];
    ASSERT_EQ(b.count, expected.size());
    std::vector<std::tuple<uint32_t, uint32_t, int32_t, int32_t>> stored(b.slots.begin(),
                                                                        b.slots.begin() + b.count);
    std::sort(expected.begin(), expected.end());
    std::sort(stored.begin(), stored.end());
    EXPECT_EQ(stored, expected);
    for (uint32_t s = b.count; s < 10; ++s) EXPECT_EQ(b.slots[s], std::make_tuple(0u, 0u, 0, 0));
  }
}

INSTANTIATE_TEST_SUITE_P(Shapes, XQGeneratedTest,
                         ::testing::Values(Convertible(1, 1, 0, 0, 3), Convertible(2, 3, 1, 1, 5),
                                           Convertible(12, 4, 3, 2, 7), Convertible(37, 16, 8, 2, 11),
                                           Convertible(60, 2, 5, 5, 13)));

TEST(XQGeneratedRefusalTest, KindsAndCountsTheFormatLacksAreRefused) {
  testing_support::TempDir dir;
  const std::string path = dir / "gen.xq";
  Handle<SubFile> output(new SubFile(path, true, true));
  auto refusal = [&](const SyntheticTrackOptions& options) -> std::string {
    Handle<TrkFile> source(new SyntheticTrack(options));
    try {
      XQTrkFile xq(output, source);
    } catch (const XAssumption& e) {
      return e.what();
    }
    return "";
  };
  SyntheticTrackOptions surface_six = Convertible(8, 2, 2, 0, 1);
  surface_six.surface_styles = {{6, 0}};
  EXPECT_EQ(refusal(surface_six), path + ": XQ trk unsupported surface type");
  SyntheticTrackOptions wall_six = Convertible(8, 2, 0, 2, 1);
  wall_six.wall_kinds = {1, 6};
  EXPECT_EQ(refusal(wall_six), path + ": XQ trk unsupported wall type");
  EXPECT_EQ(refusal(Convertible(8, 2, 8, 3, 1)), path + ": XQ trk file supports too few surfaces");
  EXPECT_EQ(refusal(Convertible(8, 2, 8, 2, 1)), "");
}

}  // namespace
