// Feeds arbitrary bytes to the archive reader as a directory's in-memory
// <Name>.dat, then to game recognition and to each game's opening of the
// track <Name>.trk from it. Any std::exception is a clean refusal; anything
// else (a crash, a sanitizer report, a hang) is a fault.
//
// Seeds: fuzz/corpus/dat_archive/.

#include <cstddef>
#include <cstdint>
#include <exception>
#include <string>

#include "fuzz/in_memory.h"
#include "fuzz/track_checks.h"
#include "trackconv/driver/dat_file.h"
#include "trackconv/driver/game_registry.h"
#include "trackconv/foundation/paths.h"

namespace {

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
  const std::string archive_path = fuzz::Path("fz/fz.dat");
  fuzz::Put(archive_path, data, size);

  try {
    MOTADatFile archive(archive_path);
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

  // Recognition must answer without throwing whatever the archive holds,
  // and each game opens the archived track or refuses cleanly.
  const Directory directory(fuzz::Path("fz"));
  GameRegistry& registry = GameRegistry::Instance();
  for (std::size_t i = 0; i < registry.PrototypeCount(); ++i) {
    const FileFactory* prototype = registry.Prototype(i);
    prototype->Recognizes(directory);
    try {
      Handle<FileFactory> factory = prototype->Clone(directory);
      fuzz::AskEverything(*factory->OpenTrack(std::string(), std::string(), false));
    } catch (const std::exception&) {
    }
  }
  return 0;
}
