// trackconv: converts the track of the game directory it runs in into the
// XQ track format. Takes no arguments, prints nothing on success, and on
// failure prints one message on standard error (without a line break) and
// exits with status 1.

#include <cstdio>
#include <cstdlib>
#include <exception>

#include "platform/interrupt.h"
#include "platform/memory.h"
#include "trackconv/driver/conversion.h"

int main(int, char**) {
  platform::HandleInterrupts(platform::InterruptAnswer::kEndAtOnce);
  platform::PrepareHeapForLargeData();
  try {
    ConvertCurrentDirectory();
  } catch (const std::exception& failure) {
    std::fputs(failure.what(), stderr);
    std::fflush(stderr);
    std::exit(1);
  }
  return 0;
}
