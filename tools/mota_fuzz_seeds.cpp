// Writes the small MOTA track files that seed the MOTA reader's fuzzer.
// Usage: mota_fuzz_seeds <directory>   (the repo keeps them in fuzz/corpus/mota)

#include <cstdio>
#include <exception>
#include <string>

#include "tools/lib/synthetic_track.h"
#include "trackconv/track/mota_trk_file.h"

namespace {

struct Seed {
  const char* name;
  uint32_t sections, laterals, surfaces, walls, seed;
  bool thin_walls;
};

// Few sections and lines keep the files a few hundred bytes long, which is
// what lets the fuzzer mutate every field often.
const Seed kSeeds[] = {
    {"one_curve.trk", 1, 1, 1, 0, 11, true},
    {"two_sections.trk", 2, 2, 2, 1, 12, true},
    {"three_sections.trk", 3, 3, 2, 2, 13, false},
    {"no_strips.trk", 2, 1, 0, 2, 14, true},
};

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s <directory>\n", argv[0]);
    return 1;
  }
  try {
    for (const Seed& seed : kSeeds) {
      SyntheticTrackOptions options;
      options.sections = seed.sections;
      options.laterals = seed.laterals;
      options.surfaces = seed.surfaces;
      options.walls = seed.walls;
      options.seed = seed.seed;
      options.surface_styles = MotaSurfaceStyles();
      options.wall_kinds = {0, 1, 2, 5};
      options.thin_walls = seed.thin_walls;
      Handle<TrkFile> source(new SyntheticTrack(options));
      Handle<SubFile> out(new SubFile(std::string(argv[1]) + "/" + seed.name, true, true));
      MOTATrkFile track(out, source);
      track.Write();
    }
  } catch (const std::exception& e) {
    std::fprintf(stderr, "%s\n", e.what());
    return 1;
  }
  return 0;
}
