// The application entry that the frame in the runtime library calls; the
// unit tests never run the frame in-process (the end-to-end tests run the
// real program).
#include "runtime/frame.h"

int pixmillMain(int, char**) { return 0; }
