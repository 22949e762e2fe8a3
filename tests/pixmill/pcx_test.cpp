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

struct Shape {
  int width, height;
  uint8_t encoding;
  uint8_t version = 5, bitsPerPixel = 8, planes = 1;
};

// Header colour i is (16 i, 16 i + 1, 16 i + 2); the bounds start at
// (-2, 7). `tail` follows the pixel data.
Bytes pcxFile(const Shape& s, const Bytes& pixels, const Bytes& tail = {}) {
  Bytes f(128, 0);
  f[0] = 0x0A, f[1] = s.version, f[2] = s.encoding, f[3] = s.bitsPerPixel, f[65] = s.planes;
  const int bounds[4] = {-2, 7, s.width - 3, s.height + 6};
  for (int i = 0; i < 4; ++i) f[4 + 2 * i] = bounds[i] & 0xFF, f[5 + 2 * i] = (bounds[i] >> 8) & 0xFF;
  for (int i = 0; i < 48; ++i) f[16 + i] = static_cast<uint8_t>((i / 3) * 16 + i % 3);
  f.insert(f.end(), pixels.begin(), pixels.end());
  f.insert(f.end(), tail.begin(), tail.end());
  return f;
}

// A palette block whose colour i is (i, 255 - i, i ^ 0x55).
Bytes paletteBlock(uint8_t marker = 12) {
  Bytes block{marker};
  for (int i = 0; i < 256; ++i) block.insert(block.end(), {uint8_t(i), uint8_t(255 - i), uint8_t(i ^ 0x55)});
  return block;
}

struct Opened {
  MemoryFile file;
  PcxReader reader;
  PcxPalette palette;
  explicit Opened(Bytes bytes) : file(std::move(bytes)) {
    EXPECT_EQ(pcxSetup(&reader, &file), 1);
    EXPECT_EQ(pcxReadPalette(&reader, &palette), 1);
  }
};

TEST(Pcx, PaletteFromTheBlockOnlyForAMarkedEightBitOnePlanePicture) {
  struct Case { const char* what; Shape shape; Bytes tail; bool fromBlock; };
  const Case cases[] = {
      {"256 colours", {2, 2, 0}, paletteBlock(), true},
      {"no marker", {2, 2, 0}, paletteBlock(11), false},
      {"version 3", {2, 2, 0, 3}, paletteBlock(), false},
      {"4 bits", {2, 2, 0, 5, 4}, paletteBlock(), false},
      {"3 planes", {2, 2, 0, 5, 8, 3}, paletteBlock(), false},
      // Shorter than a palette block: the header colours serve instead of a
      // failed seek.
      {"132 bytes", {2, 2, 0}, {}, false},
      {"short, ending in markers", {2, 2, 0}, Bytes(600, 12), false},
  };
  for (const Case& c : cases) {
    Opened pcx(pcxFile(c.shape, {1, 2, 3, 4}, c.tail));
    EXPECT_EQ(pcxWidth(pcx.reader), 2);
    for (int i = 0; i < 256; ++i) {
      const PcxColour& got = pcx.palette.colours[i];
      const int h = (i % 16) * 16;
      const std::vector<int> want = c.fromBlock ? std::vector<int>{i, 255 - i, i ^ 0x55}
                                                : std::vector<int>{h, h + 1, h + 2};
      ASSERT_EQ(std::vector<int>({got.red, got.green, got.blue}), want) << c.what << " " << i;
    }
  }
}

