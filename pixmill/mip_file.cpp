#include "pixmill/mip_file.h"

#include <cstdint>
#include <cstdio>
#include <cstring>

#include "runtime/kiff.h"
#include "runtime/mem.h"

namespace {

constexpr int32_t kMipHeaderSize = 18;
constexpr int32_t kLevelHeaderSize = 14;
constexpr int32_t kColormapSize = 64;
constexpr int32_t kSrbHeaderSize = 24;
constexpr int32_t kSrbHeader2Size = 36;
// 1 << 30 is the largest padded size a 32-bit signed field holds.
constexpr int32_t kMaxLog2Size = 30;

void putLong(uint8_t* at, uint32_t value) {
  at[0] = static_cast<uint8_t>(value);
  at[1] = static_cast<uint8_t>(value >> 8);
  at[2] = static_cast<uint8_t>(value >> 16);
  at[3] = static_cast<uint8_t>(value >> 24);
}

uint32_t getLong(const uint8_t* at) {
  return static_cast<uint32_t>(at[0]) | (static_cast<uint32_t>(at[1]) << 8) |
         (static_cast<uint32_t>(at[2]) << 16) | (static_cast<uint32_t>(at[3]) << 24);
}

int32_t getInt32(const uint8_t* at) { return static_cast<int32_t>(getLong(at)); }

void putFloat(uint8_t* at, float value) {
  uint32_t bits = 0;
  std::memcpy(&bits, &value, sizeof bits);
  putLong(at, bits);
}

float getFloat(const uint8_t* at) {
  const uint32_t bits = getLong(at);
  float value = 0;
  std::memcpy(&value, &bits, sizeof value);
  return value;
}

// ---- reading -----------------------------------------------------------

// Bytes between the current position and the end: a size claimed by a
// header must fit in them before anything is allocated for it.
uint32_t bytesLeft(QuorFile* file) {
  const uint32_t position = fileGetCurrentPosition(file);
  const uint32_t size = fileSize(file);
  return position < size ? size - position : 0;
}

// Consumes the child's header and its `size` body bytes (not the padding).
bool readBody(QuorFile* file, uint32_t subType, int32_t size,
              int32_t expectedSize, uint8_t* body) {
  uint32_t id = 0, readSubType = 0;
  int32_t readSize = 0;
  return subType == 0 && size == expectedSize &&
         kiffReadChunkHeader(&id, &readSubType, &readSize, file) &&
         fileReadExact(file, body, static_cast<uint32_t>(size));
}

success readColormap(Colormap** out, const uint8_t* body) {
  if (!colormapCreate(out)) return 0;
  for (int i = 0; i < 16; ++i) colormapSet(*out, i, getLong(body + 4 * i));
  return 1;
}

struct LevelContext {
  Bitmap* bitmap = nullptr;  // made by the header when stand-alone
  bool standalone = false;
  bool headerSeen = false;
  bool pixelsSeen = false;
  uint8_t reserved = 0;  // byte 13 of the level header
};

success onLevelHeader(void* context, uint32_t, uint32_t subType, int32_t size,
                      QuorFile* file) {
  LevelContext* level = static_cast<LevelContext*>(context);
  uint8_t body[kLevelHeaderSize];
  if (level->headerSeen || !readBody(file, subType, size, kLevelHeaderSize, body)) {
    return 0;
  }
  const BitmapFormat format = body[0];
  const int32_t width = getInt32(body + 1);
  const int32_t height = getInt32(body + 5);
  const int32_t stride = getInt32(body + 9);
  level->reserved = body[13];
  if (level->standalone) {
    if (width <= 0 || height <= 0 || stride != bitmapStride(format, width) ||
        static_cast<int64_t>(stride) * height > bytesLeft(file) ||
        !bitmapCreate(&level->bitmap, format, width, height)) {
      return 0;
    }
  } else {
    const Bitmap* bitmap = level->bitmap;
    if (format != bitmap->format || width != bitmap->width ||
        height != bitmap->height || stride != bitmap->stride) {
      return 0;
    }
  }
  level->headerSeen = true;
  return 1;
}

success onLevelColormap(void* context, uint32_t, uint32_t subType, int32_t size,
                        QuorFile* file) {
  LevelContext* level = static_cast<LevelContext*>(context);
  uint8_t body[kColormapSize];
  if (!level->headerSeen || !bitmapIsFourBit(level->bitmap->format) ||
      level->bitmap->colormap != nullptr ||
      !readBody(file, subType, size, kColormapSize, body)) {
    return 0;
  }
  return readColormap(&level->bitmap->colormap, body);
}

success onLevelPixels(void* context, uint32_t, uint32_t subType, int32_t size,
                      QuorFile* file) {
  LevelContext* level = static_cast<LevelContext*>(context);
  if (!level->headerSeen || level->pixelsSeen || level->reserved != 0 ||
      subType != 0) {
    return 0;
  }
  const Bitmap* bitmap = level->bitmap;
  const int64_t expected = static_cast<int64_t>(bitmap->stride) * bitmap->height;
  uint32_t id = 0, readSubType = 0;
  int32_t readSize = 0;
  if (size != expected || !kiffReadChunkHeader(&id, &readSubType, &readSize, file) ||
      !fileReadExact(file, bitmap->pixels, static_cast<uint32_t>(size))) {
    return 0;
  }
  level->pixelsSeen = true;
  return 1;
}

const kiffParseList kLevelList[] = {
    {kChunkLevelHeader, onLevelHeader},
    {kChunkColormap, onLevelColormap},
    {kChunkPixels, onLevelPixels},
};

// A level is whole once its header and its pixels were read.
success parseLevel(LevelContext* level, QuorFile* file) {
  return kiffParseContainer(level, kLevelList, 3, file) && level->headerSeen &&
         level->pixelsSeen;
}

struct MipContext {
  MipData* mip = nullptr;
  int32_t levelsRead = 0;
};

// Creates the record and every level the header announces; on failure
// nothing stays allocated.
success createMip(MipData** out, BitmapFormat format, int32_t log2Width,
                  int32_t log2Height, int32_t levelCount) {
  void* block = nullptr;
  if (!_memAlloc(&block, sizeof(MipData))) return 0;
  MipData* mip = static_cast<MipData*>(block);
  std::memset(mip, 0, sizeof *mip);
  mip->paddedWidth = int32_t{1} << log2Width;
  mip->paddedHeight = int32_t{1} << log2Height;
  mip->log2Width = log2Width;
  mip->log2Height = log2Height;
  for (int32_t i = 0; i < levelCount; ++i) {
    if (!bitmapCreate(&mip->levels[i], format, mip->paddedWidth >> i,
                      mip->paddedHeight >> i)) {
      mipDataDestroy(mip);
      return 0;
    }
    mip->levelCount = i + 1;  // destruction sees only levels that exist
  }
  *out = mip;
  return 1;
}

success onMipHeader(void* context, uint32_t, uint32_t subType, int32_t size,
                    QuorFile* file) {
  MipContext* reading = static_cast<MipContext*>(context);
  uint8_t body[kMipHeaderSize];
  if (reading->mip || !readBody(file, subType, size, kMipHeaderSize, body)) return 0;
  const BitmapFormat format = body[0];
  const int32_t log2Width = getInt32(body + 1);
  const int32_t log2Height = getInt32(body + 5);
  const int32_t levelCount = getInt32(body + 14);
  if (bitmapBitsPerPixel(format) == 0 || log2Width < 0 ||
      log2Width > kMaxLog2Size || log2Height < 0 || log2Height > kMaxLog2Size ||
      levelCount < 1 || levelCount > kMaxMipLevels ||
      levelCount > log2Width + 1 || levelCount > log2Height + 1) {
    return 0;  // the last level would be 0 pixels wide or high
  }
  // Every level's pixels must still be in the file.
  int64_t pixelBytes = 0;
  for (int32_t i = 0; i < levelCount; ++i) {
    const int32_t stride = bitmapStride(format, (int32_t{1} << log2Width) >> i);
    if (stride <= 0) return 0;
    pixelBytes += static_cast<int64_t>(stride) * ((int32_t{1} << log2Height) >> i);
    if (pixelBytes > bytesLeft(file)) return 0;
  }
  MipData* mip = nullptr;
  if (!createMip(&mip, format, log2Width, log2Height, levelCount)) return 0;
  mip->averageColour = getLong(body + 9);
  mip->clampU = body[13] & 1;
  mip->clampV = (body[13] >> 1) & 1;
  mip->colormap = nullptr;
  reading->mip = mip;
  return 1;
}

success onMipColormap(void* context, uint32_t, uint32_t subType, int32_t size,
                      QuorFile* file) {
  MipContext* reading = static_cast<MipContext*>(context);
  MipData* mip = reading->mip;
  uint8_t body[kColormapSize];
  if (!mip || mip->colormap || !bitmapIsFourBit(mip->levels[0]->format) ||
      !readBody(file, subType, size, kColormapSize, body)) {
    return 0;
  }
  return readColormap(&mip->colormap, body);
}

success onMipLevel(void* context, uint32_t, uint32_t subType, int32_t,
                   QuorFile* file) {
  MipContext* reading = static_cast<MipContext*>(context);
  MipData* mip = reading->mip;
  if (!mip || reading->levelsRead >= mip->levelCount || subType != 0) return 0;
  LevelContext level;
  level.bitmap = mip->levels[reading->levelsRead];
  if (!parseLevel(&level, file)) return 0;
  ++reading->levelsRead;
  return 1;
}

const kiffParseList kMipList[] = {
    {kChunkMipHeader, onMipHeader},
    {kChunkColormap, onMipColormap},
    {kChunkLevel, onMipLevel},
};

bool nextChunkIs(QuorFile* file, uint32_t expected) {
  uint32_t id = 0, subType = 0;
  int32_t size = 0;
  return kiffPeekChunkHeader(&id, &subType, &size, file) && id == expected &&
         subType == 0;
}

struct SrbContext {
  SrbHeader* header;
  SrbHeader2* header2;
  bool headerSeen = false;
  bool header2Seen = false;
};

success onSrbHeader(void* context, uint32_t, uint32_t subType, int32_t size,
                    QuorFile* file) {
  SrbContext* reading = static_cast<SrbContext*>(context);
  uint8_t body[kSrbHeaderSize];
  if (reading->headerSeen || !readBody(file, subType, size, kSrbHeaderSize, body)) return 0;
  SrbHeader& header = *reading->header;
  header.width = getFloat(body + 0);
  header.height = getFloat(body + 4);
  header.pixelWidth = getFloat(body + 8);
  header.pixelHeight = getFloat(body + 12);
  header.centreX = getFloat(body + 16);
  header.centreY = getFloat(body + 20);
  reading->headerSeen = true;
  return 1;
}

success onSrbHeader2(void* context, uint32_t, uint32_t subType, int32_t size,
                     QuorFile* file) {
  SrbContext* reading = static_cast<SrbContext*>(context);
  uint8_t body[kSrbHeader2Size];
  if (reading->header2Seen || !readBody(file, subType, size, kSrbHeader2Size, body)) return 0;
  std::memcpy(reading->header2->reserved, body + 1, sizeof reading->header2->reserved);
  reading->header2->flat = body[0];
  reading->header2Seen = true;
  return 1;
}

const kiffParseList kSrbList[] = {
    {kChunkSrbHeader, onSrbHeader},
    {kChunkSrbHeader2, onSrbHeader2},
};

// ---- writing -----------------------------------------------------------

success writeLevelHeader(QuorFile* out, const Bitmap* level) {
  uint8_t record[kLevelHeaderSize];
  record[0] = static_cast<uint8_t>(level->format);
  putLong(record + 1, static_cast<uint32_t>(level->width));
  putLong(record + 5, static_cast<uint32_t>(level->height));
  putLong(record + 9, static_cast<uint32_t>(level->stride));
  record[13] = 0;
  return kiffWriteChunk(out, kChunkLevelHeader, 0, kLevelHeaderSize, record);
}

success writeMipHeader(QuorFile* out, const MipData* mip) {
  uint8_t record[kMipHeaderSize];
  record[0] = static_cast<uint8_t>(mip->levels[0]->format);
  putLong(record + 1, static_cast<uint32_t>(mip->log2Width));
  putLong(record + 5, static_cast<uint32_t>(mip->log2Height));
  putLong(record + 9, mip->averageColour);
  record[13] = static_cast<uint8_t>((mip->clampU ? 1 : 0) | (mip->clampV ? 2 : 0));
  putLong(record + 14, static_cast<uint32_t>(mip->levelCount));
  return kiffWriteChunk(out, kChunkMipHeader, 0, kMipHeaderSize, record);
}

}  // namespace

