#pragma once
// BlockReader: the consecutive blocks of a track file, read ahead in chunks
// of bounded size so that neither many small reads nor one large buffer
// the size of the file is needed.
//
// It fails exactly where reading each block with one read would: a block
// that runs past the end of the window is refused before anything is read,
// and a block that the file underneath cannot deliver (an archive member
// that claims more bytes than the archive holds) fails before any of its
// records is handed out.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "trackconv/foundation/sub_file.h"

class BlockReader {
 public:
  /// Reads `file` from its start.
  explicit BlockReader(SubFile& file);

  /// The next `count` bytes as one block (XFileRead naming the file when
  /// they are not all there).
  std::vector<uint8_t> Next(uint64_t count);

  /// Hands the next `count` records of `size` bytes each to `record`, one
  /// at a time, as a pointer to its bytes valid during the call. Fails
  /// like Next(count * size) before the first record when they are not all
  /// there.
  template <typename Handler>
  void Records(uint64_t count, uint32_t size, Handler&& record) {
    if (size != 0 && count > UINT64_MAX / size) Require(UINT64_MAX);
    Require(count * size);
    while (count > 0) {
      // The records that lie whole in the buffer go out in one run; one
      // that straddles its end comes through Take, which refills it.
      const uint64_t whole = size == 0 ? count : std::min<uint64_t>(count, (size_ - used_) / size);
      if (whole == 0) {
        record(Take(size));
        --count;
        continue;
      }
      const uint8_t* bytes = buffer_.get() + used_;
      used_ += static_cast<std::size_t>(whole * size);
      for (uint64_t r = 0; r < whole; ++r, bytes += size) record(bytes);
      count -= whole;
    }
  }

  /// Checks that the next `count` bytes can be read, failing as one read of
  /// them would; for sizing memory from untrusted counts only after that.
  void Require(uint64_t count);

 private:
  /// The next `count` bytes (at most one chunk) from the buffer.
  const uint8_t* Take(uint32_t count) {
    if (count > size_ - used_) Fill(count - (size_ - used_));
    const uint8_t* bytes = buffer_.get() + used_;
    used_ += count;
    return bytes;
  }
  void Fill(uint64_t needed);

  SubFile& file_;
  /// Left uninitialised: every byte is read from the file before it is
  /// handed out, and zeroing each chunk first would cost as much again.
  std::unique_ptr<uint8_t[]> buffer_;
  std::size_t capacity_ = 0;
  std::size_t size_ = 0;  ///< bytes of buffer_ read from the file
  std::size_t used_ = 0;  ///< bytes of buffer_ already handed out
};
