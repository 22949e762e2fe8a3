// The runtime library under pixmill keeps process-wide state (the memory
// manager's pools, the file registry) without locks, so its readers run
// one at a time: every read happens in the session's exclusive section,
// and what leaves it is a copy of each level's bytes, which the workers widen to RGBA
// and encode in parallel.

#include "millview/textures.h"

#include <utility>
#include <vector>

#include "pixmill/mip_data.h"
#include "pixmill/mip_file.h"
#include "pixmill/pcx.h"
#include "pixmill/png.h"
#include "pixmill/tga.h"
#include "runtime/file/file.h"

namespace millview {

namespace {

/// Largest side of a PCX or Targa picture millview decodes.
constexpr int32_t kMaxPictureSide = 8192;

uint8_t Widen5(uint32_t v) { return static_cast<uint8_t>(v << 3 | v >> 2); }
uint8_t Widen6(uint32_t v) { return static_cast<uint8_t>(v << 2 | v >> 4); }
uint8_t Widen4(uint32_t v) { return static_cast<uint8_t>(v * 17); }

uint32_t Argb(uint32_t a, uint32_t r, uint32_t g, uint32_t b) {
  return a << 24 | r << 16 | g << 8 | b;
}

/// Closes a runtime file when the read ends, however it ends.
struct OpenFile {
  QuorFile* file = nullptr;
  ~OpenFile() {
    if (file) fileClose(file);
  }
};

struct MipOwner {
  MipData* mip = nullptr;
  ~MipOwner() {
    if (mip) mipDataDestroy(mip);
  }
};

struct BitmapOwner {
  Bitmap* bitmap = nullptr;
  ~BitmapOwner() {
    if (bitmap) bitmapDestroy(bitmap);
  }
};

/// A level copied out of the runtime's memory, to be widened outside the lock.
struct RawLevel {
  Bitmap bitmap{};
  std::vector<uint8_t> pixels;
  bool hasMap = false;
  Colormap map{};
};

/// Where levels go while the lock is held.
using RawLevels = std::vector<RawLevel>;

void Keep(RawLevels& levels, const Bitmap& level, const Colormap* map) {
  RawLevel raw;
  raw.bitmap = level;
  raw.bitmap.colormap = nullptr;  // freed with the level; the copy below stands in
  raw.pixels.assign(level.pixels, level.pixels + static_cast<std::size_t>(level.stride) * level.height);
  if (map) {
    raw.hasMap = true;
    raw.map = *map;
  }
  levels.push_back(std::move(raw));
}

/// The colour of one level pixel with every channel widened to 8 bits by
/// repeating its top bits; 4-bit pixels go through `map` (greys 0, 17 ...
/// 255 when there is none).
uint32_t WidenedPixel(const Bitmap& level, const Colormap* map, int32_t x, int32_t y) {
  const uint8_t* row = level.pixels + static_cast<std::size_t>(y) * level.stride;
  if (bitmapIsFourBit(level.format)) {
    const uint8_t byte = row[x / 2];
    const uint32_t index = (x % 2 == 0) ? byte >> 4 : byte & 0x0F;
    if (map) return map->entries[index];
    const uint32_t grey = Widen4(index);
    return Argb(255, grey, grey, grey);
  }
  if (level.format == kFormat8888 || level.format == kFormat32) {
    const uint8_t* p = row + 4 * x;
    return static_cast<uint32_t>(p[0]) | p[1] << 8 | p[2] << 16 | static_cast<uint32_t>(p[3]) << 24;
  }
  const uint32_t d = row[2 * x] | row[2 * x + 1] << 8;
  switch (level.format) {
    case kFormat565:
      return Argb(255, Widen5(d >> 11), Widen6(d >> 5 & 0x3F), Widen5(d & 0x1F));
    case kFormat1555:
      return Argb(d & 0x8000 ? 255 : 0, Widen5(d >> 10 & 0x1F), Widen5(d >> 5 & 0x1F),
                  Widen5(d & 0x1F));
    default:  // 4444
      return Argb(Widen4(d >> 12), Widen4(d >> 8 & 0xF), Widen4(d >> 4 & 0xF), Widen4(d & 0xF));
  }
}

Image LevelImage(const Bitmap& level, const Colormap* map) {
  Image image = BlankImage(level.width, level.height);
  uint8_t* out = image.rgba.data();
  for (int32_t y = 0; y < level.height; ++y)
    for (int32_t x = 0; x < level.width; ++x) {
      const uint32_t c = WidenedPixel(level, map, x, y);
      *out++ = static_cast<uint8_t>(c >> 16);
      *out++ = static_cast<uint8_t>(c >> 8);
      *out++ = static_cast<uint8_t>(c);
      *out++ = static_cast<uint8_t>(c >> 24);
    }
  return image;
}

bool ReadMip(QuorFile* file, RawLevels& levels, std::string& reason) {
  MipOwner owner;
  // The reader refuses a chain that claims more levels than it carries.
  if (!mipRead(&owner.mip, file)) {
    reason = "malformed MIP texture";
    return false;
  }
  const MipData& mip = *owner.mip;
  if (mip.levelCount < 1) {
    reason = "MIP texture without levels";
    return false;
  }
  for (int32_t i = 0; i < mip.levelCount; ++i) {
    const Bitmap& level = *mip.levels[i];
    Keep(levels, level, level.colormap ? level.colormap : mip.colormap);
  }
  return true;
}

// A sprite: the SRB container with its display header, then a whole MIP.
bool ReadSprite(QuorFile* file, Texture& texture, RawLevels& levels, std::string& reason) {
  if (!srbIsSrb(file)) {
    reason = "not an SRB sprite (no SRB chunk)";
    return false;
  }
  SrbHeader header;
  SrbHeader2 header2;
  if (!srbReadHeader(&header, &header2, file)) {
    reason = "malformed SRB sprite header";
    return false;
  }
  texture.spriteInfo = SpriteInfo{header.width,      header.height,  header.pixelWidth,
                                   header.pixelHeight, header.centreX, header.centreY};
  texture.sprite = true;
  return ReadMip(file, levels, reason);
}

bool ReadLevelFile(QuorFile* file, RawLevels& levels, std::string& reason) {
  BitmapOwner owner;
  if (!levelRead(&owner.bitmap, file)) {
    reason = "malformed PBF picture";
    return false;
  }
  Keep(levels, *owner.bitmap, owner.bitmap->colormap);
  return true;
}

bool SizeAccepted(int32_t width, int32_t height, std::string& reason) {
  if (width >= 1 && height >= 1 && width <= kMaxPictureSide && height <= kMaxPictureSide)
    return true;
  reason = "picture size " + std::to_string(width) + " x " + std::to_string(height) +
           " out of range";
  return false;
}

// A file shorter than its header promises is refused before the picture
// is allocated: up to 8192 x 8192 pixels would be made for nothing.
bool HoldsPixels(uint32_t fileBytes, uint64_t needed, std::string& reason) {
  if (fileBytes >= needed) return true;
  reason = "picture cut short (" + std::to_string(fileBytes) + " bytes, at least " +
           std::to_string(needed) + " needed)";
  return false;
}

bool ReadPcx(QuorFile* file, RawLevels& levels, std::string& reason) {
  PcxReader reader;
  PcxPalette palette;
  if (!pcxSetup(&reader, file)) {
    reason = "not a PCX picture";
    return false;
  }
  if (!pcxIsReadableKind(reader)) {
    reason = "PCX of " + std::to_string(reader.header[3]) + " bits per pixel in " +
             std::to_string(reader.header[65]) + " planes; only 8-bit one-plane PCX pictures are read";
    return false;
  }
  const int32_t width = pcxWidth(reader), height = pcxHeight(reader);
  if (!SizeAccepted(width, height, reason) ||
      !HoldsPixels(fileSize(file), pcxLeastFileSize(reader), reason))
    return false;
  BitmapOwner owner;
  if (!pcxReadPalette(&reader, &palette) ||
      !bitmapCreate(&owner.bitmap, kFormat8888, pcxWidth(reader), pcxHeight(reader)) ||
      !pcxReadPixels(owner.bitmap, &reader, &palette, false)) {
    reason = "malformed PCX picture";
    return false;
  }
  Keep(levels, *owner.bitmap, nullptr);
  return true;
}

bool ReadTga(QuorFile* file, RawLevels& levels, std::string& reason) {
  TgaSize size;
  if (!tgaPeekSize(&size, file)) {
    reason = "not a Targa picture (short header)";
    return false;
  }
  if (!SizeAccepted(size.width, size.height, reason) ||
      !HoldsPixels(fileSize(file), size.leastFileSize, reason))
    return false;
  BitmapOwner owner;
  if (!tgaRead(&owner.bitmap, file, kFormat8888)) {
    reason = "malformed Targa picture";
    return false;
  }
  Keep(levels, *owner.bitmap, nullptr);
  return true;
}

bool ReadPng(QuorFile* file, RawLevels& levels, std::string& reason) {
  if (!pngIsPng(file)) {
    reason = "not a PNG picture";
    return false;
  }
  BitmapOwner owner;
  int32_t width = 0, height = 0;
  if (!pngRead(&owner.bitmap, &width, &height, file, kFormat8888, kMaxPictureSide)) {
    owner.bitmap = nullptr;
    reason = "malformed PNG picture";
    return false;
  }
  if (owner.bitmap == nullptr) return SizeAccepted(width, height, reason);
  Keep(levels, *owner.bitmap, nullptr);
  return true;
}

}  // namespace

bool ReadTexture(RuntimeSession& runtime, const std::vector<uint8_t>& bytes,
                 const std::string& extension, Texture& texture, std::string& reason) {
  if (bytes.size() > 0x7FFFFFFFu) {
    reason = "file too large";
    return false;
  }
  RawLevels levels;
  const bool read = runtime.Exclusive([&] {
    OpenFile in;
    if (!fileOpenMemory(&in.file, bytes.data(), static_cast<uint32_t>(bytes.size()))) {
      reason = "cannot read the file";
      return false;
    }
    if (extension == "mip") return ReadMip(in.file, levels, reason);
    if (extension == "srb") return ReadSprite(in.file, texture, levels, reason);
    if (extension == "pbf") return ReadLevelFile(in.file, levels, reason);
    if (extension == "pcx") return ReadPcx(in.file, levels, reason);
    if (extension == "png") return ReadPng(in.file, levels, reason);
    return ReadTga(in.file, levels, reason);
  });
  if (!read) return false;
  for (RawLevel& raw : levels) {
    raw.bitmap.pixels = raw.pixels.data();
    texture.levels.push_back(LevelImage(raw.bitmap, raw.hasMap ? &raw.map : nullptr));
  }
  return true;
}

}  // namespace millview
