// Mip chains: level counts and sizes, averaging, point sampling, the fill.

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <vector>

#include "pixmill/bitmap.h"
#include "pixmill/mip_data.h"

namespace {

// Stored pixel words of a picture or level, row by row.
struct Grid {
  int width, height;
  std::vector<uint32_t> words;
  uint32_t& at(int x, int y) { return words[y * width + x]; }
};

int bytesPerPixel(BitmapFormat format) { return format == kFormat8888 ? 4 : 2; }

// 565 as its bits lie, written again here so expectations do not come from
// the code under test; 8888 words are the colours themselves.
uint32_t decode(BitmapFormat format, uint32_t d) {
  if (format == kFormat8888) return d;
  return 0xFF000000u | ((d >> 8) & 0xF8) << 16 | ((d >> 3) & 0xFC) << 8 | ((d << 3) & 0xFF);
}
uint32_t encode(BitmapFormat format, uint32_t c) {
  if (format == kFormat8888) return c;
  return ((c >> 19) & 31) << 11 | ((c >> 10) & 63) << 5 | ((c >> 3) & 31);
}

std::vector<uint8_t> bytesOf(BitmapFormat format, const Grid& grid) {
  const int size = bytesPerPixel(format), stride = (grid.width * size + 3) / 4 * 4;
  std::vector<uint8_t> bytes(stride * grid.height, 0);
  for (int i = 0; i < grid.width * grid.height; ++i)
    for (int b = 0; b < size; ++b) bytes[i / grid.width * stride + i % grid.width * size + b] = grid.words[i] >> (8 * b) & 0xFF;
  return bytes;
}

Bitmap* makeBitmap(BitmapFormat format, const Grid& grid) {
  Bitmap* bitmap = nullptr;
  EXPECT_TRUE(bitmapCreate(&bitmap, format, grid.width, grid.height));
  const std::vector<uint8_t> bytes = bytesOf(format, grid);
  std::copy(bytes.begin(), bytes.end(), bitmap->pixels);
  return bitmap;
}

Grid randomPicture(BitmapFormat format, int width, int height) {
  std::mt19937 random(width * 1000 + height);
  Grid grid{width, height, std::vector<uint32_t>(width * height)};
  for (uint32_t& word : grid.words) word = format == kFormat8888 ? random() : random() & 0xFFFF;
  return grid;
}

int ceilLog2(int n) {
  int e = 0;
  while ((1 << e) < n) ++e;
  return e;
}

uint32_t mean(const std::vector<uint32_t>& colours) {
  uint32_t result = 0, n = uint32_t(colours.size());
  for (int shift = 0; shift < 32; shift += 8) {
    uint32_t sum = 0;
    for (uint32_t c : colours) sum += (c >> shift) & 0xFF;
    result |= ((sum + n / 2) / n) << shift;
  }
  return result;
}

// The expected chain: level 0 the picture; smaller levels averaged from whole
// blocks (a level with no whole block downwards takes its first row from the
// blocks cut at the picture's bottom) or sampled from the level above; zero
// elsewhere; then, when asked and not 8888, the blend fill.
std::vector<Grid> expectedChain(BitmapFormat format, const Grid& picture, int count, bool averaging, bool fill) {
  std::vector<Grid> levels;
  const int lw = ceilLog2(picture.width), lh = ceilLog2(picture.height);
  for (int k = 0; k < count; ++k) {
    Grid level{1 << (lw - k), 1 << (lh - k), std::vector<uint32_t>((1 << (lw - k)) << (lh - k), 0)};
    const int usedW = picture.width >> k, usedH = picture.height >> k;
    for (int y = 0; y < level.height; ++y) {
      for (int x = 0; x < level.width; ++x) {
        if (k == 0) {
          if (x < picture.width && y < picture.height) level.at(x, y) = picture.words[y * picture.width + x];
        } else if (!averaging) {
          level.at(x, y) = levels.back().at(2 * x, 2 * y);
        } else if (x < usedW && (y < usedH || (usedH == 0 && y == 0))) {
          std::vector<uint32_t> block;
          for (int by = y << k; by < (usedH > 0 ? (y + 1) << k : picture.height); ++by)
            for (int bx = x << k; bx < (x + 1) << k; ++bx) block.push_back(decode(format, picture.words[by * picture.width + bx]));
          level.at(x, y) = encode(format, mean(block));
        }
      }
    }
    levels.push_back(level);
  }
  for (int k = 0; fill && format != kFormat8888 && k < count; ++k) {
    Grid& level = levels[k];
    const int uw = std::max(picture.width >> k, 1), uh = std::max(picture.height >> k, 1);
    for (int y = 0; y < level.height; ++y)
      for (int x = 0; x < level.width; ++x) {
        if (x >= uw) level.at(x, y) = level.at(uw - 1, y);
        else if (y >= uh) level.at(x, y) = level.at(x, uh - 1);
      }
  }
  return levels;
}

TEST(MipLevelCount, FollowsThePictureSizeAndTheLimit) {
  struct Case { int32_t width, height, limit, expected; };
  const Case cases[] = {
      {256, 256, 32, 6}, {64, 16, 32, 4}, {200, 100, 32, 6}, {256, 256, 3, 3}, {256, 3, 32, 3},
      {5, 1, 32, 1}, {8, 256, 32, 1},
      // Nothing to make: narrow pictures, limits below 1, sizes out of range.
      {4, 256, 32, 0}, {256, 256, 0, 0}, {256, 256, -3, 0}, {0, 16, 32, 0}, {kMaxMipSide + 1, 16, 32, 0},
  };
  for (const Case& c : cases)
    EXPECT_EQ(mipLevelCount(c.width, c.height, c.limit), c.expected) << c.width << "x" << c.height << " " << c.limit;
}

TEST(MipDataCreate, RecordsSizesFlagsAndTheSharedMap) {
  Bitmap* picture = makeBitmap(kFormat8888, randomPicture(kFormat8888, 200, 100));
  Colormap shared{};
  picture->colormap = &shared;
  MipData* mip = nullptr;
  ASSERT_TRUE(mipDataCreate(&mip, picture, 32, 5, 0));
  std::vector<int> sizes;
  for (int k = 0; k < mip->levelCount; ++k) {
    sizes.insert(sizes.end(), {mip->levels[k]->width, mip->levels[k]->height});
    EXPECT_EQ(mip->levels[k]->colormap, nullptr);
  }
  EXPECT_EQ(sizes, (std::vector<int>{256, 128, 128, 64, 64, 32, 32, 16, 16, 8, 8, 4}));
  EXPECT_EQ((std::vector<int>{mip->log2Width, mip->log2Height, mip->clampU, mip->clampV}), (std::vector<int>{8, 7, 1, 0}));
  EXPECT_EQ(mip->colormap, &shared);
  mip->colormap = picture->colormap = nullptr;  // the test owns the map
  mipDataDestroy(mip);
  bitmapDestroy(picture);
}

TEST(MipDataCreate, RefusesInputWithoutLevels) {
  Bitmap* narrow = makeBitmap(kFormat565, randomPicture(kFormat565, 4, 8));
  Bitmap* wide = makeBitmap(kFormat565, randomPicture(kFormat565, 16, 8));
  for (auto create : {mipDataCreate, mipDataCreateSampled}) {
    MipData* mip = reinterpret_cast<MipData*>(&narrow);  // must come back cleared
    EXPECT_FALSE(create(&mip, narrow, 32, 1, 1));
    EXPECT_FALSE(create(&mip, wide, 0, 1, 1));
    EXPECT_EQ(mip, nullptr);
  }
  bitmapDestroy(narrow);
  bitmapDestroy(wide);
}

TEST(AverageColour, RoundsHalvesUpPerChannel) {
  // Red 0,0,0,1 -> 0; green 0,0,1,1 -> 1; blue 1,2,2,2 -> 2; alpha 253,254,255,255 -> 254.
  Bitmap* picture = makeBitmap(kFormat8888, Grid{2, 2, {0xFD000001, 0xFE000002, 0xFF000102, 0xFF010102}});
  EXPECT_EQ(averageColour(picture, 0, 0, 2, 2), 0xFE000102u);
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
  const Grid source = randomPicture(c.format, c.width, c.height);
  Bitmap* picture = makeBitmap(c.format, source);
  MipData* mip = nullptr;
  ASSERT_TRUE(c.averaging ? mipDataCreate(&mip, picture, c.limit, 0, 0) : mipDataCreateSampled(&mip, picture, c.limit, 0, 0));
  const int count = mipLevelCount(c.width, c.height, c.limit);
  ASSERT_EQ(mip->levelCount, count);
  const std::vector<Grid> unfilled = expectedChain(c.format, source, count, c.averaging, false);
  const std::vector<Grid> filled = expectedChain(c.format, source, count, c.averaging, true);
  mipSetFillRatios(double(c.width) / (1 << ceilLog2(c.width)), double(c.height) / (1 << ceilLog2(c.height)));
  for (int k = 0; k < count; ++k) {
    const Bitmap* level = mip->levels[k];
    EXPECT_EQ(std::vector<uint8_t>(level->pixels, level->pixels + level->stride * level->height), bytesOf(c.format, unfilled[k])) << k;
    levelFill(mip->levels[k]);
    EXPECT_EQ(std::vector<uint8_t>(level->pixels, level->pixels + level->stride * level->height), bytesOf(c.format, filled[k])) << k;
  }
  mipSetFillRatios(1.0, 1.0);
  mipDataDestroy(mip);
  bitmapDestroy(picture);
}

INSTANTIATE_TEST_SUITE_P(Levels, MipChain,
                         testing::Values(ChainCase{"Averaged200x100", kFormat565, 200, 100, 32, true},
                                         ChainCase{"Sampled200x100", kFormat565, 200, 100, 32, false},
                                         ChainCase{"AveragedLimit3", kFormat565, 256, 256, 3, true},
                                         ChainCase{"AveragedThreeRowsHigh", kFormat565, 40, 3, 32, true},
                                         ChainCase{"SampledThreeRowsHigh", kFormat565, 40, 3, 32, false},
                                         ChainCase{"Averaged8888NotFilled", kFormat8888, 24, 10, 32, true}),
                         [](const testing::TestParamInfo<ChainCase>& info) { return std::string(info.param.name); });

TEST(LevelFill, CopiesFourBitIndexesAndStaysInsideTheLevel) {
  struct Case { double rw, rh; std::vector<std::string> rows; };
  const Case cases[] = {  // a 6 x 3 level, row y holding indexes y*6+x (mod 16)
      {0.85, 0.7, {"012344", "6789AA", "6789AA"}},
      {0.1, 0.1, {"000000", "000000", "000000"}},  // nothing used: (0, 0) stands in
      {1.0, 0.0, {"012345", "012345", "012345"}},  // no used row: row 0 repeats
  };
  for (const Case& c : cases) {
    Bitmap* level = nullptr;
    ASSERT_TRUE(bitmapCreate(&level, kFormat4BitTransparent, 6, 3));
    for (int i = 0; i < 18; i += 2) level->pixels[i / 6 * level->stride + i % 6 / 2] = uint8_t((i % 16) << 4 | (i + 1) % 16);
    mipSetFillRatios(c.rw, c.rh);
    levelFill(level);
    std::vector<std::string> rows(3);
    for (int i = 0; i < 18; ++i) {
      const uint8_t byte = level->pixels[i / 6 * level->stride + i % 6 / 2];
      rows[i / 6] += "0123456789ABCDEF"[i % 2 == 0 ? byte >> 4 : byte & 15];
    }
    EXPECT_EQ(rows, c.rows) << c.rw << " " << c.rh;
    bitmapDestroy(level);
  }
  mipSetFillRatios(1.0, 1.0);
}

}  // namespace
