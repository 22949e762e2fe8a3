// xq_summary: prints a short human-readable summary of an XQ track file
// (section and lateral counts, kinds of sections, surfaces per section).
// Usage: xq_summary FILE.xq

#include <cstdio>
#include <exception>
#include <map>

#include "trackconv/foundation/sub_file.h"
#include "trackconv/track/xq_trk_reader.h"

namespace {

int Summarise(const char* name) {
  const XQTrkReader track(Handle<SubFile>(new SubFile(name, false, false)));
  const std::vector<int32_t>& laterals = track.Laterals();
  std::printf("%s: %zu sections, %zu laterals\n", name, track.Sections().size(), laterals.size());
  if (!laterals.empty()) {
    std::printf("  lateral offsets (track units):");
    for (int32_t offset : laterals) std::printf(" %d", offset);
    std::printf("\n");
  }

  uint32_t straights = 0, curves = 0;
  int64_t total_length = 0;
  std::map<uint32_t, uint32_t> by_surface_count;
  std::map<uint32_t, uint32_t> by_type;
  for (const XQSection& section : track.Sections()) {
    (section.kind == 1 ? straights : curves) += 1;
    total_length += section.length;
    ++by_surface_count[section.surface_count];
  }
  for (const XQSurface& record : track.Records()) ++by_type[record.type];
  std::printf("  %u straights, %u curves, length %lld track units (%.1f m)\n", straights, curves,
              static_cast<long long>(total_length), LengthFromUnits(static_cast<int32_t>(total_length)));
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
