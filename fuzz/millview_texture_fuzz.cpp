// Feeds arbitrary bytes to millview's texture reading as each kind it
// knows (MIP, SRB, PBF, PCX, Targa, PNG): its size limits, then pixmill's
// readers and their size checks. A refusal is an answer; what
// is accepted must have levels that make a sheet. A crash, sanitizer
// report or "finding:" abort is a fault.
//
// Seeds: fuzz/corpus/millview_texture/ (the pixmill_mip seeds, an SRB and a PNG).

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "millview/image.h"
#include "millview/textures.h"
#include "runtime/session.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // The library brought up once, as millview brings it up for a run.
  static RuntimeSession runtime;
  const std::vector<uint8_t> bytes(data, data + size);
  for (const char* kind : {"mip", "srb", "pbf", "pcx", "tga", "png"}) {
    millview::Texture texture;
    std::string reason;
    if (!millview::ReadTexture(runtime, bytes, kind, texture, reason)) continue;
    if (texture.levels.empty()) {
      std::fprintf(stderr, "finding: %s accepted without levels\n", kind);
      std::abort();
    }
    const millview::Image sheet = millview::MakeSheet(texture.levels);
    if (sheet.width < texture.levels[0].width) std::abort();
  }
  return 0;
}