TEST(Pcx, DecodesRawAndRunLengthStreams) {
  struct Case { const char* what; Shape shape; Bytes data; std::vector<int> indexes; };
  Bytes longRows;  // 302 bytes a row: the 256-byte buffer refills mid-row
  for (int i = 0; i < 604; ++i) longRows.push_back(static_cast<uint8_t>(i % 302 == 301 ? 0 : i % 251));
  std::vector<int> longIndexes;
  for (int i = 0; i < 604; ++i) if (i % 302 != 301) longIndexes.push_back(i % 251);
  const Case cases[] = {
      {"raw", {2, 2, 0}, {1, 2, 0xC3, 4}, {1, 2, 0xC3, 4}},
      {"raw, odd width", {3, 2, 0}, {1, 2, 3, 99, 4, 5, 6, 99}, {1, 2, 3, 4, 5, 6}},
      {"raw across buffer refills", {301, 2, 0}, longRows, longIndexes},
      {"0xBF is an index", {2, 1, 1}, {0xBF, 0x01}, {191, 1}},
      {"0xC1 0x05 is one pixel", {2, 1, 1}, {0xC1, 0x05, 0x07}, {5, 7}},
      {"0xC0 still gives one pixel", {2, 1, 1}, {0xC0, 0x09, 0x02}, {9, 2}},
      {"runs cross rows", {2, 2, 1}, {0xC4, 0x03}, {3, 3, 3, 3}},
      {"a run covers the pad byte", {3, 2, 1}, {0xC4, 0x07, 0xC4, 0x08}, {7, 7, 7, 8, 8, 8}},
      {"pad byte from the stream", {1, 2, 1}, {0x05, 0xC1, 0xEE, 0x06, 0x00}, {5, 6}},
      {"longest run", {63, 1, 1}, {0xFF, 0xC5, 0x00}, std::vector<int>(63, 0xC5)},
  };
  for (const Case& c : cases) {
    Opened pcx(pcxFile(c.shape, c.data, paletteBlock()));
    OwnedBitmap bitmap(kFormat8888, c.shape.width, c.shape.height);
    for (int pass = 0; pass < 2; ++pass) {  // every pass starts over
      ASSERT_EQ(pcxReadPixels(bitmap.get(), &pcx.reader, &pcx.palette, false), 1) << c.what;
      std::vector<int> indexes;
      for (int y = 0; y < c.shape.height; ++y) {
        for (int x = 0; x < c.shape.width; ++x) {
          const uint32_t pixel = bitmapGetPixel(bitmap.get(), x, y);
          EXPECT_EQ(pixel >> 24, 0xFFu);
          indexes.push_back((pixel >> 16) & 0xFF);
        }
      }
      EXPECT_EQ(indexes, c.indexes) << c.what;
    }
  }
}

TEST(Pcx, FailsOnBadHeadersShortDataUnknownEncodingsAndWrongBitmaps) {
  PcxReader reader;
  MemoryFile good(pcxFile({2, 2, 0}, {}));
  EXPECT_TRUE(pcxIsPcx(&good));
  EXPECT_EQ(good.GetCurrentPosition(), 0u);
  Bytes header = pcxFile({2, 2, 0}, {});
  header.pop_back();
  MemoryFile shortHeader(header);
  EXPECT_EQ(pcxSetup(&reader, &shortHeader), 0);
  header = pcxFile({2, 2, 0}, {});
  header[0] = 0x0B;
  MemoryFile notPcx(header);
  EXPECT_FALSE(pcxIsPcx(&notPcx));
  EXPECT_EQ(pcxSetup(&reader, &notPcx), 0);

  struct Case { const char* what; Shape shape; Bytes data; int bitmapWidth; };
  const Case cases[] = {
      {"raw one byte short", {2, 2, 0}, {1, 2, 3}, 2},
      {"pad byte missing", {3, 1, 0}, {1, 2, 3}, 3},
      {"run without its value", {3, 1, 1}, {0x01, 0xC2}, 3},
      {"encoding 2", {2, 1, 2}, {1, 2}, 2},
      {"bitmap narrower than the picture", {3, 1, 0}, {1, 2, 3, 0}, 2},
      // Kinds other than one byte per pixel in one plane would be misread.
      {"24-bit in 3 planes", {2, 1, 0, 5, 8, 3}, {1, 2, 3, 4, 5, 6}, 2},
      {"16 colours in 4 planes", {2, 1, 0, 5, 1, 4}, {0x80, 0, 0x40, 0, 0, 0, 0, 0}, 2},
      {"4 bits in 1 plane", {2, 1, 0, 5, 4, 1}, {0x12, 0}, 2},
  };
  for (const Case& c : cases) {
    Opened pcx(pcxFile(c.shape, c.data));  // the data ends the file
    OwnedBitmap bitmap(kFormat8888, c.bitmapWidth, c.shape.height);
    EXPECT_EQ(pcxReadPixels(bitmap.get(), &pcx.reader, &pcx.palette, false), 0) << c.what;
    EXPECT_EQ(pcxReadPixelsKeyed(bitmap.get(), &pcx.reader, &pcx.palette, false), 0) << c.what;
  }
}

