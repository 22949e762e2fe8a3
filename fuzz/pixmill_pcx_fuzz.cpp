// Feeds arbitrary bytes to the PCX reader as an in-memory file: header,
// palette, both pixel passes and the index check, in the order the
// conversion run uses them. Any crash, sanitizer report or hang is a
// finding; a failure is the expected answer to bad data.
//
//   CXX=clang++ cmake -S . -B build/fuzz -G Ninja -DRT_BUILD_FUZZERS=ON -DRT_BUILD_TESTS=OFF
//   cmake --build build/fuzz --target pixmill_pcx_fuzz
//   cp fuzz/corpus/pixmill_pcx/* corpus_dir/ && build/fuzz/fuzz/pixmill_pcx_fuzz -max_len=4096 corpus_dir

#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "pixmill/bitmap.h"
#include "pixmill/pcx.h"
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
  QuorFile* file = nullptr;
  if (!fileOpenMemory(&file, data, static_cast<uint32_t>(size))) return 0;
  PcxReader reader;
  PcxPalette palette;
  if (pcxIsPcx(file) && pcxSetup(&reader, file) && pcxReadPalette(&reader, &palette)) {
    const int32_t width = pcxWidth(reader), height = pcxHeight(reader);
    Bitmap* bitmap = nullptr;
    if (static_cast<int64_t>(width) * height <= kMostPixels &&
        bitmapCreate(&bitmap, kFormats[size % 4], width, height)) {
      // Every index read stands in the file: a file shorter than the least
      // size cannot have been read whole.
      if (pcxReadPixels(bitmap, &reader, &palette, false) && size < pcxLeastFileSize(reader)) {
        std::abort();
      }
      pcxReadPixelsKeyed(bitmap, &reader, &palette, false);
      bitmapDestroy(bitmap);
    }
    int32_t count = 0, like = 0;
    pcxCheckIndexes(&reader, 16, 31, &count, &like);
  }
  fileClose(file);
  return 0;
}
