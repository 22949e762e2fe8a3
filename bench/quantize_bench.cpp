// Times build4Bit on a 256 x 256 level in which every pixel has its own
// colour, with the histogram method (-mask 0) and with the median cut.
// Prints the median of several runs of each in milliseconds.

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

#include "pixmill/bitmap.h"
#include "pixmill/mip_data.h"
#include "pixmill/quantize.h"
#include "runtime/mem.h"

namespace {

double medianMilliseconds(const Bitmap* source, bool heckbert, int runs) {
  std::vector<double> times;
  for (int run = 0; run < runs; ++run) {
    Bitmap* level = nullptr;
    const auto start = std::chrono::steady_clock::now();
    const bool ok = build4Bit(source, &level, false, false, heckbert, nullptr, false, 0, false);
    const auto end = std::chrono::steady_clock::now();
    if (!ok) return -1.0;
    bitmapDestroy(level);
    times.push_back(std::chrono::duration<double, std::milli>(end - start).count());
  }
  std::sort(times.begin(), times.end());
  return times[times.size() / 2];
}

}  // namespace

int main() {
  if (!memBegin()) return 1;
  Bitmap* source = nullptr;
  if (!bitmapCreate(&source, kFormat8888, 256, 256)) return 1;
  for (int y = 0; y < 256; ++y) {
    for (int x = 0; x < 256; ++x) {
      // Spread the colours over all three channels.
      const uint32_t i = uint32_t(y * 256 + x) * 40503u & 0xFFFF;
      bitmapSetPixel(source, 0xFF000000u | (i >> 8) << 16 | (i & 0xFF) << 8 | ((i * 7) & 0xFF), x, y);
    }
  }
  mipSetFillRatios(1.0, 1.0);
  std::printf("build4Bit 256x256, 65536 colours, -mask 0, histogram: %.2f ms\n",
              medianMilliseconds(source, false, 9));
  std::printf("build4Bit 256x256, 65536 colours, -mask 0, median cut: %.2f ms\n",
              medianMilliseconds(source, true, 9));
  bitmapDestroy(source);
  memEnd();
  return 0;
}
