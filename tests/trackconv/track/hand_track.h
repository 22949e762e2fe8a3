#pragma once
// HandTrack: a TrkFile whose every answer is set by the test, in metres and
// degrees, so converters can be fed exact, hand-made geometry.

#include <cstdint>
#include <vector>

#include "trackconv/track/track_units.h"
#include "trackconv/track/trk_file.h"

/// Metres of `units` track units; converting back gives `units` exactly.
inline double Units(int32_t units) { return LengthFromUnits(units); }

struct HandLine {
  double start = 0, linear = 0, quadratic = 0, cubic = 0;
  double x = 0, y = 0, radius = 0;
};

struct HandStrip {
  double from_start = 0, from_end = 0;
  int kind = 0;
  int variant = 0;
  bool is_wall = false;
};

struct HandWall {
  double from_start = 0, from_end = 0;
  int kind = 0;
};

struct HandSection {
  bool curve = false;
  double start = 0, length = 0, heading = 0;
  double centre_x = 0, centre_y = 0, angle = 0;
  std::vector<HandLine> lines;  // one per lateral
  std::vector<HandStrip> strips;
  std::vector<HandWall> walls;
};

class HandTrack : public TrkFile {
 public:
  HandTrack() : TrkFile(Handle<SubFile>()) {}

  std::vector<double> laterals;
  std::vector<HandSection> sections;
  double total = 0;

  /// Appends a section starting where the previous one ends, with `lines`
  /// copies of `line`; returns it for further setting.
  HandSection& Add(bool curve, double length, uint32_t lines, const HandLine& line = {}) {
    HandSection s;
    s.curve = curve;
    s.start = total;
    s.length = length;
    s.lines.assign(lines, line);
    total += length;
    sections.push_back(s);
    return sections.back();
  }

  double TrackLength() const override { return total; }
  uint32_t LateralCount() const override { return static_cast<uint32_t>(laterals.size()); }
  double LateralOffset(uint32_t j) const override { return laterals.at(j); }
  uint32_t SectionCount() const override { return static_cast<uint32_t>(sections.size()); }
  bool IsCurve(uint32_t i) const override { return sections.at(i).curve; }
  bool SectionProximity(uint32_t) const override { return false; }
  double SectionStart(uint32_t i) const override { return sections.at(i).start; }
  double SectionLength(uint32_t i) const override { return sections.at(i).length; }
  double SectionHeading(uint32_t i) const override { return sections.at(i).heading; }
  double CurveCentreX(uint32_t i) const override { return sections.at(i).centre_x; }
  double CurveCentreY(uint32_t i) const override { return sections.at(i).centre_y; }
  double CurveAngle(uint32_t i) const override { return sections.at(i).angle; }
  uint32_t SectionWordCount(uint32_t) const override { return 0; }
  const char* SectionWordName(uint32_t, uint32_t) const override { return nullptr; }
  uint32_t SectionWord(uint32_t, uint32_t) const override { return 0; }
  double AltitudeStart(uint32_t i, uint32_t j) const override { return Line(i, j).start; }
  double AltitudeLinear(uint32_t i, uint32_t j) const override { return Line(i, j).linear; }
  double AltitudeQuadratic(uint32_t i, uint32_t j) const override { return Line(i, j).quadratic; }
  double AltitudeCubic(uint32_t i, uint32_t j) const override { return Line(i, j).cubic; }
  double LineStartX(uint32_t i, uint32_t j) const override { return Line(i, j).x; }
  double LineStartY(uint32_t i, uint32_t j) const override { return Line(i, j).y; }
  double LineRadius(uint32_t i, uint32_t j) const override { return Line(i, j).radius; }
  uint32_t LineWordCount(uint32_t, uint32_t) const override { return 0; }
  uint32_t LineWord(uint32_t, uint32_t, uint32_t) const override { return 0; }
  uint32_t SurfaceCount(uint32_t i) const override {
    return static_cast<uint32_t>(sections.at(i).strips.size());
  }
  double SurfaceFromAtStart(uint32_t i, uint32_t k) const override { return Strip(i, k).from_start; }
  double SurfaceFromAtEnd(uint32_t i, uint32_t k) const override { return Strip(i, k).from_end; }
  double SurfaceToAtStart(uint32_t, uint32_t) const override { return 0; }
  double SurfaceToAtEnd(uint32_t, uint32_t) const override { return 0; }
  double SurfaceHeight(uint32_t, uint32_t) const override { return 0; }
  bool SurfaceIsWall(uint32_t i, uint32_t k) const override { return Strip(i, k).is_wall; }
  int SurfaceKind(uint32_t i, uint32_t k) const override { return Strip(i, k).kind; }
  int SurfaceVariant(uint32_t i, uint32_t k) const override { return Strip(i, k).variant; }
  uint32_t SurfaceWordCount(uint32_t, uint32_t) const override { return 0; }
  uint32_t SurfaceWord(uint32_t, uint32_t, uint32_t) const override { return 0; }
  const char* SurfaceWordName(uint32_t, uint32_t, uint32_t) const override { return nullptr; }
  uint32_t WallCount(uint32_t i) const override {
    return static_cast<uint32_t>(sections.at(i).walls.size());
  }
  double WallFromAtStart(uint32_t i, uint32_t w) const override { return Wall(i, w).from_start; }
  double WallFromAtEnd(uint32_t i, uint32_t w) const override { return Wall(i, w).from_end; }
  double WallToAtStart(uint32_t i, uint32_t w) const override { return Wall(i, w).from_start; }
  double WallToAtEnd(uint32_t i, uint32_t w) const override { return Wall(i, w).from_end; }
  double WallHeight(uint32_t, uint32_t) const override { return 1.0; }
  int WallKind(uint32_t i, uint32_t w) const override { return Wall(i, w).kind; }
  uint32_t WallWordCount(uint32_t, uint32_t) const override { return 0; }
  uint32_t WallWord(uint32_t, uint32_t, uint32_t) const override { return 0; }
  const char* WallWordName(uint32_t, uint32_t, uint32_t) const override { return nullptr; }
  void Write() override {}

 private:
  const HandLine& Line(uint32_t i, uint32_t j) const { return sections.at(i).lines.at(j); }
  const HandStrip& Strip(uint32_t i, uint32_t k) const { return sections.at(i).strips.at(k); }
  const HandWall& Wall(uint32_t i, uint32_t w) const { return sections.at(i).walls.at(w); }
};
