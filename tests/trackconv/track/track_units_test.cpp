#include "trackconv/track/track_units.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>

TEST(TrackUnits, PiIsTheArcCosineOfMinusOne) { EXPECT_EQ(Pi, std::acos(-1.0)); }

TEST(TrackUnits, RoundHalfAwayRoundsTiesAwayFromZeroAndWrapsTo32Bits) {
  EXPECT_EQ(RoundHalfAway(2.5), 3);
  EXPECT_EQ(RoundHalfAway(-2.5), -3);
  EXPECT_EQ(RoundHalfAway(0.5), 1);
  EXPECT_EQ(RoundHalfAway(-0.5), -1);
  EXPECT_EQ(RoundHalfAway(2.4999), 2);
  EXPECT_EQ(RoundHalfAway(-2.4999), -2);
  EXPECT_EQ(RoundHalfAway(0.0), 0);
  EXPECT_EQ(RoundHalfAway(-0.0), 0);
  // The 64-bit truncation keeps only the low 32 bits.
  EXPECT_EQ(RoundHalfAway(2147483648.0), INT32_MIN);
  EXPECT_EQ(RoundHalfAway(4294967296.0 + 7.0), 7);
  EXPECT_EQ(RoundHalfAway(-4294967296.0 - 7.0), -7);
}

TEST(TrackUnits, RoundHalfAwayAnswersValuesBeyondAnyIntegerWithoutOverflow) {
  // 2^70 + 2^40 is a multiple of 2^32, so its low 32 bits are 0.
  EXPECT_EQ(RoundHalfAway(std::ldexp(1.0, 70) + std::ldexp(1.0, 40)), 0);
  // 2^64 + 2^31 · 3 would need 66 bits; its low word is 2^31 · 3 mod 2^32.
  EXPECT_EQ(RoundHalfAway(std::ldexp(1.0, 64) + 3.0 * 2147483648.0), INT32_MIN);
  EXPECT_EQ(RoundHalfAway(std::numeric_limits<double>::infinity()), 0);
  EXPECT_EQ(RoundHalfAway(-std::numeric_limits<double>::infinity()), 0);
  EXPECT_EQ(RoundHalfAway(std::numeric_limits<double>::quiet_NaN()), 0);
  EXPECT_EQ(RoundHalfAway(std::numeric_limits<double>::max()), 0);
}

TEST(TrackUnits, LengthsSurviveTheRoundTripAcrossTheWhole32BitRange) {
  // A dense sweep around the interesting places plus a coarse stride over
  // everything; tools/sweep_length_units checks every value.
  auto check = [](int64_t v) {
    const int32_t units = static_cast<int32_t>(v);
    ASSERT_EQ(LengthToUnits(LengthFromUnits(units)), units) << v;
  };
  for (int64_t v = -100000; v <= 100000; ++v) check(v);
  for (int64_t v = INT32_MIN; v < INT32_MIN + 100000; ++v) check(v);
  for (int64_t v = INT32_MAX - 100000; v <= INT32_MAX; ++v) check(v);
  for (int64_t v = INT32_MIN; v <= INT32_MAX; v += 4099) check(v);
}

TEST(TrackUnits, LengthsUseOneTrackUnitOfAFiveHundredthInch) {
  EXPECT_DOUBLE_EQ(LengthFromUnits(500), 0.0254);
  EXPECT_EQ(LengthToUnits(0.0254), 500);
  EXPECT_EQ(LengthToUnits(-1.0), -19685);
  EXPECT_EQ(LengthToUnits(1.0), 19685);
}

TEST(TrackUnits, HeadingsCoverOneCircleAndWrapAtHalfATurn) {
  EXPECT_EQ(HeadingToUnits(180.0), INT32_MIN);
  EXPECT_EQ(HeadingFromUnits(INT32_MIN), -180.0);
  EXPECT_EQ(HeadingToUnits(-180.0), INT32_MIN);
  EXPECT_EQ(HeadingToUnits(90.0), 1 << 30);
  EXPECT_EQ(HeadingFromUnits(1 << 30), 90.0);
  EXPECT_EQ(HeadingToUnits(-90.0), -(1 << 30));
  for (int32_t v : {INT32_MIN, INT32_MIN + 1, -1, 0, 1, 123456789, INT32_MAX}) {
    EXPECT_EQ(HeadingToUnits(HeadingFromUnits(v)), v) << v;
  }
}

TEST(TrackUnits, TurnsCoverTwoCircles) {
  EXPECT_EQ(TurnToUnits(180.0), 1 << 30);
  EXPECT_EQ(TurnFromUnits(1 << 30), 180.0);
  EXPECT_EQ(TurnToUnits(-360.0), INT32_MIN);
  EXPECT_EQ(TurnToUnits(360.0), INT32_MIN);
  EXPECT_EQ(TurnFromUnits(INT32_MIN), -360.0);
  for (int32_t v : {INT32_MIN, -7, 0, 7, 987654321, INT32_MAX}) {
    EXPECT_EQ(TurnToUnits(TurnFromUnits(v)), v) << v;
  }
}

TEST(TrackUnits, AnglesConvertBetweenDegreesAndRadians) {
  EXPECT_EQ(DegToRad(180.0), Pi * 180.0 * 0.005555555555555556);
  EXPECT_DOUBLE_EQ(DegToRad(90.0), Pi / 2);
  EXPECT_DOUBLE_EQ(RadToDeg(Pi / 2), 90.0);
  EXPECT_EQ(RadToDeg(Pi), 180.0);
}
