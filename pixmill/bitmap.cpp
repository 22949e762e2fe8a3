#include "pixmill/bitmap.h"

#include <cstdint>

#include "runtime/mem.h"

namespace {

uint32_t makeColour(uint32_t red, uint32_t green, uint32_t blue,
                    uint32_t alpha) {
  return (alpha << 24) | (red << 16) | (green << 8) | blue;
}

uint32_t redOf(uint32_t colour) { return (colour >> 16) & 0xFF; }
uint32_t greenOf(uint32_t colour) { return (colour >> 8) & 0xFF; }
uint32_t blueOf(uint32_t colour) { return colour & 0xFF; }
uint32_t alphaOf(uint32_t colour) { return colour >> 24; }

uint8_t* pixelAddress(const Bitmap* bitmap, int32_t x, int32_t y) {
  const int32_t bits = bitmapBitsPerPixel(bitmap->format);
  const int64_t rowStart = static_cast<int64_t>(y) * bitmap->stride;
  return bitmap->pixels + rowStart + (static_cast<int64_t>(x) * bits) / 8;
}

// 16-bit pixels are little-endian words; byte access keeps them alignment-free.
uint32_t readWord(const uint8_t* at) {
  return static_cast<uint32_t>(at[0]) | (static_cast<uint32_t>(at[1]) << 8);
}

void writeWord(uint8_t* at, uint32_t word) {
  at[0] = static_cast<uint8_t>(word);
  at[1] = static_cast<uint8_t>(word >> 8);
}

uint32_t readLong(const uint8_t* at) {
  return readWord(at) | (readWord(at + 2) << 16);
}

void writeLong(uint8_t* at, uint32_t value) {
  writeWord(at, value & 0xFFFF);
  writeWord(at + 2, value >> 16);
}

}  // namespace

int32_t bitmapBitsPerPixel(BitmapFormat format) {
  switch (format) {
    case kFormat4BitOpaque:
    case kFormat4BitTransparent:
    case kFormat4BitTranslucent:
      return 4;
    case kFormat565:
    case kFormat1555:
    case kFormat4444:
      return 16;
    case kFormat32:
    case kFormat8888:
      return 32;
    default:
      return 0;
  }
}

int32_t bitmapStride(BitmapFormat format, int32_t width) {
  const int64_t bits = bitmapBitsPerPixel(format);
  if (bits == 0 || width < 0) return 0;
  const int64_t stride = ((static_cast<int64_t>(width) * bits + 4) / 8 + 3) & ~int64_t{3};
  // A row that does not fit the 32-bit stride field has no stride at all.
  return stride > INT32_MAX ? 0 : static_cast<int32_t>(stride);
}

success bitmapCreate(Bitmap** out, BitmapFormat format, int32_t width,
                     int32_t height) {
  *out = nullptr;
  if (width <= 0 || height <= 0) return 0;
  const int32_t stride = bitmapStride(format, width);
  if (stride <= 0) return 0;
  const int64_t size = static_cast<int64_t>(stride) * height;
  if (size > INT32_MAX) return 0;

  void* record = nullptr;
  if (!_memAlloc(&record, sizeof(Bitmap))) return 0;
  void* pixels = nullptr;
  if (!_memAlloc(&pixels, static_cast<uint32_t>(size))) {
    memFree(record);
    return 0;
  }
  Bitmap* bitmap = static_cast<Bitmap*>(record);
  bitmap->format = format;
  bitmap->pixels = static_cast<uint8_t*>(pixels);
  bitmap->width = width;
  bitmap->height = height;
  bitmap->stride = stride;
  bitmap->colormap = nullptr;
  *out = bitmap;
  return 1;
}

void bitmapDestroy(Bitmap* bitmap) {
  if (!bitmap) return;
  memFree(bitmap->pixels);
  memFree(bitmap->colormap);
  memFree(bitmap);
}

uint32_t bitmapGetPixel(const Bitmap* bitmap, int32_t x, int32_t y) {
  const uint8_t* at = pixelAddress(bitmap, x, y);
  const uint32_t d = bitmapBitsPerPixel(bitmap->format) == 16 ? readWord(at) : 0;
  switch (bitmap->format) {
    case kFormat4BitOpaque:
    case kFormat4BitTransparent:
    case kFormat4BitTranslucent: {
      if (!bitmap->colormap) return 0;
      const int index = (x & 1) ? (*at & 0x0F) : (*at >> 4);
      return colormapGet(bitmap->colormap, index);
    }
    case kFormat565:
      return makeColour((d >> 8) & 0xF8, (d >> 3) & 0xFC, (d << 3) & 0xFF, 255);
    case kFormat1555:
      return makeColour((d >> 7) & 0xF8, (d >> 2) & 0xF8, (d << 3) & 0xFF,
                        (d & 0x8000) ? 255 : 0);
    case kFormat4444:
      return makeColour((d >> 4) & 0xF0, d & 0xF0, (d << 4) & 0xFF,
                        (d >> 8) & 0xF0);
    case kFormat8888:
      return readLong(at);
    default:
      return 0;  // format 32 has no codec
  }
}

