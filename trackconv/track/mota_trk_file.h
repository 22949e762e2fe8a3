#pragma once
// MOTATrkFile: the track file of the MOTA game and of the K5/K6/KV family.
// One 12-byte record per surface strip, and wall records stored right after
// the section record they belong to.

#include <cstdint>
#include <vector>

#include "trackconv/foundation/handle.h"
#include "trackconv/foundation/sub_file.h"
#include "trackconv/track/trk_file.h"

class MOTATrkFile : public TrkFile {
 public:
  /// Reads and checks the whole track file at once.
  explicit MOTATrkFile(const Handle<SubFile>& file);
  /// Builds the track from any other track; writes nothing.
  MOTATrkFile(const Handle<SubFile>& file, const Handle<TrkFile>& source);
  ~MOTATrkFile() override;

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
  /// Rewrites the whole file from offset 0.
  void Write() override;
  void LineAltitudes(uint32_t i, LineAltitude* out) const override;

  /// Surface value (0 … 54) that a strip of the given generic kind and
  /// variant is stored with; throws for kinds the format has no values for.
  static uint32_t SurfaceValueFor(int kind, int variant);
  /// Wall value (0, 2, 4 or 6) that a wall of the given generic kind is
  /// stored with; throws for kinds the format has no value for.
  static uint32_t WallValueFor(int kind);

 private:
  struct Section {
    uint32_t kind = 0;
    int32_t start = 0;
    int32_t length = 0;
    int32_t heading = 0;
    // Curve: centre x, centre y, turning angle, section words 0 and 1.
    // Straight: cos h, sin h, cos h90, sin h90 (all × 2^30), section word 0.
    uint32_t words[5] = {0, 0, 0, 0, 0};
    uint32_t first_line = 0;
    uint32_t surface_count = 0;
    uint32_t first_surface = 0;
    uint32_t wall_count = 0;
    uint32_t first_wall = 0;  // not stored in the file
  };
  struct Line {
    int32_t c = 0, b = 0, a = 0, d = 0;
    int32_t position1 = 0;  // x of the start point, or the radius
    int32_t position2 = 0;  // y of the start point, or 0
  };
  struct Surface {
    int32_t from_at_start = 0;
    int32_t from_at_end = 0;
    uint32_t value = 0;
  };
  struct Wall {
    int32_t at_start = 0;
    int32_t at_end = 0;
    uint32_t value = 0;
  };

  void Read();
  void Build(const TrkFile& source);
  void BuildWalls(const TrkFile& source, uint32_t i);

  const Line& LineAt(uint32_t i, uint32_t j) const;
  const Surface& SurfaceAt(uint32_t i, uint32_t k) const;
  const Wall& WallAt(uint32_t i, uint32_t w) const;

  int32_t track_length_ = 0;
  std::vector<int32_t> laterals_;
  std::vector<Section> sections_;
  std::vector<Line> lines_;
  std::vector<Surface> surfaces_;
  std::vector<Wall> walls_;
};
