#pragma once
// Reading Targa pictures (raw or run-length coded, 15/16/24/32 bits).

#include "pixmill/bitmap.h"
#include "runtime/file/file.h"
#include "runtime/success.h"

/// Creates the bitmap in `format` and fills it from the file.
success tgaRead(Bitmap** out, QuorFile* file, BitmapFormat format);
