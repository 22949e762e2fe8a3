#include "trackconv/track/mota_trk_file.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdlib>
#include <string>

#include "trackconv/foundation/byte_order.h"
#include "trackconv/foundation/errors.h"
#include "trackconv/track/block_reader.h"
#include "trackconv/track/wrap_arithmetic.h"

namespace {

constexpr uint32_t kTrackId = 0x5452414B;  // "TRAK", first character high
constexpr uint32_t kTrackType = 1;
constexpr uint32_t kMaxLaterals = 10;
constexpr uint32_t kHeaderSize = 28 + 4 * kMaxLaterals;
constexpr uint32_t kLineSize = 32;
constexpr uint32_t kSurfaceSize = 12;
constexpr uint32_t kSectionSize = 52;
constexpr uint32_t kWallSize = 20;
constexpr uint32_t kWallFiller = 0xCCCCCCCC;
constexpr uint32_t kStraight = 1;
constexpr uint32_t kCurve = 2;
constexpr uint32_t kMaxSurfaceValue = 54;

// The format tolerates a derivative word up to 2 away from the exact
// multiple. The difference is taken in the stored width, so the words the
// writer stores (wrapped like the file's integers) always pass.
bool CloseEnough(int32_t stored, int32_t coefficient, uint32_t factor) {
  int64_t difference = SubWrap(stored, TimesWrap(coefficient, factor));
  return std::llabs(difference) <= 2;
}

// Cosine or sine of an angle given in heading units, times 2^30, truncated
// toward zero. The angle is formed in double so heading + 2^30 cannot
// overflow.
int32_t UnitTrig(double heading_units, bool sine) {
  double radians = heading_units * Pi * 4.656612873077393e-10;  // 2^-31
  double value = sine ? std::sin(radians) : std::cos(radians);
  return static_cast<int32_t>(value * 1073741824.0);
}

}  // namespace

MOTATrkFile::MOTATrkFile(const Handle<SubFile>& file) : TrkFile(file) { Read(); }

MOTATrkFile::MOTATrkFile(const Handle<SubFile>& file, const Handle<TrkFile>& source)
    : TrkFile(file) {
  Build(*source);
}

MOTATrkFile::~MOTATrkFile() = default;

// ---------------------------------------------------------------------------
// Reading


