// Mip chains: level sizes, averaging and point sampling, the blend fill.

#include "pixmill/mip_data.h"

#include <cstring>

#include "runtime/mem.h"

namespace {

double gFillRatioWidth = 1.0;
double gFillRatioHeight = 1.0;

/// Exponent of the smallest power of two not below n (n >= 1).
int32_t log2Ceiling(int32_t n) {
  int32_t exponent = 0;
  while ((int32_t{1} << exponent) < n) ++exponent;
  return exponent;
}

int32_t minimum(int32_t a, int32_t b) { return a < b ? a : b; }
int32_t maximum(int32_t a, int32_t b) { return a > b ? a : b; }

bool hasLevelCodec(BitmapFormat format) {
  return format == kFormat565 || format == kFormat1555 ||
         format == kFormat4444 || format == kFormat8888;
}

/// Copies one pixel's stored bits between bitmaps of one format. For the
/// formats with a codec this equals decoding and encoding again, and it keeps
/// the 4-bit indexes, which a level without a colour map could not encode.
void copyPixel(Bitmap* to, int32_t toX, int32_t toY, const Bitmap* from,
               int32_t fromX, int32_t fromY) {
  const int32_t bits = bitmapBitsPerPixel(to->format);
  if (bits == 4) {
    const uint8_t source = from->pixels[fromY * from->stride + fromX / 2];
    const uint8_t index = (fromX % 2 == 0) ? (source >> 4) : (source & 0x0F);
    uint8_t& target = to->pixels[toY * to->stride + toX / 2];
    target = (toX % 2 == 0) ? static_cast<uint8_t>((target & 0x0F) | (index << 4))
                            : static_cast<uint8_t>((target & 0xF0) | index);
    return;
  }
  const int32_t bytes = bits / 8;
  std::memcpy(to->pixels + toY * to->stride + toX * bytes,
              from->pixels + fromY * from->stride + fromX * bytes,
              static_cast<size_t>(bytes));
}

/// Used width or height of a level side: the side times its fill ratio,
/// truncated, kept within 1 and the side.
int32_t usedExtent(int32_t side, double ratio) {
  const double used = side * ratio;
  if (!(used < side)) return side;  // also catches a ratio that is not a number
  if (!(used >= 1.0)) return 1;
  return static_cast<int32_t>(used);
}

void destroyLevels(MipData* mip) {
  for (int32_t k = 0; k < mip->levelCount; ++k) {
    bitmapDestroy(mip->levels[k]);
    mip->levels[k] = nullptr;
  }
}

/// Allocates the record and every level (all bytes zero), copies the source
/// into level 0. On failure nothing stays allocated.
success createChain(MipData** out, const Bitmap* source, int32_t levelLimit,
                    int clampU, int clampV) {
  *out = nullptr;
  if (source == nullptr || !hasLevelCodec(source->format)) return 0;
  const int32_t count = mipLevelCount(source->width, source->height, levelLimit);
  if (count <= 0) return 0;

  void* block = nullptr;
  if (!_memAlloc(&block, sizeof(MipData))) return 0;
  MipData* mip = static_cast<MipData*>(block);
  std::memset(mip, 0, sizeof(MipData));
  mip->log2Width = log2Ceiling(source->width);
  mip->log2Height = log2Ceiling(source->height);
  mip->averageColour = averageColour(source, 0, 0, source->width, source->height);
  mip->clampU = clampU != 0 ? 1 : 0;
  mip->clampV = clampV != 0 ? 1 : 0;
  for (int32_t k = 0; k < count; ++k) {
    Bitmap* level = nullptr;
    if (!bitmapCreate(&level, source->format, int32_t{1} << (mip->log2Width - k),
                      int32_t{1} << (mip->log2Height - k))) {
      destroyLevels(mip);
      memFree(mip);
      return 0;
    }
    std::memset(level->pixels, 0,
                static_cast<size_t>(level->stride) * static_cast<size_t>(level->height));
    level->colormap = nullptr;
    mip->levels[k] = level;
    mip->levelCount = k + 1;
  }
  mip->colormap = source->colormap;

  for (int32_t y = 0; y < source->height; ++y) {
    for (int32_t x = 0; x < source->width; ++x) copyPixel(mip->levels[0], x, y, source, x, y);
  }
  *out = mip;
  return 1;
}

}  // namespace

void mipSetFillRatios(double rw, double rh) {
  gFillRatioWidth = rw;
  gFillRatioHeight = rh;
}

double mipFillRatioWidth() { return gFillRatioWidth; }

double mipFillRatioHeight() { return gFillRatioHeight; }

int32_t mipUsedWidth(const Bitmap* level) { return usedExtent(level->width, gFillRatioWidth); }

int32_t mipUsedHeight(const Bitmap* level) {
  return usedExtent(level->height, gFillRatioHeight);
}

