// Writes synthetic PCX, Targa and PNG pictures for pixmill's examples and
// benchmarks. Plain standard C++ and the PNG writer of stb: it shares no
// code with pixmill.
//
//   make_picture pcx-window OUT [--width W] [--height H] [--window N]
//       8-bit run-length PCX with a 256-colour palette; the texture uses
//       only the 16 palette entries N .. N+15 (default 64).
//   make_picture tga-alpha OUT [--width W] [--height H]
//       32-bit raw Targa, colour gradients with a round alpha falloff.
//   make_picture tga-distinct OUT [--width W] [--height H]
//       32-bit opaque raw Targa in which every pixel has its own colour
//       (65,536 distinct colours at 256 x 256).
//   make_picture png-alpha OUT [--width W] [--height H]
//   make_picture png-distinct OUT [--width W] [--height H]
//       the same two pictures as RGBA PNG files.

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

#define STBIW_STATIC
#define STB_IMAGE_WRITE_IMPLEMENTATION
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wunused-function"
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
#include <stb_image_write.h>
#pragma GCC diagnostic pop

namespace {

using Bytes = std::vector<uint8_t>;

struct Rgb {
  uint8_t r, g, b;
};

// Run-length codes one row of indexes (runs never cross rows here).
void pcxEncodeRow(Bytes& out, const std::vector<uint8_t>& row) {
  size_t i = 0;
  while (i < row.size()) {
    size_t run = 1;
    while (i + run < row.size() && run < 63 && row[i + run] == row[i]) ++run;
    if (run > 1 || row[i] >= 0xC0) {
      out.push_back(static_cast<uint8_t>(0xC0 | run));
    }
    out.push_back(row[i]);
    i += run;
  }
}

Bytes makePcxWindow(int width, int height, int window) {
  // Palette: a grey ramp everywhere, 16 saturated colours in the window.
  std::vector<Rgb> palette(256);
  for (int i = 0; i < 256; ++i) palette[i] = {uint8_t(i), uint8_t(i), uint8_t(i)};
  for (int k = 0; k < 16; ++k) {
    double angle = k * 2 * 3.14159265358979 / 16;
    palette[window + k] = {uint8_t(128 + 120 * std::cos(angle)),
                           uint8_t(128 + 120 * std::cos(angle - 2.0944)),
                           uint8_t(128 + 120 * std::cos(angle + 2.0944))};
  }
  Bytes out(128, 0);
  out[0] = 0x0A;
  out[1] = 5;
  out[2] = 1;
  out[3] = 8;
  out[8] = uint8_t((width - 1) & 0xFF);
  out[9] = uint8_t((width - 1) >> 8);
  out[10] = uint8_t((height - 1) & 0xFF);
  out[11] = uint8_t((height - 1) >> 8);
  for (int k = 0; k < 16; ++k) {  // header palette: the first 16 entries
    out[16 + 3 * k] = palette[k].r;
    out[17 + 3 * k] = palette[k].g;
    out[18 + 3 * k] = palette[k].b;
  }
  out[65] = 1;
  int bytesPerLine = width + (width & 1);
  out[66] = uint8_t(bytesPerLine & 0xFF);
  out[67] = uint8_t(bytesPerLine >> 8);
  for (int y = 0; y < height; ++y) {
    std::vector<uint8_t> row(bytesPerLine, uint8_t(window));
    for (int x = 0; x < width; ++x) {
      // Concentric rings with a diagonal stripe.
      double dx = x - width / 2.0, dy = y - height / 2.0;
      int ring = int(std::sqrt(dx * dx + dy * dy) / 6) % 16;
      if (((x + y) / 8) % 5 == 0) ring = (ring + 8) % 16;
      row[x] = uint8_t(window + ring);
    }
    pcxEncodeRow(out, row);
  }
  out.push_back(12);
  for (const Rgb& c : palette) {
    out.push_back(c.r);
    out.push_back(c.g);
    out.push_back(c.b);
  }
  return out;
}

Bytes targaHeader(int width, int height) {
  Bytes out(18, 0);
  out[2] = 2;  // raw true colour
  out[12] = uint8_t(width & 0xFF);
  out[13] = uint8_t(width >> 8);
  out[14] = uint8_t(height & 0xFF);
  out[15] = uint8_t(height >> 8);
  out[16] = 32;
  out[17] = 0x20 | 8;  // rows top to bottom, 8 alpha bits
  return out;
}

Bytes makeTgaAlpha(int width, int height) {
  Bytes out = targaHeader(width, height);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      double dx = (x + 0.5) / width - 0.5, dy = (y + 0.5) / height - 0.5;
      double d = std::sqrt(dx * dx + dy * dy) * 2;
      int a = d >= 1 ? 0 : int(255 * (1 - d * d));
      out.push_back(uint8_t(255 * y / height));      // blue
      out.push_back(uint8_t(128 + 96 * std::sin(x / 9.0)));  // green
      out.push_back(uint8_t(255 * x / width));       // red
      out.push_back(uint8_t(a));
    }
  }
  return out;
}

