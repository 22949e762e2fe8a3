#include "trackconv/track/vtr_trk_file.h"

#include <cmath>
#include <string>

#include "trackconv/foundation/byte_order.h"
#include "trackconv/foundation/errors.h"
#include "trackconv/track/block_reader.h"
#include "trackconv/track/wrap_arithmetic.h"

namespace {

constexpr uint32_t kTrackId = 0x5452414Bu;  // "TRAK"
constexpr uint32_t kVersion = 3000;
constexpr uint32_t kHeaderSize = 92;
constexpr uint32_t kMaxLaterals = 16;
constexpr uint32_t kIndexEntrySize = 4;
constexpr uint32_t kLineSize = 32;
constexpr uint32_t kSurfaceSize = 32;
constexpr uint32_t kSectionSize = 52;

constexpr uint32_t kTypeCodeMask = 0x7FFu;
constexpr uint32_t kWallFlag = 0x800u;
constexpr uint32_t kClosingType = 10;

constexpr uint32_t kStraight = 1;
constexpr uint32_t kCurve = 2;

// Word positions within a section record.
enum SectionWordIndex : std::size_t {
  kKind = 0,
  kStart = 1,
  kLength = 2,
  kHeading = 3,
  kProximity = 4,
  kCentreX = 5,  // straight: cos(heading) * 2^30
  kCentreY = 6,  // straight: sin(heading) * 2^30
  kTurn = 7,     // straight: cos(heading + 90) * 2^30
  kWord8 = 8,    // curve: section word 0; straight: sin(heading + 90) * 2^30
  kWord9 = 9,    // curve: section word 1; straight: section word 0
  kFirstLine = 10,
  kSurfaceRecords = 11,
  kFirstSurface = 12,
};

int32_t Signed(uint32_t word) { return static_cast<int32_t>(word); }
uint32_t Unsigned(int32_t value) { return static_cast<uint32_t>(value); }

uint32_t TypeFromStyle(int kind, int variant) {
  switch (kind) {
    case 0: return variant <= -4 ? 2 : 1;
    case 1: return 3;
    case 2: return 7;
    case 3: return 4;
    case 4: return 6;
    // Code 10 marks the end of a run; writing it for a strip would make the
    // file unreadable to our own queries, so kinds 5 and 6 keep the codes
    // that read back as them.
    case 5: return 5;
    case 6: return 9;
    default: throw XAssumption("VTR trk unsupported surface type");
  }
}

int32_t UnitVector(double radians) {
  return static_cast<int32_t>(std::cos(radians) * 1073741824.0);
}

}  // namespace

VTRTrkFile::VTRTrkFile(const Handle<SubFile>& file) : TrkFile(file) { Read(); }

VTRTrkFile::~VTRTrkFile() = default;

