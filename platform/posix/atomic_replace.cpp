#include "platform/atomic_replace.h"

#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <vector>

#include "platform/posix/case_lookup.h"

namespace platform {

std::string CreateTemporaryFileBeside(const std::string& final_path) {
  std::string target = posix::CreationCase(final_path);
  std::string pattern = target + ".tmp-XXXXXX";
  std::vector<char> name(pattern.begin(), pattern.end());
  name.push_back('\0');
  int fd = mkstemp(name.data());
  if (fd < 0) return std::string();
  // mkstemp makes the file private; an output gets the usual mode instead.
  mode_t mask = umask(0);
  umask(mask);
  fchmod(fd, 0666 & ~mask);
  close(fd);
  return std::string(name.data());
}

// An existing file of the name in another letter case is the one replaced,
// as on the systems the data comes from; otherwise the name is taken as given.
bool ReplaceFileWith(const std::string& from, const std::string& to) {
  return rename(from.c_str(), posix::ExistingCase(to).c_str()) == 0;
}

bool RemoveFile(const std::string& path) { return unlink(path.c_str()) == 0; }

}  // namespace platform
