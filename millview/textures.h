#pragma once
// Textures and pictures read through pixmill's own readers and turned into
// 8-bit RGBA pictures.

#include <cstdint>
#include <string>
#include <vector>

#include "millview/image.h"
#include "pixmill/bitmap.h"
#include "runtime/session.h"

namespace millview {

/// What a sprite file says about its display.
struct SpriteInfo {
  float widthM = 0, heightM = 0;  ///< displayed size in metres
  float pixelWidth = 0, pixelHeight = 0;
  float centreX = 0, centreY = 0;  ///< pixels from the left and the top
};

/// A texture read from a MIP, SRB or PBF file (every level) or a picture
/// read from a PCX or Targa file (one level).
struct Texture {
  std::vector<Image> levels;
  bool sprite = false;
  SpriteInfo spriteInfo;
};

/// Reads the bytes of a file of kind `extension` (mip, srb, pbf, pcx or
/// tga) with the runtime library's readers, inside the session's
/// exclusive section. False with `reason` set when they cannot be read.
bool ReadTexture(RuntimeSession& runtime, const std::vector<uint8_t>& bytes,
                 const std::string& extension, Texture& texture, std::string& reason);

}  // namespace millview
