// The application entry that the frame in the runtime library calls; the
// unit tests never run the frame in-process (the frame probe does).
#include "runtime/frame.h"
#include "runtime/file/file.h"

int pixmillMain(int, char**) { return 0; }

// Stand-ins until the file layer is in the library; weak, so the real ones
// win as soon as they are linked.
__attribute__((weak)) success fileBegin() { return 1; }
__attribute__((weak)) void fileEnd() {}
