#include "trackconv/track/xq_trk_file.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>

#include "trackconv/foundation/byte_order.h"
#include "trackconv/foundation/errors.h"

namespace {

const char kUnsupportedSurface[] = ": XQ trk unsupported surface type";
const char kUnsupportedWall[] = ": XQ trk unsupported wall type";
const char kTooManySurfaces[] = ": XQ trk file supports too few surfaces";
const char kValueOutOfRange[] = ": XQ trk value out of range";
const char kNoLaterals[] = ": XQ trk file needs at least one lateral";
const char kTooLarge[] = ": XQ trk file too large";
const char kNoOutput[] = "XQ trk file has no output file";

// File positions are 32-bit with 0xFFFFFFFF reserved for failure.
constexpr uint64_t kLargestFile = 0xFFFFFFFEu;
// The type bit that marks a record as answering the wall and surface
// queries. No record the converter makes carries it.
constexpr uint32_t kQueryBit = 0x800;
// The write buffer is flushed once it holds this much: few system calls,
// bounded memory however long the track.
constexpr std::size_t kFlushSize = 64 * 1024;

// Rounds half away from zero and truncates; false when the result is not a
// 32-bit integer (this includes NaN).
bool RoundToI32(double x, int32_t& out) {
  double rounded = x > 0 ? x + 0.5 : x - 0.5;
  if (!(rounded > -2147483649.0 && rounded < 2147483648.0)) return false;
  out = static_cast<int32_t>(rounded);
  return true;
}

// A record that comes before another across the track. Crossing lines come
// before each other both ways; the insertion below settles their order.
bool ComesBefore(const XQSurface& p, const XQSurface& q) {
  if (p.lateral_at_start < q.lateral_at_start) return true;
  if (p.lateral_at_end < q.lateral_at_end) return true;
  return p.lateral_at_start == q.lateral_at_start && p.lateral_at_end == q.lateral_at_end &&
         p.type >= xq::kFirstWallType;
}

// Insertion front to back. A record that comes before the first one goes
// to the front directly; any other moves forward only while it comes
// before its neighbour, so it always stops behind the first record.
void SortRun(XQSurface* run, uint32_t count) {
  for (uint32_t n = 1; n < count; ++n) {
    XQSurface record = run[n];
    uint32_t place = n;
    if (ComesBefore(record, run[0])) {
      place = 0;
      for (uint32_t q = n; q > 0; --q) run[q] = run[q - 1];
    } else {
      while (ComesBefore(record, run[place - 1])) {
        run[place] = run[place - 1];
        --place;
      }
    }
    run[place] = record;
  }
}

}  // namespace

XQTrkFile::XQTrkFile(const Handle<SubFile>& output, const Handle<TrkFile>& source)
    : TrkFile(output) {
  const TrkFile& track = *source;
  const uint32_t lateral_count = track.LateralCount();
  const uint32_t section_count = track.SectionCount();
  // Each section's start point is placed on the lateral lines, so sections
  // need at least one; a track without sections is written as its header
  // and lateral table alone.
  if (section_count != 0 && lateral_count == 0) Refuse(kNoLaterals);
  const uint64_t block = xq::SectionSize(lateral_count);
  const uint64_t fixed = xq::FileSize(0, lateral_count);
  if (fixed > kLargestFile || section_count > (kLargestFile - fixed) / block) Refuse(kTooLarge);

  laterals_.reserve(lateral_count);
  for (uint32_t j = 0; j < lateral_count; ++j) laterals_.push_back(Units(track.LateralOffset(j)));

  sections_.reserve(section_count);
  samples_.resize(static_cast<std::size_t>(section_count) * lateral_count);
  // Sized once up front: growing a list of a few hundred thousand records
  // step by step costs more than counting them.
  std::size_t records = 0;
  for (uint32_t i = 0; i < section_count; ++i)
    records += std::min<uint64_t>(uint64_t{track.SurfaceCount(i)} + track.WallCount(i), xq::kMaxSurfaces);
  surfaces_.reserve(records);
  const SectionFinder finder(track);
  // A section's samples take its own lines' slopes and the next section's
  // start altitudes, so each section's lines are asked for once and serve
  // twice: as the next lines of the section before, then as its own.
  std::vector<LineAltitude> lines(lateral_count), next_lines(lateral_count);
  if (section_count != 0) track.LineAltitudes(0, lines.data());
  for (uint32_t i = 0; i < section_count; ++i) {
    track.LineAltitudes((i + 1) % section_count, next_lines.data());
    SampleSection(track, finder, i, lines.data(), next_lines.data());
    lines.swap(next_lines);
  }
  JoinSections(track);
  CarryCurveRadials();
}

