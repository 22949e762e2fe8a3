#pragma once
// What the track fuzz targets ask of every track a reader accepts: every
// query over every index the track reports, points along the centre line,
// and the conversion to XQ with its write.

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <string>
#include <vector>

#include "fuzz/in_memory.h"
#include "trackconv/foundation/errors.h"
#include "trackconv/foundation/sub_file.h"
#include "trackconv/track/trk_file.h"
#include "trackconv/track/xq_trk_file.h"

namespace fuzz {

[[noreturn]] inline void Finding(const char* what, const std::string& detail = std::string()) {
  std::fprintf(stderr, "finding: %s %s\n", what, detail.c_str());
  std::abort();
}

// Queries can throw for codes outside their tables; that is an answer too.
template <typename Query>
void Ask(Query query) {
  try {
    query();
  } catch (const XAssumption&) {
  }
}

inline volatile double sink_double;
inline volatile uint64_t sink_word;

inline void AskEverything(const TrkFile& track) {
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
      Ask([&] { sink_word = track.WallKind(i, w); });
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

/// Converts `track` to XQ as trackconv does. A refusal is an answer; a file
/// that is written must have exactly the size its counts give.
inline void ConvertToXQ(const Handle<TrkFile>& track) {
  const std::string path = Path("out.xq");
  Handle<SubFile> out(new SubFile(path, true, true));
  try {
    XQTrkFile converted(out, track);
    converted.Write();
  } catch (const XAssumption&) {
    return;
  }
  out = Handle<SubFile>();
  const std::vector<uint8_t> written = Get(path);
  const uint64_t laterals = track->LateralCount();
  const uint64_t expected = 24 + 4 * laterals + track->SectionCount() * (232 + 8 * laterals);
  if (written.size() != expected) Finding("XQ file of the wrong size");
}

}  // namespace fuzz
