// A drive letter that names no drive: on Windows a root that does not
// exist, on POSIX an ordinary missing relative name. Both must end in the
// same clear refusal.

#include <gtest/gtest.h>

#include "support/temp_dir.h"
#include "trackconv/foundation/errors.h"
#include "trackconv/foundation/paths.h"

namespace {

TEST(DirectoryDrive, MissingDriveRootIsAMissingDirectory) {
  testing_support::TempDir dir;
  testing_support::ScopedCurrentDirectory in_dir(dir.path());
  // Q: is no drive on the test machines (Wine maps only C: and Z:).
  for (const char* path : {"Q:\\", "Q:\\alpha"}) {
    try {
      Directory directory(path);
      ADD_FAILURE() << path << " resolved to " << directory.FullPath();
    } catch (const XAssumption& error) {
      EXPECT_EQ(std::string(error.what()), std::string("Directory ") + path + " does not exist");
    }
  }
}

}  // namespace
