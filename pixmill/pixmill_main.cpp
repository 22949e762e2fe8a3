// The application entry of pixmill, called by the runtime's program frame.

#include "pixmill/command_line.h"
#include "platform/memory.h"
#include "runtime/frame.h"

int pixmillMain(int argc, char** argv) {
  // Each mip level allocates and frees buffers like the level before it.
  platform::KeepFreedHeapMemory();
  return commandLineRun(argc, argv);
}
