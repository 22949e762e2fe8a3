#include "platform/report.h"

#include <windows.h>

#include <cstdio>
#include <cstdlib>

namespace platform {

namespace {

// A box needs someone at a console to click it; test runs and redirected
// runs have nobody there.
bool CanShowBox() {
  if (std::getenv("PIXMILL_NO_MESSAGE_BOX")) return false;
  DWORD mode = 0;
  return GetConsoleMode(GetStdHandle(STD_ERROR_HANDLE), &mode) != 0;
}

}  // namespace

void DebugOutput(const char* text) { OutputDebugStringA(text); }

int ShowMessageBox(const char* text, const char* caption) {
  if (CanShowBox()) return MessageBoxA(nullptr, text, caption, MB_OK);
  std::fprintf(stderr, "%s: %s\n", caption, text);
  std::fflush(stderr);
  return IDOK;
}

}  // namespace platform
