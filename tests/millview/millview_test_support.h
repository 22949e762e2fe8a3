#pragma once
// Builders and checks shared by millview's tests: MIP files made with
// pixmill's own writer from raw level pixels, PNGs decoded with stb_image,
// and runs of the real program.

#include <cstdint>
#include <string>
#include <vector>

#include "pixmill/bitmap.h"
#include "platform/process.h"

namespace millview_test {

/// One level given as raw pixel words (16-bit formats) or indexes (4-bit).
struct LevelPixels {
  BitmapFormat format;
  int32_t width, height;
  std::vector<uint32_t> pixels;  ///< row by row
  bool own_map = false;
  Colormap map{};  ///< the level's own map when own_map
};

/// The bytes of a MIP file holding `levels` (level i must be level 0 halved
/// i times), with `top` as its top colour map when given.
std::vector<uint8_t> MipBytes(const std::vector<LevelPixels>& levels, const Colormap* top);

/// A decoded PNG: RGBA bytes, row by row.
struct Decoded {
  int width = 0, height = 0;
  std::vector<uint8_t> rgba;
  /// The pixel at (x, y) as 0xAARRGGBB.
  uint32_t At(int x, int y) const;
};
/// Decodes a PNG file with stb_image; width 0 when it cannot.
Decoded DecodePng(const std::string& path);

/// Runs millview with `arguments` in `directory`.
platform::ProcessResult RunMillview(const std::vector<std::string>& arguments,
                                    const std::string& directory);

/// Every file below `root`, as '/'-separated paths relative to it, sorted.
std::vector<std::string> FilesBelow(const std::string& root);

}  // namespace millview_test
