#include "millview_test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "pixmill/mip_data.h"
#include "pixmill/mip_file.h"
#include "pixmill/pixmill_test_support.h"
#include "runtime/mem.h"

#define STB_IMAGE_IMPLEMENTATION
#define STB_IMAGE_STATIC
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wunused-function"
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
#include <stb_image.h>
#pragma GCC diagnostic pop

namespace millview_test {

namespace {

int32_t Log2(int32_t v) {
  int32_t n = 0;
  while ((1 << (n + 1)) <= v) ++n;
  return n;
}

void SetRaw(Bitmap* b, const LevelPixels& level) {
  std::fill(b->pixels, b->pixels + b->stride * b->height, 0);
  for (int32_t y = 0; y < level.height; ++y)
    for (int32_t x = 0; x < level.width; ++x) {
      const uint32_t v = level.pixels[y * level.width + x];
      uint8_t* row = b->pixels + y * b->stride;
      if (bitmapIsFourBit(level.format)) {
        row[x / 2] |= static_cast<uint8_t>(x % 2 == 0 ? v << 4 : v);
      } else {
        row[2 * x] = static_cast<uint8_t>(v);
        row[2 * x + 1] = static_cast<uint8_t>(v >> 8);
      }
    }
}

}  // namespace

std::vector<uint8_t> MipBytes(const std::vector<LevelPixels>& levels, const Colormap* top) {
  MipData mip{};
  mip.log2Width = Log2(levels[0].width);
  mip.log2Height = Log2(levels[0].height);
  mip.clampU = mip.clampV = 1;
  for (const LevelPixels& level : levels) {
    Bitmap* b = nullptr;
    EXPECT_EQ(bitmapCreate(&b, level.format, level.width, level.height), 1);
    SetRaw(b, level);
    if (level.own_map) {
      EXPECT_EQ(colormapCreate(&b->colormap), 1);
      *b->colormap = level.map;
    }
    mip.levels[mip.levelCount++] = b;
  }
  if (top) {
    EXPECT_EQ(colormapCreate(&mip.colormap), 1);
    *mip.colormap = *top;
  }
  pixmill_test::MemoryFile out;
  EXPECT_EQ(mipWrite(&out, &mip), 1);
  for (int i = 0; i < mip.levelCount; ++i) bitmapDestroy(mip.levels[i]);
  if (mip.colormap) memFree(mip.colormap);
  return out.bytes();
}

uint32_t Decoded::At(int x, int y) const {
  const uint8_t* p = &rgba[(static_cast<std::size_t>(y) * width + x) * 4];
  return static_cast<uint32_t>(p[3]) << 24 | p[0] << 16 | p[1] << 8 | p[2];
}

Decoded DecodePng(const std::string& path) {
  Decoded d;
  int channels = 0;
  unsigned char* data = stbi_load(path.c_str(), &d.width, &d.height, &channels, 4);
  if (!data) return Decoded{};
  d.rgba.assign(data, data + static_cast<std::size_t>(d.width) * d.height * 4);
  stbi_image_free(data);
  return d;
}

platform::ProcessResult RunMillview(const std::vector<std::string>& arguments,
                                    const std::string& directory) {
  return platform::RunProcess(MILLVIEW_EXE, arguments, directory);
}

std::vector<std::string> FilesBelow(const std::string& root) {
  std::vector<std::string> files;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(root))
    if (entry.is_regular_file())
      files.push_back(entry.path().lexically_relative(root).generic_string());
  std::sort(files.begin(), files.end());
  return files;
}

}  // namespace millview_test