void MOTATrkFile::Read() {
  SubFile& file = *GetSubFile();
  const std::string& name = file.GetName();
  auto fail = [&name](const char* text) { throw XAssumption(name + text); };

  BlockReader blocks(file);
  std::vector<uint8_t> header_block = blocks.Next(kHeaderSize);
  FieldReader header(header_block);
  uint32_t id = header.U32();
  uint32_t type = header.U32();
  int32_t track_length = header.I32();
  uint32_t lateral_count = header.U32();
  uint32_t section_count = header.U32();
  uint32_t surface_bytes = header.U32();
  header.Skip(4);  // section block size: derived from the records, never trusted

  if (id != kTrackId) fail(": MOTA trk file id not TRAK");
  if (type != kTrackType) fail(": MOTA trk file type not 1");

  // The header has room for ten offsets only. A track without lateral
  // lines or without sections is read as it stands; what needs a line or
  // a section refuses it there.
  if (lateral_count > kMaxLaterals) fail(": MOTA trk file has too many laterals");
  track_length_ = track_length;
  for (uint32_t j = 0; j < lateral_count; ++j) laterals_.push_back(header.I32());

  blocks.Next(uint64_t{4} * section_count);  // offsets; rebuilt on write

  const uint64_t line_count = uint64_t{lateral_count} * section_count;
  blocks.Require(line_count * kLineSize);
  lines_.reserve(static_cast<std::size_t>(line_count));
  blocks.Records(line_count, kLineSize, [&](const uint8_t* record) {
    Line line;
    line.a = LoadI32(record + 0);
    line.b = LoadI32(record + 4);
    line.c = LoadI32(record + 8);
    line.d = LoadI32(record + 12);
    int32_t a3 = LoadI32(record + 16);
    int32_t b2 = LoadI32(record + 20);
    line.position1 = LoadI32(record + 24);
    line.position2 = LoadI32(record + 28);
    if (!CloseEnough(a3, line.a, 3)) fail(": MOTA trk file altitude delta 4 error");
    if (!CloseEnough(b2, line.b, 2)) fail(": MOTA trk file altitude delta 5 error");
    lines_.push_back(line);
  });

  blocks.Require(surface_bytes);
  surfaces_.reserve(surface_bytes / kSurfaceSize);
  blocks.Records(surface_bytes / kSurfaceSize, kSurfaceSize, [&](const uint8_t* record) {
    Surface surface;
    surface.from_at_start = LoadI32(record + 0);
    surface.from_at_end = LoadI32(record + 4);
    surface.value = LoadU32(record + 8);
    surfaces_.push_back(surface);
  });
  blocks.Next(surface_bytes % kSurfaceSize);  // a partial record is skipped

  // The running surface total is kept wider than the file's fields so that
  // huge strip counts cannot wrap around and pass the final size check.
  int32_t length_so_far = 0;
  uint64_t surfaces_so_far = 0;
  sections_.reserve(section_count);
  for (uint32_t i = 0; i < section_count; ++i) {
    Section section;
    blocks.Records(1, kSectionSize, [&](const uint8_t* record) {
      section.kind = LoadU32(record + 0);
      section.start = LoadI32(record + 4);
      section.length = LoadI32(record + 8);
      section.heading = LoadI32(record + 12);
      for (uint32_t w = 0; w < 5; ++w) section.words[w] = LoadU32(record + 16 + 4 * w);
      section.first_line = LoadU32(record + 36);
      section.surface_count = LoadU32(record + 40);
      section.first_surface = LoadU32(record + 44);
      section.wall_count = LoadU32(record + 48);
    });

    if (section.kind != kStraight && section.kind != kCurve)
      fail(": MOTA trk file unknown section type");
    if (section.first_line != i * lateral_count) fail(": MOTA trk file pieces index error");
    if (section.start != length_so_far) fail(": MOTA trk file section start error");
    length_so_far = AddWrap(length_so_far, section.length);
    if (section.first_surface != surfaces_so_far) fail(": MOTA trk file surface start error");
    surfaces_so_far += section.surface_count;

    section.first_wall = static_cast<uint32_t>(walls_.size());
    blocks.Records(section.wall_count, kWallSize, [&](const uint8_t* record) {
      Wall wall;
      wall.value = LoadU32(record + 0);
      wall.at_start = LoadI32(record + 4);
      wall.at_end = LoadI32(record + 8);
      walls_.push_back(wall);
    });
    sections_.push_back(section);
  }

  if (length_so_far != track_length_) fail(": MOTA trk file total length error");
  if (uint64_t{kSurfaceSize} * surfaces_so_far != surface_bytes)
    fail(": MOTA trk file total surface length error");
}

// ---------------------------------------------------------------------------
// Building

uint32_t MOTATrkFile::SurfaceValueFor(int kind, int variant) {
  int base;
  switch (kind) {
    case 0: base = 54; break;
    case 1: base = 45; break;
    case 2: base = 22; break;
    case 3: base = 6; break;
    case 4: base = 22; break;
    case 5: base = 6; break;
    default: throw XAssumption("MOTA trk unsupported surface type");
  }
  // A variant that leaves the value table would be written as a value no
  // reader of the format knows.
  int64_t value = int64_t{base} + variant;
  if (value < 0 || value > kMaxSurfaceValue) throw XAssumption("MOTA trk unsupported surface type");
  return static_cast<uint32_t>(value);
}

uint32_t MOTATrkFile::WallValueFor(int kind) {
  switch (kind) {
    case 0: return 0;
    case 1: return 4;
    case 2: return 2;
    case 3: return 0;
    case 4: return 0;
    case 5: return 6;
    default: throw XAssumption("MOTA trk unsupported wall type");
  }
}

