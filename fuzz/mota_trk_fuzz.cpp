// Feeds arbitrary bytes to the MOTA track reader as an in-memory file.
// Whatever it accepts must answer every query, convert to XQ cleanly or
// refuse, write a file it accepts again, rewrite that file byte for byte,
// and rebuild through the model into a readable file.
//
// Seeds: fuzz/corpus/mota_trk/, made by fuzz/make_mota_seeds.sh from
// generated tracks.

#include <cstdint>
#include <exception>
#include <string>
#include <typeinfo>
#include <vector>

#include "fuzz/in_memory.h"
#include "fuzz/track_checks.h"
#include "trackconv/foundation/errors.h"
#include "trackconv/track/mota_trk_file.h"

namespace {

// Only these two kinds of failure may leave the reader.
void ExpectCleanFailure(const std::exception& e) {
  if (typeid(e) == typeid(XAssumption) || typeid(e) == typeid(XFileRead)) return;
  fuzz::Finding("unexpected exception", std::string(typeid(e).name()) + ": " + e.what());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string input = fuzz::Path("input.trk");
  const std::string rebuilt = fuzz::Path("rebuilt.trk");
  fuzz::Put(input, data, size);

  Handle<MOTATrkFile> track;
  try {
    Handle<SubFile> file(new SubFile(input, false, false));
    track = new MOTATrkFile(file);
  } catch (const std::exception& e) {
    ExpectCleanFailure(e);
    return 0;
  }
  fuzz::AskEverything(*track);
  fuzz::ConvertToXQ(track);

  // The writer's output is always acceptable to the reader, and stable.
  track->Write();
  const std::vector<uint8_t> written = fuzz::Get(input);
  try {
    Handle<SubFile> file(new SubFile(input, false, false));
    Handle<MOTATrkFile> again(new MOTATrkFile(file));
    again->Write();
  } catch (const std::exception& e) {
    fuzz::Finding("a written file was refused", e.what());
  }
  if (fuzz::Get(input) != written) fuzz::Finding("rewriting changed the file");

  // Rebuilding through the model may refuse surface or wall values the
  // format's table lacks, but what it builds must read back.
  try {
    Handle<SubFile> out(new SubFile(rebuilt, true, true));
    MOTATrkFile copy(out, track);
    copy.Write();
  } catch (const XAssumption&) {
    return 0;
  }
  try {
    Handle<SubFile> file(new SubFile(rebuilt, false, false));
    MOTATrkFile reread(file);
    fuzz::AskEverything(reread);
  } catch (const std::exception& e) {
    fuzz::Finding("a rebuilt file was refused", e.what());
  }
  return 0;
}
