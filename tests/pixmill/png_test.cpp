#include "pixmill/png.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "e2e/pictures.h"
#include "pixmill_test_support.h"

namespace {

using pixmill_test::Bytes;
using pixmill_test::MemoryFile;
using pixmill_test::OwnedBitmap;

// Two pixels of each colour type, read as 0xAARRGGBB words.
TEST(Png, ColourTypesDepthsAndTransparency) {
  const std::vector<pixmill_e2e::Rgba> palette = {{10, 20, 30, 255}, {200, 100, 50, 255}};
  struct Case {
    const char* what;
    int colourType, depth;
    std::vector<uint16_t> samples;
    Bytes transparency;
    std::vector<uint32_t> pixels;
  };
  const Case cases[] = {
      {"grey 8", 0, 8, {0x00, 0x80}, {}, {0xFF000000, 0xFF808080}},
      {"grey 1", 0, 1, {1, 0}, {}, {0xFFFFFFFF, 0xFF000000}},
      {"grey 16 keeps the high byte", 0, 16, {0x12FF, 0xAB00}, {}, {0xFF121212, 0xFFABABAB}},
      {"grey keyed", 0, 8, {7, 8}, {0, 7}, {0x00070707, 0xFF080808}},
      {"rgb 8", 2, 8, {1, 2, 3, 4, 5, 6}, {}, {0xFF010203, 0xFF040506}},
      {"palette with alpha", 3, 8, {1, 0}, {0x40}, {0xFFC86432, 0x400A141E}},
      {"grey and alpha", 4, 8, {9, 0x10, 10, 0xF0}, {}, {0x10090909, 0xF00A0A0A}},
      {"rgba 16", 6, 16, {0x0100, 0x0200, 0x0300, 0x8000, 0xFFFF, 0, 0, 0}, {}, {0x80010203, 0x00FF0000}},
  };
  for (const Case& c : cases) {
    MemoryFile file(pixmill_e2e::PngFile(2, 1, c.colourType, c.depth, c.samples,
                                         c.colourType == 3 ? palette : std::vector<pixmill_e2e::Rgba>{},
                                         c.transparency));
    Bitmap* read = nullptr;
    int32_t width = 0, height = 0;
    ASSERT_EQ(pngRead(&read, &width, &height, &file, kFormat8888, 4096), 1) << c.what;
    ASSERT_NE(read, nullptr) << c.what;
    OwnedBitmap bitmap(read);
    EXPECT_EQ(width, 2);
    EXPECT_EQ(height, 1);
    EXPECT_EQ((std::vector<uint32_t>{bitmapGetPixel(read, 0, 0), bitmapGetPixel(read, 1, 0)}), c.pixels)
        << c.what;
  }
}

TEST(Png, TooLargeIsMeasuredAndCutShortFails) {
  const Bytes png = pixmill_e2e::PngFile(5, 3, 0, 8, std::vector<uint16_t>(15, 1));
  {
    MemoryFile file(png);
    EXPECT_TRUE(pngIsPng(&file));
    Bitmap* read = nullptr;
    int32_t width = 0, height = 0;
    ASSERT_EQ(pngRead(&read, &width, &height, &file, kFormat8888, 4), 1);
    EXPECT_EQ(read, nullptr);
    EXPECT_EQ(width, 5);
    EXPECT_EQ(height, 3);
  }
  for (std::size_t keep : {std::size_t{8}, std::size_t{30}, png.size() - 13}) {
    MemoryFile file(Bytes(png.begin(), png.begin() + static_cast<std::ptrdiff_t>(keep)));
    Bitmap* read = nullptr;
    int32_t width = 0, height = 0;
    EXPECT_EQ(pngRead(&read, &width, &height, &file, kFormat8888, 4096), 0) << keep;
    EXPECT_EQ(read, nullptr) << keep;
  }
  MemoryFile notPng(Bytes{'G', 'I', 'F', '8', '9', 'a', 0, 0, 0});
  EXPECT_FALSE(pngIsPng(&notPng));
}

}  // namespace
