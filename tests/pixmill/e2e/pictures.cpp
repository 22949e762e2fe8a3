#include "pictures.h"

#include <algorithm>
#include <cstring>

#include <zlib.h>

namespace pixmill_e2e {
namespace {

void Put32(Bytes& out, uint32_t v) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

void PutFloat(Bytes& out, float f) {
  uint32_t v;
  std::memcpy(&v, &f, 4);
  Put32(out, v);
}

Bytes Chunk(uint32_t id, const Bytes& body) {
  Bytes out;
  Put32(out, id);
  Put32(out, 0);
  Put32(out, static_cast<uint32_t>(body.size()));
  out.insert(out.end(), body.begin(), body.end());
  while (out.size() % 4 != 0) out.push_back(0x20);
  return out;
}

Bytes MapBytes(const std::array<uint32_t, 16>& map) {
  Bytes out;
  for (uint32_t c : map) Put32(out, c);
  return out;
}

int Log2Ceiling(int n) {
  int e = 0;
  while ((1 << e) < n) ++e;
  return e;
}

uint32_t Argb(Rgba c) {
  return uint32_t(c.a) << 24 | uint32_t(c.r) << 16 | uint32_t(c.g) << 8 | c.b;
}

Rgba Mean(const std::vector<Rgba>& colours) {
  unsigned n = static_cast<unsigned>(colours.size());
  unsigned sum[4] = {0, 0, 0, 0};
  for (Rgba c : colours) {
    sum[0] += c.r;
    sum[1] += c.g;
    sum[2] += c.b;
    sum[3] += c.a;
  }
  auto mean = [&](unsigned s) { return static_cast<uint8_t>((s + n / 2) / n); };
  return {mean(sum[0]), mean(sum[1]), mean(sum[2]), mean(sum[3])};
}

}  // namespace

Bytes PcxFile(int width, int height, const std::vector<uint8_t>& indexes,
              const std::vector<Rgba>& palette) {
  Bytes out(128, 0);
  out[0] = 0x0A;
  out[1] = 5;
  out[2] = 1;
  out[3] = 8;
  out[8] = static_cast<uint8_t>(width - 1);
  out[9] = static_cast<uint8_t>((width - 1) >> 8);
  out[10] = static_cast<uint8_t>(height - 1);
  out[11] = static_cast<uint8_t>((height - 1) >> 8);
  out[65] = 1;
  int line = width + (width & 1);
  out[66] = static_cast<uint8_t>(line);
  out[67] = static_cast<uint8_t>(line >> 8);
  for (int y = 0; y < height; ++y) {
    std::vector<uint8_t> row(indexes.begin() + y * width, indexes.begin() + (y + 1) * width);
    if (width & 1) row.push_back(0);
    for (size_t i = 0; i < row.size();) {
      size_t run = 1;
      while (i + run < row.size() && run < 63 && row[i + run] == row[i]) ++run;
      if (run > 1 || row[i] >= 0xC0) out.push_back(static_cast<uint8_t>(0xC0 | run));
      out.push_back(row[i]);
      i += run;
    }
  }
  out.push_back(12);
  for (int i = 0; i < 256; ++i) {
    Rgba c = i < static_cast<int>(palette.size()) ? palette[i] : Rgba{0, 0, 0, 255};
    out.insert(out.end(), {c.r, c.g, c.b});
  }
  return out;
}

Bytes TgaFile(const Picture& picture, int depth, bool rle, bool topDown) {
  Bytes out(18, 0);
  out[2] = rle ? 10 : 2;
  out[12] = static_cast<uint8_t>(picture.width);
  out[13] = static_cast<uint8_t>(picture.width >> 8);
  out[14] = static_cast<uint8_t>(picture.height);
  out[15] = static_cast<uint8_t>(picture.height >> 8);
  out[16] = static_cast<uint8_t>(depth);
  out[17] = topDown ? 0x20 : 0;
  std::vector<Bytes> pixels;
  for (int row = 0; row < picture.height; ++row) {
    int y = topDown ? row : picture.height - 1 - row;
    for (int x = 0; x < picture.width; ++x) {
      Rgba c = picture.at(x, y);
      if (depth == 16) {
        unsigned d = (c.r >> 3) << 10 | (c.g >> 3) << 5 | (c.b >> 3);
        pixels.push_back({static_cast<uint8_t>(d), static_cast<uint8_t>(d >> 8)});
      } else if (depth == 24) {
        pixels.push_back({c.b, c.g, c.r});
      } else {
        pixels.push_back({c.b, c.g, c.r, c.a});
      }
    }
  }
  for (size_t i = 0; i < pixels.size();) {
    size_t run = 1;
    if (rle) {
      while (i + run < pixels.size() && run < 128 && pixels[i + run] == pixels[i]) ++run;
      out.push_back(static_cast<uint8_t>(run > 1 ? 0x80 | (run - 1) : 0));
    }
    out.insert(out.end(), pixels[i].begin(), pixels[i].end());
    i += run;
  }
  return out;
}

namespace {

void PutBig32(Bytes& out, uint32_t v) {
  for (int i = 3; i >= 0; --i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

void PngChunk(Bytes& out, const char* type, const Bytes& body) {
  PutBig32(out, static_cast<uint32_t>(body.size()));
  size_t start = out.size();
  out.insert(out.end(), type, type + 4);
  out.insert(out.end(), body.begin(), body.end());
  PutBig32(out, static_cast<uint32_t>(crc32(0, out.data() + start, static_cast<uInt>(out.size() - start))));
}

}  // namespace

Bytes PngFile(int width, int height, int colourType, int depth,
              const std::vector<uint16_t>& samples, const std::vector<Rgba>& palette,
              const Bytes& transparency) {
  const int channels = colourType == 2 ? 3 : colourType == 4 ? 2 : colourType == 6 ? 4 : 1;
  Bytes out = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
  Bytes header;
  PutBig32(header, static_cast<uint32_t>(width));
  PutBig32(header, static_cast<uint32_t>(height));
  header.insert(header.end(), {static_cast<uint8_t>(depth), static_cast<uint8_t>(colourType), 0, 0, 0});
  PngChunk(out, "IHDR", header);
  if (!palette.empty()) {
    Bytes entries;
    for (Rgba c : palette) entries.insert(entries.end(), {c.r, c.g, c.b});
    PngChunk(out, "PLTE", entries);
  }
  if (!transparency.empty()) PngChunk(out, "tRNS", transparency);
  Bytes raw;  // each row: filter type 0, then the samples packed from the high bit
  const size_t rowSamples = static_cast<size_t>(width) * channels;
  for (int y = 0; y < height; ++y) {
    raw.push_back(0);
    const uint16_t* row = samples.data() + y * rowSamples;
    if (depth == 16) {
      for (size_t i = 0; i < rowSamples; ++i) raw.insert(raw.end(), {uint8_t(row[i] >> 8), uint8_t(row[i])});
      continue;
    }
    unsigned bits = 0, filled = 0;
    for (size_t i = 0; i < rowSamples; ++i) {
      bits = bits << depth | row[i];
      filled += depth;
      if (filled == 8) {
        raw.push_back(static_cast<uint8_t>(bits));
        bits = filled = 0;
      }
    }
    if (filled) raw.push_back(static_cast<uint8_t>(bits << (8 - filled)));
  }
  Bytes packed(compressBound(static_cast<uLong>(raw.size())));
  uLongf size = static_cast<uLongf>(packed.size());
  compress(packed.data(), &size, raw.data(), static_cast<uLong>(raw.size()));
  packed.resize(size);
  PngChunk(out, "IDAT", packed);
  PngChunk(out, "IEND", {});
  return out;
}

int Stride(int format, int width) {
  int bits = format <= 2 ? 4 : format >= 6 ? 32 : 16;
  return ((width * bits + 4) / 8 + 3) / 4 * 4;
}

uint16_t Encode16(int format, Rgba c) {
  switch (format) {
    case 3: return static_cast<uint16_t>((c.r >> 3) << 11 | (c.g >> 2) << 5 | (c.b >> 3));
    case 4:
      return static_cast<uint16_t>((c.a >= 128 ? 0x8000 : 0) | (c.r >> 3) << 10 | (c.g >> 3) << 5 |
                                   (c.b >> 3));
    default:
      return static_cast<uint16_t>((c.a >> 4) << 12 | (c.r >> 4) << 8 | (c.g >> 4) << 4 | (c.b >> 4));
  }
}

Rgba Decode16(int format, uint16_t d) {
  auto b = [](unsigned v) { return static_cast<uint8_t>(v); };
  switch (format) {
    case 3: return {b((d >> 8) & 0xF8), b((d >> 3) & 0xFC), b((d << 3) & 0xFF), 255};
    case 4:
      return {b((d >> 7) & 0xF8), b((d >> 2) & 0xF8), b((d << 3) & 0xFF), b(d & 0x8000 ? 255 : 0)};
    default: return {b((d >> 4) & 0xF0), b(d & 0xF0), b((d << 4) & 0xFF), b((d >> 8) & 0xF0)};
  }
}

uint32_t AverageColour(const Picture& picture) { return Argb(Mean(picture.pixels)); }

Mip Mip16(const Picture& picture, int format, int levelLimit, bool sampled) {
  Picture source = picture;
  for (Rgba& c : source.pixels) c = Decode16(format, Encode16(format, c));
  int w = picture.width, h = picture.height;
  int lw = Log2Ceiling(w), lh = Log2Ceiling(h);
  int count = std::min(levelLimit, std::min(lw - 2, lh + 1));
  double rw = double(w) / (1 << lw), rh = double(h) / (1 << lh);
  Mip mip;
  mip.log2Width = lw;
  mip.log2Height = lh;
  mip.average = AverageColour(source);
  std::vector<std::vector<Rgba>> grids;
  for (int k = 0; k < count; ++k) {
    int W = 1 << (lw - k), H = 1 << (lh - k);
    std::vector<Rgba> grid(W * H, Rgba{0, 0, 0, 0});
    if (k == 0) {
      for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) grid[y * W + x] = source.at(x, y);
    } else if (sampled) {
      const std::vector<Rgba>& above = grids[k - 1];
      for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x) grid[y * W + x] = above[2 * y * 2 * W + 2 * x];
    } else {
      int n = 1 << k;
      for (int i = 0; i < std::min(H, h >> k); ++i) {
        for (int j = 0; j < std::min(W, w >> k); ++j) {
          std::vector<Rgba> block;
          for (int y = i * n; y < (i + 1) * n; ++y)
            for (int x = j * n; x < (j + 1) * n; ++x) block.push_back(source.at(x, y));
          grid[i * W + j] = Mean(block);
        }
      }
    }
    grids.push_back(grid);
  }
  for (int k = 0; k < count; ++k) {
    int W = 1 << (lw - k), H = 1 << (lh - k);
    std::vector<Rgba> grid = grids[k];
    int uw = static_cast<int>(W * rw), uh = static_cast<int>(H * rh);
    for (int y = 0; y < H; ++y) {
      for (int x = 0; x < W; ++x) {
        if (x >= uw) {
          grid[y * W + x] = grid[y * W + uw - 1];
        } else if (y >= uh) {
          grid[y * W + x] = grid[(uh - 1) * W + x];
        }
      }
    }
    Level level;
    level.format = format;
    level.width = W;
    level.height = H;
    int stride = Stride(format, W);
    level.pixels.assign(stride * H, 0);
    for (int y = 0; y < H; ++y) {
      for (int x = 0; x < W; ++x) {
        uint16_t d = Encode16(format, grid[y * W + x]);
        level.pixels[y * stride + 2 * x] = static_cast<uint8_t>(d);
        level.pixels[y * stride + 2 * x + 1] = static_cast<uint8_t>(d >> 8);
      }
    }
    mip.levels.push_back(level);
  }
  return mip;
}

Level Level4(int format, int width, int height, const std::vector<int>& indexes,
             std::optional<std::array<uint32_t, 16>> colormap) {
  Level level;
  level.format = format;
  level.width = width;
  level.height = height;
  int stride = Stride(format, width);
  level.pixels.assign(stride * height, 0);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      int index = indexes[y * width + x];
      level.pixels[y * stride + x / 2] |= static_cast<uint8_t>(x % 2 == 0 ? index << 4 : index);
    }
  }
  level.colormap = colormap;
  return level;
}

