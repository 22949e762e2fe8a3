#include "pixmill/bitmap.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <vector>

#include "pixmill_test_support.h"

namespace {

using pixmill_test::OwnedBitmap;

TEST(BitmapStride, RowsRoundUpToFourBytes) {
  struct Case {
    BitmapFormat format;
    int32_t width;
    int32_t stride;
  };
  const Case cases[] = {
      {kFormat4BitOpaque, 5, 4},  {kFormat565, 5, 12},      {kFormat8888, 1, 4},
      {kFormat4BitOpaque, 1, 4},  {kFormat4BitOpaque, 8, 4}, {kFormat4BitTranslucent, 9, 8},
      {kFormat1555, 2, 4},        {kFormat4444, 3, 8},       {kFormat32, 3, 12},
      {kFormat565, 0, 0},         {kFormat565, -1, 0},       {8, 4, 0},
      // A row beyond a 32-bit size has no stride.
      {kFormat8888, INT32_MAX / 4 + 1, 0},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(bitmapStride(c.format, c.width), c.stride)
        << "format " << c.format << " width " << c.width;
  }
}

TEST(BitmapCreate, RefusesSizesItCannotHoldAndLeavesNothing) {
  struct Case {
    BitmapFormat format;
    int32_t width, height;
  };
  const Case refused[] = {
      {kFormat565, 0, 4},      {kFormat565, 4, 0},         {kFormat565, -3, 4},
      {kFormat565, 4, -3},     {-1, 4, 4},                 {8, 4, 4},
      {kFormat565, 65535, 65535},  // stride x height beyond 2^31
      {kFormat8888, INT32_MAX, 1},
  };
  for (const Case& c : refused) {
    Bitmap* bitmap = reinterpret_cast<Bitmap*>(&bitmap);  // must be reset
    EXPECT_EQ(bitmapCreate(&bitmap, c.format, c.width, c.height), 0)
        << c.format << " " << c.width << "x" << c.height;
    EXPECT_EQ(bitmap, nullptr);
  }
  OwnedBitmap made(kFormat4BitOpaque, 5, 3);
  EXPECT_EQ(made->stride, 4);
  EXPECT_EQ(made->colormap, nullptr);
}

// Each case writes a colour into pixel (1, 0), then checks the stored bytes
// of that pixel and the colour read back.
TEST(BitmapCodec, EncodesAndDecodesAtTheBitBoundaries) {
  struct Case {
    BitmapFormat format;
    uint32_t written;
    std::vector<uint8_t> stored;
    uint32_t read;
  };
  const Case cases[] = {
      {kFormat565, 0xFFFF8000, {0x00, 0xFC}, 0xFFF88000},
      {kFormat565, 0x00070307, {0x00, 0x00}, 0xFF000000},
      {kFormat565, 0x00080408, {0x21, 0x08}, 0xFF080408},
      {kFormat565, 0xFFFFFFFF, {0xFF, 0xFF}, 0xFFF8FCF8},
      {kFormat1555, 0x7FFFFFFF, {0xFF, 0x7F}, 0x00F8F8F8},
      {kFormat1555, 0x80000000, {0x00, 0x80}, 0xFF000000},
      {kFormat1555, 0xFF080808, {0x21, 0x84}, 0xFF080808},
      {kFormat1555, 0xFF070707, {0x00, 0x80}, 0xFF000000},
      {kFormat4444, 0x12345678, {0x57, 0x13}, 0x10305070},
      {kFormat4444, 0x0F0F0F0F, {0x00, 0x00}, 0x00000000},
      {kFormat4444, 0xFFFFFFFF, {0xFF, 0xFF}, 0xF0F0F0F0},
      {kFormat8888, 0x89ABCDEF, {0xEF, 0xCD, 0xAB, 0x89}, 0x89ABCDEF},
  };
  for (const Case& c : cases) {
    OwnedBitmap bitmap(c.format, 3, 2);
    bitmapSetPixel(bitmap.get(), c.written, 1, 0);
    const uint8_t* pixel = bitmap->pixels + c.stored.size();
    EXPECT_EQ(std::vector<uint8_t>(pixel, pixel + c.stored.size()), c.stored)
        << "format " << c.format << " colour " << std::hex << c.written;
    EXPECT_EQ(bitmapGetPixel(bitmap.get(), 1, 0), c.read)
        << "format " << c.format << " colour " << std::hex << c.written;
  }
}

TEST(BitmapCodec, FourBitPixelsShareBytesHighNibbleFirst) {
  for (BitmapFormat format :
       {kFormat4BitOpaque, kFormat4BitTransparent, kFormat4BitTranslucent}) {
    OwnedBitmap bitmap(format, 5, 2);
    ASSERT_EQ(colormapCreate(&bitmap->colormap), 1);
    for (int i = 0; i < 16; ++i) colormapSet(bitmap->colormap, i, 0xFF000000u | (i * 0x111111u));
    std::fill(bitmap->pixels, bitmap->pixels + bitmap->stride * 2, 0xEE);
    const int indexes[] = {1, 2, 3, 4, 15};
    for (int x = 0; x < 5; ++x) {
      bitmapSetPixel(bitmap.get(), colormapGet(bitmap->colormap, indexes[x]), x, 1);
    }
    const std::vector<uint8_t> row1(bitmap->pixels + 4, bitmap->pixels + 8);
    EXPECT_EQ(row1, (std::vector<uint8_t>{0x12, 0x34, 0xFE, 0xEE}));
    EXPECT_EQ(bitmap->pixels[0], 0xEE);  // row 0 untouched
    for (int x = 0; x < 5; ++x) {
      EXPECT_EQ(bitmapGetPixel(bitmap.get(), x, 1),
                colormapGet(bitmap->colormap, indexes[x]));
    }
  }
}

TEST(ColormapNearest, PicksTheFirstOfEquallyNearEntriesAndWeighsAlpha) {
  struct Case {
    std::vector<uint32_t> entries;  // the rest of the map is far away
    uint32_t colour;
    int nearest;
  };
  const Case cases[] = {
      {{0xFF000000, 0xFF000000}, 0xFF000000, 0},
      {{0xFF000010, 0xFF000030}, 0xFF000020, 0},
      {{0xFF000030, 0xFF000010}, 0xFF000020, 0},
      {{0xFF000030, 0xFF000010}, 0xFF00001F, 1},
      {{0xFF100000, 0xFF001000, 0xFF000010}, 0xFF000000, 0},
      {{0xFF000000, 0x00000000}, 0x10000000, 1},
      {{0xFF000000, 0x00000000}, 0x80000000, 0},
      {{0x00FF0000, 0xFFFF0000}, 0x7FFF0000, 0},
  };
  for (const Case& c : cases) {
    Colormap map;
    for (int i = 0; i < 16; ++i) colormapSet(&map, i, 0x80808080);
    for (size_t i = 0; i < c.entries.size(); ++i) {
      colormapSet(&map, static_cast<int>(i), c.entries[i]);
    }
    EXPECT_EQ(colormapNearest(&map, c.colour), c.nearest) << std::hex << c.colour;
  }
  Colormap map;
  for (int i = 0; i < 16; ++i) colormapSet(&map, i, 0x11111111u * i);
  EXPECT_EQ(colormapNearest(&map, 0xFFFFFFFF), 15);
  EXPECT_EQ(colormapNearest(&map, 0x77777777), 7);
}

}  // namespace
