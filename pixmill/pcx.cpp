#include "pixmill/pcx.h"

#include <cstdint>
#include <cstdio>

namespace {

constexpr uint8_t kPcxManufacturer = 0x0A;
constexpr int32_t kHeaderSize = 128;
// The 256-colour palette: one marker byte (12) and 768 colour bytes at the end.
constexpr int32_t kPaletteBlockSize = 769;
constexpr uint8_t kPaletteMarker = 12;
constexpr int kHeaderPaletteOffset = 16;
constexpr uint8_t kRunFlag = 0xC0;

int32_t headerInt16(const PcxReader& reader, int offset) {
  return static_cast<int16_t>(reader.header[offset] |
                              (reader.header[offset + 1] << 8));
}

uint8_t encodingOf(const PcxReader& reader) { return reader.header[2]; }

bool nextByte(PcxReader* reader, uint8_t* byte) {
  if (reader->bufferPosition >= reader->bufferFill) {
    uint32_t got = 0;
    if (!fileReadAtMost(reader->file, &got, reader->buffer,
                        sizeof reader->buffer) ||
        got == 0) {
      return false;
    }
    reader->bufferFill = got;
    reader->bufferPosition = 0;
  }
  *byte = reader->buffer[reader->bufferPosition++];
  return true;
}

bool nextIndex(PcxReader* reader, uint8_t* index) {
  if (encodingOf(*reader) == 0) return nextByte(reader, index);
  if (reader->repeatCount > 0) {
    --reader->repeatCount;
    *index = reader->repeatByte;
    return true;
  }
  uint8_t code = 0;
  if (!nextByte(reader, &code)) return false;
  if (code < kRunFlag) {
    *index = code;
    return true;
  }
  uint8_t value = 0;
  if (!nextByte(reader, &value)) return false;
  const uint32_t count = code & 0x3F;
  // The current pixel is part of the run; a count of 0 still gives it.
  reader->repeatCount = count > 0 ? count - 1 : 0;
  reader->repeatByte = value;
  *index = value;
  return true;
}

// Starts a pass over the pixel data; fails at once on an unknown encoding
// or a kind of picture the pass cannot decode.
bool startPass(PcxReader* reader) {
  const uint8_t encoding = encodingOf(*reader);
  if ((encoding != 0 && encoding != 1) || !pcxIsReadableKind(*reader)) return false;
  if (!fileSeekFromStart(reader->file, kHeaderSize)) return false;
  reader->bufferFill = 0;
  reader->bufferPosition = 0;
  reader->repeatCount = 0;
  reader->repeatByte = 0;
  return true;
}

// Rows of an odd width carry one byte more than they have pixels.
bool endRow(PcxReader* reader, int32_t width) {
  uint8_t pad = 0;
  return (width & 1) == 0 || nextIndex(reader, &pad);
}

bool sameSize(const Bitmap* bitmap, const PcxReader& reader) {
  return bitmap->width == pcxWidth(reader) && bitmap->height == pcxHeight(reader);
}

uint32_t paletteColour(const PcxPalette* palette, uint8_t index,
                       uint32_t alpha) {
  const PcxColour& c = palette->colours[index];
  return (alpha << 24) | (static_cast<uint32_t>(c.red) << 16) |
         (static_cast<uint32_t>(c.green) << 8) | c.blue;
}

void fillFromHeader(const PcxReader& reader, PcxPalette* palette) {
  for (int i = 0; i < 256; ++i) {
    const uint8_t* entry = reader.header + kHeaderPaletteOffset + (i % 16) * 3;
    palette->colours[i] = PcxColour{entry[0], entry[1], entry[2]};
  }
}

}  // namespace

bool pcxIsReadableKind(const PcxReader& reader) { return reader.header[3] == 8 && reader.header[65] == 1; }

int32_t pcxWidth(const PcxReader& reader) {
  return headerInt16(reader, 8) - headerInt16(reader, 4) + 1;
}

int32_t pcxHeight(const PcxReader& reader) {
  return headerInt16(reader, 10) - headerInt16(reader, 6) + 1;
}

uint64_t pcxLeastFileSize(const PcxReader& reader) {
  const int32_t width = pcxWidth(reader), height = pcxHeight(reader);
  if (width <= 0 || height <= 0) return kHeaderSize;
  // Rows of an odd width carry one byte more; a run stands for at most
  // 0x3F pixels in two bytes.
  const uint64_t indexes = static_cast<uint64_t>(width + width % 2) * static_cast<uint64_t>(height);
  const uint64_t longestRun = 0x3F;
  const uint64_t bytes = encodingOf(reader) == 1 ? (indexes + longestRun - 1) / longestRun * 2 : indexes;
  return kHeaderSize + bytes;
}