void MOTATrkFile::Build(const TrkFile& source) {
  uint32_t lateral_count = source.LateralCount();
  if (lateral_count > kMaxLaterals) throw XAssumption("MOTA trk file supports too few laterals");
  uint32_t section_count = source.SectionCount();
  for (uint32_t j = 0; j < lateral_count; ++j)
    laterals_.push_back(LengthToUnits(source.LateralOffset(j)));

  track_length_ = LengthToUnits(source.TrackLength());
  // The length is the sum of the sections' lengths: a length without
  // sections could be written but never read back.
  if (section_count == 0 && track_length_ != 0)
    throw XAssumption("MOTA trk file needs at least one section");
  sections_.reserve(section_count);
  lines_.reserve(static_cast<std::size_t>(section_count) * lateral_count);

  for (uint32_t i = 0; i < section_count; ++i) {
    Section section;
    bool curve = source.IsCurve(i);
    section.kind = curve ? kCurve : kStraight;
    section.start = LengthToUnits(source.SectionStart(i));
    // Lengths follow from the starts so that they add up exactly.
    if (i > 0) sections_[i - 1].length = SubWrap(section.start, sections_[i - 1].start);
    section.heading = HeadingToUnits(source.SectionHeading(i));
    if (curve) {
      section.words[0] = static_cast<uint32_t>(LengthToUnits(source.CurveCentreX(i)));
      section.words[1] = static_cast<uint32_t>(LengthToUnits(source.CurveCentreY(i)));
      section.words[2] = static_cast<uint32_t>(TurnToUnits(source.CurveAngle(i)));
      section.words[3] = source.SectionWord(i, 0);
      section.words[4] = source.SectionWord(i, 1);
    } else {
      double h = section.heading;
      double h90 = h + 1073741824.0;
      section.words[0] = static_cast<uint32_t>(UnitTrig(h, false));
      section.words[1] = static_cast<uint32_t>(UnitTrig(h, true));
      section.words[2] = static_cast<uint32_t>(UnitTrig(h90, false));
      section.words[3] = static_cast<uint32_t>(UnitTrig(h90, true));
      section.words[4] = source.SectionWord(i, 0);
    }
    section.first_line = static_cast<uint32_t>(lines_.size());
    section.first_surface = static_cast<uint32_t>(surfaces_.size());
    section.first_wall = static_cast<uint32_t>(walls_.size());

    // Each cubic ends where the next section's starts: the linear term of
    // the previous section is solved for once this section's start is known.
    for (uint32_t j = 0; j < lateral_count; ++j) {
      Line line;
      line.d = LengthToUnits(source.AltitudeStart(i, j));
      line.a = LengthToUnits(source.AltitudeCubic(i, j));
      line.b = LengthToUnits(source.AltitudeQuadratic(i, j));
      if (curve) {
        line.position1 = LengthToUnits(source.LineRadius(i, j));
        line.position2 = 0;
      } else {
        line.position1 = LengthToUnits(source.LineStartX(i, j));
        line.position2 = LengthToUnits(source.LineStartY(i, j));
      }
      if (i > 0) {
        Line& before = lines_[(i - 1) * lateral_count + j];
        before.c = SubWrap(SubWrap(SubWrap(line.d, before.d), before.a), before.b);
      }
      lines_.push_back(line);
    }

    uint32_t surface_count = source.SurfaceCount(i);
    for (uint32_t k = 0; k < surface_count; ++k) {
      Surface surface;
      surface.from_at_start = LengthToUnits(source.SurfaceFromAtStart(i, k));
      surface.from_at_end = LengthToUnits(source.SurfaceFromAtEnd(i, k));
      surface.value = SurfaceValueFor(source.SurfaceKind(i, k), source.SurfaceVariant(i, k));
      surfaces_.push_back(surface);
    }
    section.surface_count = surface_count;

    BuildWalls(source, i);
    section.wall_count = static_cast<uint32_t>(walls_.size()) - section.first_wall;
    sections_.push_back(section);
  }

  if (!sections_.empty()) {
    Section& last = sections_.back();
    last.length = SubWrap(track_length_, last.start);
    for (uint32_t j = 0; j < lateral_count; ++j) {
      Line& line = lines_[last.first_line + j];
      line.c = SubWrap(SubWrap(SubWrap(lines_[j].d, line.b), line.a), line.d);
    }
  }
  // The header's 32-bit sizes must describe the whole file, or it would be
  // written with wrapped counts that no reader can follow.
  const uint64_t size = kHeaderSize + uint64_t{4 + kSectionSize} * sections_.size() +
                        uint64_t{kLineSize} * lines_.size() +
                        uint64_t{kSurfaceSize} * surfaces_.size() +
                        uint64_t{kWallSize} * walls_.size();
  if (size > 0xFFFFFFFFu) throw XAssumption("MOTA trk file too large");
}

