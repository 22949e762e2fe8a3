// read_track: reads and checks a VTR or MOTA .trk file and prints a summary
// of it; with --rewrite <out.trk> also builds a track of the same format
// from it and writes that.
//
//   read_track <track.trk> [--format vtr|mota] [--rewrite <out.trk>]

#include <cstdio>
#include <exception>
#include <string>

#include "tools/lib/track_formats.h"

namespace {

void Usage() {
  std::fputs(
      "usage: read_track <track.trk> [--format vtr|mota] [--rewrite <out.trk>]\n"
      "Reads a VTR (default) or MOTA track file and prints its length and counts;\n"
      "--rewrite writes the track again, in the same format, as <out.trk>.\n",
      stderr);
}

}  // namespace

int main(int argc, char** argv) {
  std::string input;
  std::string rewrite;
  trackgen::TrackFormat format = trackgen::TrackFormat::kVtr;
  for (int a = 1; a < argc; ++a) {
    const std::string arg = argv[a];
    if (arg == "--format") {
      if (a + 1 >= argc || !trackgen::ParseTrackFormat(argv[a + 1], format)) {
        std::fputs("read_track: --format needs vtr or mota\n", stderr);
        return 1;
      }
      ++a;
    } else if (arg == "--rewrite" && a + 1 < argc && rewrite.empty()) {
      rewrite = argv[++a];
    } else if (arg.size() > 1 && arg[0] == '-') {
      Usage();
      return 1;
    } else if (input.empty()) {
      input = arg;
    } else {
      Usage();
      return 1;
    }
  }
  if (input.empty()) {
    Usage();
    return 1;
  }
  try {
    Handle<TrkFile> track = trackgen::ReadTrack(format, input);
    uint32_t curves = 0, strips = 0, walls = 0;
    for (uint32_t i = 0; i < track->SectionCount(); ++i) {
      curves += track->IsCurve(i);
      strips += track->SurfaceCount(i);
      walls += track->WallCount(i);
    }
    std::printf("%s: %.3f m, %u sections (%u curves), %u lateral lines, %u strips, %u walls\n",
                input.c_str(), track->TrackLength(), track->SectionCount(), curves,
                track->LateralCount(), strips, walls);
    if (!rewrite.empty()) trackgen::WriteTrack(format, rewrite, track);
  } catch (const std::exception& failure) {
    std::fprintf(stderr, "read_track: %s\n", failure.what());
    return 1;
  }
  return 0;
}
