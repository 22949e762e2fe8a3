#include "trackconv/track/block_reader.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/temp_dir.h"
#include "trackconv/foundation/disk_file.h"
#include "trackconv/foundation/errors.h"

namespace {

using testing_support::TempDir;

std::vector<uint8_t> Pattern(std::size_t size) {
  std::vector<uint8_t> bytes(size);
  for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<uint8_t>(i * 7 + i / 251);
  return bytes;
}

// Reading ahead in chunks must hand out the same bytes as reading each
// block at once, across chunk boundaries and mixed block kinds.
TEST(BlockReader, HandsOutTheFileInOrderAcrossChunks) {
  TempDir dir;
  const std::vector<uint8_t> bytes = Pattern(400000);
  testing_support::WriteBytes(dir / "t.trk", bytes);
  SubFile file(dir / "t.trk", false, false);
  BlockReader blocks(file);
  std::vector<uint8_t> seen = blocks.Next(5);
  blocks.Records(20000, 12, [&](const uint8_t* r) { seen.insert(seen.end(), r, r + 12); });
  const std::vector<uint8_t> big = blocks.Next(70001);
  seen.insert(seen.end(), big.begin(), big.end());
  blocks.Records(1, 52, [&](const uint8_t* r) { seen.insert(seen.end(), r, r + 52); });
  EXPECT_EQ(seen, std::vector<uint8_t>(bytes.begin(), bytes.begin() + seen.size()));
}

// A member that claims more bytes than its archive holds: blocks inside
// the real data read fine, and a block that crosses its end fails before
// any of its records is handed out, as one read of the block would.
TEST(BlockReader, BlockBeyondWhatTheFileHoldsFailsBeforeItsFirstRecord) {
  TempDir dir;
  testing_support::WriteBytes(dir / "a.dat", Pattern(1000));
  SubFile member(DiskFile::OpenForRead(dir / "a.dat"), "M.TRK", 100, 5000);
  BlockReader blocks(member);
  EXPECT_EQ(blocks.Next(800).size(), 800u);
  int handed_out = 0;
  try {
    blocks.Records(10, 20, [&](const uint8_t*) { ++handed_out; });
    FAIL() << "no error";
  } catch (const XFileRead& error) {
    EXPECT_STREQ(error.what(), "Couldn't read file m.trk");
  }
  EXPECT_EQ(handed_out, 0);

  SubFile whole(dir / "a.dat", false, false);
  BlockReader past_end(whole);
  EXPECT_THROW(past_end.Records(51, 20, [](const uint8_t*) {}), XFileRead);
}

}  // namespace
