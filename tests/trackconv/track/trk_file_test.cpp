#include "trackconv/track/trk_file.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>
#include <vector>
#include <string>

#include "tools/lib/synthetic_track.h"
#include "trackconv/foundation/errors.h"
#include "support/messages.h"

namespace {

using testing_support::MessageOf;

SyntheticTrack MakeTrack(uint32_t sections, uint32_t laterals, uint32_t seed = 3) {
  SyntheticTrackOptions options;
  options.sections = sections;
  options.laterals = laterals;
  options.seed = seed;
  return SyntheticTrack(options);
}

double Distance(const Point3D& p, const Point3D& q) {
  return std::sqrt((p.x - q.x) * (p.x - q.x) + (p.y - q.y) * (p.y - q.y) +
                   (p.z - q.z) * (p.z - q.z));
}

}  // namespace

TEST(TrkFileSectionAt, FindsTheSectionThatStartsAtOrBeforeTheLongitude) {
  SyntheticTrack track = MakeTrack(10, 2);
  for (uint32_t i = 0; i < track.SectionCount(); ++i) {
    const double start = track.SectionStart(i);
    EXPECT_EQ(track.SectionAt(start), i);
    if (i > 0) {
      EXPECT_EQ(track.SectionAt(std::nextafter(start, -1e9)), i - 1);
    }
  }
  EXPECT_EQ(track.SectionAt(std::nextafter(track.TrackLength(), 0.0)), 9u);
}

TEST(TrkFileSectionAt, FoldsOneLapAndRefusesMore) {
  SyntheticTrack track = MakeTrack(6, 2);
  EXPECT_EQ(track.SectionAt(track.TrackLength()), 0u);
  EXPECT_EQ(track.SectionAt(-1.0), 0u);
  const double middle = track.SectionStart(3) + track.SectionLength(3) / 2;
  EXPECT_EQ(track.SectionAt(track.TrackLength() + middle), 3u);
  EXPECT_EQ(MessageOf([&] { track.SectionAt(2 * track.TrackLength()); }),
            "TRK file longitude out of range");
  EXPECT_EQ(MessageOf([&] { track.SectionAt(std::nan("")); }),
            "TRK file longitude out of range");
  EXPECT_EQ(MessageOf([&] { track.PointAt(2 * track.TrackLength(), 0.0); }),
            "TRK file longitude out of range");
}

TEST(TrkFileSectionAt, RefusesTracksWithoutSectionsOrLaterals) {
  SyntheticTrack empty = MakeTrack(0, 2);
  EXPECT_EQ(MessageOf([&] { empty.SectionAt(0.0); }), "TRK file has no sections");
  SyntheticTrack flat = MakeTrack(4, 0);
  EXPECT_EQ(MessageOf([&] { flat.PointAt(0.0, 0.0); }), "TRK file has no lateral lines");
}

TEST(TrkFilePointAt, StartOfAStraightIsTheLineStartExactly) {
  SyntheticTrack track = MakeTrack(12, 4);
  bool seen = false;
  for (uint32_t i = 0; i < track.SectionCount(); ++i) {
    if (track.IsCurve(i)) continue;
    seen = true;
    for (uint32_t j = 0; j < track.LateralCount(); ++j) {
      const Point3D p = track.PointAt(track.SectionStart(i), track.LateralOffset(j));
      EXPECT_EQ(p.x, track.LineStartX(i, j));
      EXPECT_EQ(p.y, track.LineStartY(i, j));
      EXPECT_EQ(p.z, track.AltitudeStart(i, j));
    }
  }
  EXPECT_TRUE(seen);
}

TEST(TrkFilePointAt, ChoosesTheLowerLineAndBlendsAltitudeBetweenLines) {
  SyntheticTrack track = MakeTrack(4, 3);
  track.sections[0].curve = false;
  track.lateral_offsets = {LengthToUnits(-5.0), 0, LengthToUnits(5.0)};
  for (uint32_t j = 0; j < 3; ++j) {
    SyntheticTrack::Line& line = track.lines[0][j];
    line = SyntheticTrack::Line();
    line.d = LengthToUnits(10.0 * (j + 1));  // 10, 20, 30 m
    line.position1 = LengthToUnits(100.0 * j);
  }
  const double start = track.SectionStart(0);
  // On line 1 exactly: no blend even though line 2 lies above.
  Point3D p = track.PointAt(start, 0.0);
  EXPECT_EQ(p.x, track.LineStartX(0, 1));
  EXPECT_EQ(p.z, track.AltitudeStart(0, 1));
  // Half way to line 2: plan from line 1, altitude blended.
  p = track.PointAt(start, track.LateralOffset(2) / 2);
  EXPECT_NEAR(p.z, 25.0, 1e-3);
  // Beyond the outermost lines the altitude is that of the outermost line.
  EXPECT_EQ(track.PointAt(start, 50.0).z, track.AltitudeStart(0, 2));
  EXPECT_EQ(track.PointAt(start, -50.0).z, track.AltitudeStart(0, 0));
  // Below line 0 the plan position is extrapolated sideways from line 0.
  const double h = DegToRad(track.SectionHeading(0));
  const double u = -50.0 - track.LateralOffset(0);
  p = track.PointAt(start, -50.0);
  EXPECT_DOUBLE_EQ(p.x, track.LineStartX(0, 0) - std::sin(h) * u);
  EXPECT_DOUBLE_EQ(p.y, track.LineStartY(0, 0) + std::cos(h) * u);
}