Bytes LevelFile(const Level& level) {
  Bytes header{static_cast<uint8_t>(level.format)};
  Put32(header, level.width);
  Put32(header, level.height);
  Put32(header, Stride(level.format, level.width));
  header.push_back(0);
  Bytes body = Chunk(0x424D4844, header);
  if (level.colormap) {
    Bytes map = Chunk(0x434D4150, MapBytes(*level.colormap));
    body.insert(body.end(), map.begin(), map.end());
  }
  Bytes pixels = Chunk(0x44415441, level.pixels);
  body.insert(body.end(), pixels.begin(), pixels.end());
  return Chunk(0x424D4150, body);
}

Bytes MipFile(const Mip& mip) {
  Bytes header{static_cast<uint8_t>(mip.levels[0].format)};
  Put32(header, mip.log2Width);
  Put32(header, mip.log2Height);
  Put32(header, mip.average);
  header.push_back(mip.flags);
  Put32(header, static_cast<uint32_t>(mip.levels.size()));
  Bytes body = Chunk(0x4D504844, header);
  if (mip.colormap) {
    Bytes map = Chunk(0x434D4150, MapBytes(*mip.colormap));
    body.insert(body.end(), map.begin(), map.end());
  }
  for (const Level& level : mip.levels) {
    Bytes bytes = LevelFile(level);
    body.insert(body.end(), bytes.begin(), bytes.end());
  }
  return Chunk(0x204D4950, body);
}

