#include "platform/posix/case_lookup.h"

#include <dirent.h>
#include <sys/stat.h>

#include <memory>
#include <string>
#include <vector>

#include "platform/common/ascii_case.h"

namespace platform {
namespace posix {
namespace {

bool Exists(const std::string& path) {
  struct stat info;
  return lstat(path.c_str(), &info) == 0;
}

// The entry of `directory` that matches `name` regardless of case: the
// byte-wise smallest of the matches, or "" when none matches.
std::string MatchInDirectory(const std::string& directory, const std::string& name) {
  // Closed on every way out, also when memory runs out on the way.
  std::unique_ptr<DIR, int (*)(DIR*)> dir(opendir(directory.empty() ? "/" : directory.c_str()), closedir);
  if (!dir) return std::string();
  std::string best;
  while (struct dirent* entry = readdir(dir.get())) {
    std::string candidate = entry->d_name;
    if (EqualNoCase(candidate, name) && (best.empty() || candidate < best)) best = candidate;
  }
  return best;
}

std::string Resolve(const std::string& path, bool keep_last) {
  if (path.empty() || path[0] != '/' || Exists(path)) return path;
  // A new name in a folder that is there as spelled: nothing to look up.
  if (keep_last) {
    const std::size_t slash = path.rfind('/');
    if (slash > 0 && slash + 1 < path.size() && path.find("//") == std::string::npos &&
        Exists(path.substr(0, slash)))
      return path;
  }
  std::vector<std::string> parts;
  std::size_t start = 1;
  while (start <= path.size()) {
    std::size_t end = path.find('/', start);
    if (end == std::string::npos) end = path.size();
    if (end > start) parts.push_back(path.substr(start, end - start));
    start = end + 1;
  }
  std::string resolved;
  bool missing = false;
  for (std::size_t i = 0; i < parts.size(); ++i) {
    std::string next = resolved + "/" + parts[i];
    bool last = i + 1 == parts.size();
    if (!missing && !(last && keep_last) && !Exists(next)) {
      std::string match = MatchInDirectory(resolved, parts[i]);
      if (match.empty())
        missing = true;  // nothing below a missing component can exist
      else
        next = resolved + "/" + match;
    }
    resolved = next;
  }
  return resolved.empty() ? "/" : resolved;
}

}  // namespace

std::string ExistingCase(const std::string& absolute_path) { return Resolve(absolute_path, false); }

std::string CreationCase(const std::string& absolute_path) { return Resolve(absolute_path, true); }

}  // namespace posix
}  // namespace platform
