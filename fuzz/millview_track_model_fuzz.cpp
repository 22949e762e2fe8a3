// Feeds arbitrary bytes to millview's track reading as each kind it knows
// (.trk, .xq, .dat) and makes the glTF model of every track it accepts.
// A refusal (the readers' and the model's errors) is an answer; a model
// must load again with tinygltf. A crash, sanitizer report, hang or
// "finding:" abort is a fault.
//
// Seeds: fuzz/corpus/millview_track_model/ (small VTR, MOTA and XQ tracks
// of the readers' own corpora).

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <string>
#include <typeinfo>
#include <vector>

#include "fuzz/in_memory.h"
#include "millview/model.h"
#include "millview/tracks.h"
#include "trackconv/foundation/errors.h"

#define TINYGLTF_NO_STB_IMAGE
#define TINYGLTF_NO_STB_IMAGE_WRITE
#define TINYGLTF_NO_EXTERNAL_IMAGE
#include <tiny_gltf.h>

namespace {

bool Refusal(const std::exception& e) {
  return typeid(e) == typeid(XAssumption) || typeid(e) == typeid(XFileRead) ||
         typeid(e) == typeid(XFileOpen) || typeid(e) == typeid(XFileSeek) || typeid(e) == typeid(XGeneral);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  for (const char* kind : {"trk", "xq", "dat"}) {
    const std::string input = fuzz::Path(std::string("input.") + kind);
    fuzz::Put(input, data, size);
    std::vector<millview::NamedTrack> tracks;
    try {
      tracks = millview::ReadTracks(input, kind);
    } catch (const std::exception& e) {
      if (Refusal(e)) continue;
      std::fprintf(stderr, "finding: %s reader threw %s: %s\n", kind, typeid(e).name(), e.what());
      std::abort();
    }
    for (const millview::NamedTrack& named : tracks) {
      std::vector<uint8_t> glb;
      millview::ModelFacts facts;
      try {
        glb = millview::TrackModel(*named.track, named.trackName, facts);
      } catch (const std::exception& e) {
        if (Refusal(e)) continue;
        std::fprintf(stderr, "finding: %s model threw %s: %s\n", kind, typeid(e).name(), e.what());
        std::abort();
      }
      tinygltf::Model model;
      tinygltf::TinyGLTF loader;
      std::string error, warning;
      if (!loader.LoadBinaryFromMemory(&model, &error, &warning, glb.data(), static_cast<unsigned>(glb.size()))) {
        std::fprintf(stderr, "finding: %s model does not load: %s\n", kind, error.c_str());
        std::abort();
      }
    }
  }
  return 0;
}
