#include "tools/lib/synthetic_game_files.h"

#include "trackconv/foundation/byte_order.h"

namespace trackgen {

namespace {

// Filler that is not all zeros, so a reader that ignores the header length
// would not pass by accident.
std::vector<uint8_t> Filled(std::size_t size) {
  std::vector<uint8_t> bytes(size);
  for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<uint8_t>(0x40 + i % 61);
  return bytes;
}

std::vector<uint8_t> Tagged(uint32_t tag, std::size_t size) {
  std::vector<uint8_t> bytes = Filled(size);
  StoreU32(&bytes[0], tag);
  return bytes;
}

}  // namespace

std::vector<uint8_t> VtrModelBytes() { return Tagged(0x33444F34u, 64); }

std::vector<uint8_t> K5ModelBytes() { return Tagged(0x33444F33u, 64); }

std::vector<uint8_t> MotaModelBytes() {
  const uint32_t h0 = 36, h1 = 0x01020304, h2 = 3, h3 = 2, h4 = 1;
  std::vector<uint8_t> bytes = Filled(20 + h0 + 8 * (h2 + h3 + h4));
  StoreU32(&bytes[0], h0);
  StoreU32(&bytes[4], h1);  // not part of the size rule
  StoreU32(&bytes[8], h2);
  StoreU32(&bytes[12], h3);
  StoreU32(&bytes[16], h4);
  return bytes;
}

std::vector<uint8_t> VtrReplayBytes() { return Tagged(0x52504C59u, 48); }

std::vector<uint8_t> K5ReplayBytes() {
  const uint32_t r0 = 40, r1 = 24;
  std::vector<uint8_t> bytes = Filled(16 + r0 + r1);
  StoreU32(&bytes[0], r0);
  StoreU32(&bytes[4], r1);
  StoreU32(&bytes[8], 0);
  StoreU32(&bytes[12], 0);
  return bytes;
}

bool GameFileBytes(const std::string& kind, std::vector<uint8_t>& bytes) {
  if (kind == "vtr-3do") bytes = VtrModelBytes();
  else if (kind == "k5-3do") bytes = K5ModelBytes();
  else if (kind == "mota-3do") bytes = MotaModelBytes();
  else if (kind == "vtr-rpy") bytes = VtrReplayBytes();
  else if (kind == "k5-rpl") bytes = K5ReplayBytes();
  else return false;
  return true;
}

}  // namespace trackgen
