#pragma once
// Little-endian encoding and decoding of record fields. Records are read
// and written as byte blocks and converted field by field, never by copying
// a struct's memory.

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

inline uint16_t LoadU16(const uint8_t* p) {
  return static_cast<uint16_t>(p[0] | (p[1] << 8));
}
inline uint32_t LoadU32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
         (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}
inline int16_t LoadI16(const uint8_t* p) { return static_cast<int16_t>(LoadU16(p)); }
inline int32_t LoadI32(const uint8_t* p) { return static_cast<int32_t>(LoadU32(p)); }

inline void StoreU16(uint8_t* p, uint16_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
}
inline void StoreU32(uint8_t* p, uint32_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
  p[2] = static_cast<uint8_t>(v >> 16);
  p[3] = static_cast<uint8_t>(v >> 24);
}
inline void StoreI16(uint8_t* p, int16_t v) { StoreU16(p, static_cast<uint16_t>(v)); }
inline void StoreI32(uint8_t* p, int32_t v) { StoreU32(p, static_cast<uint32_t>(v)); }

/// Decodes consecutive fields of one record held in memory. The caller
/// sizes the block from the record layout, so running past it is a
/// programming error, not bad input: it is guarded all the same.
class FieldReader {
 public:
  FieldReader(const uint8_t* data, std::size_t size) : data_(data), size_(size) {}
  explicit FieldReader(const std::vector<uint8_t>& block)
      : data_(block.data()), size_(block.size()) {}

  uint8_t U8() { return *Take(1); }
  uint16_t U16() { return LoadU16(Take(2)); }
  int16_t I16() { return LoadI16(Take(2)); }
  uint32_t U32() { return LoadU32(Take(4)); }
  int32_t I32() { return LoadI32(Take(4)); }
  /// Copies `count` raw bytes (character fields).
  void Bytes(void* out, std::size_t count) { std::memcpy(out, Take(count), count); }
  void Skip(std::size_t count) { Take(count); }
  std::size_t Offset() const { return offset_; }

 private:
  const uint8_t* Take(std::size_t count) {
    if (count > size_ - offset_) FieldOverrun();
    const uint8_t* p = data_ + offset_;
    offset_ += count;
    return p;
  }
  [[noreturn]] static void FieldOverrun();
  const uint8_t* data_;
  std::size_t size_;
  std::size_t offset_ = 0;
};

/// Appends little-endian fields to a growing byte block.
class FieldWriter {
 public:
  explicit FieldWriter(std::vector<uint8_t>& out) : out_(out) {}
  void U8(uint8_t v) { out_.push_back(v); }
  void U16(uint16_t v) {
    uint8_t b[2];
    StoreU16(b, v);
    out_.insert(out_.end(), b, b + 2);
  }
  void I16(int16_t v) { U16(static_cast<uint16_t>(v)); }
  void U32(uint32_t v) {
    uint8_t b[4];
    StoreU32(b, v);
    out_.insert(out_.end(), b, b + 4);
  }
  void I32(int32_t v) { U32(static_cast<uint32_t>(v)); }
  void Bytes(const void* data, std::size_t count) {
    const uint8_t* p = static_cast<const uint8_t*>(data);
    out_.insert(out_.end(), p, p + count);
  }
  void Zeros(std::size_t count) { out_.insert(out_.end(), count, 0); }

 private:
  std::vector<uint8_t>& out_;
};
