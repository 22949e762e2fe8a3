#include "support/run_trackconv.h"

namespace testing_support {

platform::ProcessResult RunTrackconv(const std::filesystem::path& directory) {
  return platform::RunProcess(TRACKCONV_EXE, {}, directory.string());
}

}  // namespace testing_support
