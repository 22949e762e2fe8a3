#include "platform/same_file.h"

#include "platform/common/guarded.h"
#include "platform/common/same_file.h"
#include "platform/memory_files.h"
#include "platform/path.h"

namespace platform {

bool SameFile(const std::string& a, const std::string& b) {
  return Guarded(false, [&] {
    std::string full_a, full_b;
    std::size_t last = 0;
    if (!FullPathName(a, full_a, last) || !FullPathName(b, full_b, last)) return false;
    if (memory::Serves(full_a) || memory::Serves(full_b)) {
      uint32_t attributes = 0;
      return full_a == full_b && memory::Attributes(full_a, attributes);
    }
    return SameFileOnDisk(full_a, full_b);
  });
}

bool SameFile(const char* a, const char* b) {
  return a && b && Guarded(false, [&] { return SameFile(std::string(a), std::string(b)); });
}

}  // namespace platform
