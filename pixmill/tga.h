#pragma once
// Reading Targa pictures (raw or run-length coded, 15/16/24/32 bits).

#include <cstdint>

#include "pixmill/bitmap.h"
#include "runtime/file/file.h"
#include "runtime/success.h"

/// Creates the bitmap in `format` and fills it from the file.
success tgaRead(Bitmap** out, QuorFile* file, BitmapFormat format);

/// What a Targa header says before any pixel is decoded.
struct TgaSize {
  int32_t width;
  int32_t height;
  /// The fewest bytes a file with this header can have and still hold
  /// every pixel, a byte a pixel at the least (also for the depths whose
  /// pixels tgaRead does not read). A shorter file is cut short.
  uint64_t leastFileSize;
};

/// Reads the header at the file's position into `out`; the position is
/// restored. Fails on a short header.
success tgaPeekSize(TgaSize* out, QuorFile* file);
