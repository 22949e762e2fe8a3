#pragma once
// Input pictures and expected output files for the end-to-end tests of
// pixmill, built here byte by byte from what the formats lay down, without
// any of pixmill's own code.

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/process.h"

namespace pixmill_e2e {

using Bytes = std::vector<uint8_t>;

struct Rgba {
  uint8_t r, g, b, a;
};

/// A picture as 8-bit colours, row 0 at the top.
struct Picture {
  int width = 0;
  int height = 0;
  std::vector<Rgba> pixels;
  Rgba at(int x, int y) const { return pixels[y * width + x]; }
};

/// A picture of the given size whose colours come from `colour(x, y)`.
template <typename F>
Picture MakePicture(int width, int height, F colour) {
  Picture p;
  p.width = width;
  p.height = height;
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) p.pixels.push_back(colour(x, y));
  return p;
}

/// An 8-bit PCX: `indexes` row by row, run-length coded, with a 256-colour
/// palette at the end.
Bytes PcxFile(int width, int height, const std::vector<uint8_t>& indexes,
              const std::vector<Rgba>& palette);

/// A Targa of depth 16, 24 or 32, raw or run-length coded, rows from the top
/// or (as most files store them) from the bottom.
Bytes TgaFile(const Picture& picture, int depth, bool rle, bool topDown);

/// A PNG written by hand, its data compressed with zlib.
/// `samples` holds each pixel's channels row by row (1 for grey and
/// palette, 2 grey + alpha, 3 RGB, 4 RGBA) at `depth` bits; `palette` is the
/// PLTE chunk of colour type 3, `transparency` the tRNS chunk's body (none
/// when empty).
Bytes PngFile(int width, int height, int colourType, int depth,
              const std::vector<uint16_t>& samples, const std::vector<Rgba>& palette = {},
              const Bytes& transparency = {});

/// One level as it is written: format, size, stride-wide rows, own map.
struct Level {
  int format = 3;
  int width = 0;
  int height = 0;
  Bytes pixels;
  std::optional<std::array<uint32_t, 16>> colormap;
};

struct Mip {
  int log2Width = 0;
  int log2Height = 0;
  uint32_t average = 0;  ///< 0xAARRGGBB
  uint8_t flags = 3;
  std::optional<std::array<uint32_t, 16>> colormap;
  std::vector<Level> levels;
};

int Stride(int format, int width);
uint16_t Encode16(int format, Rgba c);
Rgba Decode16(int format, uint16_t d);

/// The mip chain of a 16-bit texture: the picture reduced to `format`,
/// levels by averaging (or point sampling), filled out to full size.
Mip Mip16(const Picture& picture, int format, int levelLimit, bool sampled);

/// Level bytes of 4-bit indexes, even x in the high nibble.
Level Level4(int format, int width, int height, const std::vector<int>& indexes,
             std::optional<std::array<uint32_t, 16>> colormap);

/// Rounded mean of every pixel, as 0xAARRGGBB.
uint32_t AverageColour(const Picture& picture);

Bytes LevelFile(const Level& level);  ///< also the whole of a PBF file
Bytes MipFile(const Mip& mip);
Bytes SrbFile(const std::array<float, 6>& header, bool flat, const Mip& mip);

/// Runs the pixmill program in `directory`; its output has "\n" line ends.
platform::ProcessResult RunPixmill(const std::string& directory,
                                   const std::vector<std::string>& arguments);

/// The usage text, as the program prints it.
extern const char kUsage[];

}  // namespace pixmill_e2e
