#pragma once
// Tracks as binary glTF 2.0 models: the road's strips, the walls and the
// centre line through the track's own 3D points, in metres with Y up.

#include <cstdint>
#include <set>
#include <string>
#include <vector>

#include "trackconv/track/trk_file.h"

namespace millview {

/// Height of the upright strip that stands for a wall, in metres. The
/// formats' own heights are not comparable between games (MOTA and XQ
/// tracks answer 1.0 for every wall), so every model uses this one.
constexpr double kModelWallHeight = 1.0;

/// Road strips are cut into rows at most this many metres apart, so that
/// the altitude cubics show on long straights.
constexpr double kModelMetresPerRow = 10.0;

/// What a model holds, for the 3D page's legend.
struct ModelFacts {
  std::set<int> kinds;  ///< surface kinds with a material, as shown (0 to 6)
  bool walls = false;
  uint32_t vertices = 0, triangles = 0;
};

/// The .glb bytes of `track`, named `name` in the model. The same track
/// gives the same bytes on every system. Throws XAssumption when the
/// track's points are out of range or too many for one model, and what
/// the track's queries throw.
std::vector<uint8_t> TrackModel(const TrkFile& track, const std::string& name, ModelFacts& facts);

/// Where a point of the track (x right, y ahead on the plan, z up) lies in
/// the model: glTF's X right, Y up, Z towards the viewer.
inline void ModelCoordinates(const Point3D& p, float out[3]) {
  out[0] = static_cast<float>(p.x);
  out[1] = static_cast<float>(p.z);
  out[2] = static_cast<float>(-p.y);
}

}  // namespace millview
