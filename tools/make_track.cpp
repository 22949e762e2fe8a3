// make_track: writes a synthetic track as a VTR or MOTA .trk file, for
// tests, benchmarks, fuzz seeds and examples.
//
//   make_track <output.trk> [--format vtr|mota] [--sections N] [--laterals N]
//              [--surfaces N] [--walls N] [--seed N] [--thick-walls] [--all-kinds]

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <string>

#include "tools/lib/synthetic_track.h"
#include "tools/lib/track_formats.h"

namespace {

void Usage() {
  std::fputs(
      "usage: make_track <output.trk> [--format vtr|mota] [--sections N] [--laterals N]\n"
      "                  [--surfaces N] [--walls N] [--seed N] [--thick-walls] [--all-kinds]\n"
      "Writes a generated closed track as a VTR (default) or MOTA track file. VTR\n"
      "tracks hold at most 16 lateral lines and keep no walls. MOTA tracks hold at\n"
      "most 10 lateral lines and keep walls as single lines unless --thick-walls\n"
      "gives each wall a far side of its own. The MOTA format also serves the K5\n"
      "family. Strips and walls take only the kinds that convert to XQ and read\n"
      "back as built, unless --all-kinds asks for every kind the format stores.\n",
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
  trackgen::TrackFormat format = trackgen::TrackFormat::kVtr;
  bool thick_walls = false;
  bool all_kinds = false;
  for (int a = 1; a < argc; ++a) {
    const std::string arg = argv[a];
    uint32_t* target = nullptr;
    if (arg == "--sections") target = &options.sections;
    if (arg == "--laterals") target = &options.laterals;
    if (arg == "--surfaces") target = &options.surfaces;
    if (arg == "--walls") target = &options.walls;
    if (arg == "--seed") target = &options.seed;
    if (arg == "--format") {
      if (a + 1 >= argc || !trackgen::ParseTrackFormat(argv[a + 1], format)) {
        std::fputs("make_track: --format needs vtr or mota\n", stderr);
        return 1;
      }
      ++a;
    } else if (target) {
      if (a + 1 >= argc || !ParseCount(argv[a + 1], *target)) {
        std::fprintf(stderr, "make_track: %s needs a whole number\n", arg.c_str());
        return 1;
      }
      ++a;
    } else if (arg == "--thick-walls") {
      thick_walls = true;
    } else if (arg == "--all-kinds") {
      all_kinds = true;
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
  if (format == trackgen::TrackFormat::kMota) {
    // Only what the MOTA format can store. It stores wall kinds 3 and 4 as
    // kind 0, so by default they are left out and the file reads back as
    // built.
    options.surface_styles = MotaSurfaceStyles();
    options.wall_kinds = {0, 1, 2, 5};
    if (all_kinds) options.wall_kinds = {0, 1, 2, 3, 4, 5};
    options.thin_walls = !thick_walls;
  } else if (thick_walls) {
    std::fputs("make_track: --thick-walls needs --format mota: VTR tracks keep no walls\n", stderr);
    return 1;
  } else if (!all_kinds) {
    // The XQ format has no type for surface kind 6.
    options.surface_styles = ConvertibleSurfaceStyles();
  }
  try {
    trackgen::WriteTrack(format, output, Handle<TrkFile>(new SyntheticTrack(options)));
  } catch (const std::exception& failure) {
    std::fprintf(stderr, "make_track: %s\n", failure.what());
    return 1;
  }
  return 0;
}
