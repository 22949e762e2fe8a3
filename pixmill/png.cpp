#include "pixmill/png.h"

#include <algorithm>
#include <cstddef>
#include <cstring>

#include "runtime/mem.h"

namespace {

constexpr uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};

// A 256 x 256 picture of 16-bit RGBA decodes into about half a megabyte;
// a block far beyond that can only come from a stream that inflates
// without end, and is refused before it is taken from the pools.
constexpr size_t kLargestDecoderBlock = 16u << 20;
// Files beyond this are not pictures pixmill could take.
constexpr uint32_t kLargestFile = 64u << 20;

void* decoderAlloc(size_t size) {
  void* block = nullptr;
  if (size > kLargestDecoderBlock || !_memAlloc(&block, static_cast<uint32_t>(size))) {
    return nullptr;
  }
  return block;
}

void* decoderRealloc(void* old, size_t oldSize, size_t newSize) {
  void* block = decoderAlloc(newSize);
  if (block == nullptr) return nullptr;  // the old block stays the caller's
  if (old != nullptr) {
    std::memcpy(block, old, oldSize < newSize ? oldSize : newSize);
    memFree(old);
  }
  return block;
}

void decoderFree(void* block) {
  if (block != nullptr) memFree(block);
}

}  // namespace

// The decoder's memory comes from the memory manager like all of pixmill's.
#define STBI_MALLOC(size) decoderAlloc(size)
#define STBI_REALLOC_SIZED(block, oldSize, newSize) decoderRealloc(block, oldSize, newSize)
#define STBI_FREE(block) decoderFree(block)
#define STBI_ONLY_PNG
#define STBI_NO_STDIO
#define STBI_NO_LINEAR
#define STBI_NO_HDR
#define STB_IMAGE_STATIC
#define STB_IMAGE_IMPLEMENTATION
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wunused-function"
#pragma GCC diagnostic ignored "-Wunused-parameter"
#pragma GCC diagnostic ignored "-Wsign-compare"
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
#pragma GCC diagnostic ignored "-Wimplicit-fallthrough"
#include <stb_image.h>
#pragma GCC diagnostic pop

bool pngIsPng(QuorFile* file) {
  const uint32_t position = fileGetCurrentPosition(file);
  uint8_t bytes[sizeof kSignature];
  const bool png = fileReadExact(file, bytes, sizeof bytes) &&
                   std::memcmp(bytes, kSignature, sizeof bytes) == 0;
  fileSeekFromStart(file, static_cast<int32_t>(position));
  return png;
}

namespace {

uint32_t bigEndian32(const uint8_t* at) {
  return static_cast<uint32_t>(at[0]) << 24 | static_cast<uint32_t>(at[1]) << 16 |
         static_cast<uint32_t>(at[2]) << 8 | at[3];
}

// The decoder copies an image data chunk into a buffer it makes for the
// first one that holds bytes; an empty chunk before that one would be
// copied to no buffer at all. Empty data chunks carry nothing, so they are
// taken out of the bytes (after the signature) first; the new size is
// returned.
uint32_t dropEmptyDataChunks(uint8_t* bytes, uint32_t size) {
  constexpr uint32_t kHeader = 8, kCrc = 4;  // length and type before the data, CRC after
  uint32_t read = sizeof kSignature, write = read;
  while (size - read >= kHeader) {
    const uint32_t length = bigEndian32(bytes + read);
    if (length > size - read - kHeader) break;
    // The CRC of a file's last chunk may be cut off; the chunk still counts.
    const uint32_t whole = std::min(length + kHeader + kCrc, size - read);
    const bool empty = length == 0 && std::memcmp(bytes + read + 4, "IDAT", 4) == 0;
    if (!empty) {
      std::memmove(bytes + write, bytes + read, whole);
      write += whole;
    }
    read += whole;
  }
  std::memmove(bytes + write, bytes + read, size - read);
  return write + (size - read);
}

// Decodes `bytes`, whose picture size is already checked, into a new bitmap.
success decodeInto(Bitmap** out, const uint8_t* bytes, uint32_t size, BitmapFormat format) {
  int width = 0, height = 0, channels = 0;
  // Four channels asked for: alpha as stored, or 255 where the picture has
  // none, which is what a Targa of 32 or of 24 bits gives; 16-bit channels
  // come reduced to their high byte.
  stbi_uc* pixels = stbi_load_from_memory(bytes, static_cast<int>(size), &width, &height,
                                          &channels, 4);
  if (pixels == nullptr) return 0;
  Bitmap* bitmap = nullptr;
  success made = bitmapCreate(&bitmap, format, width, height);
  void* row = nullptr;
  if (made && !_memAlloc(&row, sizeof(uint32_t) * static_cast<uint32_t>(width))) {
    bitmapDestroy(bitmap);
    made = 0;
  }
  if (made) {
    uint32_t* colours = static_cast<uint32_t*>(row);
    const stbi_uc* p = pixels;
    for (int y = 0; y < height; ++y) {
      for (int x = 0; x < width; ++x, p += 4) {
        colours[x] = static_cast<uint32_t>(p[3]) << 24 | static_cast<uint32_t>(p[0]) << 16 |
                     static_cast<uint32_t>(p[1]) << 8 | p[2];
      }
      bitmapSetRow(bitmap, colours, 0, y, width);
    }
    memFree(row);
    *out = bitmap;
  }
  stbi_image_free(pixels);
  return made;
}

}  // namespace

success pngRead(Bitmap** out, int32_t* width, int32_t* height, QuorFile* file,
                BitmapFormat format, int32_t largestSide) {
  *out = nullptr;
  const uint32_t position = fileGetCurrentPosition(file);
  const uint32_t length = fileSize(file);
  if (position >= length || length - position > kLargestFile) return 0;
  uint32_t size = length - position;
  void* block = nullptr;
  if (!_memAlloc(&block, size)) return 0;
  uint8_t* bytes = static_cast<uint8_t*>(block);
  int w = 0, h = 0, channels = 0;
  success result = fileReadExact(file, block, size) && size >= sizeof kSignature;
  if (result) {
    size = dropEmptyDataChunks(bytes, size);
    result = stbi_info_from_memory(bytes, static_cast<int>(size), &w, &h, &channels);
  }
  if (result) {
    *width = w;
    *height = h;
    if (w <= largestSide && h <= largestSide) result = decodeInto(out, bytes, size, format);
  }
  memFree(block);
  return result;
}
