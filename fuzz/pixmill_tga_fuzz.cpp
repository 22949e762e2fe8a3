// Feeds arbitrary bytes to the Targa reader as an in-memory file, reading
// into each of the formats the conversion run asks for. Any crash,
// sanitizer report or hang is a finding; a failure is the expected answer
// to bad data.
//
//   CXX=clang++ cmake -S . -B build/fuzz -G Ninja -DRT_BUILD_FUZZERS=ON -DRT_BUILD_TESTS=OFF
//   cmake --build build/fuzz --target pixmill_tga_fuzz
//   cp fuzz/corpus/pixmill_tga/* corpus_dir/ && build/fuzz/fuzz/pixmill_tga_fuzz -max_len=4096 corpus_dir

#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "pixmill/bitmap.h"
#include "pixmill/tga.h"
#include "runtime/file/file.h"
#include "runtime/frame.h"

namespace {

// pixmill takes pictures up to 256 x 256; larger ones only repeat the same
// paths at the cost of memory and time.
constexpr int64_t kMostPixels = 1 << 16;

const BitmapFormat kFormats[] = {kFormat565, kFormat1555, kFormat4444, kFormat8888};

}  // namespace

// The runtime's frame, linked in with the file layer, calls the application
// entry; the fuzzer never runs the frame.
int pixmillMain(int, char**) { return 0; }

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size >= 16) {
    const int64_t width = data[12] | data[13] << 8, height = data[14] | data[15] << 8;
    if (width * height > kMostPixels) return 0;
  }
  QuorFile* file = nullptr;
  if (!fileOpenMemory(&file, data, static_cast<uint32_t>(size))) return 0;
  TgaSize least{};
  const bool peeked = tgaPeekSize(&least, file);
  if (peeked != (size >= 18) || fileGetCurrentPosition(file) != 0) std::abort();
  Bitmap* bitmap = nullptr;
  if (tgaRead(&bitmap, file, kFormats[size % 4])) {
    // A depth the reader decodes has its pixels in the file.
    const uint8_t depth = data[16];
    const bool decoded = depth == 15 || depth == 16 || depth == 24 || depth == 32;
    if (decoded && size < least.leastFileSize) std::abort();
    bitmapDestroy(bitmap);
  }
  fileClose(file);
  return 0;
}