// The generated geometry and PointAt's curve conventions must agree: each
// section ends where the next begins, on every lateral line, and the lap
// closes. A sign slip in either shows up as a jump of metres.
TEST(TrkFilePointAt, GeneratedTracksAreContinuousAcrossSectionsAndClose) {
  for (uint32_t seed : {1u, 2u, 3u, 4u}) {
    SyntheticTrack track = MakeTrack(24, 4, seed);
    const uint32_t n = track.SectionCount();
    bool left = false, right = false;
    for (uint32_t i = 0; i < n; ++i) {
      if (track.IsCurve(i)) {
        (track.CurveAngle(i) > 0 ? left : right) = true;
      }
      const double end = i + 1 < n ? track.SectionStart(i + 1) : track.TrackLength();
      const uint32_t next = i + 1 < n ? i + 1 : 0;
      for (uint32_t j = 0; j < track.LateralCount(); ++j) {
        const double lateral = track.LateralOffset(j);
        const Point3D before = track.PointAt(std::nextafter(end, 0.0), lateral);
        const Point3D after = track.PointAt(track.SectionStart(next), lateral);
        EXPECT_LT(Distance(before, after), 0.002) << "seed " << seed << " section " << i;
      }
    }
    EXPECT_TRUE(left && right) << "seed " << seed;
  }
}

TEST(TrkFileSectionWordName, NamesTheFourMarkerValuesOnly) {
  SyntheticTrack track = MakeTrack(2, 1);
  track.sections[0].curve = true;
  const std::pair<uint32_t, const char*> named[] = {{0x07070707u, "0x07070707"},
                                                     {0x08080808u, "0x08080808"},
                                                     {0x40000000u, "0x40000000"},
                                                     {0xCCCCCCCCu, "0xCCCCCCCC"}};
  for (const auto& [value, text] : named) {
    track.sections[0].words[1] = value;
    ASSERT_NE(track.SectionWordName(0, 1), nullptr);
    EXPECT_STREQ(track.SectionWordName(0, 1), text);
  }
  for (uint32_t value : {0u, 0x07070708u, 0x40000001u, 0xFFFFFFFFu}) {
    track.sections[0].words[1] = value;
    EXPECT_EQ(track.SectionWordName(0, 1), nullptr);
  }
}

// The finder must answer exactly as the linear search, also for starts out
// of order (a malformed track), equal starts and longitudes off the track.
TEST(SectionFinder, AnswersAsSectionAtEvenForStartsOutOfOrder) {
  SyntheticTrack track = MakeTrack(12, 2);
  track.sections[4].start = track.sections[2].start;                         // empty sections
  track.sections[7].start = track.sections[9].start + 5000;                  // out of order
  track.sections[10].start = std::numeric_limits<int32_t>::min();            // far behind
  const SectionFinder finder(track);
  auto answer = [](const std::function<uint32_t()>& find) {
    try {
      return std::to_string(find());
    } catch (const XAssumption& e) {
      return std::string(e.what());
    }
  };
  std::vector<double> longitudes = {-1.0, std::nan(""), track.TrackLength(), 2 * track.TrackLength(),
                                    std::nextafter(track.TrackLength(), 0.0)};
  for (uint32_t i = 0; i < track.SectionCount(); ++i) {
    const double start = track.SectionStart(i);
    for (double longitude : {start, std::nextafter(start, -1e9), std::nextafter(start, 1e9)})
      longitudes.push_back(longitude);
  }
  for (double longitude : longitudes) {
    SCOPED_TRACE(longitude);
    EXPECT_EQ(answer([&] { return finder.SectionAt(longitude); }),
              answer([&] { return track.SectionAt(longitude); }));
  }
  SyntheticTrack empty = MakeTrack(0, 2);
  EXPECT_EQ(MessageOf([&] { SectionFinder(empty).SectionAt(0.0); }), "TRK file has no sections");
}

// With a finder the lateral lines are compared from its copy of their
// offsets: every point must come out bit for bit as without it, on, between
// and beyond the lines, on straights and curves.
TEST(SectionFinder, PointsAreTheSameAsWithoutIt) {
  for (uint32_t laterals : {1u, 2u, 5u}) {
    SyntheticTrack track = MakeTrack(16, laterals, laterals);
    const SectionFinder finder(track);
    std::vector<double> offsets = {-1e3, 0.0, 1e3};
    for (uint32_t j = 0; j < laterals; ++j) {
      const double offset = track.LateralOffset(j);
      offsets.insert(offsets.end(), {offset, std::nextafter(offset, -1e9), offset + 0.37});
    }
    for (uint32_t i = 0; i < track.SectionCount(); ++i) {
      const double middle = track.SectionStart(i) + track.SectionLength(i) / 3;
      for (double longitude : {track.SectionStart(i), middle}) {
        for (double lateral : offsets) {
          const Point3D with = track.PointAt(longitude, lateral, finder);
          const Point3D without = track.PointAt(longitude, lateral);
          EXPECT_EQ(std::vector<double>({with.x, with.y, with.z}),
                    std::vector<double>({without.x, without.y, without.z}))
              << "section " << i << " lateral " << lateral;
        }
      }
    }
  }
}
