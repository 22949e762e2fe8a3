#pragma once
// A mip chain: its levels (level 0 the largest), average colour, clamp flags
// and optional top colour map.

#include <cstdint>

#include "pixmill/bitmap.h"
#include "runtime/success.h"

/// No chain holds more levels than this (a 32-bit size halves to 0 sooner).
constexpr int32_t kMaxMipLevels = 32;

struct MipData {
  int32_t paddedWidth;   ///< filled when a MIP file is read
  int32_t paddedHeight;
  int32_t log2Width;
  int32_t log2Height;
  uint32_t averageColour;  ///< 0xAARRGGBB
  int16_t clampU;          ///< 0 or 1
  int16_t clampV;
  int32_t levelCount;
  Colormap* colormap;      ///< top colour map or none
  Bitmap* levels[kMaxMipLevels];
};

/// Fill ratios of the picture being converted: width / P(width) and
/// height / P(height); levelFill and build4Bit use them.
void mipSetFillRatios(double rw, double rh);
double mipFillRatioWidth();
double mipFillRatioHeight();

/// Builds the chain by averaging blocks of the source.
success mipDataCreate(MipData** out, const Bitmap* source, int32_t levelLimit,
                      int clampU, int clampV);
/// Builds the chain by point sampling each level from the one above.
success mipDataCreateSampled(MipData** out, const Bitmap* source,
                             int32_t levelLimit, int clampU, int clampV);
/// Fills the level beyond its used part by repeating its last used column
/// and row.
void levelFill(Bitmap* level);
/// The rounded mean colour of the block [x0, x1) x [y0, y1).
uint32_t averageColour(const Bitmap* source, int32_t x0, int32_t y0,
                       int32_t x1, int32_t y1);
/// Destroys every level, the top colour map and the record.
void mipDataDestroy(MipData* mip);
