// Feeds arbitrary bytes to the archive reader and to game recognition as a
// directory's <Name>.dat. Any std::exception is a clean refusal; anything
// else (a crash, a sanitizer report, a hang) is a fault.

#include <cstddef>
#include <cstdint>
#include <exception>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>

#include "trackconv/driver/dat_file.h"
#include "trackconv/driver/game_registry.h"
#include "trackconv/foundation/paths.h"

namespace {

const std::filesystem::path& ScratchDirectory() {
  static const std::filesystem::path directory = [] {
    std::filesystem::path path = std::filesystem::temp_directory_path() /
                                 ("dat-archive-fuzz-" + std::to_string(std::random_device{}())) / "fz";
    std::filesystem::create_directories(path);
    return path;
  }();
  return directory;
}

void ReadSome(SubFile& member) {
  uint8_t buffer[64];
  const uint32_t head = member.Size() < sizeof buffer ? member.Size() : sizeof buffer;
  member.Seek(0);
  member.Read(head, buffer);
  member.Seek(member.Size() - head);
  member.Read(head, buffer);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::filesystem::path archive_path = ScratchDirectory() / "fz.dat";
  {
    std::ofstream out(archive_path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
  }

  try {
    MOTADatFile archive(archive_path.string());
    for (uint32_t i = 0; i < archive.MemberCount(); ++i) {
      Handle<SubFile> member = archive.Member(i);
      try {
        ReadSome(*member);
      } catch (const std::exception&) {
      }
      archive.FindMember(member->GetName());
    }
    archive.FindMember("fz.trk");
  } catch (const std::exception&) {
  }

  // Recognition must answer without throwing whatever the archive holds.
  const Directory directory(ScratchDirectory().string());
  GameRegistry& registry = GameRegistry::Instance();
  for (std::size_t i = 0; i < registry.PrototypeCount(); ++i) registry.Prototype(i)->Recognizes(directory);
  return 0;
}
