#include "tools/lib/synthetic_track.h"

#include <gtest/gtest.h>

#include <set>

TEST(SyntheticTrack, SameSeedSameTrackOtherSeedOtherTrack) {
  SyntheticTrackOptions options;
  options.seed = 7;
  SyntheticTrack a(options), b(options);
  options.seed = 8;
  SyntheticTrack c(options);
  EXPECT_EQ(a.track_length, b.track_length);
  EXPECT_EQ(a.lines[3][1].a, b.lines[3][1].a);
  EXPECT_NE(a.track_length, c.track_length);
}

TEST(SyntheticTrack, KeepsTheModelInvariants) {
  for (uint32_t sections : {1u, 2u, 3u, 7u, 40u}) {
    SyntheticTrackOptions options;
    options.sections = sections;
    options.laterals = 5;
    options.surfaces = 4;
    options.walls = 3;
    SyntheticTrack track(options);
    ASSERT_EQ(track.SectionCount(), sections);
    ASSERT_EQ(track.LateralCount(), 5u);
    for (uint32_t j = 1; j < 5; ++j) EXPECT_LT(track.lateral_offsets[j - 1], track.lateral_offsets[j]);
    int64_t start = 0;
    for (uint32_t i = 0; i < sections; ++i) {
      EXPECT_EQ(track.sections[i].start, start);
      EXPECT_GT(track.sections[i].length, 0);
      start += track.sections[i].length;
      const uint32_t next = (i + 1) % sections;
      for (uint32_t j = 0; j < 5; ++j) {
        const SyntheticTrack::Line& line = track.lines[i][j];
        EXPECT_EQ(line.a + line.b + line.c + line.d, track.lines[next][j].d);
      }
      ASSERT_EQ(track.SurfaceCount(i), 4u);
      ASSERT_EQ(track.WallCount(i), 3u);
      for (uint32_t k = 0; k + 1 < 4; ++k) {
        EXPECT_EQ(track.strips[i][k].to_start, track.strips[i][k + 1].from_start);
        EXPECT_LT(track.strips[i][k].from_start, track.strips[i][k].to_start);
      }
    }
    EXPECT_EQ(start, track.track_length);
    if (sections == 1) {
      EXPECT_EQ(track.CurveAngle(0), -360.0);
    }
  }
}

TEST(SyntheticTrack, UsesEveryStyleAndWallKind) {
  SyntheticTrackOptions options;
  options.sections = 4;
  options.surfaces = 3;
  SyntheticTrack track(options);
  std::set<std::pair<int, int>> styles;
  std::set<int> wall_kinds;
  for (uint32_t i = 0; i < 4; ++i) {
    for (uint32_t k = 0; k < 3; ++k) styles.insert({track.SurfaceKind(i, k), track.SurfaceVariant(i, k)});
    for (uint32_t w = 0; w < track.WallCount(i); ++w) wall_kinds.insert(track.WallKind(i, w));
  }
  EXPECT_EQ(styles.size(), AllSurfaceStyles().size());
  EXPECT_EQ(wall_kinds.size(), 7u);
}
