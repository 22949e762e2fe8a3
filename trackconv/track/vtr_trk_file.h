#pragma once
// VTRTrkFile: the track of the VTR game. Reads and checks a VTR .trk file,
// builds a VTR track from any other track, and writes it back.

#include <array>
#include <cstdint>
#include <vector>

#include "trackconv/foundation/handle.h"
#include "trackconv/foundation/sub_file.h"
#include "trackconv/track/trk_file.h"

class VTRTrkFile : public TrkFile {
 public:
  /// Reads and checks the whole file; throws XAssumption naming the file
  /// on the first field that is wrong.
  explicit VTRTrkFile(const Handle<SubFile>& file);
  /// Builds VTR data from `source` for writing into `file`; writes nothing.
  VTRTrkFile(const Handle<SubFile>& file, const Handle<TrkFile>& source);
  ~VTRTrkFile() override;

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
  /// Wall records of the section count as strips too.
  uint32_t SurfaceCount(uint32_t i) const override;
  double SurfaceFromAtStart(uint32_t i, uint32_t k) const override;
  double SurfaceFromAtEnd(uint32_t i, uint32_t k) const override;
  double SurfaceToAtStart(uint32_t i, uint32_t k) const override;
  double SurfaceToAtEnd(uint32_t i, uint32_t k) const override;
  double SurfaceHeight(uint32_t i, uint32_t k) const override;
  bool SurfaceIsWall(uint32_t i, uint32_t k) const override;
  /// Throws XAssumption for a type code the surface table lacks.
  int SurfaceKind(uint32_t i, uint32_t k) const override;
  /// Throws XAssumption for a type code the surface table lacks.
  int SurfaceVariant(uint32_t i, uint32_t k) const override;
  uint32_t SurfaceWordCount(uint32_t i, uint32_t k) const override;
  uint32_t SurfaceWord(uint32_t i, uint32_t k, uint32_t m) const override;
  const char* SurfaceWordName(uint32_t i, uint32_t k, uint32_t m) const override;
  /// Records with the wall flag among the section's strips.
  uint32_t WallCount(uint32_t i) const override;
  double WallFromAtStart(uint32_t i, uint32_t w) const override;
  double WallFromAtEnd(uint32_t i, uint32_t w) const override;
  double WallToAtStart(uint32_t i, uint32_t w) const override;
  double WallToAtEnd(uint32_t i, uint32_t w) const override;
  double WallHeight(uint32_t i, uint32_t w) const override;
  int WallKind(uint32_t i, uint32_t w) const override;
  uint32_t WallWordCount(uint32_t i, uint32_t w) const override;
  /// Word 2 is the record's type word without the wall flag.
  uint32_t WallWord(uint32_t i, uint32_t w, uint32_t m) const override;
  const char* WallWordName(uint32_t i, uint32_t w, uint32_t m) const override;
  /// Writes the five blocks from offset 0 of the held SubFile.
  void Write() override;
  void LineAltitudes(uint32_t i, LineAltitude* out) const override;

 private:
  /// The 13 words of a section record, exactly as stored.
  using SectionRecord = std::array<uint32_t, 13>;
  struct LineRecord {
    int32_t c, b, a, d;
    int32_t position1;  ///< x of the start point, or the radius on a curve
    int32_t position2;  ///< y of the start point, 0 on a curve
  };
  struct SurfaceRecord {
    int32_t at_start;
    int32_t at_end;
    int32_t height;
    uint32_t type;  ///< type code in bits 0-10, wall flag in bit 11
    uint32_t raw0;
    uint32_t raw1;
  };

  void Read();
  const LineRecord& Line(uint32_t i, uint32_t j) const;
  const SurfaceRecord& Surface(uint32_t i, uint32_t k) const;
  /// The record of wall w of section i.
  uint32_t WallRecord(uint32_t i, uint32_t w) const;

  int32_t track_length_ = 0;
  std::vector<int32_t> laterals_;
  std::vector<SectionRecord> sections_;
  std::vector<LineRecord> lines_;
  std::vector<SurfaceRecord> surfaces_;
};
