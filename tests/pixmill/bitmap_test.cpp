#include "pixmill/bitmap.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "pixmill_test_support.h"

namespace {

using pixmill_test::Bytes;
using pixmill_test::OwnedBitmap;

TEST(Bitmap, StridesAndRefusedSizes) {
  struct Case { BitmapFormat format; int32_t width, height, stride; };
  const Case cases[] = {
      {kFormat4BitOpaque, 5, 1, 4}, {kFormat565, 5, 1, 12}, {kFormat8888, 1, 1, 4},
      {kFormat4BitOpaque, 9, 1, 8}, {kFormat4444, 3, 1, 8}, {kFormat32, 3, 1, 12},
      // Refused: no stride, no rows, unknown format, pixels beyond 2^31 bytes.
      {kFormat565, 0, 1, 0}, {kFormat565, -1, 1, 0}, {8, 4, 1, 0}, {-1, 4, 1, 0},
      {kFormat565, 4, 0, 8}, {kFormat565, 4, -3, 8}, {kFormat565, 65535, 65535, 131072},
      {kFormat8888, INT32_MAX / 4 + 1, 1, 0},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(bitmapStride(c.format, c.width), c.stride) << c.format << " " << c.width;
    Bitmap* bitmap = reinterpret_cast<Bitmap*>(&bitmap);
    const bool fits = c.stride > 0 && c.height > 0 && int64_t{c.stride} * c.height <= INT32_MAX;
    EXPECT_EQ(bitmapCreate(&bitmap, c.format, c.width, c.height), fits ? 1 : 0);
    EXPECT_EQ(bitmap != nullptr, fits);
    if (fits) {
      EXPECT_EQ(bitmap->stride, c.stride);
      bitmapDestroy(bitmap);
    }
  }
}

// Writes a colour into pixel (1, 0), checks that pixel's bytes and what reads back.
TEST(Bitmap, CodecsAtTheirBitBoundaries) {
  struct Case { BitmapFormat format; uint32_t written; Bytes stored; uint32_t read; };
  const Case cases[] = {
      {kFormat565, 0xFFFF8000, {0x00, 0xFC}, 0xFFF88000},
      {kFormat565, 0x00070307, {0x00, 0x00}, 0xFF000000},
      {kFormat565, 0x00080408, {0x21, 0x08}, 0xFF080408},
      {kFormat565, 0xFFFFFFFF, {0xFF, 0xFF}, 0xFFF8FCF8},
      {kFormat1555, 0x7FFFFFFF, {0xFF, 0x7F}, 0x00F8F8F8},
      {kFormat1555, 0x80070707, {0x00, 0x80}, 0xFF000000},
      {kFormat1555, 0xFF080808, {0x21, 0x84}, 0xFF080808},
      {kFormat4444, 0x12345678, {0x57, 0x13}, 0x10305070},
      {kFormat4444, 0x0F0F0F0F, {0x00, 0x00}, 0x00000000},
      {kFormat4444, 0xFFFFFFFF, {0xFF, 0xFF}, 0xF0F0F0F0},
      {kFormat8888, 0x89ABCDEF, {0xEF, 0xCD, 0xAB, 0x89}, 0x89ABCDEF},
  };
  for (const Case& c : cases) {
    OwnedBitmap bitmap(c.format, 3, 2);
    bitmapSetPixel(bitmap.get(), c.written, 1, 0);
    const uint8_t* pixel = bitmap->pixels + c.stored.size();
    EXPECT_EQ(Bytes(pixel, pixel + c.stored.size()), c.stored) << std::hex << c.written;
    EXPECT_EQ(bitmapGetPixel(bitmap.get(), 1, 0), c.read) << std::hex << c.written;
  }
}

TEST(Bitmap, FourBitPixelsShareBytesHighNibbleFirst) {
  OwnedBitmap bitmap(kFormat4BitTranslucent, 5, 2);
  ASSERT_EQ(colormapCreate(&bitmap->colormap), 1);
  for (int i = 0; i < 16; ++i) colormapSet(bitmap->colormap, i, 0xFF000000u | (i * 0x111111u));
  for (int i = 0; i < 8; ++i) bitmap->pixels[i] = 0xEE;
  const int indexes[] = {1, 2, 3, 4, 15};
  for (int x = 0; x < 5; ++x) {
    bitmapSetPixel(bitmap.get(), colormapGet(bitmap->colormap, indexes[x]), x, 1);
  }
  EXPECT_EQ(Bytes(bitmap->pixels, bitmap->pixels + 8),
            (Bytes{0xEE, 0xEE, 0xEE, 0xEE, 0x12, 0x34, 0xFE, 0xEE}));
  for (int x = 0; x < 5; ++x) {
    EXPECT_EQ(bitmapGetPixel(bitmap.get(), x, 1), colormapGet(bitmap->colormap, indexes[x]));
  }
}

TEST(Colormap, NearestTakesTheFirstOfEquallyNearEntriesAndWeighsAlpha) {
  struct Case { std::vector<uint32_t> entries; uint32_t colour; int nearest; };
  const Case cases[] = {
      {{0xFF000000, 0xFF000000}, 0xFF000000, 0}, {{0xFF000010, 0xFF000030}, 0xFF000020, 0},
      {{0xFF000030, 0xFF000010}, 0xFF000020, 0}, {{0xFF000030, 0xFF000010}, 0xFF00001F, 1},
      {{0xFF100000, 0xFF001000, 0xFF000010}, 0xFF000000, 0},
      {{0xFF000000, 0x00000000}, 0x10000000, 1}, {{0xFF000000, 0x00000000}, 0x80000000, 0},
  };
  for (const Case& c : cases) {
    Colormap map;
    for (int i = 0; i < 16; ++i) {
      colormapSet(&map, i, i < static_cast<int>(c.entries.size()) ? c.entries[i] : 0x80808080);
    }
    EXPECT_EQ(colormapNearest(&map, c.colour), c.nearest) << std::hex << c.colour;
  }
}

}  // namespace
