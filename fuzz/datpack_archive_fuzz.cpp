// Feeds arbitrary bytes to datpack as an in-memory archive: verify and list
// (long and JSON) must answer cleanly, and every archive the reader accepts
// and whose members can all be unpacked must come back byte for byte from
// its members and its manifest. A round trip that differs, or that throws
// once the archive was accepted, is a fault.
//
// Seeds: fuzz/corpus/datpack_archive/.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <exception>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "datpack/archive.h"
#include "datpack/manifest.h"
#include "datpack/verbs.h"
#include "fuzz/in_memory.h"
#include "trackconv/foundation/paths.h"

namespace {

using Bytes = std::vector<uint8_t>;

void Report(const std::string& path, bool long_list, bool json) {
  datpack::Options options;
  options.names = {path};
  options.long_list = long_list;
  options.json = json;
  std::ostringstream out, err;
  datpack::List(options, out, err);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string path = fuzz::Path("dp/game.dat");
  fuzz::Put(path, data, size);
  {
    datpack::Options options;
    options.names = {path};
    std::ostringstream out, err;
    datpack::Verify(options, out, err);
  }
  Report(path, false, false);
  Report(path, true, true);

  // Unpack into memory: the member files by name and the manifest's text.
  std::map<std::string, Bytes> folder;
  std::string manifest_text;
  try {
    datpack::Archive archive(path);
    std::map<std::string, bool> names;
    for (std::size_t i = 0; i < archive.entries().size(); ++i) {
      const std::string name = archive.entries()[i].Name();
      if (!archive.Inside(i) || !datpack::NameFault(name).empty()) return 0;
      if (!names.emplace(ToLower(name), true).second) return 0;  // unpack refuses the second
      Bytes bytes(archive.entries()[i].length);
      archive.Read(i, 0, static_cast<uint32_t>(bytes.size()), bytes.data());
      folder[name] = bytes;
    }
    datpack::Manifest manifest;
    manifest.archive = "game.dat";
    manifest.entries = archive.entries();
    manifest.gaps = archive.ReadGaps();
    manifest_text = datpack::FormatManifest(manifest);
  } catch (const std::exception&) {
    return 0;  // refused by the reader
  }

  // Pack from the folder: nothing may go wrong from here on.
  datpack::Manifest manifest;
  std::string error;
  if (!datpack::ParseManifest(manifest_text, manifest, error)) std::abort();
  std::vector<Bytes> members;
  for (const DatEntry& entry : manifest.entries) members.push_back(folder.at(entry.Name()));
  DatMemorySource source(members);
  DatLayout layout(manifest.entries, manifest.DirectoryEnd(), manifest.gaps);
  layout.Place(source);
  DatMemorySink sink;
  layout.Write(source, sink);
  if (sink.bytes != Bytes(data, data + size)) std::abort();
  return 0;
}
