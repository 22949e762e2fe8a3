#include "platform/working_directory.h"

#include <unistd.h>

namespace platform {

bool WorkingDirectory(char* out, std::size_t size) {
  if (size == 0) return false;
  if (getcwd(out, size)) return true;
  out[0] = '\0';
  return false;
}

}  // namespace platform