void VTRTrkFile::Read() {
  SubFile& file = *GetSubFile();
  const std::string& name = file.GetName();
  auto fail = [&name](const char* text) { throw XAssumption(name + text); };

  BlockReader blocks(file);
  const std::vector<uint8_t> header_block = blocks.Next(kHeaderSize);
  const uint8_t* header = header_block.data();
  if (LoadU32(header + 0) != kTrackId) fail(": VTR trk file id not TRAK");
  if (LoadU32(header + 4) != kVersion) fail(": VTR trk file version not 3000");
  track_length_ = LoadI32(header + 8);
  const uint32_t lateral_count = LoadU32(header + 12);
  const uint32_t section_count = LoadU32(header + 16);
  const uint32_t surface_bytes = LoadU32(header + 20);
  const uint32_t section_bytes = LoadU32(header + 24);
  // The header holds 16 offsets; a larger count would read past it, and a
  // track needs at least one line to carry its altitude.
  if (lateral_count == 0) fail(": VTR trk file has no laterals");
  if (lateral_count > kMaxLaterals) fail(": VTR trk file has too many laterals");
  for (uint32_t j = 0; j < lateral_count; ++j) laterals_.push_back(LoadI32(header + 28 + 4 * j));

  // All sizes in 64 bits: a count that wraps in 32 must not pass.
  const uint64_t sections = section_count;
  if (section_bytes != kSectionSize * sections) fail(": VTR trk section length mismatch");
  const uint64_t index_bytes = kIndexEntrySize * sections;
  const uint64_t line_bytes = kLineSize * uint64_t{lateral_count} * sections;
  const uint64_t expected_size =
      kHeaderSize + index_bytes + line_bytes + surface_bytes + kSectionSize * sections;
  if (file.Size() != expected_size) fail(": VTR trk file size mismatch");

  // From here every block fits in the file, so every size fits 32 bits.
  // The blocks are read in bounded chunks, each checked whole first.
  blocks.Require(index_bytes);
  uint32_t index = 0;
  blocks.Records(sections, kIndexEntrySize, [&](const uint8_t* entry) {
    if (LoadU32(entry) != kSectionSize * index++) fail(": VTR trk file section header index error");
  });

  blocks.Require(line_bytes);
  lines_.reserve(static_cast<std::size_t>(sections * lateral_count));
  blocks.Records(sections * lateral_count, kLineSize, [&](const uint8_t* record) {
    LineRecord line;
    line.a = LoadI32(record + 0);
    line.b = LoadI32(record + 4);
    line.c = LoadI32(record + 8);
    line.d = LoadI32(record + 12);
    const int32_t delta4 = LoadI32(record + 16);
    const int32_t delta5 = LoadI32(record + 20);
    line.position1 = LoadI32(record + 24);
    line.position2 = LoadI32(record + 28);
    // 3a and 2b as a 32-bit field holds them (wrapping), or the stored
    // derivative coefficient divided back with truncation.
    if (3u * Unsigned(line.a) != Unsigned(delta4) && line.a != delta4 / 3) {
      fail(": VTR trk file altitude delta 4 error");
    }
    if (2u * Unsigned(line.b) != Unsigned(delta5) && line.b != delta5 / 2) {
      fail(": VTR trk file altitude delta 5 error");
    }
    lines_.push_back(line);
  });

  blocks.Require(surface_bytes);
  const uint32_t surface_count = surface_bytes / kSurfaceSize;
  surfaces_.reserve(surface_count);
  blocks.Records(surface_count, kSurfaceSize, [&](const uint8_t* record) {
    SurfaceRecord surface;
    surface.at_start = LoadI32(record + 0);
    surface.at_end = LoadI32(record + 4);
    surface.type = LoadU32(record + 8);
    surface.raw0 = LoadU32(record + 12);
    surface.height = LoadI32(record + 16);
    surface.raw1 = LoadU32(record + 20);
    if (LoadU32(record + 24) != 0) fail(": VTR trk file seventh surface value not zero");
    if (LoadU32(record + 28) != 0) fail(": VTR trk file eighth surface value not zero");
    surfaces_.push_back(surface);
  });
  blocks.Next(surface_bytes % kSurfaceSize);  // a partial record is skipped
  // Every run ends in a closing record, so a track has at least one.
  if (surfaces_.empty()) fail(": VTR trk file has no surface records");
  if (surfaces_.back().type != kClosingType) fail(": VTR trk file last surface type not 10");

  blocks.Require(kSectionSize * sections);
  sections_.reserve(section_count);
  // The length total wraps like the stored fields, so the sum of lengths
  // the builder stores always meets the stored track length; the surface
  // total is kept wide so that huge counts cannot wrap past the size check.
  int32_t length_so_far = 0;
  uint64_t surfaces_so_far = 0;
  uint32_t i = 0;
  blocks.Records(sections, kSectionSize, [&](const uint8_t* record) {
    SectionRecord section;
    for (std::size_t w = 0; w < section.size(); ++w) section[w] = LoadU32(record + 4 * w);
    if (section[kKind] != kStraight && section[kKind] != kCurve) {
      fail(": VTR trk file unknown section type");
    }
    if (section[kFirstLine] != uint64_t{i} * lateral_count) fail(": VTR trk file pieces index error");
    if (Signed(section[kStart]) != length_so_far) fail(": VTR trk file section start error");
    if (section[kProximity] != 0 && section[kProximity] != 1) {
      fail(": VTR trk file unknown proximity");
    }
    if (section[kFirstSurface] != surfaces_so_far) fail(": VTR trk file surface start error");
    // The strip count is this number less one; zero would make it 2^32 - 1.
    if (section[kSurfaceRecords] == 0) fail(": VTR trk file section has no surface records");
    length_so_far = AddWrap(length_so_far, Signed(section[kLength]));
    surfaces_so_far += section[kSurfaceRecords];
    sections_.push_back(section);
    ++i;
  });
  if (length_so_far != track_length_) fail(": VTR trk file total length error");
  if (kSurfaceSize * surfaces_so_far != surface_bytes) {
    fail(": VTR trk file total surface length error");
  }
}

