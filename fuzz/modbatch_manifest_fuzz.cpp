// Feeds arbitrary bytes to modbatch as the switch manifest of an output
// folder: any text must read as some set of entries, and an entry's switches
// must match what a run asks with. A crash or sanitizer report is a fault.
//
// Seeds: fuzz/corpus/modbatch_manifest/ (manifests as modbatch writes them,
// with escapes, empty switches and line ends of both kinds).

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "in_memory.h"
#include "modbatch/manifest.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::Put(fuzz::Path("out/.modbatch-switches"), data, size);
  modbatch::SwitchManifest manifest(fuzz::Path("out"));
  // The first line's name, as far as it goes, is looked up in any case.
  std::string name(reinterpret_cast<const char*>(data), size);
  name = name.substr(0, name.find_first_of("\t\r\n\\"));
  manifest.Matches(name, {});
  manifest.Matches(modbatch::LowerCase(name), {"-4", ""});
  manifest.Set(name, {"-transp"});
  if (!manifest.Matches(name, {"-transp"})) __builtin_trap();
  manifest.Erase(name);
  if (manifest.Matches(name, {"-transp"})) __builtin_trap();
  return 0;
}
