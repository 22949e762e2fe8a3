#include "trackconv/track/xq_trk_reader.h"

#include <cmath>
#include <string>

#include "trackconv/foundation/byte_order.h"
#include "trackconv/foundation/errors.h"

namespace {

double Degrees(double radians) { return radians / Pi * 180.0; }

// Into [-180, 180).
double Heading(double degrees) {
  double h = std::fmod(degrees + 180.0, 360.0);
  if (h < 0) h += 360.0;
  return h - 180.0;
}

}  // namespace

XQTrkReader::XQTrkReader(const Handle<SubFile>& file) : TrkFile(file) { Read(); }

XQTrkReader::~XQTrkReader() = default;

void XQTrkReader::Read() {
  SubFile& file = *GetSubFile();
  const std::string& name = file.GetName();
  auto fail = [&name](const char* text) { throw XAssumption(name + text); };

  if (file.Size() < xq::kHeaderSize) fail(": XQ trk file too short");
  bytes_.resize(file.Size());
  file.Seek(0);
  file.Read(file.Size(), bytes_.data());
  FieldReader header(bytes_.data(), xq::kHeaderSize);
  if (header.U32() != xq::kFormatTag) fail(": XQ trk file id not XQ");
  header.Skip(12);
  const uint32_t section_count = header.U32();
  const uint32_t lateral_count = header.U32();
  if (section_count == 0) fail(": XQ trk file has no sections");
  if (lateral_count == 0) fail(": XQ trk file has no laterals");
  if (xq::FileSize(section_count, lateral_count) != bytes_.size())
    fail(": XQ trk file size mismatch");

  const uint8_t* at = bytes_.data() + xq::kHeaderSize;
  for (uint32_t j = 0; j < lateral_count; ++j, at += 4) {
    laterals_.push_back(LoadI32(at));
    if (j > 0 && laterals_[j] <= laterals_[j - 1]) fail(": XQ trk file laterals out of order");
  }
  int64_t distance = 0;
  for (uint32_t i = 0; i < section_count; ++i) {
    FieldReader record(at, xq::kSectionRecordSize);
    XQSection s;
    s.kind = record.U32();
    const uint32_t next = record.U32();
    const uint32_t previous = record.U32();
    s.start_x = record.I32();
    s.start_y = record.I32();
    s.end_x = record.I32();
    s.end_y = record.I32();
    s.start_distance = record.I32();
    s.length = record.I32();
    s.centre_x = record.I32();
    s.centre_y = record.I32();
    s.start_radial_y = record.I32();
    s.start_radial_x = record.I32();
    s.end_radial_y = record.I32();
    s.end_radial_x = record.I32();
    s.radius = record.I32();
    if (s.kind != 1 && s.kind != 2) fail(": XQ trk file unknown section type");
    if (next != (i + 1) % section_count || previous != (i + section_count - 1) % section_count)
      fail(": XQ trk file section links error");
    if (s.start_distance != distance) fail(": XQ trk file section start error");
    if (s.length <= 0) fail(": XQ trk file section length error");
    distance += s.length;
    if (distance > INT32_MAX) fail(": XQ trk file total length error");
    if (s.kind == 2 && (s.radius == 0 || (s.start_x == s.centre_x && s.start_y == s.centre_y)))
      fail(": XQ trk file curve without radius");
    at += xq::kSectionRecordSize;
    for (uint32_t j = 0; j < lateral_count; ++j, at += xq::kSampleSize)
      samples_.push_back(XQSample{LoadI32(at), LoadI32(at + 4)});
    s.surface_count = LoadU32(at);
    at += 4;
    if (s.surface_count > xq::kMaxSurfaces) fail(": XQ trk file has too many surfaces");
    s.first_surface = static_cast<uint32_t>(records_.size());
    for (uint32_t k = 0; k < s.surface_count; ++k) {
      const uint8_t* slot = at + k * xq::kSurfaceRecordSize;
      XQSurface r{LoadU32(slot), LoadU32(slot + 4), LoadI32(slot + 8), LoadI32(slot + 12)};
      if (!xq::IsSurfaceType(r.type) && !xq::IsWallType(r.type)) fail(": XQ trk file unknown surface type");
      records_.push_back(r);
    }
    at += xq::kSurfaceTableSize;
    sections_.push_back(s);
  }
  track_length_ = static_cast<int32_t>(distance);
  derived_.resize(section_count);
  for (uint32_t i = 0; i < section_count; ++i) Derive(i);
}

