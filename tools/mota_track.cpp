// mota_track: writes a synthetic track as a MOTA .trk file, or reads and
// checks one, for tests, benchmarks, fuzz seeds and examples.
//
//   mota_track make <output.trk> [--sections N] [--laterals N] [--surfaces N]
//                   [--walls N] [--seed N] [--thick-walls]
//   mota_track read <track.trk> [--rewrite <out.trk>]

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <string>

#include "tools/lib/synthetic_track.h"
#include "trackconv/foundation/atomic_output.h"
#include "trackconv/track/mota_trk_file.h"

namespace {

void Usage() {
  std::fputs(
      "usage: mota_track make <output.trk> [--sections N] [--laterals N] [--surfaces N]\n"
      "                       [--walls N] [--seed N] [--thick-walls]\n"
      "       mota_track read <track.trk> [--rewrite <out.trk>]\n"
      "MOTA tracks hold at most 10 lateral lines; walls are single lines unless\n"
      "--thick-walls gives each generated wall a far side of its own.\n",
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

void WriteMota(const std::string& name, const Handle<TrkFile>& source) {
  AtomicOutput out(name);
  {
    MOTATrkFile track(out.File(), source);
    track.Write();
  }
  out.Commit();
}

int Make(int argc, char** argv) {
  SyntheticTrackOptions options;
  // Only what the format can store: kind 6 surfaces and walls have no value.
  options.surface_styles = MotaSurfaceStyles();
  options.wall_kinds = {0, 1, 2, 3, 4, 5};
  options.thin_walls = true;
  std::string output;
  for (int a = 2; a < argc; ++a) {
    const std::string arg = argv[a];
    uint32_t* target = nullptr;
    if (arg == "--sections") target = &options.sections;
    if (arg == "--laterals") target = &options.laterals;
    if (arg == "--surfaces") target = &options.surfaces;
    if (arg == "--walls") target = &options.walls;
    if (arg == "--seed") target = &options.seed;
    if (target) {
      if (a + 1 >= argc || !ParseCount(argv[a + 1], *target)) {
        std::fprintf(stderr, "mota_track: %s needs a whole number\n", arg.c_str());
        return 1;
      }
      ++a;
    } else if (arg == "--thick-walls") {
      options.thin_walls = false;
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
  WriteMota(output, Handle<TrkFile>(new SyntheticTrack(options)));
  return 0;
}

int Read(int argc, char** argv) {
  if (argc != 3 && !(argc == 5 && std::string(argv[3]) == "--rewrite")) {
    Usage();
    return 1;
  }
  Handle<SubFile> file(new SubFile(argv[2], false, false));
  Handle<TrkFile> track(new MOTATrkFile(file));
  uint32_t curves = 0, strips = 0, walls = 0;
  for (uint32_t i = 0; i < track->SectionCount(); ++i) {
    curves += track->IsCurve(i);
    strips += track->SurfaceCount(i);
    walls += track->WallCount(i);
  }
  std::printf("%s: %.3f m, %u sections (%u curves), %u lateral lines, %u strips, %u walls\n",
              argv[2], track->TrackLength(), track->SectionCount(), curves,
              track->LateralCount(), strips, walls);
  if (argc == 5) WriteMota(argv[4], track);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string mode = argc > 1 ? argv[1] : "";
  try {
    if (mode == "make") return Make(argc, argv);
    if (mode == "read") return Read(argc, argv);
  } catch (const std::exception& failure) {
    std::fprintf(stderr, "mota_track: %s\n", failure.what());
    return 1;
  }
  Usage();
  return 1;
}
