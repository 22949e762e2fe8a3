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

/// Copies one 4-bit index between pixels of 4-bit bitmaps.
void copyIndex(Bitmap* to, int32_t toX, int32_t toY, const Bitmap* from, int32_t fromX,
               int32_t fromY) {
  const uint8_t source = from->pixels[fromY * from->stride + fromX / 2];
  const uint8_t index = (fromX % 2 == 0) ? (source >> 4) : (source & 0x0F);
  uint8_t& target = to->pixels[toY * to->stride + toX / 2];
  target = (toX % 2 == 0) ? static_cast<uint8_t>((target & 0x0F) | (index << 4))
                          : static_cast<uint8_t>((target & 0xF0) | index);
}

uint8_t* pixelAt(const Bitmap* bitmap, int32_t x, int32_t y, int32_t bytesPerPixel) {
  return bitmap->pixels + static_cast<size_t>(y) * static_cast<size_t>(bitmap->stride) +
         static_cast<size_t>(x) * static_cast<size_t>(bytesPerPixel);
}

/// The rounded means of per-channel sums over n pixels.
uint32_t roundedMean(const uint64_t sums[4], uint64_t n) {
  const uint64_t half = n / 2;
  return static_cast<uint32_t>(((sums[0] + half) / n) << 24 | ((sums[1] + half) / n) << 16 |
                               ((sums[2] + half) / n) << 8 | ((sums[3] + half) / n));
}

void addColour(uint64_t sums[4], uint32_t colour) {
  sums[0] += colour >> 24;
  sums[1] += (colour >> 16) & 0xFF;
  sums[2] += (colour >> 8) & 0xFF;
  sums[3] += colour & 0xFF;
}

/// Channel sums (alpha, red, green, blue) of the picture pixels inside each
/// block of a level, blocks cut at the picture's right and bottom edges.
/// A block of level k holds at most 4^k pixels and levels stop at k = 10
/// (sides up to kMaxMipSide), so 32 bits hold every sum.
struct BlockSums {
  uint32_t* sums;   ///< 4 per block, rows x columns blocks
  int32_t rows;
  int32_t columns;
};

/// Level 1: the 2 x 2 blocks of the picture, from its rows decoded in pairs
/// into `line` (2 x width colours). Adds every pixel to `total` as well.
void sumPairsOfRows(const Bitmap* source, uint32_t* line, BlockSums* blocks, uint64_t total[4]) {
  const int32_t width = source->width;
  const int32_t height = source->height;
  blocks->rows = (height + 1) / 2;
  blocks->columns = (width + 1) / 2;
  for (int32_t i = 0; i < blocks->rows; ++i) {
    const int32_t y = 2 * i;
    const int32_t pairedRows = y + 1 < height ? 2 : 1;
    for (int32_t r = 0; r < pairedRows; ++r) bitmapGetRow(source, 0, y + r, width, line + r * width);
    uint32_t* out = blocks->sums + static_cast<size_t>(i) * static_cast<size_t>(blocks->columns) * 4;
    for (int32_t j = 0; j < blocks->columns; ++j, out += 4) {
      uint32_t a = 0, r = 0, g = 0, b = 0;
      for (int32_t row = 0; row < pairedRows; ++row) {
        const uint32_t* p = line + row * width + 2 * j;
        const int32_t pairedColumns = 2 * j + 1 < width ? 2 : 1;
        for (int32_t c = 0; c < pairedColumns; ++c) {
          a += p[c] >> 24;
          r += (p[c] >> 16) & 0xFF;
          g += (p[c] >> 8) & 0xFF;
          b += p[c] & 0xFF;
        }
      }
      out[0] = a;
      out[1] = r;
      out[2] = g;
      out[3] = b;
      total[0] += a;
      total[1] += r;
      total[2] += g;
      total[3] += b;
    }
  }
}

/// The next level's block sums from this level's, in place: each block adds
/// up the (at most) four blocks it covers, which lie at or after its own place.
void sumNextLevel(BlockSums* blocks) {
  const int32_t rows = (blocks->rows + 1) / 2;
  const int32_t columns = (blocks->columns + 1) / 2;
  const size_t pitch = static_cast<size_t>(blocks->columns) * 4;
  uint32_t* out = blocks->sums;
  for (int32_t i = 0; i < rows; ++i) {
    const uint32_t* top = blocks->sums + static_cast<size_t>(2 * i) * pitch;
    const bool bottomRow = 2 * i + 1 < blocks->rows;
    for (int32_t j = 0; j < columns; ++j, out += 4) {
      const bool rightColumn = 2 * j + 1 < blocks->columns;
      uint32_t sum[4];
      for (int c = 0; c < 4; ++c) {
        const uint32_t* at = top + 8 * j + c;
        sum[c] = at[0] + (rightColumn ? at[4] : 0);
        if (bottomRow) sum[c] += at[pitch] + (rightColumn ? at[pitch + 4] : 0);
      }
      for (int c = 0; c < 4; ++c) out[c] = sum[c];
    }
  }
  blocks->rows = rows;
  blocks->columns = columns;
}

