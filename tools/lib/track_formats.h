#pragma once
// The game track formats the tools read and write, chosen by name on their
// command lines.

#include <string>

#include "trackconv/foundation/handle.h"
#include "trackconv/track/trk_file.h"

namespace trackgen {

/// A game track format; MOTA also serves the K5 family.
enum class TrackFormat { kVtr, kMota };

/// Sets `format` from "vtr" or "mota"; false for any other name.
bool ParseTrackFormat(const std::string& name, TrackFormat& format);

/// Reads and checks the track file `name` in `format`.
Handle<TrkFile> ReadTrack(TrackFormat format, const std::string& name);

/// Builds a track in `format` from `source` and writes it as `name`, which
/// an existing file of that name keeps until the new one is complete.
void WriteTrack(TrackFormat format, const std::string& name, const Handle<TrkFile>& source);

}  // namespace trackgen
