#include "support/platform_conventions.h"

#include <algorithm>

#include "platform/path.h"

namespace testing_support {

bool WindowsConventions() { return platform::kSeparator == '\\'; }

std::string Native(const std::string& generic) {
  std::string native = generic;
  std::replace(native.begin(), native.end(), '/', platform::kSeparator);
  return native;
}

std::string CurrentRoot() {
  return Native(std::filesystem::current_path().root_path().generic_string());
}

}  // namespace testing_support
