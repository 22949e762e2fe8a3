// make_game_file: writes a small model or replay file that makes a
// directory recognisable as one game's installation.
//   make_game_file KIND OUTPUT
// KIND: vtr-3do, k5-3do, mota-3do, vtr-rpy or k5-rpl.

#include <cstdio>
#include <exception>
#include <string>
#include <vector>

#include "tools/lib/synthetic_dat.h"
#include "tools/lib/synthetic_game_files.h"

int main(int argc, char** argv) {
  std::vector<uint8_t> bytes;
  if (argc != 3 || !trackgen::GameFileBytes(argv[1], bytes)) {
    std::fputs("usage: make_game_file vtr-3do|k5-3do|mota-3do|vtr-rpy|k5-rpl OUTPUT\n", stderr);
    return 2;
  }
  try {
    trackgen::WriteBytes(argv[2], bytes);
  } catch (const std::exception& failure) {
    std::fprintf(stderr, "make_game_file: %s\n", failure.what());
    return 1;
  }
  return 0;
}
