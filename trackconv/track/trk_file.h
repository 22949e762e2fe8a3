#pragma once
// TrkFile: the read-only model of a closed race track that every track
// format answers and every converter reads. The formats keep their own
// integers; the operations hand out metres and degrees.

#include <cstdint>
#include <vector>

#include "trackconv/foundation/handle.h"
#include "trackconv/foundation/sub_file.h"
#include "trackconv/track/track_units.h"

class SectionFinder;

/// A position in metres.
struct Point3D {
  double x;
  double y;
  double z;
};

/// The altitude cubic of one lateral line along one section.
struct LineAltitude {
  double start;      ///< AltitudeStart
  double linear;     ///< AltitudeLinear
  double quadratic;  ///< AltitudeQuadratic
  double cubic;      ///< AltitudeCubic
};

/// Indexes (section i, lateral line j, strip k, wall w, raw word m) are not
/// range-checked; callers stay below the counts the track reports.
class TrkFile {
 public:
  /// Shares `file`, the SubFile the track was read from or will be written to.
  explicit TrkFile(const Handle<SubFile>& file);
  virtual ~TrkFile();
  TrkFile(const TrkFile&) = delete;
  TrkFile& operator=(const TrkFile&) = delete;

  virtual double TrackLength() const = 0;
  virtual uint32_t LateralCount() const = 0;
  virtual double LateralOffset(uint32_t j) const = 0;
  virtual uint32_t SectionCount() const = 0;
  virtual bool IsCurve(uint32_t i) const = 0;
  virtual bool SectionProximity(uint32_t i) const = 0;
  virtual double SectionStart(uint32_t i) const = 0;
  virtual double SectionLength(uint32_t i) const = 0;
  /// Heading of the centre line at the section start, degrees in [-180, 180).
  virtual double SectionHeading(uint32_t i) const = 0;
  virtual double CurveCentreX(uint32_t i) const = 0;
  virtual double CurveCentreY(uint32_t i) const = 0;
  /// Signed turning angle of a curve; positive turns left.
  virtual double CurveAngle(uint32_t i) const = 0;
  virtual uint32_t SectionWordCount(uint32_t i) const = 0;
  /// Pure, but with a shared body that names the well-known word values.
  virtual const char* SectionWordName(uint32_t i, uint32_t m) const = 0;
  virtual uint32_t SectionWord(uint32_t i, uint32_t m) const = 0;
  /// Altitude of line j along section i is a*t^3 + b*t^2 + c*t + d.
  virtual double AltitudeStart(uint32_t i, uint32_t j) const = 0;
  virtual double AltitudeLinear(uint32_t i, uint32_t j) const = 0;
  virtual double AltitudeQuadratic(uint32_t i, uint32_t j) const = 0;
  virtual double AltitudeCubic(uint32_t i, uint32_t j) const = 0;
  virtual double LineStartX(uint32_t i, uint32_t j) const = 0;
  virtual double LineStartY(uint32_t i, uint32_t j) const = 0;
  virtual double LineRadius(uint32_t i, uint32_t j) const = 0;
  virtual uint32_t LineWordCount(uint32_t i, uint32_t j) const = 0;
  virtual uint32_t LineWord(uint32_t i, uint32_t j, uint32_t m) const = 0;
  virtual uint32_t SurfaceCount(uint32_t i) const = 0;
  virtual double SurfaceFromAtStart(uint32_t i, uint32_t k) const = 0;
  virtual double SurfaceFromAtEnd(uint32_t i, uint32_t k) const = 0;
  virtual double SurfaceToAtStart(uint32_t i, uint32_t k) const = 0;
  virtual double SurfaceToAtEnd(uint32_t i, uint32_t k) const = 0;
  virtual double SurfaceHeight(uint32_t i, uint32_t k) const = 0;
  virtual bool SurfaceIsWall(uint32_t i, uint32_t k) const = 0;
  /// Generic surface kind 0 to 6.
  virtual int SurfaceKind(uint32_t i, uint32_t k) const = 0;
  /// Variant within the kind, 0 or negative.
  virtual int SurfaceVariant(uint32_t i, uint32_t k) const = 0;
  virtual uint32_t SurfaceWordCount(uint32_t i, uint32_t k) const = 0;
  virtual uint32_t SurfaceWord(uint32_t i, uint32_t k, uint32_t m) const = 0;
  virtual const char* SurfaceWordName(uint32_t i, uint32_t k, uint32_t m) const = 0;
  virtual uint32_t WallCount(uint32_t i) const = 0;
  virtual double WallFromAtStart(uint32_t i, uint32_t w) const = 0;
  virtual double WallFromAtEnd(uint32_t i, uint32_t w) const = 0;
  virtual double WallToAtStart(uint32_t i, uint32_t w) const = 0;
  virtual double WallToAtEnd(uint32_t i, uint32_t w) const = 0;
  virtual double WallHeight(uint32_t i, uint32_t w) const = 0;
  /// Generic wall kind 0 to 6.
  virtual int WallKind(uint32_t i, uint32_t w) const = 0;
  virtual uint32_t WallWordCount(uint32_t i, uint32_t w) const = 0;
  virtual uint32_t WallWord(uint32_t i, uint32_t w, uint32_t m) const = 0;
  virtual const char* WallWordName(uint32_t i, uint32_t w, uint32_t m) const = 0;
  /// Writes the track in the class's own format into the held SubFile.
  virtual void Write() = 0;

  /// The altitude cubics of every lateral line of section i, line j into
  /// out[j]: the values of AltitudeStart … AltitudeCubic(i, j), for callers
  /// that visit every line. By default asked one by one; a format that
  /// keeps its lines together answers from them at once.
  virtual void LineAltitudes(uint32_t i, LineAltitude* out) const;

  /// Index of the section containing `longitude`; one lap is subtracted
  /// at most once. Throws XAssumption beyond that, or without sections.
  uint32_t SectionAt(double longitude) const;
  /// Position in metres at `longitude` and `lateral` offset.
  Point3D PointAt(double longitude, double lateral) const;
  /// PointAt with the section found by `finder`, made for this track.
  Point3D PointAt(double longitude, double lateral, const class SectionFinder& finder) const;

  const Handle<SubFile>& GetSubFile() const { return file_; }

 private:
  Point3D PointAt(double longitude, double lateral, const SectionFinder* finder) const;

  Handle<SubFile> file_;
};

/// Answers TrkFile::SectionAt for one track in logarithmic time, after one
/// pass over the section starts when made: for callers that look up every
/// section, where the linear search would make the whole job quadratic.
/// Also keeps the track's lateral offsets, which PointAt compares against
/// on every call. Valid while the track's answers stay as they were.
class SectionFinder {
 public:
  explicit SectionFinder(const TrkFile& track);
  /// The same index as track.SectionAt(longitude), or the same error.
  uint32_t SectionAt(double longitude) const;
  /// The same value as track.LateralOffset(j).
  double LateralOffset(uint32_t j) const { return laterals_[j]; }

 private:
  double total_;
  /// Entry i - 1: the largest of the bounds 1 … i that SectionAt compares
  /// against. The search stops at the first bound above the longitude,
  /// which is also the first running maximum above it, even when the
  /// starts of a malformed track are out of order.
  std::vector<double> running_max_;
  std::vector<double> laterals_;
};
