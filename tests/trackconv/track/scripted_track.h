#pragma once
// A track whose every answer the test writes down directly, for feeding the
// building constructors with exactly the shapes a case needs.

#include <cstdint>
#include <vector>

#include "trackconv/track/trk_file.h"

struct ScriptedLine {
  double d = 0, c = 0, b = 0, a = 0;
  double x = 0, y = 0, radius = 0;
};

struct ScriptedStrip {
  double from_start = 0, from_end = 0, to_start = 0, to_end = 0;
  int kind = 0, variant = 0;
};

struct ScriptedWall {
  double from_start = 0, from_end = 0, to_start = 0, to_end = 0;
  int kind = 0;
};

struct ScriptedSection {
  bool curve = false;
  double start = 0, length = 0, heading = 0;
  double centre_x = 0, centre_y = 0, angle = 0;
  uint32_t words[2] = {0, 0};
  std::vector<ScriptedLine> lines;
  std::vector<ScriptedStrip> strips;
  std::vector<ScriptedWall> walls;
};

class ScriptedTrack : public TrkFile {
 public:
  ScriptedTrack() : TrkFile(Handle<SubFile>()) {}

  double length = 0;
  std::vector<double> laterals;
  std::vector<ScriptedSection> sections;

  double TrackLength() const override { return length; }
  uint32_t LateralCount() const override { return static_cast<uint32_t>(laterals.size()); }
  double LateralOffset(uint32_t j) const override { return laterals[j]; }
  uint32_t SectionCount() const override { return static_cast<uint32_t>(sections.size()); }
  bool IsCurve(uint32_t i) const override { return sections[i].curve; }
  bool SectionProximity(uint32_t) const override { return false; }
  double SectionStart(uint32_t i) const override { return sections[i].start; }
  double SectionLength(uint32_t i) const override { return sections[i].length; }
  double SectionHeading(uint32_t i) const override { return sections[i].heading; }
  double CurveCentreX(uint32_t i) const override { return sections[i].centre_x; }
  double CurveCentreY(uint32_t i) const override { return sections[i].centre_y; }
  double CurveAngle(uint32_t i) const override { return sections[i].angle; }
  uint32_t SectionWordCount(uint32_t i) const override { return sections[i].curve ? 2 : 1; }
  const char* SectionWordName(uint32_t i, uint32_t m) const override {
    return TrkFile::SectionWordName(i, m);
  }
  uint32_t SectionWord(uint32_t i, uint32_t m) const override {
    return m < 2 ? sections[i].words[m] : 0;
  }
  double AltitudeStart(uint32_t i, uint32_t j) const override { return sections[i].lines[j].d; }
  double AltitudeLinear(uint32_t i, uint32_t j) const override { return sections[i].lines[j].c; }
  double AltitudeQuadratic(uint32_t i, uint32_t j) const override {
    return sections[i].lines[j].b;
  }
  double AltitudeCubic(uint32_t i, uint32_t j) const override { return sections[i].lines[j].a; }
  double LineStartX(uint32_t i, uint32_t j) const override { return sections[i].lines[j].x; }
  double LineStartY(uint32_t i, uint32_t j) const override { return sections[i].lines[j].y; }
  double LineRadius(uint32_t i, uint32_t j) const override {
    return sections[i].lines[j].radius;
  }
  uint32_t LineWordCount(uint32_t, uint32_t) const override { return 0; }
  uint32_t LineWord(uint32_t, uint32_t, uint32_t) const override { return 0; }
  uint32_t SurfaceCount(uint32_t i) const override {
    return static_cast<uint32_t>(sections[i].strips.size());
  }
  double SurfaceFromAtStart(uint32_t i, uint32_t k) const override {
    return sections[i].strips[k].from_start;
  }
  double SurfaceFromAtEnd(uint32_t i, uint32_t k) const override {
    return sections[i].strips[k].from_end;
  }
  double SurfaceToAtStart(uint32_t i, uint32_t k) const override {
    return sections[i].strips[k].to_start;
  }
  double SurfaceToAtEnd(uint32_t i, uint32_t k) const override {
    return sections[i].strips[k].to_end;
  }
  double SurfaceHeight(uint32_t, uint32_t) const override { return 0.0; }
  bool SurfaceIsWall(uint32_t, uint32_t) const override { return false; }
  int SurfaceKind(uint32_t i, uint32_t k) const override { return sections[i].strips[k].kind; }
  int SurfaceVariant(uint32_t i, uint32_t k) const override {
    return sections[i].strips[k].variant;
  }
  uint32_t SurfaceWordCount(uint32_t, uint32_t) const override { return 0; }
  uint32_t SurfaceWord(uint32_t, uint32_t, uint32_t) const override { return 0; }
  const char* SurfaceWordName(uint32_t, uint32_t, uint32_t) const override { return nullptr; }
  uint32_t WallCount(uint32_t i) const override {
    return static_cast<uint32_t>(sections[i].walls.size());
  }
  double WallFromAtStart(uint32_t i, uint32_t w) const override {
    return sections[i].walls[w].from_start;
  }
  double WallFromAtEnd(uint32_t i, uint32_t w) const override {
    return sections[i].walls[w].from_end;
  }
  double WallToAtStart(uint32_t i, uint32_t w) const override {
    return sections[i].walls[w].to_start;
  }
  double WallToAtEnd(uint32_t i, uint32_t w) const override {
    return sections[i].walls[w].to_end;
  }
  double WallHeight(uint32_t, uint32_t) const override { return 1.0; }
  int WallKind(uint32_t i, uint32_t w) const override { return sections[i].walls[w].kind; }
  uint32_t WallWordCount(uint32_t, uint32_t) const override { return 0; }
  uint32_t WallWord(uint32_t, uint32_t, uint32_t) const override { return 0; }
  const char* WallWordName(uint32_t, uint32_t, uint32_t) const override { return nullptr; }
  void Write() override {}
};
