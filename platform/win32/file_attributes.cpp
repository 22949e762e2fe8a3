#include "platform/file_attributes.h"

#include <windows.h>
// windows.h maps the name onto its ANSI variant; ours must keep its own.
#undef GetFileAttributes

#include "platform/memory_files.h"

namespace platform {

bool GetFileAttributes(const std::string& path, uint32_t& attributes) {
  if (path.find('\0') != std::string::npos) return false;
  if (memory::Serves(path)) return memory::Attributes(path, attributes);
  DWORD result = GetFileAttributesA(path.c_str());
  if (result == INVALID_FILE_ATTRIBUTES) return false;
  attributes = result;
  return true;
}

}  // namespace platform
