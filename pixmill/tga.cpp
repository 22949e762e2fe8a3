#include "pixmill/tga.h"

#include <cstdint>
#include <cstring>

#include "runtime/mem.h"

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

// Decodes one pixel of `size` bytes (2, 3 or 4) as 0xAARRGGBB.
uint32_t decodePixel(const uint8_t* b, uint32_t size) {
  if (size == 2) {
    const uint32_t d = word(b);  // bit 15 carries no alpha here
    return 0xFF000000u | (((d >> 7) & 0xF8) << 16) | (((d >> 2) & 0xF8) << 8) |
           ((d & 0x1F) << 3);
  }
  const uint32_t alpha = size == 4 ? b[3] : 0xFF;
  return (alpha << 24) | (static_cast<uint32_t>(b[2]) << 16) |
         (static_cast<uint32_t>(b[1]) << 8) | b[0];
}

// The pixel data read through a buffer of its own: one file read per few
// thousand bytes instead of one per pixel.
class ByteReader {
 public:
  explicit ByteReader(QuorFile* file) : file_(file) {}

  /// Makes at least `count` bytes (at most kCapacity) available at data();
  /// false when the file ends first.
  bool ensure(uint32_t count) {
    if (end_ - position_ >= count) return true;
    std::memmove(buffer_, buffer_ + position_, end_ - position_);
    end_ -= position_;
    position_ = 0;
    while (end_ < count) {
      uint32_t got = 0;
      if (!fileReadAtMost(file_, &got, buffer_ + end_, kCapacity - end_) || got == 0) {
        return false;
      }
      end_ += got;
    }
    return true;
  }
  const uint8_t* data() const { return buffer_ + position_; }
  uint32_t available() const { return end_ - position_; }
  void skip(uint32_t count) { position_ += count; }

  static constexpr uint32_t kCapacity = 8192;

 private:
  QuorFile* file_;
  uint32_t position_ = 0;
  uint32_t end_ = 0;
  uint8_t buffer_[kCapacity];
};

// Gathers pixels in file order into rows and stores each row whole,
// honouring the orientation bits.
class RowPlacer {
 public:
  RowPlacer(Bitmap* bitmap, uint8_t descriptor, uint32_t* row)
      : bitmap_(bitmap),
        row_(row),
        width_(static_cast<uint32_t>(bitmap->width)),
        height_(static_cast<uint32_t>(bitmap->height)),
        rightToLeft_((descriptor & kRightToLeftBit) != 0),
        topToBottom_((descriptor & kTopToBottomBit) != 0) {}

  uint32_t remaining() const { return (height_ - rowsDone_) * width_ - column_; }
  /// Room left in the row being gathered.
  uint32_t roomInRow() const { return width_ - column_; }
  /// Where the next `count` (at most roomInRow()) pixels go; advance() them.
  uint32_t* next() { return row_ + column_; }
  void advance(uint32_t count) {
    column_ += count;
    if (column_ == width_) storeRow();
  }

  void place(uint32_t colour, uint32_t count) {
    while (count > 0) {
      uint32_t take = roomInRow();
      if (take > count) take = count;
      uint32_t* at = next();
      for (uint32_t i = 0; i < take; ++i) at[i] = colour;
      advance(take);
      count -= take;
    }
  }

 private:
  void storeRow() {
    if (rightToLeft_) {
      for (uint32_t i = 0, j = width_ - 1; i < j; ++i, --j) {
        const uint32_t c = row_[i];
        row_[i] = row_[j];
        row_[j] = c;
      }
    }
    const uint32_t y = topToBottom_ ? rowsDone_ : height_ - 1 - rowsDone_;
    bitmapSetRow(bitmap_, row_, 0, static_cast<int32_t>(y), static_cast<int32_t>(width_));
    ++rowsDone_;
    column_ = 0;
  }

  Bitmap* bitmap_;
  uint32_t* row_;
  uint32_t width_;
  uint32_t height_;
  uint32_t rowsDone_ = 0;
  uint32_t column_ = 0;
  bool rightToLeft_;
  bool topToBottom_;
};

