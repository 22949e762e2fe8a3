// The application entry of pixmill, called by the runtime's program frame.

#include "pixmill/command_line.h"
#include "runtime/frame.h"

int pixmillMain(int argc, char** argv) { return commandLineRun(argc, argv); }
