// make_dat: packs files into a .dat archive, each member named after the
// file's last path component.
//   make_dat ARCHIVE FILE...

#include <cstdio>
#include <exception>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

#include "tools/lib/synthetic_dat.h"

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fputs("usage: make_dat ARCHIVE FILE...\n", stderr);
    return 2;
  }
  try {
    std::vector<trackgen::DatMember> members;
    for (int i = 2; i < argc; ++i) {
      std::ifstream in(argv[i], std::ios::binary);
      if (!in) {
        std::fprintf(stderr, "make_dat: cannot read %s\n", argv[i]);
        return 1;
      }
      members.push_back({std::filesystem::path(argv[i]).filename().string(),
                         std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {})});
    }
    trackgen::WriteDatArchive(argv[1], members);
  } catch (const std::exception& failure) {
    std::fprintf(stderr, "make_dat: %s\n", failure.what());
    return 1;
  }
  return 0;
}
