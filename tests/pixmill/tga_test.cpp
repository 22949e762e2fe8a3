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

struct TgaShape {
  int width;
  int height;
  int depth;
  uint8_t imageType = 2;  // 10 = run-length coded
  uint8_t descriptor = 0x20;
  uint8_t idLength = 0;
  uint8_t colormapType = 0;
  uint16_t colormapLength = 0;
  uint8_t colormapEntryBits = 0;
};

// The header, then id and colour-map bytes of 0xEE, then `data`.
Bytes tgaFile(const TgaShape& shape, const Bytes& data) {
  Bytes file;
  put8(&file, shape.idLength);
  put8(&file, shape.colormapType);
  put8(&file, shape.imageType);
  put16(&file, 0);
  put16(&file, shape.colormapLength);
  put8(&file, shape.colormapEntryBits);
  put16(&file, 0);
  put16(&file, 0);
  put16(&file, static_cast<uint32_t>(shape.width));
  put16(&file, static_cast<uint32_t>(shape.height));
  put8(&file, static_cast<uint32_t>(shape.depth));
  put8(&file, shape.descriptor);
  size_t extra = shape.idLength;
  if (shape.colormapType) extra += shape.colormapLength * shape.colormapEntryBits / 8;
  file.insert(file.end(), extra, 0xEE);
  file.insert(file.end(), data.begin(), data.end());
  return file;
}

// Pixels of the bitmap, row 0 first.
std::vector<uint32_t> pixelsOf(const Bitmap* bitmap) {
  std::vector<uint32_t> pixels;
  for (int y = 0; y < bitmap->height; ++y) {
    for (int x = 0; x < bitmap->width; ++x) pixels.push_back(bitmapGetPixel(bitmap, x, y));
  }
  return pixels;
}

struct ReadCase {
  const char* what;
  TgaShape shape;
  Bytes data;
  std::vector<uint32_t> pixels;  // of the 8888 bitmap, row 0 first
};

void expectReads(const ReadCase& c) {
  MemoryFile file(tgaFile(c.shape, c.data));
  Bitmap* read = nullptr;
  ASSERT_EQ(tgaRead(&read, &file, kFormat8888), 1) << c.what;
  OwnedBitmap bitmap(read);
  EXPECT_EQ(read->width, c.shape.width) << c.what;
  EXPECT_EQ(read->height, c.shape.height) << c.what;
  EXPECT_EQ(pixelsOf(read), c.pixels) << c.what;
}

// 24-bit pixels A, B, C, D in file order.
const Bytes kFourPixels = {0x01, 0x02, 0x03, 0x11, 0x12, 0x13,
                           0x21, 0x22, 0x23, 0x31, 0x32, 0x33};
constexpr uint32_t A = 0xFF030201, B = 0xFF131211, C = 0xFF232221, D = 0xFF333231;

TEST(TgaRead, OrientationBitsPlaceTheFirstPixel) {
  const ReadCase cases[] = {
      {"bottom-up, left to right", {2, 2, 24, 2, 0x00}, kFourPixels, {C, D, A, B}},
      {"top-down, left to right", {2, 2, 24, 2, 0x20}, kFourPixels, {A, B, C, D}},
      {"bottom-up, right to left", {2, 2, 24, 2, 0x10}, kFourPixels, {D, C, B, A}},
      {"top-down, right to left", {2, 2, 24, 2, 0x30}, kFourPixels, {B, A, D, C}},
      {"attribute bits ignored", {2, 2, 24, 2, 0x28}, kFourPixels, {A, B, C, D}},
  };
  for (const ReadCase& c : cases) expectReads(c);
}

TEST(TgaRead, DepthsDecodeToEightBitComponents) {
  const ReadCase cases[] = {
      {"16-bit, bit 15 is no alpha", {3, 1, 16}, {0xFF, 0xFF, 0x00, 0x7C, 0x1F, 0x00},
       {0xFFF8F8F8, 0xFFF80000, 0xFF0000F8}},
      {"15-bit", {2, 1, 15}, {0xE0, 0x03, 0x21, 0x04}, {0xFF00F800, 0xFF080808}},
      {"24-bit", {1, 1, 24}, {0x10, 0x20, 0x30}, {0xFF302010}},
      {"32-bit keeps its alpha", {2, 1, 32}, {0x10, 0x20, 0x30, 0x40, 1, 2, 3, 0},
       {0x40302010, 0x00030201}},
      {"8-bit reads nothing: one fallback colour", {2, 2, 8}, {}, std::vector<uint32_t>(4, 0xFFFF6480)},
      {"id and colour map skipped", {1, 1, 24, 2, 0x20, 3, 1, 2, 24}, {0x10, 0x20, 0x30}, {0xFF302010}},
      {"colour map length ignored without a map", {1, 1, 24, 2, 0x20, 0, 0, 9, 24}, {0x10, 0x20, 0x30},
       {0xFF302010}},
      {"15-bit map entries: 45 bits take 5 bytes", {1, 1, 24, 2, 0x20, 0, 1, 3, 15}, {0x10, 0x20, 0x30},
       {0xFF302010}},
  };
  for (const ReadCase& c : cases) expectReads(c);
}

