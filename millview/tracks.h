#pragma once
// Tracks read through trackconv's readers and drawn as SVG plans.

#include <string>
#include <vector>

#include "trackconv/foundation/handle.h"
#include "trackconv/track/trk_file.h"

namespace millview {

/// One track of an input file: a loose .trk or .xq, or a .trk member of
/// a .dat archive.
struct NamedTrack {
  std::string fileName;   ///< the track file's own name ("alpha.trk")
  std::string trackName;  ///< its name without extension ("alpha")
  Handle<TrkFile> track;
};

/// Reads the tracks of `path`, a file of kind `extension` (trk, xq or dat).
/// A .trk is a VTR track when its version word says so, a MOTA track
/// otherwise. Throws the readers' errors.
std::vector<NamedTrack> ReadTracks(const std::string& path, const std::string& extension);

/// The generic surface kinds of the track model, 0 to 6.
constexpr int kSurfaceKinds = 7;
/// Fill colour of each kind in the plans and models, "#rrggbb".
extern const char* const kKindColours[kSurfaceKinds];
/// What the kinds stand for, as far as the formats say.
extern const char* const kKindNames[kSurfaceKinds];
/// The kind a strip is shown as: its own, or 0 when it is out of range.
int ShownKind(int kind);

/// What a plan shows, for the gallery.
struct PlanFacts {
  double lengthM = 0;
  uint32_t sections = 0;
  double widthM = 0, heightM = 0;  ///< extent of the drawing
  int widthPx = 0, heightPx = 0;   ///< size of the SVG
};

/// The SVG plan of a track: the centre line, the lateral lines, surfaces
/// by kind with a legend, walls, section boundaries, a scale bar and the
/// name. Throws what the track's queries throw.
std::string TrackSvg(const TrkFile& track, const std::string& name, PlanFacts& facts);

}  // namespace millview
