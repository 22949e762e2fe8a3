#include "platform/terminal.h"

#include <windows.h>

namespace platform {

// A console answers GetConsoleMode; files and pipes do not.
bool StandardErrorIsTerminal() {
  DWORD mode = 0;
  return GetConsoleMode(GetStdHandle(STD_ERROR_HANDLE), &mode) != 0;
}

}  // namespace platform
