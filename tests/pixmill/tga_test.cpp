#include "pixmill/tga.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "pixmill_test_support.h"

namespace {

using pixmill_test::Bytes;
using pixmill_test::MemoryFile;
using pixmill_test::OwnedBitmap;
using pixmill_test::put16;
using pixmill_test::put8;

struct Shape {
  int width, height, depth;
  uint8_t imageType = 2;  // 10: run-length coded
  uint8_t descriptor = 0x20;
  uint8_t idLength = 0, mapType = 0;
  uint16_t mapLength = 0;
  uint8_t mapBits = 0;
};

// The header, id and colour-map bytes of 0xEE, then `data`.
Bytes tgaFile(const Shape& s, const Bytes& data) {
  Bytes f;
  for (uint32_t byte : {s.idLength, s.mapType, s.imageType, uint8_t{0}, uint8_t{0}}) put8(&f, byte);
  put16(&f, s.mapLength);
  put8(&f, s.mapBits);
  for (uint32_t word : {0, 0, s.width, s.height}) put16(&f, word);
  put8(&f, static_cast<uint32_t>(s.depth));
  put8(&f, s.descriptor);
  f.insert(f.end(), s.idLength + (s.mapType ? s.mapLength * s.mapBits / 8 : 0), 0xEE);
  f.insert(f.end(), data.begin(), data.end());
  return f;
}

// 24-bit pixels A, B, C, D in file order.
const Bytes kFour = {1, 2, 3, 0x11, 0x12, 0x13, 0x21, 0x22, 0x23, 0x31, 0x32, 0x33};
constexpr uint32_t A = 0xFF030201, B = 0xFF131211, C = 0xFF232221, D = 0xFF333231;
constexpr uint32_t kFallback = 0xFFFF6480;

TEST(Tga, OrientationsDepthsAndPackets) {
  struct Case { const char* what; Shape shape; Bytes data; std::vector<uint32_t> rows; };
  const Case cases[] = {
      {"bottom-up", {2, 2, 24, 2, 0x00}, kFour, {C, D, A, B}},
      {"top-down", {2, 2, 24, 2, 0x20}, kFour, {A, B, C, D}},
      {"bottom-up, right to left", {2, 2, 24, 2, 0x10}, kFour, {D, C, B, A}},
      {"top-down, right to left", {2, 2, 24, 2, 0x38}, kFour, {B, A, D, C}},
      {"16-bit, bit 15 no alpha", {3, 1, 16}, {0xFF, 0xFF, 0x00, 0x7C, 0x1F, 0x00},
       {0xFFF8F8F8, 0xFFF80000, 0xFF0000F8}},
      {"15-bit", {2, 1, 15}, {0xE0, 0x03, 0x21, 0x04}, {0xFF00F800, 0xFF080808}},
      {"32-bit alpha", {2, 1, 32}, {0x10, 0x20, 0x30, 0x40, 1, 2, 3, 0}, {0x40302010, 0x00030201}},
      {"8-bit: fallback colour", {2, 2, 8}, {}, {kFallback, kFallback, kFallback, kFallback}},
      {"id and 24-bit map skipped", {1, 1, 24, 2, 0x20, 3, 1, 2, 24}, {1, 2, 3}, {A}},
      {"15-bit map: 45 bits, 5 bytes", {1, 1, 24, 2, 0x20, 0, 1, 3, 15}, {1, 2, 3}, {A}},
      {"map length without a map", {1, 1, 24, 2, 0x20, 0, 0, 9, 24}, {1, 2, 3}, {A}},
      {"packets, bottom-up", {3, 2, 24, 10, 0x00}, {0x82, 1, 2, 3, 0x02, 0x11, 0x12, 0x13, 0x21, 0x22, 0x23, 0x31, 0x32, 0x33},
       {B, C, D, A, A, A}},
      {"repeat past the end", {2, 1, 24, 10}, {0xFF, 1, 2, 3}, {A, A}},
      {"raw packet past the end", {2, 1, 24, 10}, {0x05, 1, 2, 3, 0x11, 0x12, 0x13}, {A, B}},
      {"fallback runs", {2, 1, 8, 10}, {0x81}, {kFallback, kFallback}},
      {"32-bit runs across rows", {1, 2, 32, 11}, {0x81, 1, 2, 3, 4}, {0x04030201, 0x04030201}},
  };
  for (const Case& c : cases) {
    MemoryFile file(tgaFile(c.shape, c.data));
    Bitmap* read = nullptr;
    ASSERT_EQ(tgaRead(&read, &file, kFormat8888), 1) << c.what;
    OwnedBitmap bitmap(read);
    std::vector<uint32_t> rows;
    for (int y = 0; y < read->height; ++y) {
      for (int x = 0; x < read->width; ++x) rows.push_back(bitmapGetPixel(read, x, y));
    }
    EXPECT_EQ(rows, c.rows) << c.what;
  }
  MemoryFile file(tgaFile({2, 1, 32}, {0, 0x80, 0xFF, 0x7F, 0, 0x80, 0xFF, 0x80}));
  Bitmap* read = nullptr;
  ASSERT_EQ(tgaRead(&read, &file, kFormat1555), 1);
  OwnedBitmap bitmap(read);
  EXPECT_EQ(bitmapGetPixel(read, 0, 0), 0x00F88000u);
  EXPECT_EQ(bitmapGetPixel(read, 1, 0), 0xFFF88000u);
}

// A cut-short file fails as a whole: no half-read picture is handed on.
TEST(Tga, CutShortOrEmptyPicturesFailAndLeaveNothing) {
  struct Case { const char* what; Shape shape; Bytes data; size_t cut; };
  const Case cases[] = {
      {"raw one byte short", {2, 1, 24}, {1, 2, 3, 4, 5}, 0},
      {"16-bit one byte short", {1, 1, 16}, {1}, 0},
      {"run packet without its pixel", {2, 1, 24, 10}, {0x81}, 0},
      {"raw packet cut short", {3, 1, 24, 10}, {0x02, 1, 2, 3, 4, 5, 6}, 0},
      {"packets end early", {4, 1, 24, 10}, {0x81, 1, 2, 3, 0x80, 1, 2, 3}, 0},
      {"fallback runs end early", {3, 1, 8, 10}, {0x81}, 0},
      {"id past the end", {1, 1, 8, 2, 0x20, 5}, {}, 5},
      {"header cut", {1, 1, 8}, {}, 1},
      {"empty file", {1, 1, 8}, {}, 18},
      {"width 0", {0, 4, 24}, {}, 0},
      {"height 0", {4, 0, 24}, {}, 0},
  };
  for (const Case& c : cases) {
    Bytes bytes = tgaFile(c.shape, c.data);
    bytes.resize(bytes.size() - c.cut);
    MemoryFile file(bytes);
    Bitmap* read = reinterpret_cast<Bitmap*>(&file);
    EXPECT_EQ(tgaRead(&read, &file, kFormat565), 0) << c.what;
    EXPECT_EQ(read, nullptr) << c.what;
  }
}

// The least size is exact: a file of that many bytes is read whole, one
// byte less is cut short. A depth without decoded pixels is still counted
// a byte a pixel, though the reader takes the file without them.
TEST(Tga, PeekSizeGivesTheLeastWholeFile) {
  auto runs = [](size_t pixels, const Bytes& pixel) {
    Bytes data;
    for (; pixels > 0; pixels -= pixels < 128 ? pixels : 128) {
      data.push_back(static_cast<uint8_t>(0x80 | ((pixels < 128 ? pixels : 128) - 1)));
      data.insert(data.end(), pixel.begin(), pixel.end());
    }
    return data;
  };
  struct Case { const char* what; Shape shape; Bytes data; bool decoded; };
  const Case cases[] = {
      {"raw 24-bit", {3, 2, 24}, Bytes(18, 7), true},
      {"raw 16-bit", {5, 1, 16}, Bytes(10, 7), true},
      {"raw 32-bit with an id and a map", {2, 2, 32, 2, 0x20, 3, 1, 4, 24}, Bytes(16, 7), true},
      {"300 pixels in three runs", {30, 10, 24, 10}, runs(300, {1, 2, 3}), true},
      {"128 pixels in one run", {64, 2, 32, 10}, runs(128, {1, 2, 3, 4}), true},
      {"8-bit", {4, 3, 8}, Bytes(12, 7), false},
      {"8-bit in runs", {200, 1, 8, 9}, {0xFF, 7, 0xC7, 7}, false},
  };
  for (const Case& c : cases) {
    const Bytes whole = tgaFile(c.shape, c.data);
    MemoryFile file(whole);
    TgaSize size{};
    ASSERT_EQ(tgaPeekSize(&size, &file), 1) << c.what;
    EXPECT_EQ(file.GetCurrentPosition(), 0u) << c.what;
    EXPECT_EQ(size.width, c.shape.width) << c.what;
    EXPECT_EQ(size.height, c.shape.height) << c.what;
    EXPECT_EQ(size.leastFileSize, whole.size()) << c.what;

    Bitmap* read = nullptr;
    EXPECT_EQ(tgaRead(&read, &file, kFormat8888), 1) << c.what;
    bitmapDestroy(read);
    MemoryFile cut(Bytes(whole.begin(), whole.end() - 1));
    read = nullptr;
    EXPECT_EQ(tgaRead(&read, &cut, kFormat8888), c.decoded ? 0 : 1) << c.what;
    bitmapDestroy(read);
  }
  MemoryFile shortHeader(Bytes(17, 0));
  TgaSize size{};
  EXPECT_EQ(tgaPeekSize(&size, &shortHeader), 0);
}

}  // namespace
