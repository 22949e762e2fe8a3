// Weak stand-ins for the pixel codecs and the memory manager, so that these
// tests link before the real ones exist; the real definitions replace them.
// To be removed once both are in the library.

#include <cstdlib>
#include <cstring>
#include <new>

#include "pixmill/bitmap.h"
#include "runtime/mem.h"

#define STAND_IN __attribute__((weak))

STAND_IN success _memAlloc(void** out, uint32_t size) {
  void* block = std::malloc(size != 0 ? size : 1);
  if (block == nullptr) return 0;
  *out = block;
  return 1;
}
STAND_IN void memFree(void* block) { std::free(block); }

STAND_IN int32_t bitmapBitsPerPixel(BitmapFormat format) {
  return format <= kFormat4BitTranslucent ? 4 : format <= kFormat4444 ? 16 : 32;
}
STAND_IN int32_t bitmapStride(BitmapFormat format, int32_t width) {
  return ((width * bitmapBitsPerPixel(format) + 4) / 8 + 3) & ~3;
}
STAND_IN success bitmapCreate(Bitmap** out, BitmapFormat format, int32_t width, int32_t height) {
  void* record = nullptr;
  void* pixels = nullptr;
  const int32_t stride = bitmapStride(format, width);
  if (!_memAlloc(&record, sizeof(Bitmap)) || !_memAlloc(&pixels, uint32_t(stride * height))) return 0;
  std::memset(pixels, 0xCD, size_t(stride * height));  // undefined contents show up
  *out = new (record) Bitmap{format, static_cast<uint8_t*>(pixels), width, height, stride, nullptr};
  return 1;
}
STAND_IN void bitmapDestroy(Bitmap* bitmap) {
  if (bitmap == nullptr) return;
  memFree(bitmap->pixels);
  memFree(bitmap->colormap);
  memFree(bitmap);
}
STAND_IN success colormapCreate(Colormap** out) {
  void* block = nullptr;
  if (!_memAlloc(&block, sizeof(Colormap))) return 0;
  *out = static_cast<Colormap*>(block);
  return 1;
}
STAND_IN uint32_t bitmapGetPixel(const Bitmap* b, int32_t x, int32_t y) {
  const uint8_t* p = b->pixels + y * b->stride;
  if (b->format <= kFormat4BitTranslucent)
    return b->colormap->entries[x % 2 == 0 ? p[x / 2] >> 4 : p[x / 2] & 15];
  if (b->format >= kFormat32) {
    p += 4 * x;
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
  }
  const uint32_t d = uint32_t(p[2 * x]) | uint32_t(p[2 * x + 1]) << 8;
  uint32_t r, g, bl, a = 255;
  if (b->format == kFormat565) {
    r = (d >> 8) & 0xF8; g = (d >> 3) & 0xFC; bl = (d << 3) & 0xFF;
  } else if (b->format == kFormat1555) {
    r = (d >> 7) & 0xF8; g = (d >> 2) & 0xF8; bl = (d << 3) & 0xFF; a = (d & 0x8000) ? 255 : 0;
  } else {
    r = (d >> 4) & 0xF0; g = d & 0xF0; bl = (d << 4) & 0xFF; a = (d >> 8) & 0xF0;
  }
  return a << 24 | r << 16 | g << 8 | bl;
}
STAND_IN void bitmapSetPixel(Bitmap* b, uint32_t c, int32_t x, int32_t y) {
  uint8_t* p = b->pixels + y * b->stride;
  const uint32_t a = c >> 24, r = (c >> 16) & 255, g = (c >> 8) & 255, bl = c & 255;
  if (b->format >= kFormat32) {
    p += 4 * x;
    p[0] = uint8_t(bl); p[1] = uint8_t(g); p[2] = uint8_t(r); p[3] = uint8_t(a);
    return;
  }
  uint32_t d;
  if (b->format == kFormat565) d = (r >> 3) << 11 | (g >> 2) << 5 | (bl >> 3);
  else if (b->format == kFormat1555) d = (a >= 128 ? 0x8000 : 0) | (r >> 3) << 10 | (g >> 3) << 5 | (bl >> 3);
  else d = (a >> 4) << 12 | (r >> 4) << 8 | (g >> 4) << 4 | (bl >> 4);
  p[2 * x] = uint8_t(d);
  p[2 * x + 1] = uint8_t(d >> 8);
}
