// Mip chains: level counts and sizes, averaging, point sampling, the fill.

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <vector>

#include "pixmill/bitmap.h"
#include "pixmill/mip_data.h"

namespace {

using Picture = std::vector<uint32_t>;  // 0xAARRGGBB, row by row

// Pixel codecs as the formats lay the bits out, written here again so the
// expected levels do not come from the code under test.
uint32_t decode(BitmapFormat format, uint32_t d) {
  uint32_t a = 255, r, g, b;
  switch (format) {
    case kFormat565: r = (d >> 8) & 0xF8; g = (d >> 3) & 0xFC; b = (d << 3) & 0xFF; break;
    case kFormat1555:
      r = (d >> 7) & 0xF8; g = (d >> 2) & 0xF8; b = (d << 3) & 0xFF; a = (d & 0x8000) ? 255 : 0;
      break;
    case kFormat4444:
      r = (d >> 4) & 0xF0; g = d & 0xF0; b = (d << 4) & 0xFF; a = (d >> 8) & 0xF0;
      break;
    default: return d;
  }
  return a << 24 | r << 16 | g << 8 | b;
}

uint32_t encode(BitmapFormat format, uint32_t c) {
  const uint32_t a = c >> 24, r = (c >> 16) & 255, g = (c >> 8) & 255, b = c & 255;
  switch (format) {
    case kFormat565: return (r >> 3) << 11 | (g >> 2) << 5 | (b >> 3);
    case kFormat1555: return (a >= 128 ? 0x8000u : 0u) | (r >> 3) << 10 | (g >> 3) << 5 | (b >> 3);
    case kFormat4444: return (a >> 4) << 12 | (r >> 4) << 8 | (g >> 4) << 4 | (b >> 4);
    default: return c;
  }
}

int bytesPerPixel(BitmapFormat format) { return format == kFormat8888 ? 4 : 2; }

// Stored pixel values (raw words) of a picture or level.
struct Grid {
  int width, height;
  std::vector<uint32_t> words;
  uint32_t& at(int x, int y) { return words[y * width + x]; }
};

Bitmap* makeBitmap(BitmapFormat format, const Grid& grid) {
  Bitmap* bitmap = nullptr;
  EXPECT_TRUE(bitmapCreate(&bitmap, format, grid.width, grid.height));
  for (int y = 0; y < grid.height; ++y) {
    for (int x = 0; x < grid.width; ++x) {
      uint8_t* p = bitmap->pixels + y * bitmap->stride + x * bytesPerPixel(format);
      for (int i = 0; i < bytesPerPixel(format); ++i) p[i] = (grid.words[y * grid.width + x] >> (8 * i)) & 0xFF;
    }
  }
  return bitmap;
}

// The level's pixel bytes, stride padding included.
std::vector<uint8_t> bytesOf(const Bitmap* level) {
  return std::vector<uint8_t>(level->pixels, level->pixels + level->stride * level->height);
}

std::vector<uint8_t> bytesOf(BitmapFormat format, const Grid& grid) {
  const int stride = ((grid.width * 8 * bytesPerPixel(format) + 4) / 8 + 3) / 4 * 4;
  std::vector<uint8_t> bytes(stride * grid.height, 0);
  for (int y = 0; y < grid.height; ++y) {
    for (int x = 0; x < grid.width; ++x) {
      for (int i = 0; i < bytesPerPixel(format); ++i)
        bytes[y * stride + x * bytesPerPixel(format) + i] = (grid.words[y * grid.width + x] >> (8 * i)) & 0xFF;
    }
  }
  return bytes;
}

uint32_t mean(const std::vector<uint32_t>& colours) {
  uint32_t result = 0;
  const uint32_t n = static_cast<uint32_t>(colours.size());
  for (int shift = 0; shift < 32; shift += 8) {
    uint32_t sum = 0;
    for (uint32_t c : colours) sum += (c >> shift) & 0xFF;
    result |= ((sum + n / 2) / n) << shift;
  }
  return result;
}

Grid randomPicture(BitmapFormat format, int width, int height, unsigned seed) {
  std::mt19937 random(seed);
  Grid grid{width, height, std::vector<uint32_t>(width * height)};
  for (uint32_t& word : grid.words) word = format == kFormat8888 ? random() : random() & 0xFFFF;
  return grid;
}

int ceilLog2(int n) {
  int e = 0;
  while ((1 << e) < n) ++e;
  return e;
}

// The expected chain: level 0 the picture, smaller levels averaged from whole
// blocks of the picture or, for a level the picture covers with no whole block
// downwards, its first row from the blocks cut at the picture's bottom; the
// rest zero; then, when asked, the blend fill.
std::vector<Grid> expectedChain(BitmapFormat format, const Grid& picture, int count, bool averaging,
                                bool fill) {
  std::vector<Grid> levels;
  const int lw = ceilLog2(picture.width), lh = ceilLog2(picture.height);
  for (int k = 0; k < count; ++k) {
    Grid level{1 << (lw - k), 1 << (lh - k), std::vector<uint32_t>((1 << (lw - k)) << (lh - k), 0)};
    const int usedW = picture.width >> k, usedH = picture.height >> k;
    if (k == 0) {
      for (int y = 0; y < picture.height; ++y)
        for (int x = 0; x < picture.width; ++x) level.at(x, y) = picture.words[y * picture.width + x];
    } else if (averaging) {
      const int rows = usedH > 0 ? usedH : 1;
      for (int i = 0; i < rows; ++i) {
        for (int j = 0; j < usedW; ++j) {
          std::vector<uint32_t> block;
          const int yEnd = usedH > 0 ? (i + 1) << k : picture.height;
          for (int y = i << k; y < yEnd; ++y)
            for (int x = j << k; x < (j + 1) << k; ++x)
              block.push_back(decode(format, picture.words[y * picture.width + x]));
          level.at(j, i) = encode(format, mean(block));
        }
      }
    } else {
      const Grid& above = levels.back();
      for (int y = 0; y < level.height; ++y)
        for (int x = 0; x < level.width; ++x) level.words[y * level.width + x] = above.words[2 * y * above.width + 2 * x];
    }
    if (fill && format != kFormat8888) {
      const int uw = usedW > 0 ? usedW : 1, uh = usedH > 0 ? usedH : 1;
      for (int y = 0; y < level.height; ++y)
        for (int x = 0; x < level.width; ++x) {
          if (x >= uw) level.at(x, y) = level.at(uw - 1, y);
          else if (y >= uh) level.at(x, y) = level.at(x, uh - 1);
        }
    }
    levels.push_back(level);
  }
  return levels;
}

TEST(MipLevelCount, FollowsThePictureSizeAndTheLimit) {
  struct Case { int32_t width, height, limit, expected; };
  const Case cases[] = {
      {256, 256, 32, 6}, {64, 16, 32, 4}, {200, 100, 32, 6}, {256, 256, 3, 3},
      {256, 3, 32, 3},   {5, 1, 32, 1},   {8, 256, 32, 1},   {256, 1, 32, 1},
      // Nothing to make: narrow pictures, limits below 1, sizes out of range.
      {4, 256, 32, 0},   {256, 256, 0, 0}, {256, 256, -3, 0}, {0, 16, 32, 0},
      {16, 0, 32, 0},    {kMaxMipSide + 1, 16, 32, 0},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(mipLevelCount(c.width, c.height, c.limit), c.expected)
        << c.width << " x " << c.height << " limit " << c.limit;
  }
}

TEST(MipDataCreate, RecordsSizesFlagsAndTheSharedMap) {
  Bitmap* picture = makeBitmap(kFormat8888, randomPicture(kFormat8888, 200, 100, 1));
  Colormap shared{};
  picture->colormap = &shared;
  MipData* mip = nullptr;
  ASSERT_TRUE(mipDataCreate(&mip, picture, 32, 5, 0));
  std::vector<std::pair<int, int>> sizes;
  for (int k = 0; k < mip->levelCount; ++k) {
    sizes.emplace_back(mip->levels[k]->width, mip->levels[k]->height);
    EXPECT_EQ(mip->levels[k]->format, kFormat8888);
    EXPECT_EQ(mip->levels[k]->colormap, nullptr);
  }
  const std::vector<std::pair<int, int>> expected = {{256, 128}, {128, 64}, {64, 32},
                                                     {32, 16},   {16, 8},   {8, 4}};
  EXPECT_EQ(sizes, expected);
  EXPECT_EQ(mip->log2Width, 8);
  EXPECT_EQ(mip->log2Height, 7);
  EXPECT_EQ(mip->clampU, 1);
  EXPECT_EQ(mip->clampV, 0);
  EXPECT_EQ(mip->colormap, &shared);
  mip->colormap = nullptr;  // the picture keeps its map
  picture->colormap = nullptr;
  mipDataDestroy(mip);
  bitmapDestroy(picture);
}

TEST(MipDataCreate, RefusesInputWithoutLevels) {
  Bitmap* narrow = makeBitmap(kFormat565, randomPicture(kFormat565, 4, 8, 2));
  Bitmap* wide = makeBitmap(kFormat565, randomPicture(kFormat565, 16, 8, 3));
  for (auto create : {mipDataCreate, mipDataCreateSampled}) {
    MipData* mip = reinterpret_cast<MipData*>(&narrow);  // must be cleared
    EXPECT_FALSE(create(&mip, narrow, 32, 1, 1));
    EXPECT_EQ(mip, nullptr);
    EXPECT_FALSE(create(&mip, wide, 0, 1, 1));
    EXPECT_FALSE(create(&mip, wide, -1, 1, 1));
    EXPECT_EQ(mip, nullptr);
  }
  bitmapDestroy(narrow);
  bitmapDestroy(wide);
}

TEST(AverageColour, RoundsHalvesUpPerChannel) {
  // Red 0,0,0,1 -> 0; green 0,0,1,1 -> 1; blue 1,2,2,2 -> 2; alpha 253..255.
  Grid grid{2, 2, {0xFD000001, 0xFE000002, 0xFF000102, 0xFF010102}};
  Bitmap* picture = makeBitmap(kFormat8888, grid);
  EXPECT_EQ(averageColour(picture, 0, 0, 2, 2), 0xFE000102u);
  EXPECT_EQ(averageColour(picture, 1, 1, 2, 2), 0xFF010102u);
  EXPECT_EQ(averageColour(picture, 1, 1, 1, 2), 0xFF000000u);  // empty block
  EXPECT_EQ(averageColour(picture, 0, 0, 9, 9), 0xFE000102u);  // kept to the picture
  bitmapDestroy(picture);
}

struct ChainCase {
  const char* name;
  BitmapFormat format;
  int width, height, limit;
  bool averaging;
};

void PrintTo(const ChainCase& c, std::ostream* out) { *out << c.name; }

class MipChain : public testing::TestWithParam<ChainCase> {};

// Whole levels, before and after the fill, against the expected chain.
TEST_P(MipChain, MatchesTheExpectedLevels) {
  const ChainCase& c = GetParam();
  const Grid source = randomPicture(c.format, c.width, c.height, 7);
  Bitmap* picture = makeBitmap(c.format, source);
  MipData* mip = nullptr;
  ASSERT_TRUE(c.averaging ? mipDataCreate(&mip, picture, c.limit, 0, 0)
                          : mipDataCreateSampled(&mip, picture, c.limit, 0, 0));
  const int count = mipLevelCount(c.width, c.height, c.limit);
  ASSERT_EQ(mip->levelCount, count);
  const std::vector<Grid> unfilled = expectedChain(c.format, source, count, c.averaging, false);
  const std::vector<Grid> filled = expectedChain(c.format, source, count, c.averaging, true);
  mipSetFillRatios(double(c.width) / (1 << ceilLog2(c.width)),
                   double(c.height) / (1 << ceilLog2(c.height)));
  for (int k = 0; k < count; ++k) {
    EXPECT_EQ(bytesOf(mip->levels[k]), bytesOf(c.format, unfilled[k])) << "level " << k;
    levelFill(mip->levels[k]);
    EXPECT_EQ(bytesOf(mip->levels[k]), bytesOf(c.format, filled[k])) << "filled level " << k;
  }
  mipSetFillRatios(1.0, 1.0);
  mipDataDestroy(mip);
  bitmapDestroy(picture);
}

INSTANTIATE_TEST_SUITE_P(
    Levels, MipChain,
    testing::Values(ChainCase{"Averaged565Of200x100", kFormat565, 200, 100, 32, true},
                    ChainCase{"Sampled565Of200x100", kFormat565, 200, 100, 32, false},
                    ChainCase{"Averaged1555Limit3", kFormat1555, 256, 256, 3, true},
                    ChainCase{"Averaged4444ThreeRowsHigh", kFormat4444, 40, 3, 32, true},
                    ChainCase{"Sampled4444ThreeRowsHigh", kFormat4444, 40, 3, 32, false},
                    ChainCase{"Averaged8888NotFilled", kFormat8888, 24, 10, 32, true},
                    ChainCase{"Sampled8888NotFilled", kFormat8888, 64, 32, 32, false}),
    [](const testing::TestParamInfo<ChainCase>& info) { return std::string(info.param.name); });

TEST(LevelFill, CopiesFourBitIndexesAndStaysInsideTheLevel) {
  struct Case { double rw, rh; std::vector<const char*> rows; };
  // Indexes of a 6 x 3 level before the fill: row y holds y*6+x (mod 16).
  const Case cases[] = {
      {0.85, 0.7, {"012344", "6789AA", "6789AA"}},
      {0.1, 0.1, {"000000", "000000", "000000"}},  // nothing used: (0, 0) stands in
      {1.0, 0.0, {"012345", "012345", "012345"}},  // no used row: row 0 repeats
  };
  for (const Case& c : cases) {
    Bitmap* level = nullptr;
    ASSERT_TRUE(bitmapCreate(&level, kFormat4BitTransparent, 6, 3));
    for (int y = 0; y < 3; ++y)
      for (int x = 0; x < 6; x += 2) level->pixels[y * level->stride + x / 2] = uint8_t(((y * 6 + x) % 16) << 4 | (y * 6 + x + 1) % 16);
    mipSetFillRatios(c.rw, c.rh);
    levelFill(level);
    std::vector<std::string> rows;
    for (int y = 0; y < 3; ++y) {
      std::string row;
      for (int x = 0; x < 6; ++x) {
        const uint8_t byte = level->pixels[y * level->stride + x / 2];
        row += "0123456789ABCDEF"[x % 2 == 0 ? byte >> 4 : byte & 15];
      }
      rows.push_back(row);
    }
    EXPECT_EQ(rows, std::vector<std::string>(c.rows.begin(), c.rows.end())) << c.rw << " " << c.rh;
    bitmapDestroy(level);
  }
  mipSetFillRatios(1.0, 1.0);
}

}  // namespace
