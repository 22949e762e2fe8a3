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
/// The used width and height of a level: its side times the fill ratio,
/// truncated; 0 counts as 1 (the first column or row stands in).
int32_t mipUsedWidth(const Bitmap* level);
int32_t mipUsedHeight(const Bitmap* level);

/// Levels a chain of a width x height picture gets under `levelLimit`: 0 when
/// there is none to make (limit below 1, width below 5, or a side outside
/// 1 to kMaxMipSide). The creators refuse such input; callers check it first
/// to refuse it with a message before anything is written.
int32_t mipLevelCount(int32_t width, int32_t height, int32_t levelLimit);
/// Longest side of a picture the creators accept.
constexpr int32_t kMaxMipSide = 8192;

/// Builds the chain by averaging blocks of the source (formats 565, 1555,
/// 4444 and 8888). A row or column of a level that lies wholly below or right
/// of the picture's last complete block holds, in its first row or column,
/// the average of what the picture covers there. Every byte of every level is
/// defined: the part outside the used width and height is zero until filled.
success mipDataCreate(MipData** out, const Bitmap* source, int32_t levelLimit,
                      int clampU, int clampV);
/// Builds the chain by point sampling each level from the one above.
success mipDataCreateSampled(MipData** out, const Bitmap* source,
                             int32_t levelLimit, int clampU, int clampV);
/// Fills the level beyond its used part by repeating its last used column
/// and row (16-bit and 4-bit formats; 8888 stays as it is). A used width or
/// height of 0 counts as 1, so the first column or row is repeated.
void levelFill(Bitmap* level);
/// The rounded mean colour of the block [x0, x1) x [y0, y1).
uint32_t averageColour(const Bitmap* source, int32_t x0, int32_t y0,
                       int32_t x1, int32_t y1);
/// Destroys every level, the top colour map and the record.
void mipDataDestroy(MipData* mip);
