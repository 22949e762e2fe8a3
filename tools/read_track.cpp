// read_track: reads and checks a VTR .trk file and prints a summary of it;
// with --rewrite <out.trk> also builds a VTR track from it and writes that.
//
//   read_track <track.trk> [--rewrite <out.trk>]

#include <cstdio>
#include <exception>
#include <string>

#include "trackconv/foundation/atomic_output.h"
#include "trackconv/track/vtr_trk_file.h"

int main(int argc, char** argv) {
  if (argc != 2 && !(argc == 4 && std::string(argv[2]) == "--rewrite")) {
    std::fputs("usage: read_track <track.trk> [--rewrite <out.trk>]\n", stderr);
    return 1;
  }
  try {
    Handle<SubFile> file(new SubFile(argv[1], false, false));
    Handle<TrkFile> track(new VTRTrkFile(file));
    uint32_t curves = 0, strips = 0, walls = 0;
    for (uint32_t i = 0; i < track->SectionCount(); ++i) {
      curves += track->IsCurve(i);
      strips += track->SurfaceCount(i);
      walls += track->WallCount(i);
    }
    std::printf("%s: %.3f m, %u sections (%u curves), %u lateral lines, %u strips, %u walls\n",
                argv[1], track->TrackLength(), track->SectionCount(), curves,
                track->LateralCount(), strips, walls);
    if (argc == 4) {
      AtomicOutput out(argv[3]);
      {
        VTRTrkFile rebuilt(out.File(), track);
        rebuilt.Write();
      }
      out.Commit();
    }
  } catch (const std::exception& failure) {
    std::fprintf(stderr, "read_track: %s\n", failure.what());
    return 1;
  }
  return 0;
}