VTRTrkFile::VTRTrkFile(const Handle<SubFile>& file, const Handle<TrkFile>& source_handle)
    : TrkFile(file) {
  const TrkFile& source = *source_handle;
  const uint32_t lateral_count = source.LateralCount();
  if (lateral_count > kMaxLaterals) throw XAssumption("VTR trk file supports too few laterals");
  // Neither could be read back: the reader refuses both.
  if (lateral_count == 0) throw XAssumption("VTR trk file needs at least one lateral");
  for (uint32_t j = 0; j < lateral_count; ++j) {
    laterals_.push_back(LengthToUnits(source.LateralOffset(j)));
  }
  track_length_ = LengthToUnits(source.TrackLength());
  const uint32_t section_count = source.SectionCount();
  if (section_count == 0) throw XAssumption("VTR trk file needs at least one section");
  sections_.reserve(section_count);
  lines_.reserve(uint64_t{section_count} * lateral_count);

  for (uint32_t i = 0; i < section_count; ++i) {
    SectionRecord section{};
    const bool curve = source.IsCurve(i);
    section[kKind] = curve ? kCurve : kStraight;
    section[kStart] = Unsigned(LengthToUnits(source.SectionStart(i)));
    // Lengths follow from the starts, so the starts always chain.
    if (i > 0) {
      SectionRecord& previous = sections_.back();
      previous[kLength] = Unsigned(SubWrap(Signed(section[kStart]), Signed(previous[kStart])));
    }
    section[kLength] = Unsigned(SubWrap(track_length_, Signed(section[kStart])));
    const int32_t heading = HeadingToUnits(source.SectionHeading(i));
    section[kHeading] = Unsigned(heading);
    section[kProximity] = source.SectionProximity(i) ? 1 : 0;
    if (curve) {
      section[kCentreX] = Unsigned(LengthToUnits(source.CurveCentreX(i)));
      section[kCentreY] = Unsigned(LengthToUnits(source.CurveCentreY(i)));
      section[kTurn] = Unsigned(TurnToUnits(source.CurveAngle(i)));
      section[kWord8] = source.SectionWord(i, 0);
      section[kWord9] = source.SectionWord(i, 1);
    } else {
      // From the stored heading, not the double, so the vectors match it.
      const double h = heading * Pi * 0x1p-31;
      const double h90 = (heading + 1073741824.0) * Pi * 0x1p-31;
      section[kCentreX] = Unsigned(UnitVector(h));
      section[kCentreY] = Unsigned(static_cast<int32_t>(std::sin(h) * 1073741824.0));
      section[kTurn] = Unsigned(UnitVector(h90));
      section[kWord8] = Unsigned(static_cast<int32_t>(std::sin(h90) * 1073741824.0));
      section[kWord9] = source.SectionWord(i, 0);
    }
    const uint32_t strip_count = source.SurfaceCount(i);
    section[kFirstLine] = i * lateral_count;
    section[kSurfaceRecords] = strip_count + 1;
    section[kFirstSurface] = static_cast<uint32_t>(surfaces_.size());
    sections_.push_back(section);

    for (uint32_t j = 0; j < lateral_count; ++j) {
      LineRecord line;
      line.d = LengthToUnits(source.AltitudeStart(i, j));
      line.a = LengthToUnits(source.AltitudeCubic(i, j));
      line.b = LengthToUnits(source.AltitudeQuadratic(i, j));
      line.c = 0;  // set once the next section's start altitude is known
      if (curve) {
        line.position1 = LengthToUnits(source.LineRadius(i, j));
        line.position2 = 0;
      } else {
        line.position1 = LengthToUnits(source.LineStartX(i, j));
        line.position2 = LengthToUnits(source.LineStartY(i, j));
      }
      lines_.push_back(line);
    }
    if (i > 0) {
      for (uint32_t j = 0; j < lateral_count; ++j) {
        LineRecord& before = lines_[(i - 1) * lateral_count + j];
        const LineRecord& now = lines_[i * lateral_count + j];
        before.c = SubWrap(SubWrap(SubWrap(now.d, before.d), before.a), before.b);
      }
    }

    for (uint32_t k = 0; k < strip_count; ++k) {
      SurfaceRecord surface;
      surface.at_start = LengthToUnits(source.SurfaceFromAtStart(i, k));
      surface.at_end = LengthToUnits(source.SurfaceFromAtEnd(i, k));
      surface.height = LengthToUnits(source.SurfaceHeight(i, k));
      surface.type = TypeFromStyle(source.SurfaceKind(i, k), source.SurfaceVariant(i, k));
      surface.raw0 = 0;
      surface.raw1 = 0;
      surfaces_.push_back(surface);
    }
    // A section without strips still gets its closing record; with no last
    // strip to take the boundary from, it lies on the centre line.
    SurfaceRecord closing{0, 0, 0, kClosingType, 0, 0};
    if (strip_count > 0) {
      closing.at_start = LengthToUnits(source.SurfaceToAtStart(i, strip_count - 1));
      closing.at_end = LengthToUnits(source.SurfaceToAtEnd(i, strip_count - 1));
    }
    surfaces_.push_back(closing);
  }
  for (uint32_t j = 0; j < lateral_count; ++j) {
    LineRecord& last = lines_[(section_count - 1) * lateral_count + j];
    last.c = SubWrap(SubWrap(SubWrap(lines_[j].d, last.b), last.a), last.d);
  }
  // The header's 32-bit sizes must hold the file, or it would be written
  // with wrapped counts.
  const uint64_t size = kHeaderSize + (kIndexEntrySize + kSectionSize) * uint64_t{section_count} +
                        kLineSize * uint64_t{lines_.size()} +
                        kSurfaceSize * uint64_t{surfaces_.size()};
  if (size > 0xFFFFFFFFu) throw XAssumption("VTR trk file too large");
}

