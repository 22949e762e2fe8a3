// The application entry of pixmill, called by the runtime's program frame.

#include "pixmill/command_line.h"
#include "platform/memory.h"
#include "runtime/frame.h"

int pixmillMain(int argc, char** argv) {
  // Each mip level allocates and frees buffers like the level before it,
  // and the first use of each small page of them costs more than the work
  // in it on some machines: freed memory is kept, on large pages.
  platform::PrepareHeapForLargeData();
  return commandLineRun(argc, argv);
}
