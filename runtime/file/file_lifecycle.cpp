// The bracket of the file layer. It lives apart from the file operations
// because it needs the frame's start directory: programs and tests that only
// read and write files do not link the frame.

#include "runtime/file/directory.h"
#include "runtime/file/file.h"
#include "runtime/frame.h"

namespace {
bool gInitialized = false;
}  // namespace

success fileBegin() {
  if (gInitialized) return 0;
  fileRegistryClear();
  if (!fileHomeBegin(frameStartDirectory())) return 0;
  gInitialized = true;
  return 1;
}

void fileEnd() {
  if (!gInitialized) return;
  // Files still open at the end are the application's business; they are
  // counted but left alone.
  (void)fileRegistryCount();
  gInitialized = false;
}

bool fileInitialized() { return gInitialized; }
