#include "trackconv/driver/conversion.h"

#include "trackconv/foundation/errors.h"
#include "trackconv/foundation/paths.h"

void ConvertCurrentDirectory() {
  Directory directory(".");
  // Game recognition and the track formats are not part of this build yet:
  // say so plainly rather than pretend to convert.
  throw XAssumption(directory.FullPath() + ": track conversion is not available in this build");
}