void XQTrkReader::Derive(uint32_t i) {
  const XQSection& s = sections_[i];
  Derived& d = derived_[i];
  for (uint32_t k = 0; k < s.surface_count; ++k) {
    const uint32_t index = s.first_surface + k;
    (records_[index].type >= xq::kFirstWallType ? d.walls : d.surfaces).push_back(index);
  }
  const double sx = LengthFromUnits(s.start_x), sy = LengthFromUnits(s.start_y);
  const double ex = LengthFromUnits(s.end_x), ey = LengthFromUnits(s.end_y);
  if (s.kind == 1) {
    d.heading = (sx == ex && sy == ey) ? 0.0 : Heading(Degrees(std::atan2(ey - sy, ex - sx)));
    return;
  }
  const double cx = LengthFromUnits(s.centre_x), cy = LengthFromUnits(s.centre_y);
  const double a0 = Degrees(std::atan2(sy - cy, sx - cx));
  const double a1 = Degrees(std::atan2(ey - cy, ex - cx));
  // A left turn runs counter-clockwise about its centre, a right turn
  // clockwise; an end on the start is a whole circle.
  double sweep = std::fmod(a1 - a0, 360.0);
  if (s.radius > 0) {
    if (sweep <= 0) sweep += 360.0;
    d.heading = Heading(a0 + 90.0);
  } else {
    if (sweep >= 0) sweep -= 360.0;
    d.heading = Heading(a0 - 90.0);
  }
  d.angle = sweep;
}

double XQTrkReader::TrackLength() const { return LengthFromUnits(track_length_); }
uint32_t XQTrkReader::LateralCount() const { return static_cast<uint32_t>(laterals_.size()); }
double XQTrkReader::LateralOffset(uint32_t j) const { return LengthFromUnits(laterals_[j]); }
uint32_t XQTrkReader::SectionCount() const { return static_cast<uint32_t>(sections_.size()); }
bool XQTrkReader::IsCurve(uint32_t i) const { return sections_[i].kind == 2; }
bool XQTrkReader::SectionProximity(uint32_t) const { return false; }
double XQTrkReader::SectionStart(uint32_t i) const {
  return LengthFromUnits(sections_[i].start_distance);
}
double XQTrkReader::SectionLength(uint32_t i) const { return LengthFromUnits(sections_[i].length); }
double XQTrkReader::SectionHeading(uint32_t i) const { return derived_[i].heading; }
double XQTrkReader::CurveCentreX(uint32_t i) const { return LengthFromUnits(sections_[i].centre_x); }
double XQTrkReader::CurveCentreY(uint32_t i) const { return LengthFromUnits(sections_[i].centre_y); }
double XQTrkReader::CurveAngle(uint32_t i) const { return derived_[i].angle; }
uint32_t XQTrkReader::SectionWordCount(uint32_t) const { return 0; }
const char* XQTrkReader::SectionWordName(uint32_t, uint32_t) const { return nullptr; }
uint32_t XQTrkReader::SectionWord(uint32_t, uint32_t) const { return 0; }

// A sample holds the altitude and grade where its section ends, so a
// section starts where the one before it ended; between the two ends the
// altitude follows the cubic with those values and slopes.
double XQTrkReader::AltitudeStart(uint32_t i, uint32_t j) const {
  const uint32_t previous = (i + SectionCount() - 1) % SectionCount();
  return LengthFromUnits(samples_[previous * LateralCount() + j].altitude);
}

double XQTrkReader::Slope(uint32_t section, uint32_t j, uint32_t over) const {
  const double degrees = samples_[section * LateralCount() + j].grade * xq::kDegreesPerGrade;
  return std::tan(degrees * Pi / 180.0) * SectionLength(over);
}

double XQTrkReader::AltitudeLinear(uint32_t i, uint32_t j) const {
  return Slope((i + SectionCount() - 1) % SectionCount(), j, i);
}

double XQTrkReader::AltitudeQuadratic(uint32_t i, uint32_t j) const {
  const double z0 = AltitudeStart(i, j);
  const double z1 = LengthFromUnits(samples_[i * LateralCount() + j].altitude);
  return -3 * z0 + 3 * z1 - 2 * AltitudeLinear(i, j) - Slope(i, j, i);
}

double XQTrkReader::AltitudeCubic(uint32_t i, uint32_t j) const {
  const double z0 = AltitudeStart(i, j);
  const double z1 = LengthFromUnits(samples_[i * LateralCount() + j].altitude);
  return 2 * z0 - 2 * z1 + AltitudeLinear(i, j) + Slope(i, j, i);
}

// Line j lies lateral(j) to the left of the centre line: on a straight
// beside its start point, on a curve that much nearer the centre of a left
// turn (the signed radius less the offset serves both directions).
double XQTrkReader::LineStartX(uint32_t i, uint32_t j) const {
  if (IsCurve(i)) return 0.0;
  return LengthFromUnits(sections_[i].start_x) -
         std::sin(DegToRad(SectionHeading(i))) * LateralOffset(j);
}