XQTrkFile::~XQTrkFile() = default;

void XQTrkFile::SampleSection(const TrkFile& track, const SectionFinder& finder, uint32_t i,
                              const LineAltitude* lines, const LineAltitude* next_lines) {
  const uint32_t lateral_count = static_cast<uint32_t>(laterals_.size());

  XQSection section;
  section.kind = track.IsCurve(i) ? 2 : 1;
  const double start_longitude = track.SectionStart(i);
  section.start_distance = Units(start_longitude);
  section.first_surface = static_cast<uint32_t>(surfaces_.size());
  section.surface_count = 0;
  const Point3D start = track.PointAt(start_longitude, 0.0, finder);
  section.start_x = Units(start.x);
  section.start_y = Units(start.y);
  if (section.kind == 2) {
    section.centre_x = Units(track.CurveCentreX(i));
    section.centre_y = Units(track.CurveCentreY(i));
  }
  // Every lateral's grade is an angle against the same section length.
  const double length = track.SectionLength(i);
  XQSample* samples = samples_.data() + static_cast<std::size_t>(i) * lateral_count;
  for (uint32_t j = 0; j < lateral_count; ++j) {
    samples[j].altitude = Units(next_lines[j].start);
    samples[j].grade = Grade(lines[j], length);
  }
  AddSurfaces(track, i, section);
  AddWalls(track, i, section);
  SortRun(surfaces_.data() + section.first_surface, section.surface_count);
  sections_.push_back(section);
}

void XQTrkFile::AddSurfaces(const TrkFile& track, uint32_t i, XQSection& section) {
  const uint32_t count = track.SurfaceCount(i);
  for (uint32_t k = 0; k < count; ++k) {
    if (track.SurfaceIsWall(i, k)) continue;
    XQSurface record;
    record.lateral_at_start = Units(track.SurfaceFromAtStart(i, k));
    record.lateral_at_end = Units(track.SurfaceFromAtEnd(i, k));
    const int variant = track.SurfaceVariant(i, k);
    const int kind = track.SurfaceKind(i, k);
    if (!xq::SurfaceTypeOf(kind, variant, record.type)) Refuse(kUnsupportedSurface);
    record.flags = xq::kSurfaceFlags;
    Append(section, record);
  }
}

void XQTrkFile::AddWalls(const TrkFile& track, uint32_t i, XQSection& section) {
  const uint32_t count = track.WallCount(i);
  for (uint32_t w = 0; w < count; ++w) {
    XQSurface record;
    record.lateral_at_start = Units(track.WallFromAtStart(i, w));
    record.lateral_at_end = Units(track.WallFromAtEnd(i, w));
    const int kind = track.WallKind(i, w);
    if (!xq::WallTypeOf(kind, record.type, record.flags)) Refuse(kUnsupportedWall);
    Append(section, record);
  }
}

// The kind has been mapped already, so an unknown kind in a full section
// is reported as the kind, not as the limit.
void XQTrkFile::Append(XQSection& section, const XQSurface& record) {
  if (section.surface_count == xq::kMaxSurfaces) Refuse(kTooManySurfaces);
  surfaces_.push_back(record);
  ++section.surface_count;
}

void XQTrkFile::JoinSections(const TrkFile& track) {
  const uint32_t count = static_cast<uint32_t>(sections_.size());
  for (uint32_t i = 0; i < count; ++i) {
    XQSection& s = sections_[i];
    const XQSection& n = sections_[(i + 1) % count];
    const int64_t end_distance =
        i + 1 < count ? n.start_distance : Units(track.TrackLength());
    s.length = Narrow(end_distance - s.start_distance);
    s.end_x = n.start_x;
    s.end_y = n.start_y;
    if (s.kind != 2) {
      s.start_radial_y = s.start_radial_x = s.end_radial_y = s.end_radial_x = 0;
      s.radius = 0;
      continue;
    }
    s.start_radial_y = Narrow(int64_t{s.centre_y} - s.start_y);
    s.start_radial_x = Narrow(int64_t{s.start_x} - s.centre_x);
    s.end_radial_y = Narrow(int64_t{s.centre_y} - s.end_y);
    s.end_radial_x = Narrow(int64_t{s.end_x} - s.centre_x);
    auto distance = [](int32_t x1, int32_t y1, int32_t x2, int32_t y2) {
      const double dx = static_cast<double>(x1) - static_cast<double>(x2);
      const double dy = static_cast<double>(y1) - static_cast<double>(y2);
      return static_cast<int64_t>(std::sqrt(dx * dx + dy * dy) + 0.5);
    };
    const int64_t r1 = distance(s.start_x, s.start_y, s.centre_x, s.centre_y);
    const int64_t r2 = distance(s.end_x, s.end_y, s.centre_x, s.centre_y);
    int64_t radius = (r1 + r2 + 1) / 2;
    if (track.CurveAngle(i) < 0.0) radius = -radius;
    s.radius = Narrow(radius);
  }
}

