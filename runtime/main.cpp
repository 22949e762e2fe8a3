// The process entry of pixmill: everything happens inside the frame.

#include "runtime/frame.h"

int main(int argc, char** argv) { return frameMain(argc, argv); }