Bytes SrbFile(const std::array<float, 6>& header, bool flat, const Mip& mip) {
  Bytes first;
  for (float f : header) PutFloat(first, f);
  Bytes second(36, 0);
  second[0] = flat ? 1 : 0;
  Bytes body = Chunk(0x53524844, first);
  Bytes chunk2 = Chunk(0x53524832, second);
  body.insert(body.end(), chunk2.begin(), chunk2.end());
  Bytes out = Chunk(0x53524220, body);
  Bytes mipBytes = MipFile(mip);
  out.insert(out.end(), mipBytes.begin(), mipBytes.end());
  return out;
}

platform::ProcessResult RunPixmill(const std::string& directory,
                                   const std::vector<std::string>& arguments) {
  platform::ProcessResult result = platform::RunProcess(PIXMILL_EXE, arguments, directory);
  // Standard output is a text stream: Windows ends its lines with "\r\n".
  std::string& text = result.standard_output;
  for (size_t at = text.find("\r\n"); at != std::string::npos; at = text.find("\r\n", at)) {
    text.erase(at, 1);
  }
  return result;
}

const char kUsage[] =
    "pixmill V4.64 for VTR usage:\n"
    "  pixmill [<options>] infile[.pcx | .tga] [outfile[.ext]] [<options>]\n"
    "           [-hist | -heck] [-noblend] [-ptsamp] [-mask n]\n\n"
    "-tile        allow tiling in u&v (default is clamp to min/max uv)\n"
    "-tileU       allow tiling in u (default is clamp to min/max u)\n"
    "-tileV       allow tiling in v (default is clamp to min/max v)\n"
    "-4           output a 4 bit bitmap instead of the default 16-bit mip\n"
    "-transp      output a transparent mip\n"
    "-transl      output a translucent mip\n"
    "-palStart n  start (4 bit) palette at index n of input palette\n"
    "-hist        generate individual mip level colormaps, use a histogram\n"
    "-heck        generate individual mip level colormaps, use Heckbert quantization\n"
    "-rgb R G B   make RGB the only transparent color (each is 0-255)\n"
    "-noblend     don't use last row/column to fill bitmap to power of 2 size\n"
    "-savepbfs    save each mip level as a .pbf in this directory\n"
    "-ptsamp      generate mip levels by sampling colors, not averaging colors\n"
    "-mask n      ignore bottom n bits of each color (n is 1-7)\n"
    "-single      generate only the top level bitmap in mip\n"
    "-levels n    generate only n mip levels\n"
    "-noCmap      do not save any colormaps for this mip\n"
    "FOR SRBS:\n"
    " -srb         make an SRB instead of MIP\n"
    " -width w     set displayed width of SRB in meters\n"
    " -height h    set displayed height of SRB in meters\n"
    " -centerX x   set center of SRB in pixels across (default: pix center)\n"
    " -centerY y   set center of SRB in pixels down\n"
    " -flat        make srb scalable but NOT rotatable (use for driver)\n"
    " -info\t    print debug info about colormap and top left pixels\n";

}  // namespace pixmill_e2e
