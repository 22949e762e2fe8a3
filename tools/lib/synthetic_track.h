#pragma once
// SyntheticTrack: a closed race track made up from a few parameters and a
// seed, held in memory as a TrkFile so that the format builders can turn it
// into real track files for tests, benchmarks and examples.
//
// Every value is kept in the integers the track formats store and handed
// out through the unit functions, so a format that stores the track and
// reads it back answers exactly the same doubles.

#include <cstdint>
#include <vector>

#include "trackconv/track/trk_file.h"

/// One surface kind with its variant, as the model describes a strip.
struct SurfaceStyle {
  int kind;
  int variant;
};

/// Every kind and variant the VTR surface table can express.
std::vector<SurfaceStyle> AllSurfaceStyles();
/// Kinds and variants a MOTA file can store (kinds 0 to 5, varied variants).
std::vector<SurfaceStyle> MotaSurfaceStyles();
/// The VTR styles whose kinds the XQ format has types for (all but kind 6).
std::vector<SurfaceStyle> ConvertibleSurfaceStyles();

struct SyntheticTrackOptions {
  uint32_t sections = 8;
  uint32_t laterals = 4;
  uint32_t surfaces = 3;  ///< strips per section
  uint32_t walls = 2;     ///< walls per section
  uint32_t seed = 1;
  /// Strips take these styles in turn, so every one of them appears.
  std::vector<SurfaceStyle> surface_styles = AllSurfaceStyles();
  /// Walls take these kinds in turn.
  std::vector<int> wall_kinds = {0, 1, 2, 3, 4, 5, 6};
  /// Walls as single lines (to boundary = from boundary), as MOTA stores them.
  bool thin_walls = false;
};

class SyntheticTrack : public TrkFile {
 public:
  struct Section {
    bool curve = false;
    bool proximity = false;
    int32_t start = 0;
    int32_t length = 0;
    int32_t heading = 0;
    int32_t centre_x = 0;  ///< curves only
    int32_t centre_y = 0;  ///< curves only
    int32_t turn = 0;      ///< curves only
    uint32_t words[2] = {0, 0};
  };
  /// Altitude cubic and plan position: straights keep the start point in
  /// position1/position2; curves keep the radius in position1 and 0.
  struct Line {
    int32_t a = 0, b = 0, c = 0, d = 0;
    int32_t position1 = 0, position2 = 0;
  };
  struct Strip {
    int32_t from_start = 0, from_end = 0, to_start = 0, to_end = 0;
    int32_t height = 0;
    int kind = 0;
    int variant = 0;
  };
  struct Wall {
    int32_t from_start = 0, from_end = 0, to_start = 0, to_end = 0;
    int32_t height = 0;
    int kind = 0;
  };

  /// Generates the track; the result depends only on the options.
  explicit SyntheticTrack(const SyntheticTrackOptions& options);

  // The generated data, in stored integers. Tests may edit it to make
  // unusual sources; nothing is recomputed afterwards.
  int32_t track_length = 0;
  std::vector<int32_t> lateral_offsets;
  std::vector<Section> sections;
  std::vector<std::vector<Line>> lines;  ///< [section][lateral]
  std::vector<std::vector<Strip>> strips;
  std::vector<std::vector<Wall>> walls;

  double TrackLength() const override;
  uint32_t LateralCount() const override;
  double LateralOffset(uint32_t j) const override;
  uint32_t SectionCount() const override;
  bool IsCurve(uint32_t i) const override;
  bool SectionProximity(uint32_t i) const override;
  double SectionStart(uint32_t i) const override;
  double SectionLength(uint32_t i) const override;
  double SectionHeading(uint32_t i) const override;
  double CurveCentreX(uint32_t i) const override;
  double CurveCentreY(uint32_t i) const override;
  double CurveAngle(uint32_t i) const override;
  uint32_t SectionWordCount(uint32_t i) const override;
  const char* SectionWordName(uint32_t i, uint32_t m) const override;
  uint32_t SectionWord(uint32_t i, uint32_t m) const override;
  double AltitudeStart(uint32_t i, uint32_t j) const override;
  double AltitudeLinear(uint32_t i, uint32_t j) const override;
  double AltitudeQuadratic(uint32_t i, uint32_t j) const override;
  double AltitudeCubic(uint32_t i, uint32_t j) const override;
  double LineStartX(uint32_t i, uint32_t j) const override;
  double LineStartY(uint32_t i, uint32_t j) const override;
  double LineRadius(uint32_t i, uint32_t j) const override;
  uint32_t LineWordCount(uint32_t i, uint32_t j) const override;
  uint32_t LineWord(uint32_t i, uint32_t j, uint32_t m) const override;
  uint32_t SurfaceCount(uint32_t i) const override;
  double SurfaceFromAtStart(uint32_t i, uint32_t k) const override;
  double SurfaceFromAtEnd(uint32_t i, uint32_t k) const override;
  double SurfaceToAtStart(uint32_t i, uint32_t k) const override;
  double SurfaceToAtEnd(uint32_t i, uint32_t k) const override;
  double SurfaceHeight(uint32_t i, uint32_t k) const override;
  bool SurfaceIsWall(uint32_t i, uint32_t k) const override;
  int SurfaceKind(uint32_t i, uint32_t k) const override;
  int SurfaceVariant(uint32_t i, uint32_t k) const override;
  uint32_t SurfaceWordCount(uint32_t i, uint32_t k) const override;
  uint32_t SurfaceWord(uint32_t i, uint32_t k, uint32_t m) const override;
  const char* SurfaceWordName(uint32_t i, uint32_t k, uint32_t m) const override;
  uint32_t WallCount(uint32_t i) const override;
  double WallFromAtStart(uint32_t i, uint32_t w) const override;
  double WallFromAtEnd(uint32_t i, uint32_t w) const override;
  double WallToAtStart(uint32_t i, uint32_t w) const override;
  double WallToAtEnd(uint32_t i, uint32_t w) const override;
  double WallHeight(uint32_t i, uint32_t w) const override;
  int WallKind(uint32_t i, uint32_t w) const override;
  uint32_t WallWordCount(uint32_t i, uint32_t w) const override;
  uint32_t WallWord(uint32_t i, uint32_t w, uint32_t m) const override;
  const char* WallWordName(uint32_t i, uint32_t w, uint32_t m) const override;
  /// A synthetic track has no file format of its own: throws XGeneral.
  void Write() override;

  /// Sets each line's c so that its cubic ends where the next section's
  /// line starts, the last section closing on section 0.
  void CloseAltitudes();
};
