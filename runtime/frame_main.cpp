// The frame around the application: the only part of the library that
// calls pixmillMain, kept apart so that a program with an entry of its own
// can bring the library up (runtime/session.h) without supplying one.

#include <cstdio>

#include "runtime/frame.h"
#include "runtime/profile/profile.h"
#include "runtime/session.h"

int frameMain(int argc, char** argv) {
  if (!frameSwitchPass(argc, argv)) {
    ProfilePtr->Release();
    return -1;
  }
  frameSetProgramPath(argc > 0 ? argv[0] : nullptr);
  RuntimeSession session;
  if (!session.errorSystemUp()) {
    std::fputs("Failed to initialize error system.\n", stderr);
    return -1;
  }
  return session.started() ? pixmillMain(argc, argv) : -1;
}