bool pcxIsPcx(QuorFile* file) {
  const uint32_t position = fileGetCurrentPosition(file);
  uint8_t first = 0;
  const bool read = fileReadUint8(file, &first) != 0;
  fileSeekFromStart(file, static_cast<int32_t>(position));
  return read && first == kPcxManufacturer;
}

success pcxSetup(PcxReader* reader, QuorFile* file) {
  reader->file = file;
  reader->bufferFill = 0;
  reader->bufferPosition = 0;
  reader->repeatCount = 0;
  reader->repeatByte = 0;
  if (!fileReadExact(file, reader->header, kHeaderSize)) return 0;
  return reader->header[0] == kPcxManufacturer;
}

success pcxReadPalette(PcxReader* reader, PcxPalette* palette) {
  // A file shorter than the palette block cannot hold 256 colours; seeking
  // back 769 bytes would fail, so its 16 header colours serve.
  if (fileSize(reader->file) < static_cast<uint32_t>(kPaletteBlockSize)) {
    fillFromHeader(*reader, palette);
    return 1;
  }
  uint8_t marker = 0;
  if (!fileSeekFromEnd(reader->file, kPaletteBlockSize) ||
      !fileReadUint8(reader->file, &marker)) {
    return 0;
  }
  const bool hasPalette = marker == kPaletteMarker && reader->header[1] == 5 &&
                          reader->header[3] == 8 && reader->header[65] == 1;
  if (!hasPalette) {
    fillFromHeader(*reader, palette);
    return 1;
  }
  uint8_t bytes[768];
  if (!fileReadExact(reader->file, bytes, sizeof bytes)) return 0;
  for (int i = 0; i < 256; ++i) {
    palette->colours[i] = PcxColour{bytes[3 * i], bytes[3 * i + 1], bytes[3 * i + 2]};
  }
  return 1;
}

success pcxReadPixels(Bitmap* bitmap, PcxReader* reader,
                      const PcxPalette* palette, bool info) {
  if (!sameSize(bitmap, *reader) || !startPass(reader)) return 0;
  for (int32_t y = 0; y < bitmap->height; ++y) {
    for (int32_t x = 0; x < bitmap->width; ++x) {
      uint8_t index = 0;
      if (!nextIndex(reader, &index)) return 0;
      const PcxColour& c = palette->colours[index];
      if (info && y == 0 && x < 12) {
        std::printf("pcx y%dx%d: index %d (pal %d,%d,%d)\n", y, x, index,
                    c.red, c.green, c.blue);
      }
      bitmapSetPixel(bitmap, paletteColour(palette, index, 255), x, y);
    }
    if (!endRow(reader, bitmap->width)) return 0;
  }
  return 1;
}

success pcxReadPixelsKeyed(Bitmap* bitmap, PcxReader* reader,
                           const PcxPalette* palette, bool info) {
  if (!sameSize(bitmap, *reader) || !startPass(reader)) return 0;
  const bool listed = info && encodingOf(*reader) == 1;
  for (int32_t y = 0; y < bitmap->height; ++y) {
    for (int32_t x = 0; x < bitmap->width; ++x) {
      uint8_t index = 0;
      if (!nextIndex(reader, &index)) return 0;
      bitmapSetPixel(bitmap, paletteColour(palette, index, index == 0 ? 0 : 255),
                     x, y);
      if (listed && y == 0 && x < 20) {
        const PcxColour& c = palette->colours[index];
        const uint32_t now = bitmapGetPixel(bitmap, x, y);
        std::printf("pcx y%dx%d: index %d (pal %d,%d,%d) now %d %d %d %d\n", 0,
                    x, index, c.red, c.green, c.blue,
                    static_cast<int>((now >> 16) & 0xFF),
                    static_cast<int>((now >> 8) & 0xFF),
                    static_cast<int>(now & 0xFF), static_cast<int>(now >> 24));
      }
    }
    if (!endRow(reader, bitmap->width)) return 0;
  }
  return 1;
}

success pcxCheckIndexes(PcxReader* reader, int32_t low, int32_t high,
                        int32_t* count, int32_t* like) {
  *count = 0;
  *like = 0;
  if (!startPass(reader)) return 0;
  const int32_t width = pcxWidth(*reader);
  const int32_t height = pcxHeight(*reader);
  success result = 1;
  for (int32_t y = 0; y < height; ++y) {
    for (int32_t x = 0; x < width; ++x) {
      uint8_t index = 0;
      if (!nextIndex(reader, &index)) return 0;
      if (index < low || index > high) {
        ++*count;
        *like = index;
        result = 0;
      }
    }
    if (!endRow(reader, width)) return 0;
  }
  return result;
}