success colormapWrite(QuorFile* out, const Colormap* map) {
  uint8_t bytes[kColormapSize];
  for (int i = 0; i < 16; ++i) putLong(bytes + 4 * i, colormapGet(map, i));
  return kiffWriteChunk(out, kChunkColormap, 0, kColormapSize, bytes);
}

success levelWrite(QuorFile* out, const Bitmap* level) {
  kiffChunk chunk;
  return kiffStartChunk(out, &chunk, kChunkLevel, 0) &&
         writeLevelHeader(out, level) &&
         (!level->colormap || colormapWrite(out, level->colormap)) &&
         kiffWriteChunk(out, kChunkPixels, 0, level->stride * level->height,
                        level->pixels) &&
         kiffEndChunk(out, &chunk);
}

success mipWrite(QuorFile* out, const MipData* mip) {
  if (mip->levelCount < 1 || mip->levelCount > kMaxMipLevels) return 0;
  for (int32_t i = 0; i < mip->levelCount; ++i) {
    if (!mip->levels[i]) return 0;
  }
  kiffChunk chunk;
  if (!kiffStartChunk(out, &chunk, kChunkMip, 0) || !writeMipHeader(out, mip) ||
      (mip->colormap && !colormapWrite(out, mip->colormap))) {
    return 0;
  }
  for (int32_t i = 0; i < mip->levelCount; ++i) {
    if (!levelWrite(out, mip->levels[i])) return 0;
  }
  return kiffEndChunk(out, &chunk);
}