void MOTATrkFile::BuildWalls(const TrkFile& source, uint32_t i) {
  auto add = [this](double at_start, double at_end, uint32_t value) {
    Wall wall;
    wall.at_start = LengthToUnits(at_start);
    wall.at_end = LengthToUnits(at_end);
    wall.value = value;
    walls_.push_back(wall);
  };
  uint32_t surface_count = source.SurfaceCount(i);
  uint32_t wall_count = source.WallCount(i);

  // A section without strips has no inner or outer edge to wall off; only
  // the source's own walls are kept.
  if (surface_count > 0) {
    double s0 = source.SurfaceFromAtStart(i, 0);
    double e0 = source.SurfaceFromAtEnd(i, 0);
    bool covered = wall_count > 0 && source.WallFromAtStart(i, 0) == s0 &&
                   source.WallFromAtEnd(i, 0) == e0;
    if (!covered) add(s0, e0, 0);
  }

  for (uint32_t w = 0; w < wall_count; ++w) {
    double from_start = source.WallFromAtStart(i, w);
    double from_end = source.WallFromAtEnd(i, w);
    add(from_start, from_end, WallValueFor(source.WallKind(i, w)));
    double to_start = source.WallToAtStart(i, w);
    double to_end = source.WallToAtEnd(i, w);
    if (to_start != from_start || to_end != from_end) add(to_start, to_end, 0);
  }

  if (surface_count > 0) {
    double ls = source.SurfaceToAtStart(i, surface_count - 1);
    double le = source.SurfaceToAtEnd(i, surface_count - 1);
    bool covered = wall_count > 0 && source.WallToAtStart(i, wall_count - 1) == ls &&
                   source.WallToAtEnd(i, wall_count - 1) == le;
    if (!covered) add(ls, le, 0);
  }
}

// ---------------------------------------------------------------------------
// Writing

void MOTATrkFile::Write() {
  SubFile& file = *GetSubFile();
  uint32_t lateral_count = static_cast<uint32_t>(laterals_.size());
  uint32_t section_count = static_cast<uint32_t>(sections_.size());
  uint32_t wall_total = static_cast<uint32_t>(walls_.size());

  std::vector<uint8_t> header_block;
  FieldWriter header(header_block);
  header.U32(kTrackId);
  header.U32(kTrackType);
  header.I32(track_length_);
  header.U32(lateral_count);
  header.U32(section_count);
  header.U32(kSurfaceSize * static_cast<uint32_t>(surfaces_.size()));
  header.U32(kSectionSize * section_count + kWallSize * wall_total);
  for (uint32_t j = 0; j < kMaxLaterals; ++j) header.I32(j < lateral_count ? laterals_[j] : 0);

  std::vector<uint8_t> index_block;
  FieldWriter index(index_block);
  uint32_t offset = 0;
  for (const Section& section : sections_) {
    index.U32(offset);
    offset += kSectionSize + kWallSize * section.wall_count;
  }

  std::vector<uint8_t> line_block;
  FieldWriter lines(line_block);
  for (const Line& line : lines_) {
    lines.I32(line.a);
    lines.I32(line.b);
    lines.I32(line.c);
    lines.I32(line.d);
    lines.I32(TimesWrap(line.a, 3));
    lines.I32(TimesWrap(line.b, 2));
    lines.I32(line.position1);
    lines.I32(line.position2);
  }

  std::vector<uint8_t> surface_block;
  FieldWriter surfaces(surface_block);
  for (const Surface& surface : surfaces_) {
    surfaces.I32(surface.from_at_start);
    surfaces.I32(surface.from_at_end);
    surfaces.U32(surface.value);
  }

  std::vector<uint8_t> section_block;
  FieldWriter records(section_block);
  for (const Section& section : sections_) {
    records.U32(section.kind);
    records.I32(section.start);
    records.I32(section.length);
    records.I32(section.heading);
    for (uint32_t word : section.words) records.U32(word);
    records.U32(section.first_line);
    records.U32(section.surface_count);
    records.U32(section.first_surface);
    records.U32(section.wall_count);
    for (uint32_t w = 0; w < section.wall_count; ++w) {
      const Wall& wall = walls_[section.first_wall + w];
      records.U32(wall.value);
      records.I32(wall.at_start);
      records.I32(wall.at_end);
      records.U32(kWallFiller);
      records.U32(kWallFiller);
    }
  }

  file.Seek(0);
  for (const std::vector<uint8_t>* block :
       {&header_block, &index_block, &line_block, &surface_block, &section_block}) {
    if (!block->empty()) file.Write(static_cast<uint32_t>(block->size()), block->data());
  }
}

