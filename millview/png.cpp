// The glue to stb_image_write: its deflate is replaced by zlib's, which
// compresses better and faster.

#include <zlib.h>

#include <cstdlib>
#include <cstring>

#include "millview/image.h"

namespace {

unsigned char* ZlibCompress(unsigned char* data, int length, int* outLength, int quality) {
  uLongf size = compressBound(static_cast<uLong>(length));
  auto* out = static_cast<unsigned char*>(std::malloc(size));
  if (!out) return nullptr;
  const int level = quality < 0 ? Z_DEFAULT_COMPRESSION : (quality > 9 ? 9 : quality);
  if (compress2(out, &size, data, static_cast<uLong>(length), level) != Z_OK) {
    std::free(out);
    return nullptr;
  }
  *outLength = static_cast<int>(size);
  return out;
}

}  // namespace

#define STBIW_ZLIB_COMPRESS ZlibCompress
#define STB_IMAGE_WRITE_IMPLEMENTATION
#define STBIW_STATIC
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wunused-function"
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
#include <stb_image_write.h>
#pragma GCC diagnostic pop

namespace {

// zlib's own balance of size and time; stb's default of 8 costs far more
// time for a few bytes. Set once, before any worker thread encodes.
const bool kCompressionLevelSet = (stbi_write_png_compression_level = 6, true);

}  // namespace

namespace millview {

Image BlankImage(int32_t width, int32_t height) {
  Image image;
  image.width = width;
  image.height = height;
  image.rgba.assign(static_cast<std::size_t>(width) * height * 4, 0);
  return image;
}

Image MakeSheet(const std::vector<Image>& levels) {
  int32_t width = 0, height = 0;
  for (const Image& level : levels) {
    width += level.width;
    if (level.height > height) height = level.height;
  }
  Image sheet = BlankImage(width, height);
  int32_t left = 0;
  for (const Image& level : levels) {
    for (int32_t y = 0; y < level.height; ++y)
      std::memcpy(&sheet.rgba[(static_cast<std::size_t>(y) * width + left) * 4],
                  &level.rgba[static_cast<std::size_t>(y) * level.width * 4],
                  static_cast<std::size_t>(level.width) * 4);
    left += level.width;
  }
  return sheet;
}

std::vector<uint8_t> EncodePng(const Image& image) {
  std::vector<uint8_t> bytes;
  static_cast<void>(kCompressionLevelSet);
  auto append = [](void* context, void* data, int size) {
    auto* out = static_cast<std::vector<uint8_t>*>(context);
    const auto* begin = static_cast<const uint8_t*>(data);
    out->insert(out->end(), begin, begin + size);
  };
  if (!stbi_write_png_to_func(append, &bytes, image.width, image.height, 4, image.rgba.data(),
                              image.width * 4))
    bytes.clear();
  return bytes;
}

}  // namespace millview
