#pragma once
// XQTrkFile: a track in the integer form of the XQ format, sampled from a
// track of any game and written byte for byte as an .xq file.

#include <cstdint>
#include <vector>

#include "trackconv/foundation/handle.h"
#include "trackconv/foundation/sub_file.h"
#include "trackconv/track/trk_file.h"
#include "trackconv/track/xq_format.h"

class XQTrkFile : public TrkFile {
 public:
  /// Samples `source` into XQ form; `output` is where Write will store it
  /// and whose name every refusal carries.
  XQTrkFile(const Handle<SubFile>& output, const Handle<TrkFile>& source);
  ~XQTrkFile() override;

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

  /// Stores the whole .xq file from offset 0 of the output file.
  void Write() override;

  /// Bytes Write stores (xq::FileSize).
  uint32_t FileSize() const;

  const std::vector<int32_t>& Laterals() const { return laterals_; }
  const std::vector<XQSection>& Sections() const { return sections_; }
  /// Sample (i, j) is at i·LateralCount() + j.
  const std::vector<XQSample>& Samples() const { return samples_; }
  /// Each section owns the run [first_surface, first_surface + surface_count).
  const std::vector<XQSurface>& Surfaces() const { return surfaces_; }

 private:
  void SampleSection(const TrkFile& source, const SectionFinder& finder, uint32_t i,
                     const LineAltitude* lines, const LineAltitude* next_lines);
  void AddSurfaces(const TrkFile& source, uint32_t i, XQSection& section);
  void AddWalls(const TrkFile& source, uint32_t i, XQSection& section);
  void Append(XQSection& section, const XQSurface& record);
  void JoinSections(const TrkFile& source);
  void CarryCurveRadials();

  [[noreturn]] void Refuse(const char* text) const;
  int32_t Units(double length) const;
  int32_t Grade(const LineAltitude& line, double length) const;
  int32_t Narrow(int64_t value) const;

  const XQSection* SectionOrNull(uint32_t i) const;
  const XQSurface* Record(uint32_t i, uint32_t k) const;
  const XQSurface* WallRecord(uint32_t i, uint32_t w) const;

  std::vector<int32_t> laterals_;
  std::vector<XQSection> sections_;
  std::vector<XQSample> samples_;
  std::vector<XQSurface> surfaces_;
};
