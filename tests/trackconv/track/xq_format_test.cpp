#include "trackconv/track/xq_format.h"

#include <gtest/gtest.h>

#include <cstdint>

namespace {

// What each model kind is written as, and what the reader makes of that
// type again: the reader gives the first kind written as the type.
TEST(XQFormat, KindsAndTypesMapBothWays) {
  struct Surface { int kind, variant; bool known; uint32_t type; int read_kind; };
  const Surface surfaces[] = {
      {0, 0, true, 6, 0}, {0, -1, true, 5, 1}, {1, 0, true, 5, 1}, {2, 0, true, 2, 2},
      {3, 0, true, 0, 3}, {4, 0, true, 2, 2},  {5, 0, true, 2, 2}, {6, 0, false, 0, 0},
      {-1, 0, false, 0, 0},
  };
  for (const Surface& s : surfaces) {
    uint32_t type = 99;
    EXPECT_EQ(xq::SurfaceTypeOf(s.kind, s.variant, type), s.known) << s.kind;
    if (!s.known) continue;
    EXPECT_EQ(type, s.type) << s.kind;
    EXPECT_TRUE(xq::IsSurfaceType(type));
    EXPECT_FALSE(xq::IsWallType(type));
    EXPECT_EQ(xq::SurfaceKindOf(type), s.read_kind) << s.kind;
  }

  struct Wall { int kind; bool known; uint32_t type, flags; int read_kind; };
  const Wall walls[] = {
      {0, true, 8, 12, 0}, {1, true, 7, 12, 1}, {2, true, 7, 14, 2}, {3, true, 8, 12, 0},
      {4, true, 8, 12, 0}, {5, true, 7, 14, 2}, {6, false, 0, 0, 0},  {-1, false, 0, 0, 0},
  };
  for (const Wall& w : walls) {
    uint32_t type = 99, flags = 99;
    EXPECT_EQ(xq::WallTypeOf(w.kind, type, flags), w.known) << w.kind;
    if (!w.known) continue;
    EXPECT_EQ(type, w.type) << w.kind;
    EXPECT_EQ(flags, w.flags) << w.kind;
    EXPECT_TRUE(xq::IsWallType(type));
    EXPECT_FALSE(xq::IsSurfaceType(type));
    EXPECT_EQ(xq::WallKindOf(type, flags), w.read_kind) << w.kind;
  }
  // Flags no writer gives: type 8 is still kind 0, type 7 kind 1.
  EXPECT_EQ(xq::WallKindOf(8, 14), 0);
  EXPECT_EQ(xq::WallKindOf(7, 0), 1);

  for (uint32_t type : {1u, 3u, 4u, 9u, 0x800u, 0xFFFFFFFFu}) {
    EXPECT_FALSE(xq::IsSurfaceType(type)) << type;
    EXPECT_FALSE(xq::IsWallType(type)) << type;
  }
}

TEST(XQFormat, FileSizeCountsEveryRecord) {
  EXPECT_EQ(xq::SectionSize(0), 232u);
  EXPECT_EQ(xq::FileSize(0, 3), 36u);
  EXPECT_EQ(xq::FileSize(2, 3), 24u + 12u + 2u * (232u + 24u));
  EXPECT_EQ(xq::FileSize(0xFFFFu, 0xFFFFFFFFu), 24u + 4ull * 0xFFFFFFFFu + 0xFFFFull * (232u + 8ull * 0xFFFFFFFFu));
  // 2^31 sections of 2^33 bytes are 2^64: counted in 64 bits that would be
  // a file of the header and laterals alone, 4294967204 bytes.
  EXPECT_EQ(xq::FileSize(1u << 31, (1u << 30) - 29), UINT64_MAX);
  EXPECT_EQ(xq::FileSize(0xFFFFFFFFu, 0xFFFFFFFFu), UINT64_MAX);
}

}  // namespace
