#include "pixmill/mip_file.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "pixmill_test_support.h"
#include "runtime/mem.h"

namespace {

using pixmill_test::Bytes;
using pixmill_test::MemoryFile;
using pixmill_test::OwnedBitmap;
using pixmill_test::printedBy;
using pixmill_test::put32;
using pixmill_test::put8;
using pixmill_test::putText;

// ---- expected bytes, built independently of the writers ----------------

Bytes operator+(Bytes a, const Bytes& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

// A chunk: id as it appears in the file, subType, size, body, padding.
Bytes chunk(const char* idInFileOrder, const Bytes& body, uint32_t subType = 0) {
  Bytes out;
  putText(&out, idInFileOrder);
  put32(&out, subType);
  put32(&out, static_cast<uint32_t>(body.size()));
  out = out + body;
  while (out.size() % 4) out.push_back(0x20);
  return out;
}

Bytes mipHeader(uint8_t format, int32_t log2Width, int32_t log2Height,
                uint32_t average, uint8_t flags, int32_t levels) {
  Bytes r;
  put8(&r, format);
  put32(&r, static_cast<uint32_t>(log2Width));
  put32(&r, static_cast<uint32_t>(log2Height));
  put32(&r, average);
  put8(&r, flags);
  put32(&r, static_cast<uint32_t>(levels));
  return chunk("DHPM", r);
}

Bytes levelHeader(uint8_t format, int32_t width, int32_t height, int32_t stride,
                  uint8_t reserved = 0) {
  Bytes r;
  put8(&r, format);
  put32(&r, static_cast<uint32_t>(width));
  put32(&r, static_cast<uint32_t>(height));
  put32(&r, static_cast<uint32_t>(stride));
  put8(&r, reserved);
  return chunk("DHMB", r);
}

// Entry i is 0xF0000000 + i * 0x010203 + seed.
std::vector<uint32_t> mapEntries(uint32_t seed) {
  std::vector<uint32_t> entries;
  for (uint32_t i = 0; i < 16; ++i) entries.push_back(0xF0000000u + i * 0x010203u + seed);
  return entries;
}

Bytes colormapChunk(uint32_t seed) {
  Bytes r;
  for (uint32_t entry : mapEntries(seed)) put32(&r, entry);
  return chunk("PAMC", r);
}

// Pixel byte i is i * 7 + seed.
Bytes pixelBytes(size_t count, uint8_t seed) {
  Bytes r;
  for (size_t i = 0; i < count; ++i) r.push_back(static_cast<uint8_t>(i * 7 + seed));
  return r;
}

Bytes pixelChunk(size_t count, uint8_t seed) { return chunk("ATAD", pixelBytes(count, seed)); }

// ---- mips in memory ---------------------------------------------------

Bitmap* makeLevel(BitmapFormat format, int32_t width, int32_t height, uint8_t seed,
                  int mapSeed = -1) {
  Bitmap* level = nullptr;
  EXPECT_EQ(bitmapCreate(&level, format, width, height), 1);
  const Bytes pixels = pixelBytes(static_cast<size_t>(level->stride) * height, seed);
  std::memcpy(level->pixels, pixels.data(), pixels.size());
  if (mapSeed >= 0) {
    EXPECT_EQ(colormapCreate(&level->colormap), 1);
    const std::vector<uint32_t> entries = mapEntries(static_cast<uint32_t>(mapSeed));
    for (int i = 0; i < 16; ++i) colormapSet(level->colormap, i, entries[i]);
  }
  return level;
}

// A mip built by hand, freed by hand.
struct TestMip {
  MipData mip;
  TestMip(int32_t log2Width, int32_t log2Height, uint32_t average, int clampU, int clampV) {
    std::memset(&mip, 0, sizeof mip);
    mip.log2Width = log2Width;
    mip.log2Height = log2Height;
    mip.averageColour = average;
    mip.clampU = static_cast<int16_t>(clampU);
    mip.clampV = static_cast<int16_t>(clampV);
  }
  ~TestMip() {
    for (int i = 0; i < mip.levelCount; ++i) bitmapDestroy(mip.levels[i]);
    memFree(mip.colormap);
  }
  void add(Bitmap* level) { mip.levels[mip.levelCount++] = level; }
  void topMap(uint32_t seed) {
    EXPECT_EQ(colormapCreate(&mip.colormap), 1);
    const std::vector<uint32_t> entries = mapEntries(seed);
    for (int i = 0; i < 16; ++i) colormapSet(mip.colormap, i, entries[i]);
  }
};

// The three shapes of mip file and their expected bytes.
struct MipCase {
  const char* what;
  void (*build)(TestMip*);
  Bytes expected;
};

void build565(TestMip* m) { m->add(makeLevel(kFormat565, 8, 8, 1)); }
void buildShared4Bit(TestMip* m) {
  m->topMap(5);
  m->add(makeLevel(kFormat4BitOpaque, 8, 8, 2));
  m->add(makeLevel(kFormat4BitOpaque, 4, 4, 3));
}
void buildPerLevel4Bit(TestMip* m) {
  m->add(makeLevel(kFormat4BitTranslucent, 8, 4, 4, 6));
  m->add(makeLevel(kFormat4BitTranslucent, 4, 2, 5, 7));
  m->add(makeLevel(kFormat4BitTranslucent, 2, 1, 6, 8));
}

std::vector<MipCase> mipCases() {
  return {
      {"one 16-bit level, clamped both ways", build565,
       chunk("PIM ", mipHeader(3, 3, 3, 0x11223344, 3, 1) +
                         chunk("PAMB", levelHeader(3, 8, 8, 16) + pixelChunk(128, 1)))},
      {"4-bit, shared map, clamped in v", buildShared4Bit,
       chunk("PIM ", mipHeader(0, 3, 3, 0x11223344, 2, 2) + colormapChunk(5) +
                         chunk("PAMB", levelHeader(0, 8, 8, 4) + pixelChunk(32, 2)) +
                         chunk("PAMB", levelHeader(0, 4, 4, 4) + pixelChunk(16, 3)))},
      {"4-bit, a map per level, tiled", buildPerLevel4Bit,
       chunk("PIM ", mipHeader(2, 3, 2, 0x11223344, 0, 3) +
                         chunk("PAMB", levelHeader(2, 8, 4, 4) + colormapChunk(6) + pixelChunk(16, 4)) +
                         chunk("PAMB", levelHeader(2, 4, 2, 4) + colormapChunk(7) + pixelChunk(8, 5)) +
                         chunk("PAMB", levelHeader(2, 2, 1, 4) + colormapChunk(8) + pixelChunk(4, 6)))},
  };
}

int clampU(int caseIndex) { return caseIndex == 0 ? 1 : 0; }
int clampV(int caseIndex) { return caseIndex < 2 ? 1 : 0; }

TEST(MipWrite, WritesEveryChunkInPlace) {
  const std::vector<MipCase> cases = mipCases();
  for (size_t i = 0; i < cases.size(); ++i) {
    const int log2Height = i == 2 ? 2 : 3;
    TestMip m(3, log2Height, 0x11223344, clampU(i), clampV(i));
    cases[i].build(&m);
    MemoryFile out;
    ASSERT_EQ(mipWrite(&out, &m.mip), 1) << cases[i].what;
    EXPECT_EQ(out.bytes(), cases[i].expected) << cases[i].what;
  }
  // The one-level 8 x 8 16-bit mip is 224 bytes with its container sizes
  // at 8 (212) and 52 (168).
  const Bytes& example = cases[0].expected;
  ASSERT_EQ(example.size(), 224u);
  EXPECT_EQ(Bytes(example.begin() + 8, example.begin() + 12), (Bytes{212, 0, 0, 0}));
  EXPECT_EQ(Bytes(example.begin() + 52, example.begin() + 56), (Bytes{168, 0, 0, 0}));
  EXPECT_EQ(Bytes(example.begin() + 42, example.begin() + 44), (Bytes{0x20, 0x20}));
}

TEST(MipWrite, LevelAloneIsAPbfFile) {
  OwnedBitmap level(makeLevel(kFormat4BitTransparent, 5, 2, 9, 4));
  MemoryFile out;
  ASSERT_EQ(levelWrite(&out, level.get()), 1);
  EXPECT_EQ(out.bytes(), chunk("PAMB", levelHeader(1, 5, 2, 4) + colormapChunk(4) + pixelChunk(8, 9)));
}

TEST(MipWrite, SrbHoldsItsHeadersThenTheMip) {
  TestMip m(3, 3, 0x11223344, 1, 1);
  build565(&m);
  const SrbHeader header{2.5f, 1.0f, 7.0f, 8.0f, 3.5f, -0.25f};
  SrbHeader2 header2;
  std::memset(&header2, 0xAB, sizeof header2);  // reserved bytes must not leak
  header2.flat = 1;
  MemoryFile out;
  ASSERT_EQ(srbWrite(&out, &m.mip, header, header2), 1);
  Bytes floats;
  for (uint32_t bits : {0x40200000u, 0x3F800000u, 0x40E00000u, 0x41000000u, 0x40600000u, 0xBE800000u}) {
    put32(&floats, bits);
  }
  Bytes second(36, 0);
  second[0] = 1;
  EXPECT_EQ(out.bytes(), chunk(" BRS", chunk("DHRS", floats) + chunk("2HRS", second)) + mipCases()[0].expected);
}

TEST(MipWrite, SrbReportsWhichPartFailed) {
  struct Case {
    int64_t writableBytes;
    const char* message;
  };
  const Case cases[] = {
      {0, "couldn't start SRB chunk."},
      {12, "Couldn't write SRB header."},
      {48, "Couldn't write 2nd part of SRB header."},
      {96, "Couldn't write mip part of SRB."},
      {200, "Couldn't write mip part of SRB."},
  };
  for (const Case& c : cases) {
    TestMip m(3, 3, 0, 1, 1);
    build565(&m);
    MemoryFile out;
    out.failWritesAt(c.writableBytes);
    success result = 1;
    EXPECT_EQ(printedBy([&] { result = srbWrite(&out, &m.mip, SrbHeader{}, SrbHeader2{}); }),
              c.message);
    EXPECT_EQ(result, 0);
  }
}

TEST(MipWrite, FailsWhenTheFileTakesNoMore) {
  TestMip m(3, 3, 0, 1, 1);
  buildShared4Bit(&m);
  for (int64_t limit : {0, 20, 40, 100, 150, 244}) {
    MemoryFile out;
    out.failWritesAt(limit);
    EXPECT_EQ(mipWrite(&out, &m.mip), 0) << limit;
  }
}

// ---- reading ----------------------------------------------------------

void expectSameMap(const Colormap* got, uint32_t seed) {
  ASSERT_NE(got, nullptr);
  const std::vector<uint32_t> entries = mapEntries(seed);
  for (int i = 0; i < 16; ++i) EXPECT_EQ(colormapGet(got, i), entries[i]);
}

void expectSameLevel(const Bitmap* got, const Bitmap* want) {
  ASSERT_NE(got, nullptr);
  EXPECT_EQ(got->format, want->format);
  EXPECT_EQ(got->width, want->width);
  EXPECT_EQ(got->height, want->height);
  ASSERT_EQ(got->stride, want->stride);
  const size_t size = static_cast<size_t>(got->stride) * got->height;
  EXPECT_EQ(Bytes(got->pixels, got->pixels + size), Bytes(want->pixels, want->pixels + size));
  EXPECT_EQ(got->colormap != nullptr, want->colormap != nullptr);
  if (got->colormap && want->colormap) {
    for (int i = 0; i < 16; ++i) {
      EXPECT_EQ(colormapGet(got->colormap, i), colormapGet(want->colormap, i));
    }
  }
}

TEST(MipRead, ReadsBackWhatTheWriterWrote) {
  const std::vector<MipCase> cases = mipCases();
  for (size_t i = 0; i < cases.size(); ++i) {
    SCOPED_TRACE(cases[i].what);
    const int log2Height = i == 2 ? 2 : 3;
    TestMip m(3, log2Height, 0x11223344, clampU(i), clampV(i));
    cases[i].build(&m);
    MemoryFile file(cases[i].expected);
    MipData* read = nullptr;
    ASSERT_EQ(mipRead(&read, &file), 1);
    EXPECT_EQ(read->paddedWidth, 8);
    EXPECT_EQ(read->paddedHeight, 1 << log2Height);
    EXPECT_EQ(read->log2Width, 3);
    EXPECT_EQ(read->log2Height, log2Height);
    EXPECT_EQ(read->averageColour, 0x11223344u);
    EXPECT_EQ(read->clampU, clampU(i));
    EXPECT_EQ(read->clampV, clampV(i));
    ASSERT_EQ(read->levelCount, m.mip.levelCount);
    EXPECT_EQ(read->colormap != nullptr, m.mip.colormap != nullptr);
    if (m.mip.colormap) expectSameMap(read->colormap, 5);
    for (int level = 0; level < read->levelCount; ++level) {
      expectSameLevel(read->levels[level], m.mip.levels[level]);
    }
    mipDataDestroy(read);
  }
}

TEST(MipRead, ReadsAPbfFileAsANewBitmap) {
  OwnedBitmap level(makeLevel(kFormat4BitTransparent, 5, 2, 9, 4));
  MemoryFile file(chunk("PAMB", levelHeader(1, 5, 2, 4) + colormapChunk(4) + pixelChunk(8, 9)));
  Bitmap* read = nullptr;
  ASSERT_EQ(levelRead(&read, &file), 1);
  OwnedBitmap owned(read);
  expectSameLevel(read, level.get());

  MemoryFile plain(chunk("PAMB", levelHeader(4, 3, 1, 8) + chunk("XTRA", {1, 2, 3}) + pixelChunk(8, 1)));
  ASSERT_EQ(levelRead(&read, &plain), 1);
  OwnedBitmap plainLevel(read);
  EXPECT_EQ(read->colormap, nullptr);
  EXPECT_EQ(Bytes(read->pixels, read->pixels + 8), pixelBytes(8, 1));
}

// One 16-bit level 8 x 8 at the end of a container.
const Bytes kLevel8x8 = chunk("PAMB", levelHeader(3, 8, 8, 16) + pixelChunk(128, 1));

TEST(MipRead, RefusesFilesThatDisagreeWithThemselves) {
  struct Case {
    const char* what;
    Bytes file;
  };
  const Bytes header = mipHeader(3, 3, 3, 0, 3, 1);
  const Case cases[] = {
      {"empty file", {}},
      {"not a mip container", chunk("PIMX", header + kLevel8x8)},
      {"container of another subType", chunk("PIM ", header + kLevel8x8, 1)},
      {"no mip header", chunk("PIM ", kLevel8x8)},
      {"mip header of 17 bytes", chunk("PIM ", chunk("DHPM", Bytes(17, 3)) + kLevel8x8)},
      {"two mip headers", chunk("PIM ", header + header + kLevel8x8)},
      {"level before the header", chunk("PIM ", kLevel8x8 + header)},
      {"33 levels", chunk("PIM ", mipHeader(3, 3, 3, 0, 3, 33) + kLevel8x8)},
      {"no levels", chunk("PIM ", mipHeader(3, 3, 3, 0, 3, 0) + kLevel8x8)},
      {"negative level count", chunk("PIM ", mipHeader(3, 3, 3, 0, 3, -1) + kLevel8x8)},
      {"levels shrink to 0 pixels", chunk("PIM ", mipHeader(3, 3, 0, 0, 3, 2) + kLevel8x8)},
      {"log2 width 31", chunk("PIM ", mipHeader(3, 31, 3, 0, 3, 1) + kLevel8x8)},
      {"log2 width 40", chunk("PIM ", mipHeader(3, 40, 3, 0, 3, 1) + kLevel8x8)},
      {"negative log2 height", chunk("PIM ", mipHeader(3, 3, -1, 0, 3, 1) + kLevel8x8)},
      {"levels larger than the file", chunk("PIM ", mipHeader(3, 30, 20, 0, 3, 1) + kLevel8x8)},
      {"unknown format", chunk("PIM ", mipHeader(9, 3, 3, 0, 3, 1) + kLevel8x8)},
      {"fewer levels than announced", chunk("PIM ", mipHeader(3, 3, 3, 0, 3, 2) + kLevel8x8)},
      {"more levels than announced", chunk("PIM ", header + kLevel8x8 + kLevel8x8)},
      {"level of another format", chunk("PIM ", mipHeader(4, 3, 3, 0, 3, 1) + kLevel8x8)},
      {"level of another width",
       chunk("PIM ", header + chunk("PAMB", levelHeader(3, 7, 8, 16) + pixelChunk(128, 1)))},
      {"level of another stride",
       chunk("PIM ", header + chunk("PAMB", levelHeader(3, 8, 8, 20) + pixelChunk(128, 1)))},
      {"level without pixels", chunk("PIM ", header + chunk("PAMB", levelHeader(3, 8, 8, 16)))},
      {"pixels one byte short",
       chunk("PIM ", header + chunk("PAMB", levelHeader(3, 8, 8, 16) + pixelChunk(127, 1)))},
      {"pixels twice",
       chunk("PIM ", header + chunk("PAMB", levelHeader(3, 8, 8, 16) + pixelChunk(128, 1) + pixelChunk(128, 1)))},
      {"reserved byte of the level header set",
       chunk("PIM ", header + chunk("PAMB", levelHeader(3, 8, 8, 16, 1) + pixelChunk(128, 1)))},
      {"colour map in a 16-bit level",
       chunk("PIM ", header + chunk("PAMB", levelHeader(3, 8, 8, 16) + colormapChunk(1) + pixelChunk(128, 1)))},
      {"top colour map of a 16-bit mip", chunk("PIM ", header + colormapChunk(1) + kLevel8x8)},
      {"colour map before the header",
       chunk("PIM ", colormapChunk(1) + mipHeader(0, 3, 3, 0, 3, 1) +
                         chunk("PAMB", levelHeader(0, 8, 8, 4) + pixelChunk(32, 1)))},
      {"two top colour maps",
       chunk("PIM ", mipHeader(0, 3, 3, 0, 3, 1) + colormapChunk(1) + colormapChunk(1) +
                         chunk("PAMB", levelHeader(0, 8, 8, 4) + pixelChunk(32, 1)))},
      {"colour map of 60 bytes",
       chunk("PIM ", mipHeader(0, 3, 3, 0, 3, 1) + chunk("PAMC", Bytes(60, 1)) +
                         chunk("PAMB", levelHeader(0, 8, 8, 4) + pixelChunk(32, 1)))},
      {"two colour maps in a level",
       chunk("PIM ", mipHeader(0, 3, 3, 0, 3, 1) +
                         chunk("PAMB", levelHeader(0, 8, 8, 4) + colormapChunk(1) + colormapChunk(2) +
                                           pixelChunk(32, 1)))},
  };
  for (const Case& c : cases) {
    MemoryFile file(c.file);
    MipData* read = reinterpret_cast<MipData*>(&file);
    EXPECT_EQ(mipRead(&read, &file), 0) << c.what;
    EXPECT_EQ(read, nullptr) << c.what;
  }
  // A file cut anywhere fails.
  const Bytes whole = mipCases()[2].expected;
  for (size_t size = 0; size < whole.size(); size += 3) {
    MemoryFile file(Bytes(whole.begin(), whole.begin() + static_cast<long>(size)));
    MipData* read = nullptr;
    EXPECT_EQ(mipRead(&read, &file), 0) << "cut at " << size;
  }
}

TEST(MipRead, RefusesPbfFilesThatDisagreeWithThemselves) {
  struct Case {
    const char* what;
    Bytes file;
  };
  const Case cases[] = {
      {"not a level container", chunk("PIM ", levelHeader(3, 2, 2, 4) + pixelChunk(8, 1))},
      {"no level header", chunk("PAMB", pixelChunk(8, 1))},
      {"no pixels", chunk("PAMB", levelHeader(3, 2, 2, 4))},
      {"pixels before the header", chunk("PAMB", pixelChunk(8, 1) + levelHeader(3, 2, 2, 4))},
      {"two level headers", chunk("PAMB", levelHeader(3, 2, 2, 4) + levelHeader(3, 2, 2, 4) + pixelChunk(8, 1))},
      {"stride unlike the format's", chunk("PAMB", levelHeader(3, 2, 2, 8) + pixelChunk(16, 1))},
      {"width 0", chunk("PAMB", levelHeader(3, 0, 2, 0) + pixelChunk(0, 1))},
      {"negative height", chunk("PAMB", levelHeader(3, 2, -2, 4) + pixelChunk(8, 1))},
      {"format 8", chunk("PAMB", levelHeader(8, 2, 2, 4) + pixelChunk(8, 1))},
      {"pixels larger than the file", chunk("PAMB", levelHeader(7, 4096, 4096, 16384) + pixelChunk(8, 1))},
      {"pixel chunk of the wrong size", chunk("PAMB", levelHeader(3, 2, 2, 4) + pixelChunk(9, 1))},
      {"colour map in an 8888 level", chunk("PAMB", levelHeader(7, 1, 1, 4) + colormapChunk(1) + pixelChunk(4, 1))},
      {"reserved byte set", chunk("PAMB", levelHeader(3, 2, 2, 4, 7) + pixelChunk(8, 1))},
  };
  for (const Case& c : cases) {
    MemoryFile file(c.file);
    Bitmap* read = reinterpret_cast<Bitmap*>(&file);
    EXPECT_EQ(levelRead(&read, &file), 0) << c.what;
    EXPECT_EQ(read, nullptr) << c.what;
  }
}

}  // namespace
