// Mip chains and 4-bit levels from arbitrary small pictures and options:
// creation must succeed exactly when the size and limit give levels, every
// level must fill and quantize without reading outside it.
//
// Input: width, height, flags, mask, level limit, width ratio, height ratio,
// format selector (one byte each), then pixel bytes, repeated as needed.

#include <cstddef>
#include <cstdint>

#include "pixmill/bitmap.h"
#include "pixmill/mip_data.h"
#include "pixmill/quantize.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 8) return 0;
  const int32_t width = 1 + data[0] % 72;
  const int32_t height = 1 + data[1] % 72;
  const uint8_t flags = data[2];
  const int32_t maskBits = int32_t(data[3] % 10) - 1;
  const int32_t levelLimit = int32_t(data[4] % 9) - 1;
  const double rw = data[5] / 200.0, rh = data[6] / 200.0;
  static constexpr BitmapFormat kFormats[4] = {kFormat565, kFormat1555, kFormat4444, kFormat8888};
  const BitmapFormat format = kFormats[data[7] % 4];
  const uint8_t* pixels = data + 8;
  const size_t pixelBytes = size - 8;

  Bitmap* picture = nullptr;
  if (!bitmapCreate(&picture, format, width, height)) return 0;
  for (int32_t i = 0; i < width * height; ++i) {
    uint32_t colour = 0;
    for (int b = 0; b < 4 && pixelBytes > 0; ++b) colour |= uint32_t(pixels[(size_t(i) * 4 + b) % pixelBytes]) << (8 * b);
    bitmapSetPixel(picture, colour, i % width, i / width);
  }
  MipData* mip = nullptr;
  const bool made = (flags & 1) ? mipDataCreateSampled(&mip, picture, levelLimit, flags & 2, flags & 4)
                                : mipDataCreate(&mip, picture, levelLimit, flags & 2, flags & 4);
  if (made != (mipLevelCount(width, height, levelLimit) > 0)) __builtin_trap();
  if (made) {
    Colormap given;
    for (int i = 0; i < 16; ++i) given.entries[i] = 0x11213141u * uint32_t(i);
    mipSetFillRatios(rw, rh);
    for (int32_t k = 0; k < mip->levelCount; ++k) {
      levelFill(mip->levels[k]);
      if (format != kFormat8888) continue;
      Bitmap* level = nullptr;
      if (!build4Bit(mip->levels[k], &level, flags & 8, flags & 16, flags & 32,
                     (flags & 64) ? &given : nullptr, flags & 128, maskBits, false)) {
        __builtin_trap();
      }
      levelFill(level);
      bitmapDestroy(level);
    }
    mipDataDestroy(mip);
  }
  bitmapDestroy(picture);
  return 0;
}
