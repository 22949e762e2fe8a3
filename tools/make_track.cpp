// make_track: writes a synthetic track as a VTR or MOTA .trk file, for
// tests, benchmarks and examples.
//
//   make_track <output.trk> [--format vtr|mota] [--sections N] [--laterals N]
//              [--surfaces N] [--walls N] [--seed N]

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <string>

#include "tools/lib/synthetic_track.h"
#include "trackconv/foundation/atomic_output.h"
#include "trackconv/track/mota_trk_file.h"
#include "trackconv/track/vtr_trk_file.h"

namespace {

void Usage() {
  std::fputs(
      "usage: make_track <output.trk> [--format vtr|mota] [--sections N] [--laterals N]\n"
      "                  [--surfaces N] [--walls N] [--seed N]\n"
      "Writes a generated closed track as a VTR (default) or MOTA track file. VTR\n"
      "tracks hold at most 16 lateral lines and keep no walls; MOTA tracks keep\n"
      "walls as single lines. The MOTA format also serves the K5 family. Surfaces\n"
      "use only the kinds the XQ format can take.\n",
      stderr);
}

bool ParseCount(const char* text, uint32_t& value) {
  if (*text < '0' || *text > '9') return false;
  char* end = nullptr;
  errno = 0;
  const unsigned long long parsed = std::strtoull(text, &end, 10);
  if (errno != 0 || *end != '\0' || parsed > 0xFFFFFFFFull) return false;
  value = static_cast<uint32_t>(parsed);
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  SyntheticTrackOptions options;
  std::string output;
  std::string format = "vtr";
  for (int a = 1; a < argc; ++a) {
    const std::string arg = argv[a];
    uint32_t* target = nullptr;
    if (arg == "--sections") target = &options.sections;
    if (arg == "--laterals") target = &options.laterals;
    if (arg == "--surfaces") target = &options.surfaces;
    if (arg == "--walls") target = &options.walls;
    if (arg == "--seed") target = &options.seed;
    if (arg == "--format") {
      if (a + 1 >= argc || (std::string(argv[a + 1]) != "vtr" && std::string(argv[a + 1]) != "mota")) {
        std::fputs("make_track: --format needs vtr or mota\n", stderr);
        return 1;
      }
      format = argv[++a];
    } else if (target) {
      if (a + 1 >= argc || !ParseCount(argv[a + 1], *target)) {
        std::fprintf(stderr, "make_track: %s needs a whole number\n", arg.c_str());
        return 1;
      }
      ++a;
    } else if (arg.size() > 1 && arg[0] == '-') {
      Usage();
      return 1;
    } else if (output.empty()) {
      output = arg;
    } else {
      Usage();
      return 1;
    }
  }
  if (output.empty()) {
    Usage();
    return 1;
  }
  // Only surfaces the XQ format has types for, so every generated track
  // converts.
  options.surface_styles = ConvertibleSurfaceStyles();
  if (format == "mota") {
    // Only what the MOTA format can store, so the file reads back as built.
    options.surface_styles = MotaSurfaceStyles();
    options.wall_kinds = {0, 1, 2, 5};
    options.thin_walls = true;
  }
  try {
    Handle<TrkFile> source(new SyntheticTrack(options));
    AtomicOutput out(output);
    if (format == "mota") {
      MOTATrkFile track(out.File(), source);
      track.Write();
    } else {
      VTRTrkFile track(out.File(), source);
      track.Write();
    }
    out.Commit();
  } catch (const std::exception& failure) {
    std::fprintf(stderr, "make_track: %s\n", failure.what());
    return 1;
  }
  return 0;
}
