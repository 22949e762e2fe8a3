// Generated tracks converted to XQ and read back: the file must describe
// the same track, whatever shape the generator makes.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/temp_dir.h"
#include "tools/lib/synthetic_track.h"
#include "trackconv/foundation/byte_order.h"
#include "trackconv/foundation/errors.h"
#include "trackconv/track/mota_trk_file.h"
#include "trackconv/track/vtr_trk_file.h"
#include "trackconv/track/xq_trk_file.h"

namespace {

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
  {
    Handle<SubFile> output(new SubFile(path, true, true));
    XQTrkFile(output, source).Write();
  }
  const std::vector<uint8_t> bytes = testing_support::ReadBytes(path);
  const uint32_t s = static_cast<uint32_t>(track->sections.size());
  const uint32_t l = static_cast<uint32_t>(track->lateral_offsets.size());
  const uint32_t block = 232 + 8 * l;
  ASSERT_EQ(bytes.size(), 24 + 4 * l + s * block);
  EXPECT_EQ(LoadU32(&bytes[16]), s);
  EXPECT_EQ(LoadU32(&bytes[20]), l);
  for (uint32_t j = 0; j < l; ++j) EXPECT_EQ(LoadI32(&bytes[24 + 4 * j]), track->lateral_offsets[j]);

  auto word = [&](uint32_t i, uint32_t offset) { return LoadI32(&bytes[24 + 4 * l + i * block + offset]); };
  for (uint32_t i = 0; i < s; ++i) {
    SCOPED_TRACE("section " + std::to_string(i));
    const uint32_t next = (i + 1) % s;
    const SyntheticTrack::Section& src = track->sections[i];
    EXPECT_EQ(word(i, 0), src.curve ? 2 : 1);
    EXPECT_EQ(word(i, 4), static_cast<int32_t>(next));
    EXPECT_EQ(word(i, 8), static_cast<int32_t>((i + s - 1) % s));
    EXPECT_EQ(word(i, 20), word(next, 12));  // ends where the next begins
    EXPECT_EQ(word(i, 24), word(next, 16));
    EXPECT_EQ(word(i, 28), src.start);
    EXPECT_EQ(word(i, 32), src.length);
    EXPECT_EQ(word(i, 60) < 0, src.curve && src.turn < 0);
    for (uint32_t j = 0; j < l; ++j) EXPECT_EQ(word(i, 68 + 8 * j), track->lines[next][j].d);
    const uint32_t count = static_cast<uint32_t>(track->strips[i].size() + track->walls[i].size());
    EXPECT_EQ(word(i, 68 + 8 * l), static_cast<int32_t>(count));
    for (uint32_t slot = count; slot < 10; ++slot)
      for (uint32_t b = 0; b < 16; b += 4) EXPECT_EQ(word(i, 72 + 8 * l + 16 * slot + b), 0);
  }
}

// Names the case by its shape, e.g. S37_L16_Strips8_Walls2_Seed11.
std::string ShapeName(const ::testing::TestParamInfo<SyntheticTrackOptions>& info) {
  const SyntheticTrackOptions& o = info.param;
  return "S" + std::to_string(o.sections) + "_L" + std::to_string(o.laterals) + "_Strips" +
         std::to_string(o.surfaces) + "_Walls" + std::to_string(o.walls) + "_Seed" +
         std::to_string(o.seed);
}

INSTANTIATE_TEST_SUITE_P(Shapes, XQGeneratedTest,
                         ::testing::Values(Convertible(1, 1, 0, 0, 3), Convertible(2, 3, 1, 1, 5),
                                           Convertible(37, 16, 8, 2, 11), Convertible(60, 2, 5, 5, 13)),
                         ShapeName);

// The converter sees its source only through the track model, so a track
// stored in a game's format and read back converts to the very same bytes.
template <typename Format>
void ExpectReadBackConvertsAlike(SyntheticTrackOptions options) {
  testing_support::TempDir dir;
  Handle<TrkFile> generated(new SyntheticTrack(options));
  {
    Handle<SubFile> trk(new SubFile(dir / "gen.trk", true, true));
    Format(trk, generated).Write();
  }
  Handle<TrkFile> read_back(new Format(Handle<SubFile>(new SubFile(dir / "gen.trk", false, false))));
  // The format answers all lines of a section at once, as one by one.
  std::vector<LineAltitude> lines(options.laterals);
  for (uint32_t i = 0; i < options.sections; ++i) {
    read_back->LineAltitudes(i, lines.data());
    for (uint32_t j = 0; j < options.laterals; ++j) {
      EXPECT_EQ(std::vector<double>({lines[j].start, lines[j].linear, lines[j].quadratic, lines[j].cubic}),
                std::vector<double>({read_back->AltitudeStart(i, j), read_back->AltitudeLinear(i, j),
                                     read_back->AltitudeQuadratic(i, j), read_back->AltitudeCubic(i, j)}))
          << "section " << i << " line " << j;
    }
  }
  for (const auto& [name, source] : {std::make_pair("direct.xq", generated),
                                     std::make_pair("read_back.xq", read_back)}) {
    Handle<SubFile> output(new SubFile(dir / name, true, true));
    XQTrkFile(output, source).Write();
  }
  const std::vector<uint8_t> direct = testing_support::ReadBytes(dir / "direct.xq");
  const uint32_t s = options.sections, l = options.laterals;
  EXPECT_EQ(direct.size(), 24 + 4 * l + s * (232 + 8 * l));
  EXPECT_EQ(testing_support::ReadBytes(dir / "read_back.xq"), direct);
}

TEST(XQGeneratedReadBackTest, VTRTrackConvertsLikeItsSource) {
  SyntheticTrackOptions options = Convertible(24, 6, 4, 0, 17);
  options.surface_styles = {{0, 0}, {0, -4}, {1, 0}, {2, 0}, {3, 0}, {4, 0}, {5, 0}};
  ExpectReadBackConvertsAlike<VTRTrkFile>(options);
}

TEST(XQGeneratedReadBackTest, MOTATrackConvertsLikeItsSource) {
  SyntheticTrackOptions options = Convertible(24, 6, 4, 3, 19);
  options.thin_walls = true;
  // The MOTA file stores kinds 2 and 5 under the codes of 4 and 3, so only
  // kinds that survive the trip are used.
  options.surface_styles = {{0, 0}, {0, -8}, {1, 0}, {1, -22}, {3, 0}, {4, 0}, {4, -15}};
  ExpectReadBackConvertsAlike<MOTATrkFile>(options);
}

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