/// The rounded mean colour of a block of n pixels from its sums.
uint32_t blockMean(const uint32_t* sums, uint32_t n, int32_t shift) {
  uint32_t mean[4];
  if (shift >= 0) {  // n = 2^shift
    for (int c = 0; c < 4; ++c) mean[c] = (sums[c] + n / 2) >> shift;
  } else {
    for (int c = 0; c < 4; ++c) mean[c] = (sums[c] + n / 2) / n;
  }
  return mean[0] << 24 | mean[1] << 16 | mean[2] << 8 | mean[3];
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

/// Frees the levels and the record of a chain being built; the colour map
/// stays with the source.
void mipDataDestroyChainOnly(MipData* mip) {
  destroyLevels(mip);
  memFree(mip);
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
  mip->clampU = clampU != 0 ? 1 : 0;
  mip->clampV = clampV != 0 ? 1 : 0;
  for (int32_t k = 0; k < count; ++k) {
    Bitmap* level = nullptr;
    if (!bitmapCreate(&level, source->format, int32_t{1} << (mip->log2Width - k),
                      int32_t{1} << (mip->log2Height - k))) {
      mipDataDestroyChainOnly(mip);
      return 0;
    }
    std::memset(level->pixels, 0,
                static_cast<size_t>(level->stride) * static_cast<size_t>(level->height));
    level->colormap = nullptr;
    mip->levels[k] = level;
    mip->levelCount = k + 1;
  }
  mip->colormap = source->colormap;

  // Source and levels share the format: level 0 takes the stored rows as they are.
  const size_t rowBytes = static_cast<size_t>(source->width) *
                          static_cast<size_t>(bitmapBitsPerPixel(source->format) / 8);
  for (int32_t y = 0; y < source->height; ++y)
    std::memcpy(pixelAt(mip->levels[0], 0, y, 0), pixelAt(source, 0, y, 0), rowBytes);
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

void mipReadColours(const Bitmap* bitmap, uint32_t* out) {
  for (int32_t y = 0; y < bitmap->height; ++y)
    bitmapGetRow(bitmap, 0, y, bitmap->width,
                 out + static_cast<size_t>(y) * static_cast<size_t>(bitmap->width));
}

success mipDataCreate(MipData** out, const Bitmap* source, int32_t levelLimit,
                      int clampU, int clampV) {
  if (out != nullptr) *out = nullptr;
  MipData* mip = nullptr;
  if (!createChain(&mip, source, levelLimit, clampU, clampV)) return 0;
  const int32_t width = source->width;
  const int32_t height = source->height;
  BlockSums blocks{nullptr, 0, 0};
  void* sumsBlock = nullptr;
  void* lineBlock = nullptr;
  const uint64_t sumsBytes = sizeof(uint32_t) * 4 * static_cast<uint64_t>((width + 1) / 2) *
                             static_cast<uint64_t>((height + 1) / 2);
  if (sumsBytes > 0xFFFFFFF0u || !_memAlloc(&sumsBlock, static_cast<uint32_t>(sumsBytes)) ||
      !_memAlloc(&lineBlock, static_cast<uint32_t>(sizeof(uint32_t) * 2 * static_cast<size_t>(width)))) {
    memFree(sumsBlock);
    mipDataDestroyChainOnly(mip);
    return 0;
  }
  blocks.sums = static_cast<uint32_t*>(sumsBlock);
  uint32_t* line = static_cast<uint32_t*>(lineBlock);
  uint64_t total[4] = {0, 0, 0, 0};
  sumPairsOfRows(source, line, &blocks, total);
  mip->averageColour = roundedMean(total, static_cast<uint64_t>(width) * static_cast<uint64_t>(height));

  for (int32_t k = 1; k < mip->levelCount; ++k) {
    if (k > 1) sumNextLevel(&blocks);
    Bitmap* level = mip->levels[k];
    const int32_t side = int32_t{1} << k;
    // Only whole blocks are averaged; the fill supplies the rest. A level the
    // picture covers with no whole block in a direction gets its first row or
    // column from the partial blocks, so the fill has something to repeat.
    int32_t rows = minimum(level->height, height >> k);
    int32_t columns = minimum(level->width, width >> k);
    const int32_t blockHeight = rows == 0 ? height : side;
    const int32_t blockWidth = columns == 0 ? width : side;
    if (rows == 0) rows = 1;
    if (columns == 0) columns = 1;
    const uint32_t n = static_cast<uint32_t>(blockHeight) * static_cast<uint32_t>(blockWidth);
    const int32_t shift = blockHeight == side && blockWidth == side ? 2 * k : -1;
    for (int32_t i = 0; i < rows; ++i) {
      const uint32_t* sums =
          blocks.sums + static_cast<size_t>(i) * static_cast<size_t>(blocks.columns) * 4;
      for (int32_t j = 0; j < columns; ++j) line[j] = blockMean(sums + 4 * j, n, shift);
      bitmapSetRow(level, line, 0, i, columns);
    }
  }
  memFree(lineBlock);
  memFree(sumsBlock);
  *out = mip;
  return 1;
}

success mipDataCreateSampled(MipData** out, const Bitmap* source,
                             int32_t levelLimit, int clampU, int clampV) {
  if (out != nullptr) *out = nullptr;
  MipData* mip = nullptr;
  if (!createChain(&mip, source, levelLimit, clampU, clampV)) return 0;
  mip->averageColour = averageColour(source, 0, 0, source->width, source->height);
  const int32_t bytes = bitmapBitsPerPixel(source->format) / 8;
  for (int32_t k = 1; k < mip->levelCount; ++k) {
    Bitmap* level = mip->levels[k];
    const Bitmap* above = mip->levels[k - 1];
    for (int32_t y = 0; y < level->height; ++y) {
      for (int32_t x = 0; x < level->width; ++x)
        std::memcpy(pixelAt(level, x, y, bytes), pixelAt(above, 2 * x, 2 * y, bytes),
                    static_cast<size_t>(bytes));
    }
  }
  *out = mip;
  return 1;
}

void levelFill(Bitmap* level) {
  if (level == nullptr) return;
  const int32_t bits = bitmapBitsPerPixel(level->format);
  if (bits != 4 && bits != 16) return;  // 8888 levels stay as they are
  const int32_t usedWidth = mipUsedWidth(level);
  const int32_t usedHeight = mipUsedHeight(level);
  // Used rows: the last used pixel repeats to the right.
  for (int32_t y = 0; y < usedHeight; ++y) {
    for (int32_t x = usedWidth; x < level->width; ++x) {
      if (bits == 4) {
        copyIndex(level, x, y, level, usedWidth - 1, y);
      } else {
        std::memcpy(pixelAt(level, x, y, 2), pixelAt(level, usedWidth - 1, y, 2), 2);
      }
    }
  }
  // The rows below repeat the last used row, its repeated part included.
  const size_t wholeBytes = static_cast<size_t>(level->width) * static_cast<size_t>(bits) / 8;
  const bool lastNibble = bits == 4 && level->width % 2 != 0;
  for (int32_t y = usedHeight; y < level->height; ++y) {
    std::memcpy(pixelAt(level, 0, y, 0), pixelAt(level, 0, usedHeight - 1, 0), wholeBytes);
    if (lastNibble) copyIndex(level, level->width - 1, y, level, level->width - 1, usedHeight - 1);
  }
}

uint32_t averageColour(const Bitmap* source, int32_t x0, int32_t y0, int32_t x1,
                       int32_t y1) {
  x0 = maximum(x0, 0);
  y0 = maximum(y0, 0);
  x1 = minimum(x1, source->width);
  y1 = minimum(y1, source->height);
  if (x1 <= x0 || y1 <= y0) return 0xFF000000u;
  uint64_t sums[4] = {0, 0, 0, 0};
  uint32_t colours[256];
  for (int32_t y = y0; y < y1; ++y) {
    for (int32_t x = x0; x < x1; x += 256) {
      const int32_t count = minimum(x1 - x, 256);
      bitmapGetRow(source, x, y, count, colours);
      for (int32_t i = 0; i < count; ++i) addColour(sums, colours[i]);
    }
  }
  return roundedMean(sums, static_cast<uint64_t>(x1 - x0) * static_cast<uint64_t>(y1 - y0));
}

void mipDataDestroy(MipData* mip) {
  if (mip == nullptr) return;
  destroyLevels(mip);
  memFree(mip->colormap);
  mip->colormap = nullptr;
  memFree(mip);
}
