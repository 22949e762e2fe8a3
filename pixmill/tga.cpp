#include "pixmill/tga.h"

#include <cstdint>

namespace {

constexpr uint32_t kHeaderSize = 18;
constexpr uint32_t kFallbackColour = 0xFFFF6480;  // red 255, green 100, blue 128
constexpr uint8_t kRunLengthBit = 0x08;
constexpr uint8_t kRightToLeftBit = 0x10;
constexpr uint8_t kTopToBottomBit = 0x20;

struct TgaHeader {
  uint8_t idLength;
  uint8_t colormapType;
  uint8_t imageType;
  uint16_t colormapLength;
  uint8_t colormapEntryBits;
  uint16_t width;
  uint16_t height;
  uint8_t depth;
  uint8_t descriptor;
};

uint16_t word(const uint8_t* at) {
  return static_cast<uint16_t>(at[0] | (at[1] << 8));
}

TgaHeader parseHeader(const uint8_t* bytes) {
  TgaHeader header;
  header.idLength = bytes[0];
  header.colormapType = bytes[1];
  header.imageType = bytes[2];
  header.colormapLength = word(bytes + 5);
  header.colormapEntryBits = bytes[7];
  header.width = word(bytes + 12);
  header.height = word(bytes + 14);
  header.depth = bytes[16];
  header.descriptor = bytes[17];
  return header;
}

uint32_t bytesPerPixel(uint8_t depth) {
  switch (depth) {
    case 15:
    case 16:
      return 2;
    case 24:
      return 3;
    case 32:
      return 4;
    default:
      return 0;  // no bytes: every pixel is the fallback colour
  }
}

// Reads one pixel in the header's depth as 0xAARRGGBB.
bool readPixel(QuorFile* file, uint32_t size, uint32_t* colour) {
  uint8_t b[4] = {0, 0, 0, 0};
  if (size == 0) {
    *colour = kFallbackColour;
    return true;
  }
  if (!fileReadExact(file, b, size)) return false;
  if (size == 2) {
    const uint32_t d = word(b);  // bit 15 carries no alpha here
    *colour = 0xFF000000u | (((d >> 7) & 0xF8) << 16) | (((d >> 2) & 0xF8) << 8) |
              ((d & 0x1F) << 3);
  } else {
    const uint32_t alpha = size == 4 ? b[3] : 0xFF;
    *colour = (alpha << 24) | (static_cast<uint32_t>(b[2]) << 16) |
              (static_cast<uint32_t>(b[1]) << 8) | b[0];
  }
  return true;
}

// Places pixels in file order, honouring the orientation bits.
class PixelPlacer {
 public:
  PixelPlacer(Bitmap* bitmap, uint8_t descriptor)
      : bitmap_(bitmap),
        width_(static_cast<uint32_t>(bitmap->width)),
        height_(static_cast<uint32_t>(bitmap->height)),
        total_(width_ * height_),
        rightToLeft_((descriptor & kRightToLeftBit) != 0),
        topToBottom_((descriptor & kTopToBottomBit) != 0) {}

  uint32_t remaining() const { return total_ - placed_; }

  void place(uint32_t colour) {
    const uint32_t column = placed_ % width_;
    const uint32_t row = placed_ / width_;
    const uint32_t x = rightToLeft_ ? width_ - 1 - column : column;
    const uint32_t y = topToBottom_ ? row : height_ - 1 - row;
    bitmapSetPixel(bitmap_, colour, static_cast<int32_t>(x),
                   static_cast<int32_t>(y));
    ++placed_;
  }

 private:
  Bitmap* bitmap_;
  uint32_t width_;
  uint32_t height_;
  uint32_t total_;
  uint32_t placed_ = 0;
  bool rightToLeft_;
  bool topToBottom_;
};

bool readRaw(QuorFile* file, uint32_t size, PixelPlacer* placer) {
  while (placer->remaining() > 0) {
    uint32_t colour = 0;
    if (!readPixel(file, size, &colour)) return false;
    placer->place(colour);
  }
  return true;
}

// A packet that runs past the last pixel stops at it.
bool readRunLength(QuorFile* file, uint32_t size, PixelPlacer* placer) {
  while (placer->remaining() > 0) {
    uint8_t packet = 0;
    if (!fileReadUint8(file, &packet)) return false;
    uint32_t count = (packet & 0x7Fu) + 1;
    if (count > placer->remaining()) count = placer->remaining();
    uint32_t colour = 0;
    if (packet & 0x80) {
      if (!readPixel(file, size, &colour)) return false;
      while (count-- > 0) placer->place(colour);
    } else {
      while (count-- > 0) {
        if (!readPixel(file, size, &colour)) return false;
        placer->place(colour);
      }
    }
  }
  return true;
}

// The fewest bytes that can still hold every pixel; a file shorter than
// that is cut short and is refused before the bitmap is made.
uint64_t leastPixelBytes(const TgaHeader& header, uint32_t size) {
  const uint64_t pixels = static_cast<uint64_t>(header.width) * header.height;
  if (!(header.imageType & kRunLengthBit)) return pixels * size;
  return (pixels + 127) / 128 * (1 + size);
}

}  // namespace

success tgaRead(Bitmap** out, QuorFile* file, BitmapFormat format) {
  *out = nullptr;
  uint8_t bytes[kHeaderSize];
  if (!fileReadExact(file, bytes, kHeaderSize)) return 0;
  const TgaHeader header = parseHeader(bytes);

  int32_t skip = header.idLength;
  if (header.colormapType != 0) {
    skip += static_cast<int32_t>(header.colormapLength) * header.colormapEntryBits / 8;
  }
  if (!fileSeekFromCurrent(file, skip)) return 0;

  const uint32_t size = bytesPerPixel(header.depth);
  const uint32_t position = fileGetCurrentPosition(file);
  const uint32_t length = fileSize(file);
  if (position > length || length - position < leastPixelBytes(header, size)) {
    return 0;
  }

  Bitmap* bitmap = nullptr;
  if (!bitmapCreate(&bitmap, format, header.width, header.height)) return 0;
  PixelPlacer placer(bitmap, header.descriptor);
  const bool read = (header.imageType & kRunLengthBit)
                        ? readRunLength(file, size, &placer)
                        : readRaw(file, size, &placer);
  if (!read) {
    bitmapDestroy(bitmap);
    return 0;
  }
  *out = bitmap;
  return 1;
}