// The least size is exact: a file of that many bytes holds every index,
// one byte less is cut short.
TEST(Pcx, LeastFileSizeIsTheShortestWholeFile) {
  struct Case { const char* what; Shape shape; Bytes pixels; };
  const Case cases[] = {
      {"raw, even width", {4, 2, 0}, Bytes(8, 1)},
      {"raw, odd width pads its rows", {3, 3, 0}, Bytes(12, 1)},
      {"one run for the whole picture", {5, 3, 1}, {0xC0 | 18, 4}},
      {"runs of 63 across rows", {70, 2, 1}, {0xFF, 4, 0xFF, 5, 0xC0 | 14, 6}},
  };
  for (const Case& c : cases) {
    const Bytes whole = pcxFile(c.shape, c.pixels);
    Opened pcx(whole);
    EXPECT_EQ(pcxLeastFileSize(pcx.reader), whole.size()) << c.what;
    OwnedBitmap bitmap(kFormat8888, c.shape.width, c.shape.height);
    EXPECT_EQ(pcxReadPixels(bitmap.get(), &pcx.reader, &pcx.palette, false), 1) << c.what;
    Opened cut(Bytes(whole.begin(), whole.end() - 1));
    EXPECT_EQ(pcxReadPixels(bitmap.get(), &cut.reader, &cut.palette, false), 0) << c.what;
  }
  // Corners the wrong way round describe no pixels.
  Opened none(pcxFile({-1, 2, 0}, {}));
  EXPECT_EQ(pcxLeastFileSize(none.reader), 128u);
}

TEST(Pcx, KeyedReadMakesIndexZeroTransparentAndInfoListsTheTopRow) {
  PcxPalette palette;
  for (int i = 0; i < 256; ++i) palette.colours[i] = PcxColour{uint8_t(i), 0x80, 0x0F};
  MemoryFile rle(pcxFile({2, 1, 1}, {0x00, 0xC1, 0x21}));
  PcxReader reader;
  ASSERT_EQ(pcxSetup(&reader, &rle), 1);
  OwnedBitmap bitmap(kFormat1555, 2, 1);
  EXPECT_EQ(printedBy([&] { pcxReadPixelsKeyed(bitmap.get(), &reader, &palette, true); }),
            "pcx y0x0: index 0 (pal 0,128,15) now 0 128 8 0\n"
            "pcx y0x1: index 33 (pal 33,128,15) now 32 128 8 255\n");
  EXPECT_EQ(bitmapGetPixel(bitmap.get(), 0, 0), 0x00008008u);
  MemoryFile raw(pcxFile({2, 1, 0}, {0x00, 0x21}));
  ASSERT_EQ(pcxSetup(&reader, &raw), 1);
  EXPECT_EQ(printedBy([&] { pcxReadPixelsKeyed(bitmap.get(), &reader, &palette, true); }), "");

  Bytes data;
  for (int i = 0; i < 28; ++i) data.push_back(static_cast<uint8_t>(i));
  MemoryFile wide(pcxFile({14, 2, 0}, data));
  ASSERT_EQ(pcxSetup(&reader, &wide), 1);
  OwnedBitmap wideBitmap(kFormat565, 14, 2);
  std::string listed;
  for (int x = 0; x < 12; ++x) {
    listed += "pcx y0x" + std::to_string(x) + ": index " + std::to_string(x) + " (pal " +
              std::to_string(x) + ",128,15)\n";
  }
  EXPECT_EQ(printedBy([&] { pcxReadPixels(wideBitmap.get(), &reader, &palette, true); }), listed);
}

TEST(Pcx, CheckIndexesCountsPixelsOutsideTheWindowAndKeepsTheLast) {
  struct Case { Bytes data; success result; int32_t count, like; };
  const Case cases[] = {
      {{16, 17, 31, 20}, 1, 0, 0}, {{16, 15, 32, 20}, 0, 2, 32}, {{0xC3, 40, 16}, 0, 3, 40}};
  for (const Case& c : cases) {
    MemoryFile file(pcxFile({2, 2, uint8_t(c.data.size() == 4 ? 0 : 1)}, c.data));
    PcxReader reader;
    ASSERT_EQ(pcxSetup(&reader, &file), 1);
    int32_t count = -1, like = -1;
    EXPECT_EQ(pcxCheckIndexes(&reader, 16, 31, &count, &like), c.result);
    EXPECT_EQ(std::vector<int>({count, like}), std::vector<int>({c.count, c.like}));
  }
}

}  // namespace