void bitmapSetPixel(Bitmap* bitmap, uint32_t colour, int32_t x, int32_t y) {
  uint8_t* at = pixelAddress(bitmap, x, y);
  const uint32_t r = redOf(colour), g = greenOf(colour), b = blueOf(colour),
                 a = alphaOf(colour);
  switch (bitmap->format) {
    case kFormat4BitOpaque:
    case kFormat4BitTransparent:
    case kFormat4BitTranslucent: {
      const uint32_t index =
          bitmap->colormap ? static_cast<uint32_t>(colormapNearest(bitmap->colormap, colour)) : 0;
      *at = (x & 1) ? static_cast<uint8_t>((*at & 0xF0) | index)
                    : static_cast<uint8_t>((*at & 0x0F) | (index << 4));
      return;
    }
    case kFormat565:
      writeWord(at, ((r >> 3) << 11) | ((g >> 2) << 5) | (b >> 3));
      return;
    case kFormat1555:
      writeWord(at, (a >= 128 ? 0x8000u : 0u) | ((r >> 3) << 10) |
                        ((g >> 3) << 5) | (b >> 3));
      return;
    case kFormat4444:
      writeWord(at, ((a >> 4) << 12) | ((r >> 4) << 8) | ((g >> 4) << 4) |
                        (b >> 4));
      return;
    case kFormat8888:
      writeLong(at, colour);
      return;
    default:
      return;  // format 32 has no codec
  }
}

// The row loops below decode and encode exactly as the pixel calls above,
// one format per loop so that each compiles to straight-line code.
void bitmapGetRow(const Bitmap* bitmap, int32_t x, int32_t y, int32_t count,
                  uint32_t* colours) {
  if (count <= 0) return;
  const uint8_t* at = pixelAddress(bitmap, x, y);
  switch (bitmap->format) {
    case kFormat565:
      for (int32_t i = 0; i < count; ++i, at += 2) {
        const uint32_t d = readWord(at);
        colours[i] = makeColour((d >> 8) & 0xF8, (d >> 3) & 0xFC, (d << 3) & 0xFF, 255);
      }
      return;
    case kFormat1555:
      for (int32_t i = 0; i < count; ++i, at += 2) {
        const uint32_t d = readWord(at);
        colours[i] = makeColour((d >> 7) & 0xF8, (d >> 2) & 0xF8, (d << 3) & 0xFF,
                                (d & 0x8000) ? 255 : 0);
      }
      return;
    case kFormat4444:
      for (int32_t i = 0; i < count; ++i, at += 2) {
        const uint32_t d = readWord(at);
        colours[i] = makeColour((d >> 4) & 0xF0, d & 0xF0, (d << 4) & 0xFF, (d >> 8) & 0xF0);
      }
      return;
    case kFormat8888:
      for (int32_t i = 0; i < count; ++i, at += 4) colours[i] = readLong(at);
      return;
    default:
      for (int32_t i = 0; i < count; ++i) colours[i] = bitmapGetPixel(bitmap, x + i, y);
      return;
  }
}

void bitmapSetRow(Bitmap* bitmap, const uint32_t* colours, int32_t x, int32_t y,
                  int32_t count) {
  if (count <= 0) return;
  uint8_t* at = pixelAddress(bitmap, x, y);
  switch (bitmap->format) {
    case kFormat565:
      for (int32_t i = 0; i < count; ++i, at += 2) {
        const uint32_t c = colours[i];
        writeWord(at, ((redOf(c) >> 3) << 11) | ((greenOf(c) >> 2) << 5) | (blueOf(c) >> 3));
      }
      return;
    case kFormat1555:
      for (int32_t i = 0; i < count; ++i, at += 2) {
        const uint32_t c = colours[i];
        writeWord(at, (alphaOf(c) >= 128 ? 0x8000u : 0u) | ((redOf(c) >> 3) << 10) |
                          ((greenOf(c) >> 3) << 5) | (blueOf(c) >> 3));
      }
      return;
    case kFormat4444:
      for (int32_t i = 0; i < count; ++i, at += 2) {
        const uint32_t c = colours[i];
        writeWord(at, ((alphaOf(c) >> 4) << 12) | ((redOf(c) >> 4) << 8) |
                          ((greenOf(c) >> 4) << 4) | (blueOf(c) >> 4));
      }
      return;
    case kFormat8888:
      for (int32_t i = 0; i < count; ++i, at += 4) writeLong(at, colours[i]);
      return;
    default:
      for (int32_t i = 0; i < count; ++i) bitmapSetPixel(bitmap, colours[i], x + i, y);
      return;
  }
}

success colormapCreate(Colormap** out) {
  void* block = nullptr;
  if (!_memAlloc(&block, sizeof(Colormap))) {
    *out = nullptr;
    return 0;
  }
  *out = static_cast<Colormap*>(block);
  return 1;
}

uint32_t colormapGet(const Colormap* map, int index) {
  return map->entries[index & 15];
}

void colormapSet(Colormap* map, int index, uint32_t colour) {
  map->entries[index & 15] = colour;
}

int colormapNearest(const Colormap* map, uint32_t colour) {
  int best = 0;
  int64_t bestDistance = INT64_MAX;
  for (int i = 0; i < 16; ++i) {
    const uint32_t entry = map->entries[i];
    const int64_t dr = static_cast<int64_t>(redOf(entry)) - redOf(colour);
    const int64_t dg = static_cast<int64_t>(greenOf(entry)) - greenOf(colour);
    const int64_t db = static_cast<int64_t>(blueOf(entry)) - blueOf(colour);
    const int64_t da = static_cast<int64_t>(alphaOf(entry)) - alphaOf(colour);
    const int64_t distance = dr * dr + dg * dg + db * db + da * da;
    if (distance < bestDistance) {  // ties keep the lower index
      best = i;
      bestDistance = distance;
    }
  }
  return best;
}

bool bitmapIsFourBit(BitmapFormat format) {
  return format == kFormat4BitOpaque || format == kFormat4BitTransparent ||
         format == kFormat4BitTranslucent;
}
