// Feeds arbitrary bytes to the VTR track reader as a file and, when it
// accepts them, asks every query over every index the track reports and
// builds a VTR track from it. Any crash, sanitizer report or hang is a
// finding; a thrown error is the expected answer to bad data.
//
//   CXX=clang++ cmake -S . -B build/fuzz -G Ninja -DRT_BUILD_FUZZERS=ON -DRT_BUILD_TESTS=OFF
//   cmake --build build/fuzz --target vtr_trk_fuzz
//   cp fuzz/corpus/vtr/* corpus_dir/ && build/fuzz/fuzz/vtr_trk_fuzz -max_len=4096 corpus_dir

#include <cstddef>
#include <cstdint>
#include <exception>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>

#include "trackconv/foundation/disk_file.h"
#include "trackconv/foundation/sub_file.h"
#include "trackconv/track/vtr_trk_file.h"

namespace {

const std::string& ScratchPath() {
  static const std::string path = [] {
    std::random_device random;
    return (std::filesystem::temp_directory_path() /
            ("vtr_trk_fuzz_" + std::to_string(random()) + ".trk"))
        .string();
  }();
  return path;
}

// Queries can throw for codes outside their tables; that is an answer too.
template <typename Query>
void Ask(Query query) {
  try {
    query();
  } catch (const std::exception&) {
  }
}

volatile double sink_double;
volatile uint64_t sink_word;

void AskEverything(const TrkFile& track) {
  sink_double = track.TrackLength();
  const uint32_t laterals = track.LateralCount();
  for (uint32_t j = 0; j < laterals; ++j) sink_double = track.LateralOffset(j);
  const uint32_t sections = track.SectionCount();
  for (uint32_t i = 0; i < sections; ++i) {
    sink_word = track.IsCurve(i) + track.SectionProximity(i);
    sink_double = track.SectionStart(i) + track.SectionLength(i) + track.SectionHeading(i) +
                  track.CurveCentreX(i) + track.CurveCentreY(i) + track.CurveAngle(i);
    for (uint32_t m = 0; m < track.SectionWordCount(i) + 1; ++m) {
      sink_word = track.SectionWord(i, m);
      sink_word = track.SectionWordName(i, m) != nullptr;
    }
    for (uint32_t j = 0; j < laterals; ++j) {
      sink_double = track.AltitudeStart(i, j) + track.AltitudeLinear(i, j) +
                    track.AltitudeQuadratic(i, j) + track.AltitudeCubic(i, j) +
                    track.LineStartX(i, j) + track.LineStartY(i, j) + track.LineRadius(i, j);
      sink_word = track.LineWordCount(i, j) + track.LineWord(i, j, 0);
    }
    const uint32_t strips = track.SurfaceCount(i);
    for (uint32_t k = 0; k < strips; ++k) {
      sink_double = track.SurfaceFromAtStart(i, k) + track.SurfaceFromAtEnd(i, k) +
                    track.SurfaceToAtStart(i, k) + track.SurfaceToAtEnd(i, k) +
                    track.SurfaceHeight(i, k);
      sink_word = track.SurfaceIsWall(i, k);
      Ask([&] { sink_word = track.SurfaceKind(i, k); });
      Ask([&] { sink_word = track.SurfaceVariant(i, k); });
      for (uint32_t m = 0; m < track.SurfaceWordCount(i, k) + 1; ++m) {
        sink_word = track.SurfaceWord(i, k, m);
        sink_word = track.SurfaceWordName(i, k, m) != nullptr;
      }
    }
    const uint32_t walls = track.WallCount(i);
    for (uint32_t w = 0; w < walls; ++w) {
      sink_double = track.WallFromAtStart(i, w) + track.WallFromAtEnd(i, w) +
                    track.WallToAtStart(i, w) + track.WallToAtEnd(i, w) + track.WallHeight(i, w);
      sink_word = track.WallKind(i, w);
      for (uint32_t m = 0; m < track.WallWordCount(i, w) + 1; ++m) {
        sink_word = track.WallWord(i, w, m);
        sink_word = track.WallWordName(i, w, m) != nullptr;
      }
    }
  }
  const double length = track.TrackLength();
  for (double fraction : {-0.5, 0.0, 0.25, 0.5, 0.999, 1.0, 1.5, 2.5}) {
    Ask([&] {
      const Point3D p = track.PointAt(length * fraction, 1.0);
      sink_double = p.x + p.y + p.z;
    });
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  {
    std::ofstream out(ScratchPath(), std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
  }
  try {
    Handle<SubFile> file(new SubFile(DiskFile::OpenForRead(ScratchPath()), "fuzz.trk"));
    Handle<TrkFile> track(new VTRTrkFile(file));
    AskEverything(*track);
    // Build a second VTR track from the first: the builder reads every
    // strip's style, so it may refuse; it must never misbehave.
    Ask([&] {
      VTRTrkFile rebuilt(file, track);
      AskEverything(rebuilt);
    });
  } catch (const std::exception&) {
  }
  return 0;
}
