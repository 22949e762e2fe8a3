// Feeds arbitrary bytes to the MIP reader, the SRB reader and the PBF
// (level) reader as in-memory files.
// Any crash, sanitizer report, leak or hang is a finding; a failure is the
// expected answer to bad data.
//
//   CXX=clang++ cmake -S . -B build/fuzz -G Ninja -DRT_BUILD_FUZZERS=ON -DRT_BUILD_TESTS=OFF
//   cmake --build build/fuzz --target pixmill_mip_fuzz
//   cp fuzz/corpus/pixmill_mip/* corpus_dir/ && build/fuzz/fuzz/pixmill_mip_fuzz -max_len=4096 corpus_dir

#include <cstddef>
#include <cstdint>

#include "pixmill/bitmap.h"
#include "pixmill/mip_data.h"
#include "pixmill/mip_file.h"
#include "runtime/file/file.h"
#include "runtime/frame.h"

// The runtime's frame, linked in with the file layer, calls the application
// entry; the fuzzer never runs the frame.
int pixmillMain(int, char**) { return 0; }

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  QuorFile* file = nullptr;
  if (!fileOpenMemory(&file, data, static_cast<uint32_t>(size))) return 0;
  MipData* mip = nullptr;
  if (mipRead(&mip, file)) mipDataDestroy(mip);
  fileClose(file);

  if (!fileOpenMemory(&file, data, static_cast<uint32_t>(size))) return 0;
  SrbHeader header;
  SrbHeader2 header2;
  if (srbRead(&mip, &header, &header2, file)) mipDataDestroy(mip);
  fileClose(file);

  if (!fileOpenMemory(&file, data, static_cast<uint32_t>(size))) return 0;
  Bitmap* level = nullptr;
  if (levelRead(&level, file)) bitmapDestroy(level);
  fileClose(file);
  return 0;
}
