#include "platform/working_directory.h"

#include <windows.h>

namespace platform {

bool WorkingDirectory(char* out, std::size_t size) {
  if (size == 0) return false;
  const DWORD length = GetCurrentDirectoryA(static_cast<DWORD>(size), out);
  if (length != 0 && length < size) return true;
  out[0] = '\0';
  return false;
}

}  // namespace platform
