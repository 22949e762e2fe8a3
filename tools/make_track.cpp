// make_track: writes a synthetic track as a VTR .trk file, for tests,
// benchmarks and examples.
//
//   make_track <output.trk> [--sections N] [--laterals N] [--surfaces N]
//              [--walls N] [--seed N]

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <string>

#include "tools/lib/synthetic_track.h"
#include "trackconv/foundation/atomic_output.h"
#include "trackconv/track/vtr_trk_file.h"

namespace {

void Usage() {
  std::fputs(
      "usage: make_track <output.trk> [--sections N] [--laterals N] [--surfaces N]"
      " [--walls N] [--seed N]\n"
      "Writes a generated closed track as a VTR track file. VTR tracks hold at most 16\n"
      "lateral lines and keep no walls.\n",
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
  for (int a = 1; a < argc; ++a) {
    const std::string arg = argv[a];
    uint32_t* target = nullptr;
    if (arg == "--sections") target = &options.sections;
    if (arg == "--laterals") target = &options.laterals;
    if (arg == "--surfaces") target = &options.surfaces;
    if (arg == "--walls") target = &options.walls;
    if (arg == "--seed") target = &options.seed;
    if (target) {
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
  try {
    Handle<TrkFile> source(new SyntheticTrack(options));
    AtomicOutput out(output);
    {
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
