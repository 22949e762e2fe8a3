#pragma once
// Synthetic model and replay files whose headers pass the game tests that
// tell the three game families apart. Their bodies are filler: only the
// first bytes and the total size matter to recognition.

#include <cstdint>
#include <string>
#include <vector>

namespace trackgen {

/// A .3do model starting with the tag VTR looks for ('3DO4').
std::vector<uint8_t> VtrModelBytes();
/// A .3do model starting with the tag K5 looks for ('3DO3').
std::vector<uint8_t> K5ModelBytes();
/// A .3do model whose size is 20 + h0 + 8 * (h2 + h3 + h4), as MOTA expects.
std::vector<uint8_t> MotaModelBytes();
/// A .rpy replay starting with the tag VTR looks for ('RPLY').
std::vector<uint8_t> VtrReplayBytes();
/// A .rpl replay whose size is 16 + r0 + r1, as K5 expects.
std::vector<uint8_t> K5ReplayBytes();

/// The bytes of a kind named "vtr-3do", "k5-3do", "mota-3do", "vtr-rpy" or
/// "k5-rpl"; false for any other name.
bool GameFileBytes(const std::string& kind, std::vector<uint8_t>& bytes);

}  // namespace trackgen
