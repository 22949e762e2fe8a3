#include "trackconv/track/block_reader.h"

#include <algorithm>

#include "trackconv/foundation/errors.h"

namespace {
constexpr uint64_t kChunk = 1 << 16;
}  // namespace

BlockReader::BlockReader(SubFile& file) : file_(file) { file_.Seek(0); }

void BlockReader::Require(uint64_t count) {
  const uint64_t buffered = buffer_.size() - used_;
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
  buffer_.erase(buffer_.begin(), buffer_.begin() + static_cast<std::ptrdiff_t>(used_));
  used_ = 0;
  const std::size_t kept = buffer_.size();
  const uint64_t unread = file_.Size() - file_.Position();
  const uint32_t ahead = static_cast<uint32_t>(std::max(needed, std::min(kChunk, unread)));
  buffer_.resize(kept + ahead);
  try {
    file_.Read(ahead, buffer_.data() + kept);
  } catch (const XFileRead&) {
    // Reading ahead reached bytes the file underneath does not hold; the
    // bytes asked for are all there (Require made sure), so read just them.
    buffer_.resize(kept + static_cast<std::size_t>(needed));
    file_.Read(static_cast<uint32_t>(needed), buffer_.data() + kept);
  }
}
