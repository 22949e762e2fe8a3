#include "tools/lib/track_formats.h"

#include "trackconv/foundation/atomic_output.h"
#include "trackconv/track/mota_trk_file.h"
#include "trackconv/track/vtr_trk_file.h"

namespace trackgen {

namespace {

template <typename Format>
void WriteAs(AtomicOutput& out, const Handle<TrkFile>& source) {
  Format track(out.File(), source);
  track.Write();
}

}  // namespace

bool ParseTrackFormat(const std::string& name, TrackFormat& format) {
  if (name == "vtr") {
    format = TrackFormat::kVtr;
  } else if (name == "mota") {
    format = TrackFormat::kMota;
  } else {
    return false;
  }
  return true;
}

Handle<TrkFile> ReadTrack(TrackFormat format, const std::string& name) {
  Handle<SubFile> file(new SubFile(name, false, false));
  if (format == TrackFormat::kMota) return Handle<TrkFile>(new MOTATrkFile(file));
  return Handle<TrkFile>(new VTRTrkFile(file));
}

void WriteTrack(TrackFormat format, const std::string& name, const Handle<TrkFile>& source) {
  AtomicOutput out(name);
  // The track is gone again before Commit, which needs the only hold on
  // the file to replace the final one.
  if (format == TrackFormat::kMota) {
    WriteAs<MOTATrkFile>(out, source);
  } else {
    WriteAs<VTRTrkFile>(out, source);
  }
  out.Commit();
}

}  // namespace trackgen
