#include "trackconv/track/block_reader.h"

#include <algorithm>
#include <cstring>

#include "trackconv/foundation/errors.h"

namespace {
constexpr uint64_t kChunk = 1 << 16;
}  // namespace

BlockReader::BlockReader(SubFile& file) : file_(file) { file_.Seek(0); }

void BlockReader::Require(uint64_t count) {
  const uint64_t buffered = size_ - used_;
  const uint64_t unread = file_.Size() - file_.Position();
  if (count > buffered + unread) throw XFileRead(file_.GetName());
  if (count <= buffered) return;
  // Whether the file underneath holds the block's last byte tells whether
  // one read of the whole block would succeed; if not, that read is made
  // so that it fails just as it would have.
  const uint32_t at = file_.Position();
  const uint64_t needed = count - buffered;
  uint8_t last;
  try {
    file_.Seek(static_cast<uint32_t>(at + needed - 1));
    file_.Read(1, &last);
    file_.Seek(at);
  } catch (const XFileRead&) {
    file_.Seek(at);
    std::vector<uint8_t> whole(static_cast<std::size_t>(needed));
    file_.Read(static_cast<uint32_t>(needed), whole.data());
    file_.Seek(at);
  }
}

std::vector<uint8_t> BlockReader::Next(uint64_t count) {
  Require(count);
  std::vector<uint8_t> block;
  block.reserve(static_cast<std::size_t>(count));
  while (count > 0) {
    const uint32_t piece = static_cast<uint32_t>(std::min(count, kChunk));
    const uint8_t* bytes = Take(piece);
    block.insert(block.end(), bytes, bytes + piece);
    count -= piece;
  }
  return block;
}

void BlockReader::Fill(uint64_t needed) {
  const std::size_t kept = size_ - used_;
  const uint64_t unread = file_.Size() - file_.Position();
  const uint32_t ahead = static_cast<uint32_t>(std::max(needed, std::min(kChunk, unread)));
  if (kept + ahead > capacity_) {
    std::unique_ptr<uint8_t[]> larger(new uint8_t[kept + ahead]);
    if (kept != 0) std::memcpy(larger.get(), buffer_.get() + used_, kept);
    buffer_ = std::move(larger);
    capacity_ = kept + ahead;
  } else if (kept != 0) {
    std::memmove(buffer_.get(), buffer_.get() + used_, kept);
  }
  used_ = 0;
  size_ = kept;
  try {
    file_.Read(ahead, buffer_.get() + kept);
    size_ = kept + ahead;
  } catch (const XFileRead&) {
    // Reading ahead reached bytes the file underneath does not hold; the
    // bytes asked for are all there (Require made sure), so read just them.
    file_.Read(static_cast<uint32_t>(needed), buffer_.get() + kept);
    size_ = kept + static_cast<std::size_t>(needed);
  }
}
