#include "pixmill/pcx.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "pixmill_test_support.h"

namespace {

using pixmill_test::Bytes;
using pixmill_test::MemoryFile;
using pixmill_test::OwnedBitmap;
using pixmill_test::printedBy;

struct PcxShape {
  int width;
  int height;
  uint8_t encoding;
  uint8_t version = 5;
  uint8_t bitsPerPixel = 8;
  uint8_t planes = 1;
};

// Header colour i is (16 i, 16 i + 1, 16 i + 2).
Bytes pcxHeader(const PcxShape& shape) {
  Bytes header(128, 0);
  header[0] = 0x0A;
  header[1] = shape.version;
  header[2] = shape.encoding;
  header[3] = shape.bitsPerPixel;
  const int xmin = -2, ymin = 7;  // the size is a difference of the bounds
  const int xmax = xmin + shape.width - 1, ymax = ymin + shape.height - 1;
  const int bounds[4] = {xmin, ymin, xmax, ymax};
  for (int i = 0; i < 4; ++i) {
    header[4 + 2 * i] = static_cast<uint8_t>(bounds[i]);
    header[5 + 2 * i] = static_cast<uint8_t>(bounds[i] >> 8);
  }
  for (int i = 0; i < 48; ++i) header[16 + i] = static_cast<uint8_t>((i / 3) * 16 + i % 3);
  header[65] = shape.planes;
  return header;
}

// Palette block colour i is (i, 255 - i, i ^ 0x55).
Bytes paletteBlock(uint8_t marker = 12) {
  Bytes block{marker};
  for (int i = 0; i < 256; ++i) {
    block.push_back(static_cast<uint8_t>(i));
    block.push_back(static_cast<uint8_t>(255 - i));
    block.push_back(static_cast<uint8_t>(i ^ 0x55));
  }
  return block;
}

Bytes pcxFile(const PcxShape& shape, const Bytes& pixels, const Bytes& tail) {
  Bytes file = pcxHeader(shape);
  file.insert(file.end(), pixels.begin(), pixels.end());
  file.insert(file.end(), tail.begin(), tail.end());
  return file;
}

// The palette index of each pixel, recovered from the red of the block
// palette, row by row.
std::vector<int> indexesOf(const Bitmap* bitmap) {
  std::vector<int> indexes;
  for (int y = 0; y < bitmap->height; ++y) {
    for (int x = 0; x < bitmap->width; ++x) {
      indexes.push_back((bitmapGetPixel(bitmap, x, y) >> 16) & 0xFF);
    }
  }
  return indexes;
}

TEST(PcxHeader, SetupChecksTheFirstByteAndSizesComeFromTheBounds) {
  MemoryFile good(pcxFile({5, 3, 1}, {}, {}));
  EXPECT_TRUE(pcxIsPcx(&good));
  EXPECT_EQ(good.GetCurrentPosition(), 0u);
  PcxReader reader;
  ASSERT_EQ(pcxSetup(&reader, &good), 1);
  EXPECT_EQ(pcxWidth(reader), 5);
  EXPECT_EQ(pcxHeight(reader), 3);

  Bytes wrongFirst = pcxHeader({5, 3, 1});
  wrongFirst[0] = 0x0B;
  MemoryFile notPcx(wrongFirst);
  EXPECT_FALSE(pcxIsPcx(&notPcx));
  EXPECT_EQ(pcxSetup(&reader, &notPcx), 0);

  Bytes cut = pcxHeader({5, 3, 1});
  cut.pop_back();
  MemoryFile shortHeader(cut);
  EXPECT_EQ(pcxSetup(&reader, &shortHeader), 0);
  MemoryFile empty;
  EXPECT_FALSE(pcxIsPcx(&empty));
}

TEST(PcxPalette, TakesTheBlockOnlyForAMarkedEightBitOnePlanePicture) {
  struct Case {
    const char* what;
    PcxShape shape;
    Bytes tail;
    bool fromBlock;
  };
  const Bytes filler(200, 0x01);
  Bytes unmarked = paletteBlock(11);
  const Case cases[] = {
      {"256-colour picture", {2, 2, 0}, paletteBlock(), true},
      {"no marker", {2, 2, 0}, unmarked, false},
      {"version 3", {2, 2, 0, 3}, paletteBlock(), false},
      {"4 bits per pixel", {2, 2, 0, 5, 4}, paletteBlock(), false},
      {"3 planes", {2, 2, 0, 5, 8, 3}, paletteBlock(), false},
      // Too short to hold a palette block after the header: the header
      // colours serve instead of a failed or misplaced seek.
      {"16-colour picture of 132 bytes", {2, 2, 0}, {}, false},
      {"short picture ending in a marker", {2, 2, 0}, Bytes(600, 12), false},
  };
  for (const Case& c : cases) {
    MemoryFile file(pcxFile(c.shape, {1, 2, 3, 4}, c.tail));
    PcxReader reader;
    ASSERT_EQ(pcxSetup(&reader, &file), 1);
    PcxPalette palette;
    ASSERT_EQ(pcxReadPalette(&reader, &palette), 1) << c.what;
    for (int i = 0; i < 256; ++i) {
      const PcxColour& got = palette.colours[i];
      const int r = c.fromBlock ? i : (i % 16) * 16;
      const int g = c.fromBlock ? 255 - i : (i % 16) * 16 + 1;
      const int b = c.fromBlock ? i ^ 0x55 : (i % 16) * 16 + 2;
      ASSERT_EQ(std::vector<int>({got.red, got.green, got.blue}), std::vector<int>({r, g, b}))
          << c.what << ", entry " << i;
    }
  }
}

Bytes withPalette(const PcxShape& shape, const Bytes& pixels) {
  return pcxFile(shape, pixels, paletteBlock());
}

TEST(PcxPixels, DecodesRawAndRunLengthStreams) {
  struct Case {
    const char* what;
    PcxShape shape;
    Bytes data;
    std::vector<int> indexes;
  };
  const Case cases[] = {
      {"raw", {2, 2, 0}, {1, 2, 3, 4}, {1, 2, 3, 4}},
      {"raw, odd width drops a byte per row", {3, 2, 0}, {1, 2, 3, 99, 4, 5, 6, 99}, {1, 2, 3, 4, 5, 6}},
      {"raw bytes above 0xBF are indexes", {2, 1, 0}, {0xC3, 0xFF}, {0xC3, 0xFF}},
      {"0xBF is a plain index", {2, 1, 1}, {0xBF, 0x01}, {191, 1}},
      {"0xC1 0x05 is one pixel", {2, 1, 1}, {0xC1, 0x05, 0x07}, {5, 7}},
      {"0xC0 still gives one pixel", {2, 1, 1}, {0xC0, 0x09, 0x02}, {9, 2}},
      {"runs cross row ends", {2, 2, 1}, {0xC4, 0x03}, {3, 3, 3, 3}},
      {"a run covers the pad byte", {3, 2, 1}, {0xC4, 0x07, 0xC4, 0x08}, {7, 7, 7, 8, 8, 8}},
      {"pad byte taken from the stream", {1, 2, 1}, {0x05, 0xC1, 0xEE, 0x06, 0x00}, {5, 6}},
      {"run of a value above 0xBF", {2, 1, 1}, {0xC2, 0xC5}, {0xC5, 0xC5}},
      {"longest run", {63, 1, 1}, {0xFF, 0x0B, 0x00}, std::vector<int>(63, 0x0B)},
  };
  for (const Case& c : cases) {
    MemoryFile file(withPalette(c.shape, c.data));
    PcxReader reader;
    PcxPalette palette;
    ASSERT_EQ(pcxSetup(&reader, &file), 1);
    ASSERT_EQ(pcxReadPalette(&reader, &palette), 1);
    OwnedBitmap bitmap(kFormat8888, c.shape.width, c.shape.height);
    ASSERT_EQ(pcxReadPixels(bitmap.get(), &reader, &palette, false), 1) << c.what;
    EXPECT_EQ(indexesOf(bitmap.get()), c.indexes) << c.what;
    EXPECT_EQ(bitmapGetPixel(bitmap.get(), 0, 0) >> 24, 0xFFu) << c.what;
  }
}

TEST(PcxPixels, FailsOnShortDataUnknownEncodingOrAWrongBitmap) {
  struct Case {
    const char* what;
    PcxShape shape;
    Bytes data;
    int bitmapWidth;
  };
  const Case cases[] = {
      {"raw data one byte short", {2, 2, 0}, {1, 2, 3}, 2},
      {"pad byte missing", {3, 1, 0}, {1, 2, 3}, 3},
      {"run without its value", {3, 1, 1}, {0x01, 0xC2}, 3},
      {"encoding 2", {2, 1, 2}, {1, 2}, 2},
      {"bitmap narrower than the picture", {3, 1, 0}, {1, 2, 3, 0}, 2},
  };
  for (const Case& c : cases) {
    // Without a palette block the data is the end of the file.
    MemoryFile file(pcxFile(c.shape, c.data, {}));
    PcxReader reader;
    PcxPalette palette;
    ASSERT_EQ(pcxSetup(&reader, &file), 1);
    ASSERT_EQ(pcxReadPalette(&reader, &palette), 1);
    OwnedBitmap bitmap(kFormat8888, c.bitmapWidth, c.shape.height);
    EXPECT_EQ(pcxReadPixels(bitmap.get(), &reader, &palette, false), 0) << c.what;
    EXPECT_EQ(pcxReadPixelsKeyed(bitmap.get(), &reader, &palette, false), 0) << c.what;
  }
}

TEST(PcxPixels, StreamsLongerThanTheReadBufferAndRepeatedPasses) {
  const int width = 301, height = 3;  // 302 bytes a row: refills mid-row
  Bytes data;
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x <= width; ++x) data.push_back(static_cast<uint8_t>((x + y) % 0xC0));
  }
  MemoryFile file(withPalette({width, height, 0}, data));
  PcxReader reader;
  PcxPalette palette;
  ASSERT_EQ(pcxSetup(&reader, &file), 1);
  ASSERT_EQ(pcxReadPalette(&reader, &palette), 1);
  OwnedBitmap bitmap(kFormat8888, width, height);
  for (int pass = 0; pass < 2; ++pass) {
    ASSERT_EQ(pcxReadPixels(bitmap.get(), &reader, &palette, false), 1);
    for (int y = 0; y < height; ++y) {
      for (int x = 0; x < width; ++x) {
        ASSERT_EQ((bitmapGetPixel(bitmap.get(), x, y) >> 16) & 0xFF,
                  static_cast<uint32_t>((x + y) % 0xC0));
      }
    }
  }
}

