// Feeds arbitrary bytes to the XQ track reader as an in-memory file. What
// it accepts must answer every query (PointAt along every line included),
// and convert to XQ again cleanly or refuse. A thrown error is the expected answer to bad data; a crash,
// sanitizer report, hang or "finding:" abort is a fault.
//
// Seeds: fuzz/corpus/xq_trk/, made by fuzz/make_xq_seeds.sh.

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
#include "trackconv/track/xq_trk_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string input = fuzz::Path("input.xq");
  fuzz::Put(input, data, size);
  Handle<TrkFile> track;
  try {
    track = new XQTrkReader(Handle<SubFile>(new SubFile(DiskFile::OpenForRead(input), "fuzz.xq")));
  } catch (const std::exception& e) {
    if (typeid(e) == typeid(XAssumption) || typeid(e) == typeid(XFileRead)) return 0;
    fuzz::Finding("unexpected exception", std::string(typeid(e).name()) + ": " + e.what());
  }
  fuzz::AskEverything(*track);
  const double length = track->TrackLength();
  for (uint32_t j = 0; j < track->LateralCount(); ++j)
    for (double fraction : {0.0, 0.3, 0.7}) {
      fuzz::Ask([&] {
        const Point3D p = track->PointAt(length * fraction, track->LateralOffset(j));
        fuzz::sink_double = p.x + p.y + p.z;
      });
    }
  fuzz::ConvertToXQ(track);
  return 0;
}
