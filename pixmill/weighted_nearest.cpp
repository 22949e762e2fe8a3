// Kept apart from its callers: the searches are loops over the sixteen
// entries that the compiler turns into vector code as long as they are not
// unrolled into a caller's loop first.

#include "pixmill/weighted_nearest.h"

namespace {

constexpr int kEntries = 16;
constexpr int32_t kAlphaWeight = 9;
constexpr int32_t kIndexScale = 16;

}  // namespace

void weightedNearestPrepare(WeightedNearestTable* table, const Colormap* map) {
  int32_t components[4][kEntries];
  for (int i = 0; i < kEntries; ++i) {
    const uint32_t entry = map->entries[i];
    components[0][i] = static_cast<int32_t>(entry >> 24);
    components[1][i] = static_cast<int32_t>((entry >> 16) & 0xFF);
    components[2][i] = static_cast<int32_t>((entry >> 8) & 0xFF);
    components[3][i] = static_cast<int32_t>(entry & 0xFF);
  }
  for (int channel = 0; channel < 4; ++channel) {
    const int32_t weight = (channel == 0 ? kAlphaWeight : 1) * kIndexScale;
    // The alpha terms carry the index.
    int32_t indexes[kEntries];
    for (int i = 0; i < kEntries; ++i) indexes[i] = channel == 0 ? i : 0;
    for (int32_t value = 0; value < 256; ++value) {
      float* terms = table->terms[channel][value];
      for (int i = 0; i < kEntries; ++i) {
        const int32_t difference = value - components[channel][i];
        terms[i] = static_cast<float>(weight * difference * difference + indexes[i]);
      }
    }
  }
}

int weightedNearestFind(const WeightedNearestTable* table, uint32_t colour) {
  const float* alpha = table->terms[0][colour >> 24];
  const float* red = table->terms[1][(colour >> 16) & 0xFF];
  const float* green = table->terms[2][(colour >> 8) & 0xFF];
  const float* blue = table->terms[3][colour & 0xFF];
  float keys[kEntries];
  for (int i = 0; i < kEntries; ++i) keys[i] = (alpha[i] + red[i]) + (green[i] + blue[i]);
  // The least of four lanes, then of the four.
  float least[4];
  for (int j = 0; j < 4; ++j) {
    const float first = keys[j + 4] < keys[j] ? keys[j + 4] : keys[j];
    const float second = keys[j + 12] < keys[j + 8] ? keys[j + 12] : keys[j + 8];
    least[j] = second < first ? second : first;
  }
  const float first = least[1] < least[0] ? least[1] : least[0];
  const float second = least[3] < least[2] ? least[3] : least[2];
  const float key = second < first ? second : first;
  return static_cast<int>(key) % kIndexScale;
}
