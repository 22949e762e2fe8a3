#pragma once
// The nearest colour-map entry of a pixel as the quantizer weighs colours:
// squared differences of red, green and blue, plus nine times that of alpha.

#include <cstdint>

#include "pixmill/bitmap.h"

/// Every term of the sixteen distances, per channel and component value,
/// scaled by 16 and with the entry's index added once, so that the least
/// sum both is the least distance and names the first entry at that
/// distance. Every sum is an integer below 2^24, which single precision
/// holds exactly; the sixteen sums are added and compared side by side.
struct WeightedNearestTable {
  float terms[4][256][16];  ///< alpha, red, green, blue
};

/// Fills `table` for the entries of `map`.
void weightedNearestPrepare(WeightedNearestTable* table, const Colormap* map);
/// The index of the entry nearest to 0xAARRGGBB `colour`; the lowest index
/// among equally near entries.
int weightedNearestFind(const WeightedNearestTable* table, uint32_t colour);
