#include "trackconv/track/trk_file.h"

#include <algorithm>
#include <cmath>

#include "trackconv/foundation/errors.h"

TrkFile::TrkFile(const Handle<SubFile>& file) : file_(file) {}

TrkFile::~TrkFile() = default;

const char* TrkFile::SectionWordName(uint32_t i, uint32_t m) const {
  switch (SectionWord(i, m)) {
    case 0x07070707u: return "0x07070707";
    case 0x08080808u: return "0x08080808";
    case 0x40000000u: return "0x40000000";
    case 0xCCCCCCCCu: return "0xCCCCCCCC";
    default: return nullptr;
  }
}

void TrkFile::LineAltitudes(uint32_t i, LineAltitude* out) const {
  const uint32_t m = LateralCount();
  for (uint32_t j = 0; j < m; ++j) {
    out[j] = {AltitudeStart(i, j), AltitudeLinear(i, j), AltitudeQuadratic(i, j), AltitudeCubic(i, j)};
  }
}

uint32_t TrkFile::SectionAt(double longitude) const {
  const uint32_t n = SectionCount();
  // Without sections every answer would index nothing.
  if (n == 0) throw XAssumption("TRK file has no sections");
  const double total = TrackLength();
  if (longitude >= total) longitude -= total;
  uint32_t result = 0;
  for (uint32_t i = 1; i <= n; ++i) {
    const double bound = i < n ? SectionStart(i) : total;
    if (longitude < bound) break;
    result = i;
  }
  if (result == n) throw XAssumption("TRK file longitude out of range");
  return result;
}

namespace {

double CubicAt(const TrkFile& track, uint32_t i, uint32_t j, double t) {
  return ((track.AltitudeCubic(i, j) * t + track.AltitudeQuadratic(i, j)) * t +
          track.AltitudeLinear(i, j)) * t + track.AltitudeStart(i, j);
}

}  // namespace

SectionFinder::SectionFinder(const TrkFile& track) : total_(track.TrackLength()) {
  const uint32_t n = track.SectionCount();
  running_max_.reserve(n);
  double highest = -HUGE_VAL;
  for (uint32_t i = 1; i <= n; ++i) {
    const double bound = i < n ? track.SectionStart(i) : total_;
    if (bound > highest) highest = bound;  // a NaN bound never stops the search
    running_max_.push_back(highest);
  }
  const uint32_t m = track.LateralCount();
  laterals_.reserve(m);
  for (uint32_t j = 0; j < m; ++j) laterals_.push_back(track.LateralOffset(j));
}

uint32_t SectionFinder::SectionAt(double longitude) const {
  const uint32_t n = static_cast<uint32_t>(running_max_.size());
  if (n == 0) throw XAssumption("TRK file has no sections");
  if (longitude >= total_) longitude -= total_;
  const auto first_above =
      std::upper_bound(running_max_.begin(), running_max_.end(), longitude,
                       [](double value, double bound) { return value < bound; });
  const uint32_t result = static_cast<uint32_t>(first_above - running_max_.begin());
  if (result == n) throw XAssumption("TRK file longitude out of range");
  return result;
}

Point3D TrkFile::PointAt(double longitude, double lateral) const {
  return PointAt(longitude, lateral, nullptr);
}

Point3D TrkFile::PointAt(double longitude, double lateral, const SectionFinder& finder) const {
  return PointAt(longitude, lateral, &finder);
}

Point3D TrkFile::PointAt(double longitude, double lateral, const SectionFinder* finder) const {
  const uint32_t m = LateralCount();
  if (m == 0) throw XAssumption("TRK file has no lateral lines");
  if (longitude >= TrackLength()) longitude -= TrackLength();
  // A second lap would be folded again inside SectionAt while d below kept
  // the once-reduced longitude, giving t beyond 1: refuse it here instead.
  if (longitude >= TrackLength()) throw XAssumption("TRK file longitude out of range");
  const uint32_t i = finder ? finder->SectionAt(longitude) : SectionAt(longitude);
  const double d = longitude - SectionStart(i);
  const double t = d / SectionLength(i);

  auto offset = [this, finder](uint32_t j) {
    return finder ? finder->LateralOffset(j) : LateralOffset(j);
  };
  uint32_t k = 0;
  for (uint32_t q = 1; q < m; ++q) {
    if (offset(q) > lateral) break;
    k = q;
  }
  const double lower = offset(k);
  const double u = lateral - lower;
  double f = 0.0;
  if (k != m - 1 && !(u < 0)) f = u / (offset(k + 1) - lower);

  Point3D p;
  if (!IsCurve(i)) {
    const double h = DegToRad(SectionHeading(i));
    p.x = LineStartX(i, k) + std::cos(h) * d - std::sin(h) * u;
    p.y = LineStartY(i, k) + std::cos(h) * u + std::sin(h) * d;
  } else {
    const double angle = CurveAngle(i);
    const double r0 = LineRadius(i, k);
    double phi = SectionHeading(i) + angle * t;
    double r;
    if (angle > 0) {
      r = r0 - u;
      phi = phi - 90;
    } else {
      r = u - r0;
      phi = phi + 90;
    }
    p.x = CurveCentreX(i) + std::cos(DegToRad(phi)) * r;
    p.y = CurveCentreY(i) + std::sin(DegToRad(phi)) * r;
  }
  const double z0 = CubicAt(*this, i, k, t);
  if (f != 0) {
    const double z1 = CubicAt(*this, i, k + 1, t);
    p.z = z0 + (z1 - z0) * f;
  } else {
    p.z = z0;
  }
  return p;
}