success srbWrite(QuorFile* out, const MipData* mip, const SrbHeader& header,
                 const SrbHeader2& header2) {
  uint8_t record[kSrbHeaderSize];
  putFloat(record + 0, header.width);
  putFloat(record + 4, header.height);
  putFloat(record + 8, header.pixelWidth);
  putFloat(record + 12, header.pixelHeight);
  putFloat(record + 16, header.centreX);
  putFloat(record + 20, header.centreY);
  // Only the flag is taken from the caller; the reserved bytes are zero.
  uint8_t record2[kSrbHeader2Size] = {};
  record2[0] = header2.flat;

  kiffChunk chunk;
  if (!kiffStartChunk(out, &chunk, kChunkSrb, 0)) {
    std::printf("couldn't start SRB chunk.");
    return 0;
  }
  if (!kiffWriteChunk(out, kChunkSrbHeader, 0, kSrbHeaderSize, record)) {
    std::printf("Couldn't write SRB header.");
    return 0;
  }
  if (!kiffWriteChunk(out, kChunkSrbHeader2, 0, kSrbHeader2Size, record2)) {
    std::printf("Couldn't write 2nd part of SRB header.");
    return 0;
  }
  if (!kiffEndChunk(out, &chunk)) {
    std::printf("Couldn't end SRB chunk.");
    return 0;
  }
  if (!mipWrite(out, mip)) {
    std::printf("Couldn't write mip part of SRB.");
    return 0;
  }
  return 1;
}