TEST(PcxPixels, KeyedReadMakesIndexZeroTransparentAndListsRunLengthRows) {
  PcxPalette palette;
  for (int i = 0; i < 256; ++i) {
    palette.colours[i] = PcxColour{static_cast<uint8_t>(i), 0x80, 0x0F};
  }
  MemoryFile file(pcxFile({2, 1, 1}, {0x00, 0xC1, 0x21}, {}));
  PcxReader reader;
  ASSERT_EQ(pcxSetup(&reader, &file), 1);
  OwnedBitmap bitmap(kFormat1555, 2, 1);
  const std::string listed = printedBy([&] {
    EXPECT_EQ(pcxReadPixelsKeyed(bitmap.get(), &reader, &palette, true), 1);
  });
  EXPECT_EQ(listed,
            "pcx y0x0: index 0 (pal 0,128,15) now 0 128 8 0\n"
            "pcx y0x1: index 33 (pal 33,128,15) now 32 128 8 255\n");
  EXPECT_EQ(bitmapGetPixel(bitmap.get(), 0, 0), 0x00008008u);
  EXPECT_EQ(bitmapGetPixel(bitmap.get(), 1, 0), 0xFF208008u);

  MemoryFile raw(pcxFile({2, 1, 0}, {0x00, 0x21}, {}));
  ASSERT_EQ(pcxSetup(&reader, &raw), 1);
  EXPECT_EQ(printedBy([&] {
              EXPECT_EQ(pcxReadPixelsKeyed(bitmap.get(), &reader, &palette, true), 1);
            }),
            "");
}

