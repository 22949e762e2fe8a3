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

bool RegularFileTime(const std::string& path, int64_t& time) {
  if (path.find('\0') != std::string::npos || memory::Serves(path)) return false;
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)) return false;
  if (data.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE)) return false;
  time = static_cast<int64_t>((static_cast<uint64_t>(data.ftLastWriteTime.dwHighDateTime) << 32) |
                              data.ftLastWriteTime.dwLowDateTime);
  return true;
}

}  // namespace platform
