#pragma once
// Helpers for the picture and mip tests: bitmaps that free themselves, an
// open file over bytes in memory, and little-endian byte builders.

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "pixmill/bitmap.h"
#include "runtime/file/file.h"

namespace pixmill_test {

using Bytes = std::vector<uint8_t>;

/// A bitmap destroyed with the object; creation must succeed.
class OwnedBitmap {
 public:
  OwnedBitmap(BitmapFormat format, int32_t width, int32_t height) {
    EXPECT_EQ(bitmapCreate(&bitmap_, format, width, height), 1);
  }
  explicit OwnedBitmap(Bitmap* adopted) : bitmap_(adopted) {}
  ~OwnedBitmap() { bitmapDestroy(bitmap_); }
  OwnedBitmap(const OwnedBitmap&) = delete;
  OwnedBitmap& operator=(const OwnedBitmap&) = delete;
  Bitmap* get() const { return bitmap_; }
  Bitmap* operator->() const { return bitmap_; }

 private:
  Bitmap* bitmap_ = nullptr;
};

/// A readable and writable file over a byte vector; seeks may pass the end
/// (reads there fail), as with a stream.
class MemoryFile : public QuorFile {
 public:
  explicit MemoryFile(Bytes bytes = {})
      : QuorFile(kQuorRawFile, "memory"), bytes_(std::move(bytes)) {}

  const Bytes& bytes() const { return bytes_; }

  success Close() override { return 1; }
  success ReadExact(void* buffer, uint32_t count) override {
    if (position_ > bytes_.size() || bytes_.size() - position_ < count) {
      position_ = bytes_.size() > position_ ? bytes_.size() : position_;
      return 0;
    }
    if (count) std::memcpy(buffer, bytes_.data() + position_, count);
    position_ += count;
    return 1;
  }
  success ReadAtMost(uint32_t* got, void* buffer, uint32_t count) override {
    const size_t left = position_ < bytes_.size() ? bytes_.size() - position_ : 0;
    *got = static_cast<uint32_t>(left < count ? left : count);
    if (*got) std::memcpy(buffer, bytes_.data() + position_, *got);
    position_ += *got;
    return 1;
  }
  success Write(const void* data, uint32_t count) override {
    if (failWritesAt_ >= 0 && position_ + count > static_cast<size_t>(failWritesAt_)) {
      return 0;
    }
    if (bytes_.size() < position_ + count) bytes_.resize(position_ + count);
    if (count) std::memcpy(bytes_.data() + position_, data, count);
    position_ += count;
    return 1;
  }
  success SeekFromStart(int32_t offset) override { return moveTo(offset); }
  success SeekFromEnd(int32_t distance) override {
    return moveTo(static_cast<int64_t>(bytes_.size()) - distance);
  }
  success SeekFromCurrent(int32_t offset) override {
    return moveTo(static_cast<int64_t>(position_) + offset);
  }
  uint32_t GetCurrentPosition() override { return static_cast<uint32_t>(position_); }
  uint32_t Size() override { return static_cast<uint32_t>(bytes_.size()); }

  /// Writes that would reach beyond `limit` bytes fail (a full disk).
  void failWritesAt(int64_t limit) { failWritesAt_ = limit; }

 private:
  success moveTo(int64_t position) {
    if (position < 0) return 0;
    position_ = static_cast<size_t>(position);
    return 1;
  }

  Bytes bytes_;
  size_t position_ = 0;
  int64_t failWritesAt_ = -1;
};

/// Appends little-endian values.
inline void put8(Bytes* out, uint32_t value) { out->push_back(static_cast<uint8_t>(value)); }
inline void put16(Bytes* out, uint32_t value) {
  put8(out, value);
  put8(out, value >> 8);
}
inline void put32(Bytes* out, uint32_t value) {
  put16(out, value & 0xFFFF);
  put16(out, value >> 16);
}
inline void putText(Bytes* out, const char* text) {
  out->insert(out->end(), text, text + std::strlen(text));
}

/// Runs `action` and returns what it printed on standard output.
template <typename Action>
std::string printedBy(Action action) {
  testing::internal::CaptureStdout();
  action();
  std::fflush(stdout);
  return testing::internal::GetCapturedStdout();
}

}  // namespace pixmill_test
