#include "platform/common/same_file.h"

#include <sys/stat.h>

#include "platform/posix/case_lookup.h"

namespace platform {

namespace {

// The device and inode of the file a name reaches, links followed.
bool Identify(const std::string& full, struct stat& info) {
  return stat(posix::ExistingCase(full).c_str(), &info) == 0;
}

}  // namespace

bool SameFileOnDisk(const std::string& full_a, const std::string& full_b) {
  struct stat info_a, info_b;
  return Identify(full_a, info_a) && Identify(full_b, info_b) && info_a.st_dev == info_b.st_dev &&
         info_a.st_ino == info_b.st_ino;
}

}  // namespace platform