// Decodes up to `count` stored pixels, as many as the buffer holds whole.
bool readPixels(ByteReader* reader, uint32_t size, uint32_t count, RowPlacer* placer) {
  while (count > 0) {
    if (!reader->ensure(size)) return false;
    uint32_t take = reader->available() / size;
    if (take > count) take = count;
    if (take > placer->roomInRow()) take = placer->roomInRow();
    const uint8_t* bytes = reader->data();
    uint32_t* out = placer->next();
    if (size == 4) {
      for (uint32_t i = 0; i < take; ++i) out[i] = decodePixel(bytes + 4 * i, 4);
    } else if (size == 3) {
      for (uint32_t i = 0; i < take; ++i) out[i] = decodePixel(bytes + 3 * i, 3);
    } else {
      for (uint32_t i = 0; i < take; ++i) out[i] = decodePixel(bytes + 2 * i, 2);
    }
    reader->skip(take * size);
    placer->advance(take);
    count -= take;
  }
  return true;
}

bool readRaw(ByteReader* reader, uint32_t size, RowPlacer* placer) {
  if (size == 0) {
    placer->place(kFallbackColour, placer->remaining());
    return true;
  }
  return readPixels(reader, size, placer->remaining(), placer);
}

// A packet that runs past the last pixel stops at it.
bool readRunLength(ByteReader* reader, uint32_t size, RowPlacer* placer) {
  while (placer->remaining() > 0) {
    if (!reader->ensure(1)) return false;
    const uint8_t packet = reader->data()[0];
    reader->skip(1);
    uint32_t count = (packet & 0x7Fu) + 1;
    if (count > placer->remaining()) count = placer->remaining();
    if (size == 0) {
      placer->place(kFallbackColour, count);
    } else if (packet & 0x80) {
      if (!reader->ensure(size)) return false;
      const uint32_t colour = decodePixel(reader->data(), size);
      reader->skip(size);
      placer->place(colour, count);
    } else if (!readPixels(reader, size, count, placer)) {
      return false;
    }
  }
  return true;
}

// Bytes between the header and the first pixel: the id and, when there
// is one, the colour map.
int32_t bytesBeforePixels(const TgaHeader& header) {
  int32_t skip = header.idLength;
  if (header.colormapType != 0) {
    skip += static_cast<int32_t>(header.colormapLength) * header.colormapEntryBits / 8;
  }
  return skip;
}

// The fewest bytes that can still hold every pixel of `size` bytes.
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
  if (!fileSeekFromCurrent(file, bytesBeforePixels(header))) return 0;

  const uint32_t size = bytesPerPixel(header.depth);
  const uint32_t position = fileGetCurrentPosition(file);
  const uint32_t length = fileSize(file);
  if (position > length || length - position < leastPixelBytes(header, size)) {
    return 0;
  }

  Bitmap* bitmap = nullptr;
  if (!bitmapCreate(&bitmap, format, header.width, header.height)) return 0;
  void* row = nullptr;
  if (!_memAlloc(&row, sizeof(uint32_t) * header.width)) {
    bitmapDestroy(bitmap);
    return 0;
  }
  RowPlacer placer(bitmap, header.descriptor, static_cast<uint32_t*>(row));
  ByteReader reader(file);
  const bool read = (header.imageType & kRunLengthBit) ? readRunLength(&reader, size, &placer)
                                                       : readRaw(&reader, size, &placer);
  memFree(row);
  if (!read) {
    bitmapDestroy(bitmap);
    return 0;
  }
  *out = bitmap;
  return 1;
}

success tgaPeekSize(TgaSize* out, QuorFile* file) {
  const uint32_t start = fileGetCurrentPosition(file);
  uint8_t bytes[kHeaderSize];
  const success read = fileReadExact(file, bytes, kHeaderSize);
  if (!fileSeekFromStart(file, static_cast<int32_t>(start)) || !read) return 0;
  const TgaHeader header = parseHeader(bytes);
  // A depth that is not decoded still stores its pixels, a byte each at the
  // least.
  const uint32_t size = bytesPerPixel(header.depth);
  out->width = header.width;
  out->height = header.height;
  out->leastFileSize = uint64_t{start} + kHeaderSize +
                       static_cast<uint64_t>(bytesBeforePixels(header)) +
                       leastPixelBytes(header, size != 0 ? size : 1);
  return 1;
}
