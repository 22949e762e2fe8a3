// sweep_length_units: checks that every 32-bit length survives the trip to
// metres and back, which the unit tests only sample. Prints the first value
// that does not and exits 1, or prints the count checked and exits 0.

#include <cinttypes>
#include <cstdint>
#include <cstdio>

#include "trackconv/track/track_units.h"

int main() {
  uint64_t checked = 0;
  for (int64_t v = INT32_MIN; v <= INT32_MAX; ++v) {
    const int32_t units = static_cast<int32_t>(v);
    if (LengthToUnits(LengthFromUnits(units)) != units) {
      std::printf("length %" PRId32 " does not survive the round trip\n", units);
      return 1;
    }
    ++checked;
  }
  std::printf("%" PRIu64 " lengths survive the round trip\n", checked);
  return 0;
}
