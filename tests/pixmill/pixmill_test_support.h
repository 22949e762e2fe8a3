#pragma once
// Helpers for the picture and mip tests: bitmaps that free themselves, an
// open file over bytes in memory, little-endian byte builders.

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "pixmill/bitmap.h"
#include "runtime/file/file.h"

namespace pixmill_test {

using Bytes = std::vector<uint8_t>;

/// A bitmap destroyed with the object.
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

/// A readable and writable file over bytes; writes reaching beyond
/// `writable` bytes fail like a full disk.
class MemoryFile : public QuorFile {
 public:
  explicit MemoryFile(Bytes bytes = {}, size_t writable = SIZE_MAX)
      : QuorFile(kQuorRawFile, "memory"), bytes_(std::move(bytes)), writable_(writable) {}
  const Bytes& bytes() const { return bytes_; }

  success Close() override { return 1; }
  success ReadExact(void* buffer, uint32_t count) override {
    uint32_t got = 0;
    return ReadAtMost(&got, buffer, count) && got == count;
  }
  success ReadAtMost(uint32_t* got, void* buffer, uint32_t count) override {
    const size_t left = at_ < bytes_.size() ? bytes_.size() - at_ : 0;
    *got = static_cast<uint32_t>(left < count ? left : count);
    if (*got) std::memcpy(buffer, bytes_.data() + at_, *got);
    at_ += *got;
    return 1;
  }
  success Write(const void* data, uint32_t count) override {
    if (at_ + count > writable_) return 0;
    if (bytes_.size() < at_ + count) bytes_.resize(at_ + count);
    if (count) std::memcpy(bytes_.data() + at_, data, count);
    at_ += count;
    return 1;
  }
  success SeekFromStart(int32_t offset) override { return moveTo(offset); }
  success SeekFromEnd(int32_t distance) override {
    return moveTo(static_cast<int64_t>(bytes_.size()) - distance);
  }
  success SeekFromCurrent(int32_t offset) override {
    return moveTo(static_cast<int64_t>(at_) + offset);
  }
  uint32_t GetCurrentPosition() override { return static_cast<uint32_t>(at_); }
  uint32_t Size() override { return static_cast<uint32_t>(bytes_.size()); }

 private:
  success moveTo(int64_t position) {
    if (position < 0) return 0;
    at_ = static_cast<size_t>(position);
    return 1;
  }
  Bytes bytes_;
  size_t writable_;
  size_t at_ = 0;
};

inline void put8(Bytes* out, uint32_t value) { out->push_back(static_cast<uint8_t>(value)); }
inline void put16(Bytes* out, uint32_t value) {
  put8(out, value);
  put8(out, value >> 8);
}
inline void put32(Bytes* out, uint32_t value) {
  put16(out, value & 0xFFFF);
  put16(out, value >> 16);
}

/// What `action` printed on standard output.
template <typename Action>
std::string printedBy(Action action) {
  testing::internal::CaptureStdout();
  action();
  return testing::internal::GetCapturedStdout();
}

}  // namespace pixmill_test