Bytes makeTgaDistinct(int width, int height) {
  Bytes out = targaHeader(width, height);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      out.push_back(uint8_t((x * 7 + y * 13) & 0xFF));  // blue
      out.push_back(uint8_t(y));                        // green
      out.push_back(uint8_t(x));                        // red
      out.push_back(255);
    }
  }
  return out;
}

// The pixels of a top-down 32-bit Targa of ours as an RGBA PNG.
Bytes pngFromTarga(const Bytes& targa, int width, int height) {
  Bytes rgba;
  for (size_t i = 18; i + 3 < targa.size(); i += 4) {
    rgba.insert(rgba.end(), {targa[i + 2], targa[i + 1], targa[i], targa[i + 3]});
  }
  Bytes out;
  stbi_write_png_to_func(
      [](void* context, void* data, int size) {
        const uint8_t* bytes = static_cast<const uint8_t*>(data);
        static_cast<Bytes*>(context)->insert(static_cast<Bytes*>(context)->end(), bytes, bytes + size);
      },
      &out, width, height, 4, rgba.data(), width * 4);
  return out;
}

int usage() {
  std::cerr << "usage: make_picture pcx-window|tga-alpha|tga-distinct|png-alpha|png-distinct OUT"
               " [--width W] [--height H] [--window N]\n";
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) return usage();
  std::string kind = argv[1];
  std::string path = argv[2];
  int width = 64, height = 64, window = 64;
  for (int i = 3; i + 1 < argc; i += 2) {
    std::string option = argv[i];
    int value = std::atoi(argv[i + 1]);
    if (option == "--width") {
      width = value;
    } else if (option == "--height") {
      height = value;
    } else if (option == "--window") {
      window = value;
    } else {
      return usage();
    }
  }
  if (width < 1 || height < 1 || width > 65535 || height > 65535 || window < 0 || window > 240) {
    std::cerr << "make_picture: size or window out of range\n";
    return 2;
  }
  Bytes bytes;
  if (kind == "pcx-window") {
    bytes = makePcxWindow(width, height, window);
  } else if (kind == "tga-alpha") {
    bytes = makeTgaAlpha(width, height);
  } else if (kind == "tga-distinct") {
    bytes = makeTgaDistinct(width, height);
  } else if (kind == "png-alpha") {
    bytes = pngFromTarga(makeTgaAlpha(width, height), width, height);
  } else if (kind == "png-distinct") {
    bytes = pngFromTarga(makeTgaDistinct(width, height), width, height);
  } else {
    return usage();
  }
  std::ofstream file(path, std::ios::binary);
  file.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
  if (!file) {
    std::cerr << "make_picture: cannot write " << path << "\n";
    return 1;
  }
  return 0;
}