// ---------------------------------------------------------------------------
// Queries

const MOTATrkFile::Line& MOTATrkFile::LineAt(uint32_t i, uint32_t j) const {
  return lines_[sections_[i].first_line + j];
}
const MOTATrkFile::Surface& MOTATrkFile::SurfaceAt(uint32_t i, uint32_t k) const {
  return surfaces_[sections_[i].first_surface + k];
}
const MOTATrkFile::Wall& MOTATrkFile::WallAt(uint32_t i, uint32_t w) const {
  return walls_[sections_[i].first_wall + w];
}

double MOTATrkFile::TrackLength() const { return LengthFromUnits(track_length_); }
uint32_t MOTATrkFile::LateralCount() const { return static_cast<uint32_t>(laterals_.size()); }
double MOTATrkFile::LateralOffset(uint32_t j) const { return LengthFromUnits(laterals_[j]); }
uint32_t MOTATrkFile::SectionCount() const { return static_cast<uint32_t>(sections_.size()); }
bool MOTATrkFile::IsCurve(uint32_t i) const { return sections_[i].kind == kCurve; }
bool MOTATrkFile::SectionProximity(uint32_t) const { return false; }
double MOTATrkFile::SectionStart(uint32_t i) const { return LengthFromUnits(sections_[i].start); }
double MOTATrkFile::SectionLength(uint32_t i) const {
  return LengthFromUnits(sections_[i].length);
}
double MOTATrkFile::SectionHeading(uint32_t i) const {
  return HeadingFromUnits(sections_[i].heading);
}
double MOTATrkFile::CurveCentreX(uint32_t i) const {
  return LengthFromUnits(static_cast<int32_t>(sections_[i].words[0]));
}
double MOTATrkFile::CurveCentreY(uint32_t i) const {
  return LengthFromUnits(static_cast<int32_t>(sections_[i].words[1]));
}
double MOTATrkFile::CurveAngle(uint32_t i) const {
  return TurnFromUnits(static_cast<int32_t>(sections_[i].words[2]));
}
uint32_t MOTATrkFile::SectionWordCount(uint32_t i) const { return IsCurve(i) ? 2 : 1; }
const char* MOTATrkFile::SectionWordName(uint32_t i, uint32_t m) const {
  return TrkFile::SectionWordName(i, m);
}
uint32_t MOTATrkFile::SectionWord(uint32_t i, uint32_t m) const {
  const Section& section = sections_[i];
  if (section.kind == kCurve) return m == 0 ? section.words[3] : (m == 1 ? section.words[4] : 0);
  return section.words[4];
}

void MOTATrkFile::LineAltitudes(uint32_t i, LineAltitude* out) const {
  const Line* line = lines_.data() + sections_[i].first_line;
  for (std::size_t j = 0; j < laterals_.size(); ++j) {
    out[j] = {LengthFromUnits(line[j].d), LengthFromUnits(line[j].c), LengthFromUnits(line[j].b),
              LengthFromUnits(line[j].a)};
  }
}
double MOTATrkFile::AltitudeStart(uint32_t i, uint32_t j) const {
  return LengthFromUnits(LineAt(i, j).d);
}
double MOTATrkFile::AltitudeLinear(uint32_t i, uint32_t j) const {
  return LengthFromUnits(LineAt(i, j).c);
}
double MOTATrkFile::AltitudeQuadratic(uint32_t i, uint32_t j) const {
  return LengthFromUnits(LineAt(i, j).b);
}
double MOTATrkFile::AltitudeCubic(uint32_t i, uint32_t j) const {
  return LengthFromUnits(LineAt(i, j).a);
}
double MOTATrkFile::LineStartX(uint32_t i, uint32_t j) const {
  return LengthFromUnits(LineAt(i, j).position1);
}
double MOTATrkFile::LineStartY(uint32_t i, uint32_t j) const {
  return LengthFromUnits(LineAt(i, j).position2);
}
double MOTATrkFile::LineRadius(uint32_t i, uint32_t j) const {
  return LengthFromUnits(LineAt(i, j).position1);
}
uint32_t MOTATrkFile::LineWordCount(uint32_t, uint32_t) const { return 0; }
uint32_t MOTATrkFile::LineWord(uint32_t, uint32_t, uint32_t) const { return 0; }

