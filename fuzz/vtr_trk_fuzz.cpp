// Feeds arbitrary bytes to the VTR track reader as an in-memory file. What
// it accepts must answer every query, convert to XQ cleanly or refuse, and
// write a file it reads again byte for byte; what the builder makes from it
// must read back too. A thrown error is the expected answer to bad data;
// a crash, sanitizer report, hang or "finding:" abort is a fault.
//
// Seeds: fuzz/corpus/vtr_trk/, made by fuzz/make_vtr_seeds.sh.

#include <cstddef>
#include <cstdint>
#include <exception>
#include <string>
#include <typeinfo>
#include <vector>

#include "fuzz/in_memory.h"
#include "fuzz/track_checks.h"
#include "trackconv/foundation/disk_file.h"
#include "trackconv/foundation/errors.h"
#include "trackconv/foundation/sub_file.h"
#include "trackconv/track/vtr_trk_file.h"

namespace {

// Only these two kinds of failure may leave the reader.
void ExpectCleanFailure(const std::exception& e) {
  if (typeid(e) == typeid(XAssumption) || typeid(e) == typeid(XFileRead)) return;
  fuzz::Finding("unexpected exception", std::string(typeid(e).name()) + ": " + e.what());
}

Handle<TrkFile> Read(const std::string& path) {
  Handle<SubFile> file(new SubFile(DiskFile::OpenForRead(path), "fuzz.trk"));
  return Handle<TrkFile>(new VTRTrkFile(file));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string input = fuzz::Path("input.trk");
  fuzz::Put(input, data, size);
  Handle<TrkFile> track;
  try {
    track = Read(input);
  } catch (const std::exception& e) {
    ExpectCleanFailure(e);
    return 0;
  }
  fuzz::AskEverything(*track);
  fuzz::ConvertToXQ(track);

  // The writer's output is acceptable to the reader, and stable.
  const std::string copy = fuzz::Path("copy.trk");
  const std::string rebuilt = fuzz::Path("rebuilt.trk");
  try {
    Handle<SubFile> out(new SubFile(copy, true, true));
    VTRTrkFile(out, track).Write();
  } catch (const XAssumption&) {
    // The builder may refuse styles its table lacks; it must not misbehave.
    return 0;
  }
  Handle<TrkFile> built;
  try {
    built = Read(copy);
  } catch (const std::exception& e) {
    fuzz::Finding("a built file was refused", e.what());
  }
  fuzz::AskEverything(*built);
  try {
    Handle<SubFile> out(new SubFile(rebuilt, true, true));
    VTRTrkFile(out, built).Write();
  } catch (const std::exception& e) {
    fuzz::Finding("a built file did not build again", e.what());
  }
  if (fuzz::Get(rebuilt) != fuzz::Get(copy)) fuzz::Finding("building again changed the file");
  return 0;
}
