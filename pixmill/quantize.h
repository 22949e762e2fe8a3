#pragma once
// Turning 8888 levels into 4-bit levels with 16-colour maps.

#include <cstdint>

#include "pixmill/bitmap.h"
#include "runtime/success.h"

/// Builds the 4-bit level `*out` from the 8888 `source`. With no given map
/// the level gets its own map (median cut when `heckbert`, else histogram);
/// with a given map and `copyGivenMap` it gets a copy of it; with a given
/// map and no copy it gets none and its indexes refer to the given map.
/// `maskBits` is -1 when not given.
success build4Bit(const Bitmap* source, Bitmap** out, bool transparent,
                  bool translucent, bool heckbert, const Colormap* givenMap,
                  bool copyGivenMap, int32_t maskBits, bool info);