void VTRTrkFile::Write() {
  SubFile& file = *GetSubFile();
  const uint32_t section_count = static_cast<uint32_t>(sections_.size());
  std::vector<uint8_t> block;
  FieldWriter out(block);

  out.U32(kTrackId);
  out.U32(kVersion);
  out.I32(track_length_);
  out.U32(static_cast<uint32_t>(laterals_.size()));
  out.U32(section_count);
  out.U32(kSurfaceSize * static_cast<uint32_t>(surfaces_.size()));
  out.U32(kSectionSize * section_count);
  for (uint32_t j = 0; j < kMaxLaterals; ++j) out.I32(j < laterals_.size() ? laterals_[j] : 0);
  file.Seek(0);
  file.Write(static_cast<uint32_t>(block.size()), block.data());

  block.clear();
  for (uint32_t i = 0; i < section_count; ++i) out.U32(kSectionSize * i);
  file.Write(static_cast<uint32_t>(block.size()), block.data());

  block.clear();
  for (const LineRecord& line : lines_) {
    out.I32(line.a);
    out.I32(line.b);
    out.I32(line.c);
    out.I32(line.d);
    out.U32(3u * Unsigned(line.a));
    out.U32(2u * Unsigned(line.b));
    out.I32(line.position1);
    out.I32(line.position2);
  }
  file.Write(static_cast<uint32_t>(block.size()), block.data());

  block.clear();
  for (const SurfaceRecord& surface : surfaces_) {
    out.I32(surface.at_start);
    out.I32(surface.at_end);
    out.U32(surface.type);
    out.U32(surface.raw0);
    out.I32(surface.height);
    out.U32(surface.raw1);
    out.U32(0);
    out.U32(0);
  }
  file.Write(static_cast<uint32_t>(block.size()), block.data());

  block.clear();
  for (const SectionRecord& section : sections_) {
    for (uint32_t word : section) out.U32(word);
  }
  file.Write(static_cast<uint32_t>(block.size()), block.data());
}

const VTRTrkFile::LineRecord& VTRTrkFile::Line(uint32_t i, uint32_t j) const {
  return lines_[sections_[i][kFirstLine] + j];
}

const VTRTrkFile::SurfaceRecord& VTRTrkFile::Surface(uint32_t i, uint32_t k) const {
  return surfaces_[sections_[i][kFirstSurface] + k];
}

uint32_t VTRTrkFile::WallRecord(uint32_t i, uint32_t w) const {
  // Bounded by the section's strips, though callers keep w below WallCount.
  const uint32_t first = sections_[i][kFirstSurface];
  const uint32_t strips = sections_[i][kSurfaceRecords] - 1;
  uint32_t seen = 0;
  for (uint32_t r = first; r < first + strips; ++r) {
    if ((surfaces_[r].type & kWallFlag) && seen++ == w) return r;
  }
  throw XAssumption("VTR trk file wall index out of range");
}

