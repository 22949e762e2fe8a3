#pragma once
// Real track files of each game's format, generated from synthetic tracks,
// for tests that need a directory with a track in it.

#include <cstdint>
#include <vector>

namespace driver_test {

/// A valid MOTA track file of `sections` sections.
std::vector<uint8_t> MotaTrackBytes(uint32_t sections, uint32_t seed = 1);
/// A valid VTR track file of `sections` sections.
std::vector<uint8_t> VtrTrackBytes(uint32_t sections, uint32_t seed = 1);

}  // namespace driver_test
