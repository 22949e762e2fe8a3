#include "platform/file_attributes.h"

#include <sys/stat.h>

#include "platform/common/guarded.h"
#include "platform/memory_files.h"
#include "platform/posix/case_lookup.h"

namespace platform {

namespace {
constexpr uint32_t kAttributeReadOnly = 0x01;
constexpr uint32_t kAttributeNormal = 0x80;
}  // namespace

bool GetFileAttributes(const std::string& path, uint32_t& attributes) {
  if (path.empty()) return false;
  return Guarded(false, [&] {
    if (memory::Serves(path)) return memory::Attributes(path, attributes);
    struct stat info;
    if (stat(posix::ExistingCase(path).c_str(), &info) != 0) return false;
    if (S_ISDIR(info.st_mode))
      attributes = kAttributeDirectory;
    else
      attributes = (info.st_mode & S_IWUSR) ? kAttributeNormal : kAttributeReadOnly;
    return true;
  });
}

bool RegularFileTime(const std::string& path, int64_t& time) {
  if (path.empty()) return false;
  return Guarded(false, [&] {
    if (memory::Serves(path)) return false;
    struct stat info;
    if (stat(posix::ExistingCase(path).c_str(), &info) != 0 || !S_ISREG(info.st_mode)) return false;
    time = static_cast<int64_t>(info.st_mtim.tv_sec) * 1000000000 + info.st_mtim.tv_nsec;
    return true;
  });
}

}  // namespace platform
