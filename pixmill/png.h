#pragma once
// Reading PNG pictures (every colour type and bit depth) through the file
// layer, decoded from memory.

#include <cstdint>

#include "pixmill/bitmap.h"
#include "runtime/file/file.h"
#include "runtime/success.h"

/// True when the file's next eight bytes are the PNG signature; the read
/// position is restored.
bool pngIsPng(QuorFile* file);

/// Reads the rest of the file and decodes it into a bitmap in `format`,
/// pixels with alpha as stored (255 where the picture has none). A picture
/// wider or higher than `largestSide` is not decoded: the answer is success
/// with `*out` none and its size in `*width` and `*height`. Fails on a
/// truncated or undecodable file.
success pngRead(Bitmap** out, int32_t* width, int32_t* height, QuorFile* file,
                BitmapFormat format, int32_t largestSide);