double VTRTrkFile::TrackLength() const { return LengthFromUnits(track_length_); }
uint32_t VTRTrkFile::LateralCount() const { return static_cast<uint32_t>(laterals_.size()); }
double VTRTrkFile::LateralOffset(uint32_t j) const { return LengthFromUnits(laterals_[j]); }
uint32_t VTRTrkFile::SectionCount() const { return static_cast<uint32_t>(sections_.size()); }
bool VTRTrkFile::IsCurve(uint32_t i) const { return sections_[i][kKind] == kCurve; }
bool VTRTrkFile::SectionProximity(uint32_t i) const { return sections_[i][kProximity] == 1; }
double VTRTrkFile::SectionStart(uint32_t i) const { return LengthFromUnits(Signed(sections_[i][kStart])); }
double VTRTrkFile::SectionLength(uint32_t i) const { return LengthFromUnits(Signed(sections_[i][kLength])); }
double VTRTrkFile::SectionHeading(uint32_t i) const { return HeadingFromUnits(Signed(sections_[i][kHeading])); }
double VTRTrkFile::CurveCentreX(uint32_t i) const { return LengthFromUnits(Signed(sections_[i][kCentreX])); }
double VTRTrkFile::CurveCentreY(uint32_t i) const { return LengthFromUnits(Signed(sections_[i][kCentreY])); }
double VTRTrkFile::CurveAngle(uint32_t i) const { return TurnFromUnits(Signed(sections_[i][kTurn])); }
uint32_t VTRTrkFile::SectionWordCount(uint32_t i) const { return IsCurve(i) ? 2 : 1; }
const char* VTRTrkFile::SectionWordName(uint32_t i, uint32_t m) const {
  return TrkFile::SectionWordName(i, m);
}
uint32_t VTRTrkFile::SectionWord(uint32_t i, uint32_t m) const {
  if (IsCurve(i)) {
    if (m == 0) return sections_[i][kWord8];
    if (m == 1) return sections_[i][kWord9];
    return 0;
  }
  return m == 0 ? sections_[i][kWord9] : 0;
}

void VTRTrkFile::LineAltitudes(uint32_t i, LineAltitude* out) const {
  const LineRecord* line = lines_.data() + sections_[i][kFirstLine];
  for (std::size_t j = 0; j < laterals_.size(); ++j) {
    out[j] = {LengthFromUnits(line[j].d), LengthFromUnits(line[j].c), LengthFromUnits(line[j].b),
              LengthFromUnits(line[j].a)};
  }
}
double VTRTrkFile::AltitudeStart(uint32_t i, uint32_t j) const { return LengthFromUnits(Line(i, j).d); }
double VTRTrkFile::AltitudeLinear(uint32_t i, uint32_t j) const { return LengthFromUnits(Line(i, j).c); }
double VTRTrkFile::AltitudeQuadratic(uint32_t i, uint32_t j) const { return LengthFromUnits(Line(i, j).b); }
double VTRTrkFile::AltitudeCubic(uint32_t i, uint32_t j) const { return LengthFromUnits(Line(i, j).a); }
double VTRTrkFile::LineStartX(uint32_t i, uint32_t j) const { return LengthFromUnits(Line(i, j).position1); }
double VTRTrkFile::LineStartY(uint32_t i, uint32_t j) const { return LengthFromUnits(Line(i, j).position2); }
double VTRTrkFile::LineRadius(uint32_t i, uint32_t j) const { return LengthFromUnits(Line(i, j).position1); }
uint32_t VTRTrkFile::LineWordCount(uint32_t, uint32_t) const { return 0; }
uint32_t VTRTrkFile::LineWord(uint32_t, uint32_t, uint32_t) const { return 0; }

