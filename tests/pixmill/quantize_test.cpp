// 4-bit levels: colour groups, histogram selection, median cut, nearest
// colours and the -info listings, against hand-worked results.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "pixmill/bitmap.h"
#include "pixmill/mip_data.h"
#include "pixmill/quantize.h"

namespace {

struct Options {
  bool transparent = false;
  bool translucent = false;
  bool heckbert = false;
  const Colormap* givenMap = nullptr;
  bool copyGivenMap = false;
  int32_t maskBits = -1;
  bool info = false;
};

struct Result {
  BitmapFormat format = -1;
  std::vector<uint32_t> map;  // empty when the level has none
  std::string indexes;        // one hex digit per pixel, rows split by '/'
  std::vector<uint8_t> bytes;
  std::string printed;
};

std::vector<uint32_t> repeat(std::vector<uint32_t> head, uint32_t filler) {
  head.resize(16, filler);
  return head;
}

Result quantize(int width, int height, const std::vector<uint32_t>& colours, const Options& o) {
  Bitmap* source = nullptr;
  EXPECT_TRUE(bitmapCreate(&source, kFormat8888, width, height));
  for (int i = 0; i < width * height; ++i) bitmapSetPixel(source, colours[i], i % width, i / width);
  Bitmap* level = nullptr;
  testing::internal::CaptureStdout();
  const bool ok = build4Bit(source, &level, o.transparent, o.translucent, o.heckbert, o.givenMap,
                            o.copyGivenMap, o.maskBits, o.info);
  Result result;
  result.printed = testing::internal::GetCapturedStdout();
  bitmapDestroy(source);
  EXPECT_TRUE(ok);
  if (!ok) return result;
  result.format = level->format;
  if (level->colormap != nullptr)
    result.map.assign(level->colormap->entries, level->colormap->entries + 16);
  for (int y = 0; y < height; ++y) {
    if (y > 0) result.indexes += '/';
    for (int x = 0; x < width; ++x) {
      const uint8_t byte = level->pixels[y * level->stride + x / 2];
      result.indexes += "0123456789ABCDEF"[x % 2 == 0 ? byte >> 4 : byte & 15];
    }
  }
  result.bytes.assign(level->pixels, level->pixels + level->stride * height);
  bitmapDestroy(level);
  return result;
}

class Build4Bit : public testing::Test {
 protected:
  void SetUp() override { mipSetFillRatios(1.0, 1.0); }
  void TearDown() override { mipSetFillRatios(1.0, 1.0); }
};

// Opaque mask (red and blue 0xF8, green 0xFC, alpha ignored), alpha forced to
// 255, groups in first-occurrence order, rounded means, counts deciding the
// order, nearest colours and nibble placement, with every listing.
TEST_F(Build4Bit, OpaqueHistogramWithListings) {
  Options o;
  o.info = true;
  const Result r = quantize(4, 2,
                            {0xFF100000, 0xFF170000, 0xFF180000, 0xFF100000,  //
                             0x00100000, 0xFF100400, 0xFF100300, 0xFF180000},
                            o);
  EXPECT_EQ(r.format, kFormat4BitOpaque);
  const std::string groups =
      "Histogram list:\n"
      "  0: 16 0 0  count: 5\n"
      "  1: 24 0 0  count: 2\n"
      "  2: 16 4 0  count: 1\n";
  std::string expected = groups +
                         "After resetting to average colors...\n"
                         "Histogram list:\n"
                         "  0: 17 1 0  count: 5\n"
                         "  1: 24 0 0  count: 2\n"
                         "  2: 16 4 0  count: 1\n"
                         "New colormap from histogram:\n"
                         "0: 17 1 0 255\n1: 24 0 0 255\n2: 16 4 0 255\n";
  for (int i = 3; i < 16; ++i) expected += std::to_string(i) + ": 17 1 0 255\n";
  EXPECT_EQ(r.printed, expected);
  EXPECT_EQ(r.map, repeat({0xFF110100, 0xFF180000, 0xFF100400}, 0xFF110100));
  EXPECT_EQ(r.indexes, "0110/0221");
  EXPECT_EQ(r.bytes, (std::vector<uint8_t>{0x01, 0x10, 0, 0, 0x02, 0x21, 0, 0}));
}

// Which colours fall into one group, shown by the first listing.
TEST_F(Build4Bit, MasksGroupColours) {
  struct Case {
    const char* name;
    bool transparent, translucent;
    int32_t maskBits;
    std::vector<uint32_t> colours;
    const char* groups;
  };
  const Case cases[] = {
      {"mask 0 keeps every colour", false, false, 0,
       {0xFF100000, 0xFF110000, 0xFF100000, 0xFF100001},
       "  0: 16 0 0  count: 2\n  1: 17 0 0  count: 1\n  2: 16 0 1  count: 1\n"},
      {"mask 3 takes alpha too", false, true, 3,
       {0xFF100000, 0xFA170000, 0xF0100000, 0xF7100007},
       "  0: 16 0 0  count: 2\n  1: 16 0 0  count: 2\n"},
      {"transparent: alpha by its top bit", true, false, -1,
       {0xC8100000, 0x80170000, 0x7F100000, 0x00180000},
       "  0: 16 0 0  count: 2\n  1: 16 0 0  count: 1\n  2: 24 0 0  count: 1\n"},
      {"translucent: four bits each", false, true, -1,
       {0xFF100000, 0xF01F0F0F, 0xEF100000, 0xFF200000},
       "  0: 16 0 0  count: 2\n  1: 16 0 0  count: 1\n  2: 32 0 0  count: 1\n"},
      {"opaque: green keeps six bits", false, false, -1,
       {0x00000400, 0xFF000700, 0xFF000800, 0xFF000007, 0xFF000008},
       "  0: 0 4 0  count: 2\n  1: 0 8 0  count: 1\n  2: 0 0 7  count: 1\n  3: 0 0 8  count: 1\n"},
  };
  for (const Case& c : cases) {
    Options o;
    o.transparent = c.transparent;
    o.translucent = c.translucent;
    o.maskBits = c.maskBits;
    o.info = true;
    const Result r = quantize(int(c.colours.size()), 1, c.colours, o);
    EXPECT_EQ(r.printed.substr(0, r.printed.find("After")), std::string("Histogram list:\n") + c.groups)
        << c.name;
  }
}

// Largest count first, the earlier group on ties, the first group once all
// are taken; a single colour fills the whole map.
TEST_F(Build4Bit, HistogramSelectionOrder) {
  const uint32_t a = 0xFF0000A0, b = 0xFF0000B0, c = 0xFF0000C0, d = 0xFF0000D0;
  Options o;
  o.maskBits = 0;
  EXPECT_EQ(quantize(13, 1, {a, b, c, b, c, a, d, b, c, b, c, b, c}, o).map,
            repeat({b, c, a, d}, a));
  EXPECT_EQ(quantize(3, 1, {d, d, d}, o).map, repeat({}, d));

  // Many groups: sixteen scans for the strictly largest count, as described,
  // against pictures of 40 colours with uneven counts.
  std::mt19937 random(5);
  for (int round = 0; round < 20; ++round) {
    std::vector<uint32_t> pixels(400), groups;
    std::vector<int> counts;
    for (uint32_t& p : pixels) {
      p = 0xFF000000u | uint32_t(random() % (1 + random() % 40)) * 0x010203u;
      const size_t at = std::find(groups.begin(), groups.end(), p) - groups.begin();
      if (at == groups.size()) groups.push_back(p), counts.push_back(0);
      ++counts[at];
    }
    std::vector<uint32_t> expected;
    for (int slot = 0; slot < 16; ++slot) {
      size_t best = 0;
      for (size_t i = 1; i < counts.size(); ++i)
        if (counts[i] > counts[best]) best = i;
      expected.push_back(groups[best]);
      counts[best] = -1;
    }
    EXPECT_EQ(quantize(40, 10, pixels, o).map, expected) << round;
  }
  o.heckbert = true;
  EXPECT_EQ(quantize(3, 1, {d, d, d}, o).map, repeat({}, d));
}

// Median cut on crafted groups (mask 0, one group per colour, opaque).
TEST_F(Build4Bit, MedianCutMaps) {
  struct Case {
    const char* name;
    std::vector<uint32_t> pixels;
    std::vector<uint32_t> map;
  };
  auto rgb = [](uint32_t r, uint32_t g, uint32_t b) { return 0xFF000000u | r << 16 | g << 8 | b; };
  std::vector<uint32_t> ramp, rampMap;
  for (uint32_t j = 0; j < 32; ++j) ramp.push_back(rgb(8 * j, 0, 0));
  for (uint32_t m = 0; m < 16; ++m) rampMap.push_back(rgb(16 * m + 4, 0, 0));
  const Case cases[] = {
      // Red splits first; each single-pixel box then cuts off an empty box
      // (no colour) until it ends as a leaf; few leaves repeat the first.
      {"singles and empty boxes",
       {rgb(200, 0, 0), rgb(0, 0, 100), rgb(10, 0, 0), rgb(100, 0, 50)},
       repeat({rgb(10, 0, 0), rgb(0, 0, 100), rgb(100, 0, 50), rgb(200, 0, 0)}, rgb(10, 0, 0))},
      {"green before red on equal spans", {rgb(0, 50, 10), rgb(50, 0, 0)},
       repeat({rgb(50, 0, 0), rgb(0, 50, 10)}, rgb(50, 0, 0))},
      {"blue before green on equal spans", {rgb(0, 0, 40), rgb(0, 40, 0)},
       repeat({rgb(0, 40, 0), rgb(0, 0, 40)}, rgb(0, 40, 0))},
      {"a span of 255 is taken at once", {rgb(0, 0, 255), rgb(255, 0, 0)},
       repeat({rgb(0, 0, 255), rgb(255, 0, 0)}, rgb(0, 0, 255))},
      {"counts place the cut",
       {rgb(30, 0, 0), rgb(10, 0, 0), rgb(10, 0, 0), rgb(20, 0, 0), rgb(10, 0, 0), rgb(10, 0, 0),
        rgb(10, 0, 0), rgb(10, 0, 0)},
       repeat({rgb(10, 0, 0), rgb(20, 0, 0), rgb(30, 0, 0)}, rgb(10, 0, 0))},
      {"a box that cannot split: plain mean rounded down",
       {rgb(11, 0, 0), rgb(11, 0, 0), rgb(10, 0, 0), rgb(11, 0, 0), rgb(11, 0, 0), rgb(11, 0, 0)},
       repeat({}, rgb(10, 0, 0))},
      {"sixteen leaves of two", ramp, rampMap},
  };
  Options o;
  o.maskBits = 0;
  o.heckbert = true;
  for (const Case& c : cases) {
    EXPECT_EQ(quantize(int(c.pixels.size()), 1, c.pixels, o).map, c.map) << c.name;
  }
}

// Only the used part is counted; a level with no used row or column counts
// its first one; every pixel is still mapped.
TEST_F(Build4Bit, CountsTheUsedPartOnly) {
  const uint32_t a = 0xFF101010, b = 0xFF808080, c = 0xFFF0F0F0;
  Options o;
  mipSetFillRatios(0.5, 0.5);
  Result r = quantize(4, 2, {a, b, c, c, c, c, c, c}, o);
  EXPECT_EQ(r.map, repeat({a, b}, a));
  EXPECT_EQ(r.indexes, "0111/1111");
  mipSetFillRatios(0.1, 0.1);
  o.heckbert = true;
  r = quantize(4, 2, {b, a, c, c, c, c, c, c}, o);
  EXPECT_EQ(r.map, repeat({}, b));
  EXPECT_EQ(r.indexes, "0000/0000");
}

// Alpha weighs nine times: a faint red is nearer transparent black than
// opaque red. A transparent pixel maps to the transparent entry.
TEST_F(Build4Bit, WeightedNearestAndTransparentPixels) {
  Colormap given{};
  for (uint32_t& entry : given.entries) entry = 0xFFFF0000;
  given.entries[5] = 0x00000000;
  Options o;
  o.translucent = true;
  o.givenMap = &given;
  Result r = quantize(3, 1, {0x64FF0000, 0xC8FF0000, 0x00000000}, o);
  EXPECT_EQ(r.indexes, "505");
  EXPECT_TRUE(r.map.empty());  // indexes refer to the given map

  Options t;
  t.transparent = true;
  r = quantize(4, 1, {0xFFFF0000, 0x00FF0000, 0xFFFF0000, 0xFFFF0000}, t);
  EXPECT_EQ(r.map, repeat({0xFFFF0000, 0x00FF0000}, 0xFFFF0000));
  EXPECT_EQ(r.indexes, "0100");
}

TEST_F(Build4Bit, OutputFormatAndGivenMapCopy) {
  Colormap given{};
  for (int i = 0; i < 16; ++i) given.entries[i] = 0xFF000000u | uint32_t(i * 16);
  const std::vector<uint32_t> copy(given.entries, given.entries + 16);
  struct Case { bool transparent, translucent; BitmapFormat format; };
  for (const Case& c : {Case{true, true, kFormat4BitTransparent}, Case{true, false, kFormat4BitTransparent},
                        Case{false, true, kFormat4BitTranslucent}, Case{false, false, kFormat4BitOpaque}}) {
    Options o;
    o.transparent = c.transparent;
    o.translucent = c.translucent;
    o.givenMap = &given;
    o.copyGivenMap = true;
    o.info = true;
    const Result r = quantize(5, 1, {0xFF000000, 0xFF000011, 0xFF0000F0, 0xFF0000E3, 0xFF000023}, o);
    EXPECT_EQ(r.format, c.format);
    EXPECT_EQ(r.map, copy);
    EXPECT_EQ(r.indexes, "01FE2");
    EXPECT_EQ(r.bytes, (std::vector<uint8_t>{0x01, 0xFE, 0x20, 0}));  // odd last pixel: high nibble
    EXPECT_EQ(r.printed, "");  // no listings with a given map
  }
}

}  // namespace
