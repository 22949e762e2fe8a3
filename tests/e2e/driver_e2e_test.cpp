// End-to-end runs of the real trackconv binary in scratch directories.

#include <gtest/gtest.h>

#include <filesystem>

#include "support/run_trackconv.h"
#include "support/temp_dir.h"

namespace {

using testing_support::ListNames;
using testing_support::RunTrackconv;
using testing_support::TempDir;

TEST(TrackconvEndToEnd, DirectoryWithoutTrackFailsCleanly) {
  TempDir root;
  std::filesystem::create_directory(root.path() / "alpha");
  platform::ProcessResult result = RunTrackconv(root.path() / "alpha");
  EXPECT_EQ(result.exit_status, 1);
  EXPECT_EQ(result.standard_output, "");
  EXPECT_EQ(result.standard_error.rfind(root / "alpha" + ": ", 0), 0u) << result.standard_error;
  EXPECT_NE(result.standard_error.back(), '\n');
  EXPECT_TRUE(ListNames(root.path() / "alpha").empty());
}

}  // namespace