uint32_t VTRTrkFile::SurfaceCount(uint32_t i) const { return sections_[i][kSurfaceRecords] - 1; }
double VTRTrkFile::SurfaceFromAtStart(uint32_t i, uint32_t k) const { return LengthFromUnits(Surface(i, k).at_start); }
double VTRTrkFile::SurfaceFromAtEnd(uint32_t i, uint32_t k) const { return LengthFromUnits(Surface(i, k).at_end); }
double VTRTrkFile::SurfaceToAtStart(uint32_t i, uint32_t k) const { return LengthFromUnits(Surface(i, k + 1).at_start); }
double VTRTrkFile::SurfaceToAtEnd(uint32_t i, uint32_t k) const { return LengthFromUnits(Surface(i, k + 1).at_end); }
double VTRTrkFile::SurfaceHeight(uint32_t i, uint32_t k) const {
  const SurfaceRecord& surface = Surface(i, k);
  return (surface.type & kWallFlag) ? 0.0 : LengthFromUnits(surface.height);
}
bool VTRTrkFile::SurfaceIsWall(uint32_t i, uint32_t k) const { return (Surface(i, k).type & kWallFlag) != 0; }

namespace {
struct Style {
  int kind;
  int variant;
};

Style StyleOf(uint32_t type) {
  if (type & kWallFlag) return {0, 0};
  switch (type & kTypeCodeMask) {
    case 1: return {0, 0};
    case 2: return {0, -4};
    case 3: return {1, 0};
    case 4: return {3, 0};
    case 5: return {5, 0};
    case 6: return {4, 0};
    case 7: return {2, 0};
    case 9: return {6, 0};
    default: throw XAssumption("VTR trk file unknown surface");
  }
}
}  // namespace

int VTRTrkFile::SurfaceKind(uint32_t i, uint32_t k) const { return StyleOf(Surface(i, k).type).kind; }
int VTRTrkFile::SurfaceVariant(uint32_t i, uint32_t k) const { return StyleOf(Surface(i, k).type).variant; }
uint32_t VTRTrkFile::SurfaceWordCount(uint32_t i, uint32_t k) const { return SurfaceIsWall(i, k) ? 0 : 2; }
uint32_t VTRTrkFile::SurfaceWord(uint32_t i, uint32_t k, uint32_t m) const {
  const SurfaceRecord& surface = Surface(i, k);
  if (m == 0) return surface.raw0;
  if (m == 1) return surface.raw1;
  return 0;
}
const char* VTRTrkFile::SurfaceWordName(uint32_t, uint32_t, uint32_t) const { return nullptr; }

uint32_t VTRTrkFile::WallCount(uint32_t i) const {
  const uint32_t first = sections_[i][kFirstSurface];
  const uint32_t strips = sections_[i][kSurfaceRecords] - 1;
  uint32_t count = 0;
  for (uint32_t r = first; r < first + strips; ++r) {
    if (surfaces_[r].type & kWallFlag) ++count;
  }
  return count;
}
double VTRTrkFile::WallFromAtStart(uint32_t i, uint32_t w) const { return LengthFromUnits(surfaces_[WallRecord(i, w)].at_start); }
double VTRTrkFile::WallFromAtEnd(uint32_t i, uint32_t w) const { return LengthFromUnits(surfaces_[WallRecord(i, w)].at_end); }
double VTRTrkFile::WallToAtStart(uint32_t i, uint32_t w) const { return LengthFromUnits(surfaces_[WallRecord(i, w) + 1].at_start); }
double VTRTrkFile::WallToAtEnd(uint32_t i, uint32_t w) const { return LengthFromUnits(surfaces_[WallRecord(i, w) + 1].at_end); }
double VTRTrkFile::WallHeight(uint32_t i, uint32_t w) const { return LengthFromUnits(surfaces_[WallRecord(i, w)].height); }
int VTRTrkFile::WallKind(uint32_t i, uint32_t w) const {
  switch (surfaces_[WallRecord(i, w)].type & kTypeCodeMask) {
    case 1:
    case 2: return 0;
    case 4: return 3;
    case 5:
    case 10:
    case 11: return 2;
    case 6: return 4;
    default: return 6;
  }
}
uint32_t VTRTrkFile::WallWordCount(uint32_t, uint32_t) const { return 3; }
uint32_t VTRTrkFile::WallWord(uint32_t i, uint32_t w, uint32_t m) const {
  const SurfaceRecord& wall = surfaces_[WallRecord(i, w)];
  if (m == 2) return wall.type & ~kWallFlag;
  if (m == 0) return wall.raw0;
  if (m == 1) return wall.raw1;
  return 0;
}
const char* VTRTrkFile::WallWordName(uint32_t, uint32_t, uint32_t) const { return nullptr; }