TEST(TgaRead, RunLengthPacketsStopAtTheLastPixel) {
  const ReadCase cases[] = {
      {"repeat and raw packets, bottom-up", {3, 2, 24, 10, 0x00},
       {0x82, 1, 2, 3, 0x02, 4, 5, 6, 7, 8, 9, 10, 11, 12},
       {0xFF060504, 0xFF090807, 0xFF0C0B0A, 0xFF030201, 0xFF030201, 0xFF030201}},
      {"packets run across rows", {2, 2, 24, 10, 0x20}, {0x83, 1, 2, 3},
       std::vector<uint32_t>(4, 0xFF030201)},
      {"repeat packet longer than the picture", {2, 1, 24, 10, 0x20}, {0xFF, 1, 2, 3},
       {0xFF030201, 0xFF030201}},
      {"raw packet longer than the picture", {2, 1, 24, 10, 0x20}, {0x05, 1, 2, 3, 4, 5, 6},
       {0xFF030201, 0xFF060504}},
      {"runs of the fallback colour", {2, 1, 8, 10, 0x20}, {0x81}, {0xFFFF6480, 0xFFFF6480}},
      {"32-bit runs", {1, 2, 32, 11, 0x20}, {0x81, 1, 2, 3, 4}, {0x04030201, 0x04030201}},
  };
  for (const ReadCase& c : cases) expectReads(c);
}

TEST(TgaRead, EveryCutShortOrEmptyPictureFailsAndLeavesNothing) {
  struct Case {
    const char* what;
    TgaShape shape;
    Bytes data;
  };
  const Case cases[] = {
      {"raw data one byte short", {2, 1, 24}, {1, 2, 3, 4, 5}},
      {"16-bit data one byte short", {1, 1, 16}, {1}},
      {"run packet without its pixel", {2, 1, 24, 10}, {0x81}},
      {"raw packet cut short", {3, 1, 24, 10}, {0x02, 1, 2, 3, 4, 5, 6}},
      {"packets end before the last pixel", {4, 1, 24, 10}, {0x81, 1, 2, 3, 0x80, 1, 2, 3}},
      {"fallback runs end early", {3, 1, 8, 10}, {0x81}},
      {"width 0", {0, 4, 24}, {}},
      {"height 0", {4, 0, 24}, {}},
      {"width and height 0", {0, 0, 8}, {}},
  };
  for (const Case& c : cases) {
    MemoryFile file(tgaFile(c.shape, c.data));
    Bitmap* read = reinterpret_cast<Bitmap*>(&file);
    EXPECT_EQ(tgaRead(&read, &file, kFormat565), 0) << c.what;
    EXPECT_EQ(read, nullptr) << c.what;
  }
  Bytes idTooLong = tgaFile({1, 1, 8}, {});
  idTooLong[0] = 5;  // the id runs past the end of the file
  MemoryFile idFile(idTooLong);
  Bitmap* read = nullptr;
  EXPECT_EQ(tgaRead(&read, &idFile, kFormat565), 0);
  for (size_t cut = 0; cut < 18; ++cut) {
    Bytes header = tgaFile({1, 1, 8}, {});
    header.resize(cut);
    MemoryFile shortFile(header);
    EXPECT_EQ(tgaRead(&read, &shortFile, kFormat565), 0) << "header of " << cut << " bytes";
  }
}

TEST(TgaRead, StoresThroughTheRequestedFormat) {
  MemoryFile file(tgaFile({2, 1, 32, 2, 0x20}, {0x00, 0x80, 0xFF, 0x7F, 0x00, 0x80, 0xFF, 0x80}));
  Bitmap* read = nullptr;
  ASSERT_EQ(tgaRead(&read, &file, kFormat1555), 1);
  OwnedBitmap bitmap(read);
  EXPECT_EQ(read->format, kFormat1555);
  EXPECT_EQ(pixelsOf(read), (std::vector<uint32_t>{0x00F88000, 0xFFF88000}));
}

}  // namespace
