#include "trackconv/driver/conversion.h"

#include "trackconv/driver/game_registry.h"
#include "trackconv/foundation/atomic_output.h"
#include "trackconv/foundation/paths.h"
#include "trackconv/track/xq_trk_file.h"

void ConvertCurrentDirectory() {
  Directory directory(".");
  Handle<FileFactory> factory = GameRegistry::Instance().FactoryFor(directory);
  // The whole track is read and checked before the output is touched.
  Handle<TrkFile> track = factory->OpenTrack(std::string(), std::string(), false);

  // The output is written under a temporary name and only put in place of
  // <Name>.xq once complete, so a failed run leaves an older file intact.
  // Its name is claimed first: a name that cannot take the result is
  // reported before any conversion error could hide it. An <Name>.xq that
  // is the track's own file (a link to it) would destroy it: refused too.
  const std::string name = directory.Name();
  AtomicOutput output(name + ".xq", true, {name + ".trk", name + ".dat"});
  {
    XQTrkFile converted(output.File(), track);
    converted.Write();
  }
  output.Commit();
}
