#include "pixmill/mip_file.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
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

// ---- expected bytes, built without the writers -------------------------

Bytes operator+(Bytes a, const Bytes& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

// id as it stands in the file, subType, size, body, padding.
Bytes chunk(const char* id, const Bytes& body, uint32_t subType = 0) {
  Bytes out(id, id + 4);
  put32(&out, subType);
  put32(&out, static_cast<uint32_t>(body.size()));
  out = out + body;
  out.resize((out.size() + 3) / 4 * 4, 0x20);
  return out;
}

// Packed records: 'b' one byte, 'l' a 32-bit little-endian word.
Bytes record(const char* layout, std::vector<int64_t> values) {
  Bytes out;
  for (size_t i = 0; layout[i]; ++i) {
    if (layout[i] == 'b') put8(&out, static_cast<uint32_t>(values[i]));
    else put32(&out, static_cast<uint32_t>(values[i]));
  }
  return out;
}

Bytes mipHeader(int format, int log2W, int log2H, int flags, int levels) {
  return chunk("DHPM", record("blllbl", {format, log2W, log2H, 0x11223344, flags, levels}));
}
Bytes levelHeader(int format, int width, int height, int stride, int reserved = 0) {
  return chunk("DHMB", record("blllb", {format, width, height, stride, reserved}));
}
uint32_t mapEntry(int seed, int i) { return 0xF0000000u + i * 0x010203u + seed; }
Bytes colormapChunk(int seed) {
  Bytes r;
  for (int i = 0; i < 16; ++i) put32(&r, mapEntry(seed, i));
  return chunk("PAMC", r);
}
Bytes pixelBytes(size_t count, int seed) {
  Bytes r;
  for (size_t i = 0; i < count; ++i) r.push_back(static_cast<uint8_t>(i * 7 + seed));
  return r;
}
Bytes pixelChunk(size_t count, int seed) { return chunk("ATAD", pixelBytes(count, seed)); }
Bytes level(const Bytes& children) { return chunk("PAMB", children); }

// ---- mips in memory, the same pixel and map patterns ------------------

Bitmap* makeLevel(BitmapFormat format, int width, int height, int seed, int mapSeed = -1) {
  Bitmap* b = nullptr;
  EXPECT_EQ(bitmapCreate(&b, format, width, height), 1);
  const Bytes pixels = pixelBytes(size_t(b->stride) * height, seed);
  std::memcpy(b->pixels, pixels.data(), pixels.size());
  if (mapSeed >= 0 && colormapCreate(&b->colormap)) {
    for (int i = 0; i < 16; ++i) colormapSet(b->colormap, i, mapEntry(mapSeed, i));
  }
  return b;
}

struct TestMip {
  MipData mip{};
  TestMip(int log2W, int log2H, int clampU, int clampV) {
    mip.log2Width = log2W, mip.log2Height = log2H, mip.averageColour = 0x11223344;
    mip.clampU = int16_t(clampU), mip.clampV = int16_t(clampV);
  }
  ~TestMip() {
    for (int i = 0; i < mip.levelCount; ++i) bitmapDestroy(mip.levels[i]);
    memFree(mip.colormap);
  }
  void add(Bitmap* b) { mip.levels[mip.levelCount++] = b; }
};

// Three mips and the exact files they make.
struct MipCase { const char* what; int log2H, clampU, clampV; void (*build)(TestMip*); Bytes file; };
std::vector<MipCase> mipCases() {
  return {
      {"one 16-bit level 8 x 8, clamped", 3, 1, 1,
       [](TestMip* m) { m->add(makeLevel(kFormat565, 8, 8, 1)); },
       chunk("PIM ", mipHeader(3, 3, 3, 3, 1) + level(levelHeader(3, 8, 8, 16) + pixelChunk(128, 1)))},
      {"4-bit, shared map, clamped in v", 3, 0, 1,
       [](TestMip* m) {
         Bitmap* top = makeLevel(kFormat4BitOpaque, 8, 8, 2, 5);
         m->mip.colormap = top->colormap;
         top->colormap = nullptr;
         m->add(top);
         m->add(makeLevel(kFormat4BitOpaque, 4, 4, 3));
       },
       chunk("PIM ", mipHeader(0, 3, 3, 2, 2) + colormapChunk(5) +
                         level(levelHeader(0, 8, 8, 4) + pixelChunk(32, 2)) +
                         level(levelHeader(0, 4, 4, 4) + pixelChunk(16, 3)))},
      {"4-bit, a map per level, tiled", 2, 0, 0,
       [](TestMip* m) {
         m->add(makeLevel(kFormat4BitTranslucent, 8, 4, 4, 6));
         m->add(makeLevel(kFormat4BitTranslucent, 4, 2, 5, 7));
         m->add(makeLevel(kFormat4BitTranslucent, 2, 1, 6, 8));
       },
       chunk("PIM ", mipHeader(2, 3, 2, 0, 3) +
                         level(levelHeader(2, 8, 4, 4) + colormapChunk(6) + pixelChunk(16, 4)) +
                         level(levelHeader(2, 4, 2, 4) + colormapChunk(7) + pixelChunk(8, 5)) +
                         level(levelHeader(2, 2, 1, 4) + colormapChunk(8) + pixelChunk(4, 6)))},
  };
}

void expectSameLevel(const Bitmap* got, const Bitmap* want) {
  ASSERT_NE(got, nullptr);
  ASSERT_EQ(record("bllll", {got->format, got->width, got->height, got->stride, got->colormap != nullptr}),
            record("bllll", {want->format, want->width, want->height, want->stride, want->colormap != nullptr}));
  const size_t size = size_t(got->stride) * got->height;
  EXPECT_EQ(Bytes(got->pixels, got->pixels + size), Bytes(want->pixels, want->pixels + size));
  if (got->colormap) {
    EXPECT_EQ(0, std::memcmp(got->colormap, want->colormap, sizeof(Colormap)));
  }
}

TEST(MipFile, WritesTheLayoutAndReadsItBack) {
  for (const MipCase& c : mipCases()) {
    TestMip m(3, c.log2H, c.clampU, c.clampV);
    c.build(&m);
    MemoryFile out;
    ASSERT_EQ(mipWrite(&out, &m.mip), 1) << c.what;
    EXPECT_EQ(out.bytes(), c.file) << c.what;

    MemoryFile in(c.file);
    MipData* read = nullptr;
    ASSERT_EQ(mipRead(&read, &in), 1) << c.what;
    EXPECT_EQ(record("lllllbbl", {read->paddedWidth, read->paddedHeight, read->log2Width, read->log2Height,
                                  read->averageColour, read->clampU, read->clampV, read->levelCount}),
              record("lllllbbl", {8, 1 << c.log2H, 3, c.log2H, 0x11223344, c.clampU, c.clampV,
                                   m.mip.levelCount}));
    EXPECT_EQ(read->colormap != nullptr, m.mip.colormap != nullptr);
    if (read->colormap) {
      EXPECT_EQ(0, std::memcmp(read->colormap, m.mip.colormap, sizeof(Colormap)));
    }
    for (int i = 0; i < read->levelCount; ++i) expectSameLevel(read->levels[i], m.mip.levels[i]);
    mipDataDestroy(read);
  }
  // The one-level example: 224 bytes, container sizes 212 at 8 and 168 at 52.
  const Bytes example = mipCases()[0].file;
  EXPECT_EQ(example.size(), 224u);
  EXPECT_EQ(Bytes(example.begin() + 8, example.begin() + 12), (Bytes{212, 0, 0, 0}));
  EXPECT_EQ(Bytes(example.begin() + 52, example.begin() + 56), (Bytes{168, 0, 0, 0}));
}

TEST(MipFile, PbfIsOneLevelAlone) {
  OwnedBitmap written(makeLevel(kFormat4BitTransparent, 5, 2, 9, 4));
  MemoryFile out;
  ASSERT_EQ(levelWrite(&out, written.get()), 1);
  const Bytes pbf = level(levelHeader(1, 5, 2, 4) + colormapChunk(4) + pixelChunk(8, 9));
  EXPECT_EQ(out.bytes(), pbf);
  for (const Bytes& file : {pbf, level(levelHeader(1, 5, 2, 4) + chunk("XTRA", {1}) + colormapChunk(4) +
                                       pixelChunk(8, 9))}) {
    MemoryFile in(file);
    Bitmap* read = nullptr;
    ASSERT_EQ(levelRead(&read, &in), 1);
    OwnedBitmap owned(read);
    expectSameLevel(read, written.get());
  }
}

Bytes srbHeaders(const Bytes& children) { return chunk(" BRS", children); }
const Bytes kSrbFloats = record("llllll", {0x40200000, 0x3F800000, 0x40E00000, 0x41000000, 0x40600000, 0xBE800000});

TEST(MipFile, SrbHoldsItsHeadersThenTheMip) {
  const MipCase c = mipCases()[0];
  TestMip m(3, 3, 1, 1);
  c.build(&m);
  SrbHeader2 second;
  std::memset(&second, 0xAB, sizeof second);  // the reserved bytes are written as zeros
  second.flat = 1;
  MemoryFile out;
  ASSERT_EQ(srbWrite(&out, &m.mip, SrbHeader{2.5f, 1.0f, 7.0f, 8.0f, 3.5f, -0.25f}, second), 1);
  Bytes secondBytes(36, 0);
  secondBytes[0] = 1;
  EXPECT_EQ(out.bytes(), srbHeaders(chunk("DHRS", kSrbFloats) + chunk("2HRS", secondBytes)) + c.file);

  const std::pair<size_t, const char*> failures[] = {
      {0, "couldn't start SRB chunk."}, {12, "Couldn't write SRB header."},
      {48, "Couldn't write 2nd part of SRB header."}, {96, "Couldn't write mip part of SRB."},
      {200, "Couldn't write mip part of SRB."}};
  for (const auto& [writable, message] : failures) {
    MemoryFile full({}, writable);
    success result = 1;
    EXPECT_EQ(printedBy([&] { result = srbWrite(&full, &m.mip, SrbHeader{}, SrbHeader2{}); }), message);
    EXPECT_EQ(result, 0);
    MemoryFile fullMip({}, writable + 20);
    EXPECT_EQ(mipWrite(&fullMip, &m.mip), 0) << writable;
  }
}

TEST(MipFile, SrbReadsBackWhatWasWritten) {
  for (const MipCase& c : mipCases()) {
    TestMip m(3, c.log2H, c.clampU, c.clampV);
    c.build(&m);
    const SrbHeader header{2.5f, 1.0f, 7.0f, 8.0f, 3.5f, -0.25f};
    SrbHeader2 second{};
    second.flat = 1;
    MemoryFile out;
    ASSERT_EQ(srbWrite(&out, &m.mip, header, second), 1) << c.what;

    MemoryFile in(out.bytes());
    EXPECT_TRUE(srbIsSrb(&in));
    EXPECT_EQ(in.GetCurrentPosition(), 0u);
    MipData* read = nullptr;
    SrbHeader readHeader;
    SrbHeader2 readSecond;
    ASSERT_EQ(srbRead(&read, &readHeader, &readSecond, &in), 1) << c.what;
    EXPECT_EQ(in.GetCurrentPosition(), out.bytes().size()) << c.what;
    EXPECT_EQ(0, std::memcmp(&readHeader, &header, sizeof header)) << c.what;
    EXPECT_EQ(0, std::memcmp(&readSecond, &second, sizeof second)) << c.what;
    ASSERT_EQ(read->levelCount, m.mip.levelCount) << c.what;
    for (int i = 0; i < read->levelCount; ++i) expectSameLevel(read->levels[i], m.mip.levels[i]);
    mipDataDestroy(read);
  }
  // Chunks the reader does not know are passed over; without a second
  // record the sprite is not flat.
  const Bytes mip = mipCases()[0].file;
  for (const Bytes& file : {srbHeaders(chunk("DHRS", kSrbFloats)) + mip,
                            srbHeaders(chunk("XTRA", {1, 2}) + chunk("DHRS", kSrbFloats)) + mip}) {
    MemoryFile in(file);
    SrbHeader header;
    SrbHeader2 second;
    std::memset(&second, 0xAB, sizeof second);
    ASSERT_EQ(srbReadHeader(&header, &second, &in), 1);
    EXPECT_EQ(in.GetCurrentPosition(), file.size() - mip.size());
    EXPECT_EQ(header.centreY, -0.25f);
    const uint8_t* secondBytes = reinterpret_cast<const uint8_t*>(&second);
    EXPECT_EQ(Bytes(secondBytes, secondBytes + sizeof second), Bytes(36, 0));
  }
}

TEST(MipFile, SrbReaderRefusesBrokenHeadersAndMips) {
  const Bytes h = chunk("DHRS", kSrbFloats), h2 = chunk("2HRS", Bytes(36, 0)), mip = mipCases()[1].file;
  const std::pair<const char*, Bytes> srbs[] = {
      {"empty", {}}, {"a mip alone", mip}, {"not an SRB", chunk(" BRX", h + h2) + mip},
      {"subType 1", chunk(" BRS", h + h2, 1) + mip}, {"no header", srbHeaders(h2) + mip},
      {"header of 20 bytes", srbHeaders(chunk("DHRS", Bytes(20, 0)) + h2) + mip},
      {"header of subType 2", srbHeaders(chunk("DHRS", kSrbFloats, 2) + h2) + mip},
      {"two headers", srbHeaders(h + h + h2) + mip},
      {"second record of 35 bytes", srbHeaders(h + chunk("2HRS", Bytes(35, 0))) + mip},
      {"two second records", srbHeaders(h + h2 + h2) + mip},
      {"no mip after it", srbHeaders(h + h2)},
      {"a level after it", srbHeaders(h + h2) + level(levelHeader(3, 2, 2, 4) + pixelChunk(8, 1))},
      {"the mip inside it", srbHeaders(h + h2 + mip)},
  };
  for (const auto& [what, bytes] : srbs) {
    MemoryFile file(bytes);
    MipData* read = reinterpret_cast<MipData*>(&file);
    SrbHeader header;
    SrbHeader2 second;
    EXPECT_EQ(srbRead(&read, &header, &second, &file), 0) << what;
    EXPECT_EQ(read, nullptr) << what;
  }
  const Bytes whole = srbHeaders(h + h2) + mip;
  for (size_t size = 0; size < whole.size(); size += 3) {
    MemoryFile file(Bytes(whole.begin(), whole.begin() + long(size)));
    MipData* read = nullptr;
    SrbHeader header;
    SrbHeader2 second;
    EXPECT_EQ(srbRead(&read, &header, &second, &file), 0) << "cut at " << size;
  }
}

TEST(MipFile, ReadersRefuseFilesThatDisagreeWithThemselves) {
  const Bytes h = mipHeader(3, 3, 3, 3, 1), l8 = level(levelHeader(3, 8, 8, 16) + pixelChunk(128, 1));
  const Bytes h4 = mipHeader(0, 3, 3, 0, 1), l4 = level(levelHeader(0, 8, 8, 4) + pixelChunk(32, 1));
  const std::pair<const char*, Bytes> mips[] = {
      {"empty", {}}, {"not a mip", chunk("PIMX", h + l8)}, {"subType 1", chunk("PIM ", h + l8, 1)},
      {"no header", chunk("PIM ", l8)}, {"header of 17 bytes", chunk("PIM ", chunk("DHPM", Bytes(17, 3)) + l8)},
      {"two headers", chunk("PIM ", h + h + l8)}, {"level first", chunk("PIM ", l8 + h)},
      {"33 levels", chunk("PIM ", mipHeader(3, 3, 3, 3, 33) + l8)},
      {"no levels", chunk("PIM ", mipHeader(3, 3, 3, 3, 0) + l8)},
      {"levels down to 0 rows", chunk("PIM ", mipHeader(3, 3, 0, 3, 2) + l8)},
      {"log2 width 31", chunk("PIM ", mipHeader(3, 31, 3, 3, 1) + l8)},
      {"log2 width 40", chunk("PIM ", mipHeader(3, 40, 3, 3, 1) + l8)},
      {"log2 height -1", chunk("PIM ", mipHeader(3, 3, -1, 3, 1) + l8)},
      {"levels beyond the file", chunk("PIM ", mipHeader(3, 29, 1, 3, 1) + l8)},
      {"format 9", chunk("PIM ", mipHeader(9, 3, 3, 3, 1) + l8)},
      {"a level missing", chunk("PIM ", mipHeader(3, 3, 3, 3, 2) + l8)},
      {"a level too many", chunk("PIM ", h + l8 + l8)},
      {"level of another format", chunk("PIM ", mipHeader(4, 3, 3, 3, 1) + l8)},
      {"level of another width", chunk("PIM ", h + level(levelHeader(3, 7, 8, 16) + pixelChunk(128, 1)))},
      {"level of another stride", chunk("PIM ", h + level(levelHeader(3, 8, 8, 20) + pixelChunk(128, 1)))},
      {"level without pixels", chunk("PIM ", h + level(levelHeader(3, 8, 8, 16)))},
      {"pixels twice", chunk("PIM ", h + level(levelHeader(3, 8, 8, 16) + pixelChunk(128, 1) + pixelChunk(128, 1)))},
      {"map in a 16-bit level", chunk("PIM ", h + level(levelHeader(3, 8, 8, 16) + colormapChunk(1) + pixelChunk(128, 1)))},
      {"top map of a 16-bit mip", chunk("PIM ", h + colormapChunk(1) + l8)},
      {"map before the header", chunk("PIM ", colormapChunk(1) + h4 + l4)},
      {"two top maps", chunk("PIM ", h4 + colormapChunk(1) + colormapChunk(1) + l4)},
      {"map of 60 bytes", chunk("PIM ", h4 + chunk("PAMC", Bytes(60, 1)) + l4)},
      {"two maps in a level", chunk("PIM ", h4 + level(levelHeader(0, 8, 8, 4) + colormapChunk(1) + colormapChunk(2) + pixelChunk(32, 1)))},
  };
  for (const auto& [what, bytes] : mips) {
    MemoryFile file(bytes);
    MipData* read = reinterpret_cast<MipData*>(&file);
    EXPECT_EQ(mipRead(&read, &file), 0) << what;
    EXPECT_EQ(read, nullptr) << what;
  }
  const Bytes whole = mipCases()[2].file;
  for (size_t size = 0; size < whole.size(); size += 3) {
    MemoryFile file(Bytes(whole.begin(), whole.begin() + long(size)));
    MipData* read = nullptr;
    EXPECT_EQ(mipRead(&read, &file), 0) << "cut at " << size;
  }

  const std::pair<const char*, Bytes> pbfs[] = {
      {"not a level", chunk("PIM ", levelHeader(3, 2, 2, 4) + pixelChunk(8, 1))},
      {"no header", level(pixelChunk(8, 1))}, {"no pixels", level(levelHeader(3, 2, 2, 4))},
      {"pixels first", level(pixelChunk(8, 1) + levelHeader(3, 2, 2, 4))},
      {"two headers", level(levelHeader(3, 2, 2, 4) + levelHeader(3, 2, 2, 4) + pixelChunk(8, 1))},
      {"stride unlike the format's", level(levelHeader(3, 2, 2, 8) + pixelChunk(16, 1))},
      {"width 0", level(levelHeader(3, 0, 2, 0) + pixelChunk(0, 1))},
      {"height -2", level(levelHeader(3, 2, -2, 4) + pixelChunk(8, 1))},
      {"format 8", level(levelHeader(8, 2, 2, 4) + pixelChunk(8, 1))},
      {"pixels beyond the file", level(levelHeader(7, 4096, 4096, 16384) + pixelChunk(8, 1))},
      {"pixel chunk of 9 bytes", level(levelHeader(3, 2, 2, 4) + pixelChunk(9, 1))},
      {"map in an 8888 level", level(levelHeader(7, 1, 1, 4) + colormapChunk(1) + pixelChunk(4, 1))},
      {"reserved byte set", level(levelHeader(3, 2, 2, 4, 7) + pixelChunk(8, 1))},
  };
  for (const auto& [what, bytes] : pbfs) {
    MemoryFile file(bytes);
    Bitmap* read = reinterpret_cast<Bitmap*>(&file);
    EXPECT_EQ(levelRead(&read, &file), 0) << what;
    EXPECT_EQ(read, nullptr) << what;
  }
}

}  // namespace
