#pragma once
// The XQ track file as it lies on disk: the sizes of its records, the
// units of its integers and the record types that stand for the model's
// surface and wall kinds. The writer and the reader both take the format
// from here, so a file one writes is a file the other reads.

#include <cstdint>
#include <cstddef>

/// One section as the XQ file stores it, less the words computed on write.
struct XQSection {
  uint32_t kind = 0;  // 1 straight, 2 curve
  int32_t start_x = 0;
  int32_t start_y = 0;
  int32_t end_x = 0;
  int32_t end_y = 0;
  int32_t start_distance = 0;
  int32_t length = 0;
  int32_t centre_x = 0;
  int32_t centre_y = 0;
  int32_t start_radial_y = 0;
  int32_t start_radial_x = 0;
  int32_t end_radial_y = 0;
  int32_t end_radial_x = 0;
  int32_t radius = 0;
  uint32_t surface_count = 0;
  uint32_t first_surface = 0;
};

/// A boundary line across a section and what begins on it.
struct XQSurface {
  uint32_t type = 0;
  uint32_t flags = 0;
  int32_t lateral_at_start = 0;
  int32_t lateral_at_end = 0;
};

/// Altitude (track units) and grade (xq::kDegreesPerGrade) at a section's end.
struct XQSample {
  int32_t altitude = 0;
  int32_t grade = 0;
};

namespace xq {

// ---- layout ----

constexpr uint32_t kFormatTag = 0x58510000u;  // 'X' 'Q' 0 0
/// Tag, three version words, section count, lateral count.
constexpr uint32_t kHeaderSize = 24;
/// Kind, next, previous and the fourteen position words of a section.
constexpr uint32_t kSectionRecordSize = 68;
/// Altitude and grade of one lateral line at a section's end.
constexpr uint32_t kSampleSize = 8;
/// Type, flags and the two lateral positions of one surface or wall.
constexpr uint32_t kSurfaceRecordSize = 16;
/// Most surface and wall records one section can carry.
constexpr uint32_t kMaxSurfaces = 10;
/// The fixed table of surface records, unused slots zero.
constexpr uint32_t kSurfaceTableSize = kMaxSurfaces * kSurfaceRecordSize;

/// Bytes of one section: its record, one sample per lateral, the count of
/// records and their table.
constexpr uint64_t SectionSize(uint32_t lateral_count) {
  return kSectionRecordSize + uint64_t{kSampleSize} * lateral_count + 4 + kSurfaceTableSize;
}

/// Bytes of a whole file: 24 + 4·L + S·(232 + 8·L). Counts that no 64-bit
/// size holds give the largest one, so that no header can claim a size
/// that wrapped round to the length of a much shorter file.
constexpr uint64_t FileSize(uint32_t section_count, uint32_t lateral_count) {
  const uint64_t fixed = kHeaderSize + uint64_t{4} * lateral_count;
  const uint64_t section = SectionSize(lateral_count);
  if (section_count > (UINT64_MAX - fixed) / section) return UINT64_MAX;
  return fixed + section_count * section;
}

// ---- units ----

/// A grade step, in degrees.
constexpr double kDegreesPerGrade = 0.007;
/// Degrees to grade steps by one product, the factor written as it has
/// always been multiplied (it is the double nearest 1 / 0.007).
constexpr double kGradesPerDegree = 142.85714285714286;
static_assert(kGradesPerDegree == 1.0 / kDegreesPerGrade, "the grade factors disagree");

// ---- record types ----

/// Types below this are surfaces, types from it on walls.
constexpr uint32_t kFirstWallType = 7;
/// The flags of every surface record.
constexpr uint32_t kSurfaceFlags = 12;

/// The type of each surface kind of the model (kind 0 with a negative
/// variant is written as kind 1).
constexpr uint32_t kSurfaceTypes[] = {6, 5, 2, 0, 2, 2};

/// The type and flags of each wall kind of the model.
struct WallRecordType {
  uint32_t type;
  uint32_t flags;
};
constexpr WallRecordType kWallTypes[] = {{8, 12}, {7, 12}, {7, 14}, {8, 12}, {8, 12}, {7, 14}};

constexpr std::size_t kSurfaceKinds = sizeof kSurfaceTypes / sizeof kSurfaceTypes[0];
constexpr std::size_t kWallKinds = sizeof kWallTypes / sizeof kWallTypes[0];

/// The type a surface of `kind` is written as; false for a kind the format has no type for.
inline bool SurfaceTypeOf(int kind, int variant, uint32_t& type) {
  if (kind < 0 || static_cast<std::size_t>(kind) >= kSurfaceKinds) return false;
  type = kSurfaceTypes[kind == 0 && variant < 0 ? 1 : kind];
  return true;
}

/// The type and flags a wall of `kind` is written as; false for a kind the format has no type for.
inline bool WallTypeOf(int kind, uint32_t& type, uint32_t& flags) {
  if (kind < 0 || static_cast<std::size_t>(kind) >= kWallKinds) return false;
  type = kWallTypes[kind].type;
  flags = kWallTypes[kind].flags;
  return true;
}

/// The first kind written as surface `type`, or -1 when no kind is.
inline int SurfaceKindOf(uint32_t type) {
  for (std::size_t kind = 0; kind < kSurfaceKinds; ++kind)
    if (kSurfaceTypes[kind] == type) return static_cast<int>(kind);
  return -1;
}

/// The first kind written as wall `type` with `flags`, else the first
/// written as `type` with any flags; -1 when no kind is written as `type`.
inline int WallKindOf(uint32_t type, uint32_t flags) {
  int any = -1;
  for (std::size_t kind = 0; kind < kWallKinds; ++kind) {
    if (kWallTypes[kind].type != type) continue;
    if (kWallTypes[kind].flags == flags) return static_cast<int>(kind);
    if (any < 0) any = static_cast<int>(kind);
  }
  return any;
}

inline bool IsSurfaceType(uint32_t type) { return type < kFirstWallType && SurfaceKindOf(type) >= 0; }
inline bool IsWallType(uint32_t type) { return type >= kFirstWallType && WallKindOf(type, 0) >= 0; }

}  // namespace xq