uint32_t MOTATrkFile::SurfaceCount(uint32_t i) const { return sections_[i].surface_count; }
double MOTATrkFile::SurfaceFromAtStart(uint32_t i, uint32_t k) const {
  return LengthFromUnits(SurfaceAt(i, k).from_at_start);
}
double MOTATrkFile::SurfaceFromAtEnd(uint32_t i, uint32_t k) const {
  return LengthFromUnits(SurfaceAt(i, k).from_at_end);
}
// A strip ends where the next one begins; the last strip ends at the
// section's last wall. A section with strips but no walls gives its last
// strip no width: it ends on its own from boundary.
double MOTATrkFile::SurfaceToAtStart(uint32_t i, uint32_t k) const {
  const Section& section = sections_[i];
  if (k + 1 < section.surface_count) return SurfaceFromAtStart(i, k + 1);
  if (section.wall_count == 0) return SurfaceFromAtStart(i, k);
  return WallFromAtStart(i, section.wall_count - 1);
}
double MOTATrkFile::SurfaceToAtEnd(uint32_t i, uint32_t k) const {
  const Section& section = sections_[i];
  if (k + 1 < section.surface_count) return SurfaceFromAtEnd(i, k + 1);
  if (section.wall_count == 0) return SurfaceFromAtEnd(i, k);
  return WallFromAtEnd(i, section.wall_count - 1);
}
double MOTATrkFile::SurfaceHeight(uint32_t, uint32_t) const { return 0.0; }
bool MOTATrkFile::SurfaceIsWall(uint32_t, uint32_t) const { return false; }

int MOTATrkFile::SurfaceKind(uint32_t i, uint32_t k) const {
  uint32_t v = SurfaceAt(i, k).value;
  if (v <= 6) return 3;
  if (v <= 22) return 4;
  if (v <= 45) return 1;
  if (v <= 54) return 0;
  throw XAssumption("MOTA trk file unknown surface");
}
int MOTATrkFile::SurfaceVariant(uint32_t i, uint32_t k) const {
  int kind = SurfaceKind(i, k);  // throws for values outside the table
  int v = static_cast<int>(SurfaceAt(i, k).value);
  switch (kind) {
    case 3: return v - 6;
    case 4: return v - 22;
    case 1: return v - 45;
    default: return v - 54;
  }
}
uint32_t MOTATrkFile::SurfaceWordCount(uint32_t, uint32_t) const { return 0; }
uint32_t MOTATrkFile::SurfaceWord(uint32_t, uint32_t, uint32_t) const { return 0; }
const char* MOTATrkFile::SurfaceWordName(uint32_t, uint32_t, uint32_t) const { return nullptr; }

uint32_t MOTATrkFile::WallCount(uint32_t i) const { return sections_[i].wall_count; }
double MOTATrkFile::WallFromAtStart(uint32_t i, uint32_t w) const {
  return LengthFromUnits(WallAt(i, w).at_start);
}
double MOTATrkFile::WallFromAtEnd(uint32_t i, uint32_t w) const {
  return LengthFromUnits(WallAt(i, w).at_end);
}
double MOTATrkFile::WallToAtStart(uint32_t i, uint32_t w) const { return WallFromAtStart(i, w); }
double MOTATrkFile::WallToAtEnd(uint32_t i, uint32_t w) const { return WallFromAtEnd(i, w); }
double MOTATrkFile::WallHeight(uint32_t, uint32_t) const { return 1.0; }
int MOTATrkFile::WallKind(uint32_t i, uint32_t w) const {
  switch (WallAt(i, w).value) {
    case 0: return 0;
    case 2: return 2;
    case 4: return 1;
    case 6: return 5;
    default: throw XAssumption("MOTA trk file unknown wall");
  }
}
uint32_t MOTATrkFile::WallWordCount(uint32_t, uint32_t) const { return 0; }
uint32_t MOTATrkFile::WallWord(uint32_t, uint32_t, uint32_t) const { return 0; }
const char* MOTATrkFile::WallWordName(uint32_t, uint32_t, uint32_t) const { return nullptr; }
