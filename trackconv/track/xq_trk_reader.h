#pragma once
// XQTrkReader: a track read from an .xq file. The file keeps only points,
// centres and radii; headings, turning angles, line positions and altitude
// cubics are derived from them, so that PointAt and the other queries give
// the plan and profile the file describes.

#include <cstdint>
#include <vector>

#include "trackconv/foundation/handle.h"
#include "trackconv/foundation/sub_file.h"
#include "trackconv/track/trk_file.h"
#include "trackconv/track/xq_format.h"

class XQTrkReader : public TrkFile {
 public:
  /// Reads and checks the whole file; throws XAssumption naming the file
  /// on the first field that is wrong (XFileRead when it is short).
  explicit XQTrkReader(const Handle<SubFile>& file);
  ~XQTrkReader() override;

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
  /// Surface records (types 0, 2, 5, 6) in file order; a strip reaches to
  /// the next one, the last to the outermost lateral line.
  uint32_t SurfaceCount(uint32_t i) const override;
  double SurfaceFromAtStart(uint32_t i, uint32_t k) const override;
  double SurfaceFromAtEnd(uint32_t i, uint32_t k) const override;
  double SurfaceToAtStart(uint32_t i, uint32_t k) const override;
  double SurfaceToAtEnd(uint32_t i, uint32_t k) const override;
  double SurfaceHeight(uint32_t i, uint32_t k) const override;
  bool SurfaceIsWall(uint32_t i, uint32_t k) const override;
  /// The first kind the writer gives each type (6: 0, 5: 1, 2: 2, 0: 3).
  int SurfaceKind(uint32_t i, uint32_t k) const override;
  int SurfaceVariant(uint32_t i, uint32_t k) const override;
  uint32_t SurfaceWordCount(uint32_t i, uint32_t k) const override;
  uint32_t SurfaceWord(uint32_t i, uint32_t k, uint32_t m) const override;
  const char* SurfaceWordName(uint32_t i, uint32_t k, uint32_t m) const override;
  /// Wall records (types 7, 8) in file order, each a single line.
  uint32_t WallCount(uint32_t i) const override;
  double WallFromAtStart(uint32_t i, uint32_t w) const override;
  double WallFromAtEnd(uint32_t i, uint32_t w) const override;
  double WallToAtStart(uint32_t i, uint32_t w) const override;
  double WallToAtEnd(uint32_t i, uint32_t w) const override;
  double WallHeight(uint32_t i, uint32_t w) const override;
  /// The kind the writer gives the type and flags (8: 0; 7: 2 with flags 14, else 1).
  int WallKind(uint32_t i, uint32_t w) const override;
  uint32_t WallWordCount(uint32_t i, uint32_t w) const override;
  uint32_t WallWord(uint32_t i, uint32_t w, uint32_t m) const override;
  const char* WallWordName(uint32_t i, uint32_t w, uint32_t m) const override;
  /// Writes the bytes that were read back into the held file.
  void Write() override;

  /// The file's own integers: lateral offsets in track units, sections,
  /// and every surface and wall record in file order.
  const std::vector<int32_t>& Laterals() const { return laterals_; }
  const std::vector<XQSection>& Sections() const { return sections_; }
  const std::vector<XQSurface>& Records() const { return records_; }

 private:
  /// What the file gives per section, in the model's units.
  struct Derived {
    double heading = 0;  // degrees
    double angle = 0;    // degrees, curves only
    std::vector<uint32_t> surfaces;  // indexes into records_
    std::vector<uint32_t> walls;
  };
  void Read();
  void Derive(uint32_t i);
  const XQSurface& Surface(uint32_t i, uint32_t k) const;
  const XQSurface& Wall(uint32_t i, uint32_t w) const;
  double SurfaceTo(uint32_t i, uint32_t k, bool at_end) const;
  double Slope(uint32_t section, uint32_t j, uint32_t over) const;

  std::vector<uint8_t> bytes_;
  std::vector<int32_t> laterals_;
  std::vector<XQSection> sections_;
  std::vector<XQSample> samples_;
  std::vector<XQSurface> records_;
  std::vector<Derived> derived_;
  int32_t track_length_ = 0;
};
