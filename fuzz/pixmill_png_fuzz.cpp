// Feeds arbitrary bytes to the PNG reader as an in-memory file, reading
// into each of the formats the conversion run asks for. Any crash,
// sanitizer report or hang is a finding; a failure is the expected answer
// to bad data.
//
//   CXX=clang++ cmake -S . -B build/fuzz -G Ninja -DRT_BUILD_FUZZERS=ON -DRT_BUILD_TESTS=OFF
//   cmake --build build/fuzz --target pixmill_png_fuzz
//   cp fuzz/corpus/pixmill_png/* corpus_dir/ && build/fuzz/fuzz/pixmill_png_fuzz -max_len=4096 corpus_dir

#include <cstddef>
#include <cstdint>

#include "pixmill/bitmap.h"
#include "pixmill/png.h"
#include "runtime/file/file.h"

namespace {

const BitmapFormat kFormats[] = {kFormat565, kFormat1555, kFormat4444, kFormat8888};

// The conversion run's limit: larger pictures are refused undecoded.
constexpr int32_t kLargestSide = 256;

}  // namespace

// The runtime's frame, linked in with the file layer, calls the application
// entry; the fuzzer never runs the frame.
int pixmillMain(int, char**) { return 0; }

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  QuorFile* file = nullptr;
  if (!fileOpenMemory(&file, data, static_cast<uint32_t>(size))) return 0;
  if (pngIsPng(file)) {
    Bitmap* bitmap = nullptr;
    int32_t width = 0, height = 0;
    if (pngRead(&bitmap, &width, &height, file, kFormats[size % 4], kLargestSide) && bitmap) {
      bitmapDestroy(bitmap);
    }
  }
  fileClose(file);
  return 0;
}