// A straight that follows a curve keeps the curve's end radial in all four
// fields, so the join carries the direction across.
void XQTrkFile::CarryCurveRadials() {
  const uint32_t count = static_cast<uint32_t>(sections_.size());
  for (uint32_t i = 0; i < count; ++i) {
    const XQSection& curve = sections_[i];
    XQSection& next = sections_[(i + 1) % count];
    if (curve.kind != 2 || next.kind == 2) continue;
    next.start_radial_y = next.end_radial_y = curve.end_radial_y;
    next.start_radial_x = next.end_radial_x = curve.end_radial_x;
  }
}

void XQTrkFile::Refuse(const char* text) const {
  const Handle<SubFile>& file = GetSubFile();
  throw XAssumption((file.Get() ? file->GetName() : std::string()) + text);
}

int32_t XQTrkFile::Units(double length) const {
  int32_t units = 0;
  if (!RoundToI32(length * 0.621371192237334 * 31680.0, units)) Refuse(kValueOutOfRange);
  return units;
}

// The slope of the altitude cubic at the section's end, per whole section,
// as an angle against the section's length.
int32_t XQTrkFile::Grade(const LineAltitude& line, double length) const {
  double slope = 3 * line.cubic;
  slope = 2 * line.quadratic + slope;
  slope = line.linear + slope;
  const double angle = std::atan2(slope, length);
  const double degrees = angle / Pi * 180.0;
  int32_t grade = 0;
  if (!RoundToI32(degrees * xq::kGradesPerDegree, grade)) Refuse(kValueOutOfRange);
  return grade;
}

int32_t XQTrkFile::Narrow(int64_t value) const {
  if (value < INT32_MIN || value > INT32_MAX) Refuse(kValueOutOfRange);
  return static_cast<int32_t>(value);
}

uint32_t XQTrkFile::FileSize() const {
  // The constructor refused a track whose file would not fit 32 bits.
  return static_cast<uint32_t>(xq::FileSize(static_cast<uint32_t>(sections_.size()),
                                            static_cast<uint32_t>(laterals_.size())));
}

namespace {

// Stores consecutive little-endian fields into a block sized beforehand.
// Write lays out whole sections of known size, so a plain cursor saves the
// growth checks of a FieldWriter on every one of the file's words.
class BlockCursor {
 public:
  explicit BlockCursor(uint8_t* at) : at_(at) {}
  void U32(uint32_t v) {
    StoreU32(at_, v);
    at_ += 4;
  }
  void I32(int32_t v) { U32(static_cast<uint32_t>(v)); }
  void Zeros(std::size_t count) {
    std::memset(at_, 0, count);
    at_ += count;
  }
  uint8_t* At() const { return at_; }

 private:
  uint8_t* at_;
};

void PutSurface(BlockCursor& out, const XQSurface& s) {
  out.U32(s.type);
  out.U32(s.flags);
  out.I32(s.lateral_at_start);
  out.I32(s.lateral_at_end);
}

}  // namespace