TEST(PcxPixels, InfoListsTheFirstTwelvePixelsOfTheTopRow) {
  PcxPalette palette;
  for (int i = 0; i < 256; ++i) {
    palette.colours[i] = PcxColour{static_cast<uint8_t>(i), 1, 2};
  }
  Bytes data;
  for (int i = 0; i < 28; ++i) data.push_back(static_cast<uint8_t>(i));
  MemoryFile file(pcxFile({14, 2, 0}, data, {}));
  PcxReader reader;
  ASSERT_EQ(pcxSetup(&reader, &file), 1);
  OwnedBitmap bitmap(kFormat565, 14, 2);
  std::string expected;
  for (int x = 0; x < 12; ++x) {
    expected += "pcx y0x" + std::to_string(x) + ": index " + std::to_string(x) +
                " (pal " + std::to_string(x) + ",1,2)\n";
  }
  EXPECT_EQ(printedBy([&] {
              EXPECT_EQ(pcxReadPixels(bitmap.get(), &reader, &palette, true), 1);
            }),
            expected);
  EXPECT_EQ(bitmapGetPixel(bitmap.get(), 13, 1), 0xFF180000u);  // index 27
}

TEST(PcxIndexes, CountsIndexesOutsideTheWindowAndKeepsTheLast) {
  struct Case {
    Bytes data;
    int low, high;
    success result;
    int32_t count, like;
  };
  const Case cases[] = {
      {{16, 17, 31, 20}, 16, 31, 1, 0, 0},
      {{16, 15, 32, 20}, 16, 31, 0, 2, 32},
      {{0xC3, 40, 16}, 16, 31, 0, 3, 40},  // a run counts each pixel
  };
  for (const Case& c : cases) {
    MemoryFile file(pcxFile({2, 2, static_cast<uint8_t>(c.data.size() == 4 ? 0 : 1)},
                            c.data, {}));
    PcxReader reader;
    ASSERT_EQ(pcxSetup(&reader, &file), 1);
    int32_t count = -1, like = -1;
    EXPECT_EQ(pcxCheckIndexes(&reader, c.low, c.high, &count, &like), c.result);
    EXPECT_EQ(count, c.count);
    if (c.count > 0) {
      EXPECT_EQ(like, c.like);
    }
  }
}

}  // namespace
