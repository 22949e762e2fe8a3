#pragma once
// Pictures as millview hands them to the PNG writer: 8-bit RGBA rows.

#include <cstdint>
#include <string>
#include <vector>

namespace millview {

/// A picture of width x height pixels, 4 bytes each (red, green, blue, alpha).
struct Image {
  int32_t width = 0;
  int32_t height = 0;
  std::vector<uint8_t> rgba;
};

/// An empty (transparent) picture of the given size.
Image BlankImage(int32_t width, int32_t height);

/// One row with every level of a mip chain: level 0 at the left, each
/// smaller level right of the one before, tops aligned, transparent elsewhere.
Image MakeSheet(const std::vector<Image>& levels);

/// The PNG bytes of a picture (stb_image_write, compressed with zlib).
std::vector<uint8_t> EncodePng(const Image& image);

}  // namespace millview