void XQTrkFile::Write() {
  Handle<SubFile> file = GetSubFile();
  if (!file.Get()) Refuse(kNoOutput);
  file->Seek(0);
  const uint32_t section_count = static_cast<uint32_t>(sections_.size());
  const uint32_t lateral_count = static_cast<uint32_t>(laterals_.size());
  const std::size_t section_size = static_cast<std::size_t>(xq::SectionSize(lateral_count));

  // The file goes out in blocks of whole sections of about kFlushSize
  // bytes, so memory stays small however long the track.
  std::vector<uint8_t> buffer(std::max(kFlushSize, static_cast<std::size_t>(xq::FileSize(0, lateral_count))) +
                              section_size);
  BlockCursor out(buffer.data());
  auto flush = [&] {
    const std::size_t used = static_cast<std::size_t>(out.At() - buffer.data());
    if (used != 0) file->Write(static_cast<uint32_t>(used), buffer.data());
    out = BlockCursor(buffer.data());
  };

  out.U32(xq::kFormatTag);
  out.U32(1);
  out.U32(1);
  out.U32(0);
  out.U32(section_count);
  out.U32(lateral_count);
  for (int32_t lateral : laterals_) out.I32(lateral);

  for (uint32_t i = 0; i < section_count; ++i) {
    if (static_cast<std::size_t>(out.At() - buffer.data()) + section_size > buffer.size()) flush();
    const XQSection& s = sections_[i];
    out.U32(s.kind);
    out.U32((i + 1) % section_count);
    out.U32((section_count + i - 1) % section_count);
    out.I32(s.start_x);
    out.I32(s.start_y);
    out.I32(s.end_x);
    out.I32(s.end_y);
    out.I32(s.start_distance);
    out.I32(s.length);
    out.I32(s.centre_x);
    out.I32(s.centre_y);
    out.I32(s.start_radial_y);
    out.I32(s.start_radial_x);
    out.I32(s.end_radial_y);
    out.I32(s.end_radial_x);
    out.I32(s.radius);
    out.U32(0);
    const XQSample* samples = samples_.data() + static_cast<std::size_t>(i) * lateral_count;
    for (uint32_t j = 0; j < lateral_count; ++j) {
      out.I32(samples[j].altitude);
      out.I32(samples[j].grade);
    }
    out.U32(s.surface_count);
    for (uint32_t k = 0; k < s.surface_count; ++k) PutSurface(out, surfaces_[s.first_surface + k]);
    out.Zeros(xq::kSurfaceRecordSize * static_cast<std::size_t>(xq::kMaxSurfaces - s.surface_count));
  }
  flush();
}

// ---- Queries answered from the integer form ----

const XQSection* XQTrkFile::SectionOrNull(uint32_t i) const {
  return i < sections_.size() ? &sections_[i] : nullptr;
}

const XQSurface* XQTrkFile::Record(uint32_t i, uint32_t k) const {
  const XQSection* s = SectionOrNull(i);
  if (!s || k >= s->surface_count) return nullptr;
  return &surfaces_[s->first_surface + k];
}

const XQSurface* XQTrkFile::WallRecord(uint32_t i, uint32_t w) const {
  const XQSection* s = SectionOrNull(i);
  if (!s) return nullptr;
  for (uint32_t k = 0; k < s->surface_count; ++k) {
    const XQSurface& record = surfaces_[s->first_surface + k];
    if ((record.type & kQueryBit) && w-- == 0) return &record;
  }
  return nullptr;
}

double XQTrkFile::TrackLength() const {
  if (sections_.empty()) return 0.0;
  const XQSection& last = sections_.back();
  return LengthFromUnits(last.start_distance + last.length);
}

uint32_t XQTrkFile::LateralCount() const { return static_cast<uint32_t>(laterals_.size()); }
double XQTrkFile::LateralOffset(uint32_t j) const {
  return j < laterals_.size() ? LengthFromUnits(laterals_[j]) : 0.0;
}
uint32_t XQTrkFile::SectionCount() const { return static_cast<uint32_t>(sections_.size()); }
bool XQTrkFile::IsCurve(uint32_t i) const {
  const XQSection* s = SectionOrNull(i);
  return s && s->kind == 2;
}
bool XQTrkFile::SectionProximity(uint32_t) const { return false; }
double XQTrkFile::SectionStart(uint32_t i) const {
  const XQSection* s = SectionOrNull(i);
  return s ? LengthFromUnits(s->start_distance) : 0.0;
}
double XQTrkFile::SectionLength(uint32_t i) const {
  const XQSection* s = SectionOrNull(i);
  return s ? LengthFromUnits(s->length) : 0.0;
}
double XQTrkFile::SectionHeading(uint32_t) const { return 0.0; }
double XQTrkFile::CurveCentreX(uint32_t i) const {
  const XQSection* s = SectionOrNull(i);
  return s ? LengthFromUnits(s->centre_x) : 0.0;
}
double XQTrkFile::CurveCentreY(uint32_t i) const {
  const XQSection* s = SectionOrNull(i);
  return s ? LengthFromUnits(s->centre_y) : 0.0;
}
double XQTrkFile::CurveAngle(uint32_t) const { return 0.0; }
uint32_t XQTrkFile::SectionWordCount(uint32_t) const { return 0; }
const char* XQTrkFile::SectionWordName(uint32_t, uint32_t) const { return nullptr; }
uint32_t XQTrkFile::SectionWord(uint32_t, uint32_t) const { return 0; }
double XQTrkFile::AltitudeStart(uint32_t, uint32_t) const { return 0.0; }
double XQTrkFile::AltitudeLinear(uint32_t, uint32_t) const { return 0.0; }
double XQTrkFile::AltitudeQuadratic(uint32_t, uint32_t) const { return 0.0; }
double XQTrkFile::AltitudeCubic(uint32_t, uint32_t) const { return 0.0; }
double XQTrkFile::LineStartX(uint32_t, uint32_t) const { return 0.0; }
double XQTrkFile::LineStartY(uint32_t, uint32_t) const { return 0.0; }
double XQTrkFile::LineRadius(uint32_t, uint32_t) const { return 0.0; }
uint32_t XQTrkFile::LineWordCount(uint32_t, uint32_t) const { return 0; }
uint32_t XQTrkFile::LineWord(uint32_t, uint32_t, uint32_t) const { return 0; }