int32_t mipLevelCount(int32_t width, int32_t height, int32_t levelLimit) {
  if (width < 1 || height < 1 || width > kMaxMipSide || height > kMaxMipSide) return 0;
  const int32_t log2Width = log2Ceiling(width);
  const int32_t log2Height = log2Ceiling(height);
  int32_t count = minimum(levelLimit, kMaxMipLevels);
  if (log2Width - 2 < count) count = log2Width - 2;
  if (log2Height + 1 < count) count = log2Height + 1;
  return maximum(count, 0);
}

success mipDataCreate(MipData** out, const Bitmap* source, int32_t levelLimit,
                      int clampU, int clampV) {
  MipData* mip = nullptr;
  if (!createChain(&mip, source, levelLimit, clampU, clampV)) {
    if (out != nullptr) *out = nullptr;
    return 0;
  }
  for (int32_t k = 1; k < mip->levelCount; ++k) {
    Bitmap* level = mip->levels[k];
    const int32_t block = int32_t{1} << k;
    // Only whole blocks are averaged; the fill supplies the rest. A level the
    // picture covers with no whole block in a direction gets its first row or
    // column from the partial blocks, so the fill has something to repeat.
    int32_t rows = minimum(level->height, source->height >> k);
    int32_t columns = minimum(level->width, source->width >> k);
    const bool partialRows = rows == 0;
    const bool partialColumns = columns == 0;
    if (partialRows) rows = 1;
    if (partialColumns) columns = 1;
    for (int32_t i = 0; i < rows; ++i) {
      const int32_t y0 = i * block;
      const int32_t y1 = partialRows ? source->height : y0 + block;
      for (int32_t j = 0; j < columns; ++j) {
        const int32_t x0 = j * block;
        const int32_t x1 = partialColumns ? source->width : x0 + block;
        bitmapSetPixel(level, averageColour(source, x0, y0, x1, y1), j, i);
      }
    }
  }
  *out = mip;
  return 1;
}

success mipDataCreateSampled(MipData** out, const Bitmap* source,
                             int32_t levelLimit, int clampU, int clampV) {
  MipData* mip = nullptr;
  if (!createChain(&mip, source, levelLimit, clampU, clampV)) {
    if (out != nullptr) *out = nullptr;
    return 0;
  }
  for (int32_t k = 1; k < mip->levelCount; ++k) {
    Bitmap* level = mip->levels[k];
    const Bitmap* above = mip->levels[k - 1];
    for (int32_t y = 0; y < level->height; ++y) {
      for (int32_t x = 0; x < level->width; ++x) copyPixel(level, x, y, above, 2 * x, 2 * y);
    }
  }
  *out = mip;
  return 1;
}

void levelFill(Bitmap* level) {
  if (level == nullptr) return;
  const BitmapFormat format = level->format;
  if (format == kFormat8888 || format == kFormat32 || format < kFormat4BitOpaque ||
      format > kFormat8888) {
    return;
  }
  const int32_t usedWidth = mipUsedWidth(level);
  const int32_t usedHeight = mipUsedHeight(level);
  for (int32_t y = 0; y < level->height; ++y) {
    for (int32_t x = 0; x < level->width; ++x) {
      if (x >= usedWidth) {
        copyPixel(level, x, y, level, usedWidth - 1, y);
      } else if (y >= usedHeight) {
        copyPixel(level, x, y, level, x, usedHeight - 1);
      }
    }
  }
}

uint32_t averageColour(const Bitmap* source, int32_t x0, int32_t y0, int32_t x1,
                       int32_t y1) {
  x0 = maximum(x0, 0);
  y0 = maximum(y0, 0);
  x1 = minimum(x1, source->width);
  y1 = minimum(y1, source->height);
  if (x1 <= x0 || y1 <= y0) return 0xFF000000u;
  uint64_t alpha = 0, red = 0, green = 0, blue = 0;
  for (int32_t y = y0; y < y1; ++y) {
    for (int32_t x = x0; x < x1; ++x) {
      const uint32_t colour = bitmapGetPixel(source, x, y);
      alpha += colour >> 24;
      red += (colour >> 16) & 0xFF;
      green += (colour >> 8) & 0xFF;
      blue += colour & 0xFF;
    }
  }
  const uint64_t n = static_cast<uint64_t>(x1 - x0) * static_cast<uint64_t>(y1 - y0);
  const uint64_t half = n / 2;
  return static_cast<uint32_t>(((alpha + half) / n) << 24 | ((red + half) / n) << 16 |
                               ((green + half) / n) << 8 | ((blue + half) / n));
}

void mipDataDestroy(MipData* mip) {
  if (mip == nullptr) return;
  destroyLevels(mip);
  memFree(mip->colormap);
  mip->colormap = nullptr;
  memFree(mip);
}
