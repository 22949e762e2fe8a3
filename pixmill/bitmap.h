#pragma once
// Pictures and mip levels in one pixel format, with optional 16-colour maps.
// Memory comes from the memory manager.

#include <cstdint>

#include "runtime/success.h"

/// Pixel formats: 0 to 2 the 4-bit formats (opaque, transparent,
/// translucent), 3 = 565, 4 = 1555, 5 = 4444, 6 = 32-bit without codec,
/// 7 = 8888.
typedef int32_t BitmapFormat;
enum : BitmapFormat {
  kFormat4BitOpaque = 0,
  kFormat4BitTransparent = 1,
  kFormat4BitTranslucent = 2,
  kFormat565 = 3,
  kFormat1555 = 4,
  kFormat4444 = 5,
  kFormat32 = 6,
  kFormat8888 = 7,
};

/// 16 colours 0xAARRGGBB; stored in files as 64 bytes, each entry
/// little-endian (blue, green, red, alpha).
struct Colormap {
  uint32_t entries[16];
};

struct Bitmap {
  BitmapFormat format;
  uint8_t* pixels;  ///< stride x height bytes, row 0 first
  int32_t width;
  int32_t height;
  int32_t stride;   ///< bytes per row
  Colormap* colormap;
};

/// Bits per pixel of a format (4, 16 or 32).
int32_t bitmapBitsPerPixel(BitmapFormat format);
/// Bytes per row: ((width x bits + 4) div 8 + 3) rounded down to a multiple of 4.
/// 0 for an unknown format, a negative width or a row beyond 32-bit sizes.
int32_t bitmapStride(BitmapFormat format, int32_t width);
/// True for the three 4-bit colour-map formats.
bool bitmapIsFourBit(BitmapFormat format);

/// Allocates the record and its pixels (contents undefined), no colour map.
/// Refuses an unknown format, a size below 1 x 1 and pixels beyond 2^31 - 1
/// bytes. On failure nothing stays allocated and *out is none.
success bitmapCreate(Bitmap** out, BitmapFormat format, int32_t width,
                     int32_t height);
/// Frees the pixels, the colour map if any, and the record.
void bitmapDestroy(Bitmap* bitmap);
/// Decodes pixel (x, y) to 0xAARRGGBB.
uint32_t bitmapGetPixel(const Bitmap* bitmap, int32_t x, int32_t y);
/// Encodes 0xAARRGGBB into pixel (x, y).
void bitmapSetPixel(Bitmap* bitmap, uint32_t colour, int32_t x, int32_t y);
/// Decodes `count` pixels of row y from column x on, as bitmapGetPixel would.
void bitmapGetRow(const Bitmap* bitmap, int32_t x, int32_t y, int32_t count,
                  uint32_t* colours);
/// Encodes `count` colours into row y from column x on, as bitmapSetPixel would.
void bitmapSetRow(Bitmap* bitmap, const uint32_t* colours, int32_t x, int32_t y,
                  int32_t count);

/// Allocates a colour map (contents undefined).
success colormapCreate(Colormap** out);
uint32_t colormapGet(const Colormap* map, int index);
void colormapSet(Colormap* map, int index, uint32_t colour);
/// The nearest entry by squared distance over red, green, blue and alpha;
/// the lowest index wins ties.
int colormapNearest(const Colormap* map, uint32_t colour);
