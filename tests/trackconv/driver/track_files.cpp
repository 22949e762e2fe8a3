#include "trackconv/driver/track_files.h"

#include "support/temp_dir.h"
#include "tools/lib/synthetic_track.h"
#include "trackconv/track/mota_trk_file.h"
#include "trackconv/track/vtr_trk_file.h"

namespace driver_test {

namespace {

template <typename Format>
std::vector<uint8_t> TrackBytes(const SyntheticTrackOptions& options) {
  testing_support::TempDir scratch;
  const std::string path = scratch / "track.trk";
  {
    Handle<TrkFile> source(new SyntheticTrack(options));
    Handle<SubFile> file(new SubFile(path, true, true));
    Format track(file, source);
    track.Write();
  }
  return testing_support::ReadBytes(path);
}

}  // namespace

std::vector<uint8_t> MotaTrackBytes(uint32_t sections, uint32_t seed) {
  SyntheticTrackOptions options;
  options.sections = sections;
  options.laterals = 3;
  options.surfaces = 2;
  options.walls = 1;
  options.seed = seed;
  options.surface_styles = MotaSurfaceStyles();
  options.thin_walls = true;
  options.wall_kinds = {0, 1, 2, 5};
  return TrackBytes<MOTATrkFile>(options);
}

std::vector<uint8_t> VtrTrackBytes(uint32_t sections, uint32_t seed) {
  SyntheticTrackOptions options;
  options.sections = sections;
  options.laterals = 3;
  options.surfaces = 2;
  options.walls = 0;
  options.seed = seed;
  return TrackBytes<VTRTrkFile>(options);
}

}  // namespace driver_test