uint32_t XQTrkFile::SurfaceCount(uint32_t i) const {
  const XQSection* s = SectionOrNull(i);
  if (!s) return 0;
  uint32_t count = 0;
  for (uint32_t k = 0; k < s->surface_count; ++k)
    if (surfaces_[s->first_surface + k].type & kQueryBit) ++count;
  return count;
}
double XQTrkFile::SurfaceFromAtStart(uint32_t i, uint32_t k) const {
  const XQSurface* r = Record(i, k);
  return r ? LengthFromUnits(r->lateral_at_start) : 0.0;
}
double XQTrkFile::SurfaceFromAtEnd(uint32_t i, uint32_t k) const {
  const XQSurface* r = Record(i, k);
  return r ? LengthFromUnits(r->lateral_at_end) : 0.0;
}
// A boundary ends where the section's next record begins; the last one
// ends where the section's last wall begins, and with no wall there is no
// such line and the answer is 0.
double XQTrkFile::SurfaceToAtStart(uint32_t i, uint32_t k) const {
  const XQSection* s = SectionOrNull(i);
  if (s && k + 1 < s->surface_count) return SurfaceFromAtStart(i, k + 1);
  const uint32_t walls = WallCount(i);
  return walls ? WallFromAtStart(i, walls - 1) : 0.0;
}
double XQTrkFile::SurfaceToAtEnd(uint32_t i, uint32_t k) const {
  const XQSection* s = SectionOrNull(i);
  if (s && k + 1 < s->surface_count) return SurfaceFromAtEnd(i, k + 1);
  const uint32_t walls = WallCount(i);
  return walls ? WallFromAtEnd(i, walls - 1) : 0.0;
}
double XQTrkFile::SurfaceHeight(uint32_t, uint32_t) const { return 0.0; }
bool XQTrkFile::SurfaceIsWall(uint32_t, uint32_t) const { return false; }
int XQTrkFile::SurfaceKind(uint32_t, uint32_t) const { return 0; }
int XQTrkFile::SurfaceVariant(uint32_t, uint32_t) const { return 0; }
uint32_t XQTrkFile::SurfaceWordCount(uint32_t, uint32_t) const { return 0; }
uint32_t XQTrkFile::SurfaceWord(uint32_t, uint32_t, uint32_t) const { return 0; }
const char* XQTrkFile::SurfaceWordName(uint32_t, uint32_t, uint32_t) const { return nullptr; }

uint32_t XQTrkFile::WallCount(uint32_t i) const { return SurfaceCount(i); }
double XQTrkFile::WallFromAtStart(uint32_t i, uint32_t w) const {
  const XQSurface* r = WallRecord(i, w);
  return r ? LengthFromUnits(r->lateral_at_start) : 0.0;
}
double XQTrkFile::WallFromAtEnd(uint32_t i, uint32_t w) const {
  const XQSurface* r = WallRecord(i, w);
  return r ? LengthFromUnits(r->lateral_at_end) : 0.0;
}
double XQTrkFile::WallToAtStart(uint32_t i, uint32_t w) const { return WallFromAtStart(i, w); }
double XQTrkFile::WallToAtEnd(uint32_t i, uint32_t w) const { return WallFromAtEnd(i, w); }
double XQTrkFile::WallHeight(uint32_t, uint32_t) const { return 1.0; }
int XQTrkFile::WallKind(uint32_t, uint32_t) const { return 1; }
uint32_t XQTrkFile::WallWordCount(uint32_t, uint32_t) const { return 0; }
uint32_t XQTrkFile::WallWord(uint32_t, uint32_t, uint32_t) const { return 0; }
const char* XQTrkFile::WallWordName(uint32_t, uint32_t, uint32_t) const { return nullptr; }