double XQTrkReader::LineStartY(uint32_t i, uint32_t j) const {
  if (IsCurve(i)) return 0.0;
  return LengthFromUnits(sections_[i].start_y) +
         std::cos(DegToRad(SectionHeading(i))) * LateralOffset(j);
}

double XQTrkReader::LineRadius(uint32_t i, uint32_t j) const {
  if (!IsCurve(i)) return 0.0;
  return LengthFromUnits(sections_[i].radius) - LateralOffset(j);
}

uint32_t XQTrkReader::LineWordCount(uint32_t, uint32_t) const { return 0; }
uint32_t XQTrkReader::LineWord(uint32_t, uint32_t, uint32_t) const { return 0; }

const XQSurface& XQTrkReader::Surface(uint32_t i, uint32_t k) const {
  return records_[derived_[i].surfaces[k]];
}
const XQSurface& XQTrkReader::Wall(uint32_t i, uint32_t w) const {
  return records_[derived_[i].walls[w]];
}

uint32_t XQTrkReader::SurfaceCount(uint32_t i) const {
  return static_cast<uint32_t>(derived_[i].surfaces.size());
}
double XQTrkReader::SurfaceFromAtStart(uint32_t i, uint32_t k) const {
  return LengthFromUnits(Surface(i, k).lateral_at_start);
}
double XQTrkReader::SurfaceFromAtEnd(uint32_t i, uint32_t k) const {
  return LengthFromUnits(Surface(i, k).lateral_at_end);
}

double XQTrkReader::SurfaceTo(uint32_t i, uint32_t k, bool at_end) const {
  auto lateral = [at_end](const XQSurface& r) { return at_end ? r.lateral_at_end : r.lateral_at_start; };
  if (k + 1 < SurfaceCount(i)) return LengthFromUnits(lateral(Surface(i, k + 1)));
  const int32_t from = lateral(Surface(i, k));
  return LengthFromUnits(laterals_.back() > from ? laterals_.back() : from);
}

double XQTrkReader::SurfaceToAtStart(uint32_t i, uint32_t k) const { return SurfaceTo(i, k, false); }
double XQTrkReader::SurfaceToAtEnd(uint32_t i, uint32_t k) const { return SurfaceTo(i, k, true); }
double XQTrkReader::SurfaceHeight(uint32_t, uint32_t) const { return 0.0; }
bool XQTrkReader::SurfaceIsWall(uint32_t, uint32_t) const { return false; }

int XQTrkReader::SurfaceKind(uint32_t i, uint32_t k) const {
  return xq::SurfaceKindOf(Surface(i, k).type);
}

int XQTrkReader::SurfaceVariant(uint32_t, uint32_t) const { return 0; }
uint32_t XQTrkReader::SurfaceWordCount(uint32_t, uint32_t) const { return 0; }
uint32_t XQTrkReader::SurfaceWord(uint32_t, uint32_t, uint32_t) const { return 0; }
const char* XQTrkReader::SurfaceWordName(uint32_t, uint32_t, uint32_t) const { return nullptr; }

uint32_t XQTrkReader::WallCount(uint32_t i) const {
  return static_cast<uint32_t>(derived_[i].walls.size());
}
double XQTrkReader::WallFromAtStart(uint32_t i, uint32_t w) const {
  return LengthFromUnits(Wall(i, w).lateral_at_start);
}
double XQTrkReader::WallFromAtEnd(uint32_t i, uint32_t w) const {
  return LengthFromUnits(Wall(i, w).lateral_at_end);
}
double XQTrkReader::WallToAtStart(uint32_t i, uint32_t w) const { return WallFromAtStart(i, w); }
double XQTrkReader::WallToAtEnd(uint32_t i, uint32_t w) const { return WallFromAtEnd(i, w); }
double XQTrkReader::WallHeight(uint32_t, uint32_t) const { return 1.0; }

int XQTrkReader::WallKind(uint32_t i, uint32_t w) const {
  const XQSurface& r = Wall(i, w);
  return xq::WallKindOf(r.type, r.flags);
}

uint32_t XQTrkReader::WallWordCount(uint32_t, uint32_t) const { return 0; }
uint32_t XQTrkReader::WallWord(uint32_t, uint32_t, uint32_t) const { return 0; }
const char* XQTrkReader::WallWordName(uint32_t, uint32_t, uint32_t) const { return nullptr; }

void XQTrkReader::Write() {
  Handle<SubFile> file = GetSubFile();
  file->Seek(0);
  file->Write(static_cast<uint32_t>(bytes_.size()), bytes_.data());
}