bool srbIsSrb(QuorFile* in) { return nextChunkIs(in, kChunkSrb); }

success srbReadHeader(SrbHeader* header, SrbHeader2* header2, QuorFile* in) {
  *header = SrbHeader{};
  *header2 = SrbHeader2{};
  if (!srbIsSrb(in)) return 0;
  SrbContext reading{header, header2};
  return kiffParseContainer(&reading, kSrbList, 2, in) && reading.headerSeen;
}

success srbRead(MipData** out, SrbHeader* header, SrbHeader2* header2, QuorFile* in) {
  *out = nullptr;
  return srbReadHeader(header, header2, in) && mipRead(out, in);
}

success mipRead(MipData** out, QuorFile* in) {
  *out = nullptr;
  if (!nextChunkIs(in, kChunkMip)) return 0;
  MipContext reading;
  const bool parsed = kiffParseContainer(&reading, kMipList, 3, in);
  // Levels the file left out would keep undefined pixels: the chain must
  // be whole.
  if (!parsed || !reading.mip || reading.levelsRead != reading.mip->levelCount) {
    if (reading.mip) mipDataDestroy(reading.mip);
    return 0;
  }
  *out = reading.mip;
  return 1;
}

success levelRead(Bitmap** out, QuorFile* in) {
  *out = nullptr;
  if (!nextChunkIs(in, kChunkLevel)) return 0;
  LevelContext level;
  level.standalone = true;
  if (!parseLevel(&level, in)) {
    bitmapDestroy(level.bitmap);
    return 0;
  }
  *out = level.bitmap;
  return 1;
}
