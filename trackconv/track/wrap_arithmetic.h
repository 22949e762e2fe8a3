#pragma once
// Arithmetic on stored 32-bit integers. Track files keep lengths, sums and
// derivative words in 32-bit fields, so results wrap modulo 2^32 as the
// fields do; going through unsigned keeps that wrap defined, and odd
// sources give odd files, never overflow.

#include <cstdint>

inline int32_t AddWrap(int32_t x, int32_t y) {
  return static_cast<int32_t>(static_cast<uint32_t>(x) + static_cast<uint32_t>(y));
}
inline int32_t SubWrap(int32_t x, int32_t y) {
  return static_cast<int32_t>(static_cast<uint32_t>(x) - static_cast<uint32_t>(y));
}
inline int32_t TimesWrap(int32_t x, uint32_t factor) {
  return static_cast<int32_t>(static_cast<uint32_t>(x) * factor);
}
