#include "trackconv/track/track_units.h"

#include <cmath>

int32_t RoundHalfAway(double x) {
  double whole;
  if (x > 0) {
    whole = std::trunc(x + 0.5);
  } else if (x < 0) {
    whole = std::trunc(x - 0.5);
  } else {
    return 0;  // also NaN, which compares false both ways
  }
  if (!std::isfinite(whole)) return 0;
  // Inside the 64-bit range the cast is exact; beyond it the remainder by
  // 2^32 (computed exactly by fmod) gives the same low 32 bits without the
  // undefined conversion.
  const double two63 = 9223372036854775808.0;
  if (whole >= -two63 && whole < two63) {
    return static_cast<int32_t>(static_cast<uint32_t>(static_cast<int64_t>(whole)));
  }
  double low = std::fmod(whole, 4294967296.0);
  if (low < 0) low += 4294967296.0;
  return static_cast<int32_t>(static_cast<uint32_t>(low));
}

int32_t LengthToUnits(double d) { return RoundHalfAway(d * 0.621371192237334 * 31680.0); }

int32_t HeadingToUnits(double d) {
  return RoundHalfAway(d * 0.002777777777777778 * 4294967296.0);
}

int32_t TurnToUnits(double d) {
  return RoundHalfAway(d * 0.001388888888888889 * 4294967296.0);
}
