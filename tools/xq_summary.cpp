// xq_summary: prints a short human-readable summary of an XQ track file
// (section and lateral counts, kinds of sections, surfaces per section).
// Usage: xq_summary FILE.xq

#include <cstdio>
#include <exception>
#include <map>
#include <vector>

#include "trackconv/foundation/byte_order.h"
#include "trackconv/foundation/errors.h"
#include "trackconv/foundation/sub_file.h"

namespace {

constexpr uint32_t kXQTag = 0x58510000u;
constexpr uint32_t kHeaderSize = 24;
constexpr uint32_t kRecordSize = 68;
constexpr uint32_t kSlotCount = 10;
constexpr uint32_t kSlotSize = 16;

int Summarise(const char* name) {
  SubFile file(name, false, false);
  std::vector<uint8_t> header(kHeaderSize);
  file.Read(kHeaderSize, header.data());
  FieldReader fields(header);
  uint32_t tag = fields.U32();
  fields.Skip(12);
  uint32_t sections = fields.U32();
  uint32_t laterals = fields.U32();
  if (tag != kXQTag) throw XAssumption(std::string(name) + ": not an XQ track file");
  uint64_t block = kRecordSize + 8ull * laterals + 4 + kSlotCount * kSlotSize;
  uint64_t expected = kHeaderSize + 4ull * laterals + sections * block;
  if (expected != file.Size())
    throw XAssumption(std::string(name) + ": size " + std::to_string(file.Size()) +
                      " does not match " + std::to_string(sections) + " sections of " +
                      std::to_string(laterals) + " laterals");

  std::vector<uint8_t> lateral_table(4ull * laterals);
  file.Read(static_cast<uint32_t>(lateral_table.size()), lateral_table.data());
  std::printf("%s: %u sections, %u laterals\n", name, sections, laterals);
  if (laterals > 0) {
    std::printf("  lateral offsets (track units):");
    for (uint32_t j = 0; j < laterals; ++j) std::printf(" %d", LoadI32(&lateral_table[4 * j]));
    std::printf("\n");
  }

  uint32_t straights = 0, curves = 0;
  int64_t total_length = 0;
  std::map<uint32_t, uint32_t> by_surface_count;
  std::map<uint32_t, uint32_t> by_type;
  std::vector<uint8_t> section(static_cast<std::size_t>(block));
  for (uint32_t i = 0; i < sections; ++i) {
    file.Read(static_cast<uint32_t>(block), section.data());
    uint32_t kind = LoadU32(&section[0]);
    (kind == 1 ? straights : curves) += 1;
    total_length += LoadI32(&section[32]);
    std::size_t count_at = kRecordSize + 8ull * laterals;
    uint32_t count = LoadU32(&section[count_at]);
    ++by_surface_count[count];
    for (uint32_t s = 0; s < count && s < kSlotCount; ++s)
      ++by_type[LoadU32(&section[count_at + 4 + s * kSlotSize])];
  }
  // A track unit is 1/500 inch: 1/31680 of a mile of 1.609344 km, in metres.
  std::printf("  %u straights, %u curves, length %lld track units (%.1f m)\n", straights, curves,
              static_cast<long long>(total_length), total_length * 3.1565656565656566e-5 * 1.609344);
  std::printf("  surfaces per section:");
  for (const auto& entry : by_surface_count)
    std::printf(" %u in %u section%s", entry.first, entry.second, entry.second == 1 ? "" : "s");
  std::printf("\n  surface and wall types:");
  for (const auto& entry : by_type) std::printf(" type %u x%u", entry.first, entry.second);
  std::printf("\n");
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: xq_summary FILE.xq\n");
    return 2;
  }
  try {
    return Summarise(argv[1]);
  } catch (const std::exception& failure) {
    std::fprintf(stderr, "%s\n", failure.what());
    return 1;
  }
}
