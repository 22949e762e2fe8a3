// PNGs of small known mips, decoded with stb_image, against colours worked
// out here from the pixel formats' own rules.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "millview_test_support.h"
#include "support/temp_dir.h"

namespace {

using millview_test::Decoded;
using millview_test::LevelPixels;
using testing_support::TempDir;

// Channels narrower than 8 bits repeat their top bits.
uint32_t W5(uint32_t v) { return v << 3 | v >> 2; }
uint32_t W6(uint32_t v) { return v << 2 | v >> 4; }
uint32_t W4(uint32_t v) { return v * 17; }
uint32_t Argb(uint32_t a, uint32_t r, uint32_t g, uint32_t b) { return a << 24 | r << 16 | g << 8 | b; }

uint32_t Expected565(uint32_t d) { return Argb(255, W5(d >> 11), W6(d >> 5 & 63), W5(d & 31)); }
uint32_t Expected1555(uint32_t d) {
  return Argb(d >> 15 ? 255 : 0, W5(d >> 10 & 31), W5(d >> 5 & 31), W5(d & 31));
}
uint32_t Expected4444(uint32_t d) {
  return Argb(W4(d >> 12), W4(d >> 8 & 15), W4(d >> 4 & 15), W4(d & 15));
}

Colormap Map(uint32_t seed) {
  Colormap map{};
  for (uint32_t i = 0; i < 16; ++i)
    map.entries[i] = Argb(i % 3 == 0 ? 0x80 : 0xFF, (i * 37 + seed) & 0xFF, (i * 91 + seed * 3) & 0xFF,
                          (i * 13 + seed * 7) & 0xFF);
  return map;
}

const std::vector<uint32_t> kWords = {0xFFFF, 0x0000, 0xF800, 0x07E0, 0x001F, 0x8410, 0x1234, 0x7BEF};
const std::vector<uint32_t> kIndexes = {0, 1, 5, 9, 15, 14, 3, 8};

struct Case {
  const char* file;
  std::vector<LevelPixels> levels;
  bool top_map;
  // Expected colour of pixel n of level i.
  uint32_t (*expected)(std::size_t level, uint32_t value);
};

uint32_t ThroughTopMap(std::size_t, uint32_t index) { return Map(1).entries[index]; }
// Level 0 has a map of its own; level 1 has none and uses the top map.
uint32_t ThroughLevelMaps(std::size_t level, uint32_t index) {
  return (level == 0 ? Map(2) : Map(1)).entries[index];
}

TEST(MillviewTextures, LevelPixelsFollowTheFormatRules) {
  TempDir dir;
  LevelPixels own{kFormat4BitOpaque, 4, 2, kIndexes, true, Map(2)};
  const std::vector<uint32_t> small_indexes = {7, 12};
  const std::vector<Case> cases = {
      {"c565.mip", {{kFormat565, 4, 2, kWords}}, false, [](std::size_t, uint32_t d) { return Expected565(d); }},
      {"c1555.mip", {{kFormat1555, 4, 2, kWords}}, false, [](std::size_t, uint32_t d) { return Expected1555(d); }},
      {"c4444.mip", {{kFormat4444, 4, 2, kWords}}, false, [](std::size_t, uint32_t d) { return Expected4444(d); }},
      {"top.mip", {{kFormat4BitOpaque, 4, 2, kIndexes}, {kFormat4BitOpaque, 2, 1, small_indexes}}, true, ThroughTopMap},
      {"levels.mip", {own, {kFormat4BitOpaque, 2, 1, small_indexes}}, true, ThroughLevelMaps},
  };
  const Colormap top = Map(1);
  for (const Case& c : cases)
    testing_support::WriteBytes(dir / c.file, millview_test::MipBytes(c.levels, c.top_map ? &top : nullptr));
  const auto run = millview_test::RunMillview({"-q", dir / ""}, dir.path().string());
  ASSERT_EQ(run.exit_status, 0) << run.standard_error;
  for (const Case& c : cases)
    for (std::size_t i = 0; i < c.levels.size(); ++i) {
      const LevelPixels& level = c.levels[i];
      const Decoded png = millview_test::DecodePng(dir / (std::string(c.file) + "." + std::to_string(i) + ".png"));
      ASSERT_EQ(png.width, level.width) << c.file;
      ASSERT_EQ(png.height, level.height) << c.file;
      for (int y = 0; y < level.height; ++y)
        for (int x = 0; x < level.width; ++x)
          EXPECT_EQ(png.At(x, y), c.expected(i, level.pixels[y * level.width + x]))
              << c.file << " level " << i << " at " << x << "," << y;
    }
}

// With --sheet one picture holds every level in a row: level 0 at the
// left, each next level right of the one before, tops aligned, no gaps,
// transparent below the smaller levels; no picture per level is written.
TEST(MillviewTextures, SheetPutsTheLevelsInOneRow) {
  TempDir dir;
  std::vector<LevelPixels> levels;
  for (int32_t i = 0, w = 8, h = 4; i < 3; ++i, w /= 2, h /= 2) {
    LevelPixels level{kFormat565, w, h, {}};
    for (int32_t n = 0; n < w * h; ++n) level.pixels.push_back(static_cast<uint32_t>(0x1000 * (i + 1) + n * 33));
    levels.push_back(level);
  }
  testing_support::WriteBytes(dir / "wall.mip", millview_test::MipBytes(levels, nullptr));
  const auto run = millview_test::RunMillview({"--sheet", "wall.mip"}, dir.path().string());
  ASSERT_EQ(run.exit_status, 0) << run.standard_error;
  EXPECT_EQ(millview_test::FilesBelow(dir.path().string()),
            (std::vector<std::string>{"wall.mip", "wall.mip.png"}));
  const Decoded sheet = millview_test::DecodePng(dir / "wall.mip.png");
  ASSERT_EQ(sheet.width, 8 + 4 + 2);
  ASSERT_EQ(sheet.height, 4);
  const int left[] = {0, 8, 12};
  for (int y = 0; y < sheet.height; ++y)
    for (int x = 0; x < sheet.width; ++x) {
      const int i = x < 8 ? 0 : (x < 12 ? 1 : 2);
      const LevelPixels& level = levels[i];
      const int lx = x - left[i];
      const uint32_t expected = y < level.height ? Expected565(level.pixels[y * level.width + lx]) : 0u;
      EXPECT_EQ(sheet.At(x, y), expected) << x << "," << y;
    }
}

}  // namespace
