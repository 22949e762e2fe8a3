// The second form of calls that take names both as strings and as text,
// the same on every system.

#include <vector>

#include "platform/atomic_replace.h"
#include "platform/common/guarded.h"
#include "platform/file_attributes.h"
#include "platform/path.h"

namespace platform {

namespace {
// A name with a zero byte inside would name another file once cut there.
bool Plain(const std::string& text) { return text.find('\0') == std::string::npos; }
}  // namespace

bool CanTakeOutput(const std::string& final_path) { return Plain(final_path) && CanTakeOutput(final_path.c_str()); }

namespace {
// A temporary file's name from one of the two ways of making one.
std::string TemporaryName(const std::string& final_path, bool (*make)(const char*, char*, std::size_t)) {
  if (!Plain(final_path)) return std::string();
  std::vector<char> name;
  if (!Guarded(false, [&] {
        name.resize(kMaxPath + 1);
        return true;
      }))
    return std::string();
  if (!make(final_path.c_str(), name.data(), name.size())) return std::string();
  return Guarded(std::string(), [&] {
    try {
      return std::string(name.data());
    } catch (...) {
      RemoveFile(name.data());
      throw;
    }
  });
}
}  // namespace

std::string CreateTemporaryFileBeside(const std::string& final_path) {
  return TemporaryName(final_path, CreateTemporaryFileBeside);
}

std::string CreateTemporaryFileForNew(const std::string& final_path) {
  return TemporaryName(final_path, CreateTemporaryFileForNew);
}

bool PlaceNewFile(const std::string& from, const std::string& to) {
  return Plain(from) && Plain(to) && PlaceNewFile(from.c_str(), to.c_str());
}

bool ReplaceFileWith(const std::string& from, const std::string& to) {
  return Plain(from) && Plain(to) && ReplaceFileWith(from.c_str(), to.c_str());
}

bool RemoveFile(const std::string& path) { return Plain(path) && RemoveFile(path.c_str()); }

bool GetFileAttributes(const char* path, uint32_t& attributes) {
  return path && Guarded(false, [&] {
    std::string full;
    std::size_t last = 0;
    return FullPathName(path, full, last) && GetFileAttributes(full, attributes);
  });
}

}  // namespace platform
