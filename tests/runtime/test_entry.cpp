// The application entry that the frame in the runtime library calls; the
// unit tests never run the frame in-process (the frame probe does).
#include "runtime/frame.h"

int pixmillMain(int, char**) { return 0; }
