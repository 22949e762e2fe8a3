#include "platform/path.h"

#include <limits.h>
#include <unistd.h>

#include <vector>

#include "platform/common/guarded.h"

namespace platform {

const std::size_t kMaxPath = PATH_MAX;
const char kSeparator = '/';
const bool kAbsolutePathsBeginWithSlash = true;

bool IsSeparator(char c) { return c == '/' || c == '\\'; }

std::string CurrentDirectory() {
  return Guarded(std::string(), [] {
    std::vector<char> buffer(PATH_MAX + 1);
    if (!getcwd(buffer.data(), buffer.size())) return std::string();
    return std::string(buffer.data());
  });
}

namespace {

bool Absolute(const std::string& path, std::string& full, std::size_t& last_component) {
  std::string joined;
  if (IsSeparator(path[0])) {
    joined = path;
  } else {
    std::string cwd = CurrentDirectory();
    if (cwd.empty()) return false;
    joined = cwd + "/" + path;
  }

  // Collapse ".", ".." and repeated separators lexically; ".." at the root
  // stays at the root.
  std::vector<std::string> parts;
  std::size_t start = 0;
  while (start <= joined.size()) {
    std::size_t end = start;
    while (end < joined.size() && !IsSeparator(joined[end])) ++end;
    std::string part = joined.substr(start, end - start);
    if (part == "..") {
      if (!parts.empty()) parts.pop_back();
    } else if (!part.empty() && part != ".") {
      parts.push_back(part);
    }
    start = end + 1;
  }

  std::string result;
  for (const std::string& part : parts) result += "/" + part;
  if (result.empty()) {
    full = "/";
    last_component = std::string::npos;
  } else {
    full = result;
    last_component = result.size() - parts.back().size();
  }
  return full.size() < kMaxPath;
}

}  // namespace

bool FullPathName(const std::string& path, std::string& full, std::size_t& last_component) {
  if (path.empty()) return false;
  return Guarded(false, [&] { return Absolute(path, full, last_component); });
}

}  // namespace platform
