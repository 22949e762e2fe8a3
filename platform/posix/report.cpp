#include "platform/report.h"

#include <cstdio>
#include <cstdlib>

namespace platform {

void DebugOutput(const char* text) {
  if (!std::getenv("PIXMILL_DEBUG_OUTPUT")) return;
  std::fputs(text, stderr);
  std::fflush(stderr);
}

int ShowMessageBox(const char* text, const char* caption) {
  std::fprintf(stderr, "%s: %s\n", caption, text);
  std::fflush(stderr);
  return 1;
}

}  // namespace platform
