// trackconv run in directories whose paths need care on the way to the
// child process and back into its messages.

#include <gtest/gtest.h>

#include <filesystem>

#include "support/run_trackconv.h"
#include "support/temp_dir.h"

namespace {

using testing_support::ListNames;
using testing_support::RunTrackconv;
using testing_support::TempDir;

TEST(TrackconvPaths, DirectoryWithSpacesIsNamedInFullInTheMessage) {
  TempDir root;
  std::filesystem::create_directories(root.path() / "my tracks" / "Alpha Two");
  platform::ProcessResult result = RunTrackconv(root.path() / "my tracks" / "Alpha Two");
  EXPECT_EQ(result.exit_status, 1);
  EXPECT_EQ(result.standard_output, "");
  // The message shows the path the way the system writes it: with
  // backslashes and a drive on Windows, with slashes on POSIX.
  EXPECT_EQ(result.standard_error.rfind(root / "my tracks/Alpha Two" + ": ", 0), 0u)
      << result.standard_error;
  EXPECT_TRUE(ListNames(root.path() / "my tracks" / "Alpha Two").empty());
}

}  // namespace
