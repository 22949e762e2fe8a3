// An output whose final file another program holds open: the systems
// disagree on whether it may be replaced, and both outcomes must be clean.

#include <gtest/gtest.h>

#include <fstream>

#include "support/platform_conventions.h"
#include "support/temp_dir.h"
#include "trackconv/foundation/atomic_output.h"
#include "trackconv/foundation/errors.h"

namespace {

using testing_support::ListNames;
using testing_support::ReadBytes;
using testing_support::ScopedCurrentDirectory;
using testing_support::TempDir;
using testing_support::WriteBytes;

TEST(AtomicOutputSharing, FinalFileHeldOpenByAnotherReader) {
  TempDir dir;
  ScopedCurrentDirectory in_dir(dir.path());
  WriteBytes(dir / "alpha.xq", {1, 2, 3});
  std::ifstream other_program(dir / "alpha.xq", std::ios::binary);
  ASSERT_TRUE(other_program.is_open());

  std::string failure;
  try {
    AtomicOutput output("alpha.xq");
    uint8_t data[2] = {7, 8};
    output.File()->Write(2, data);
    output.Commit();
  } catch (const XFileOpen& error) {
    failure = error.what();
  }
  other_program.close();

  if (testing_support::WindowsConventions()) {
    // Windows does not let a file another program holds be opened for
    // writing: the output is refused before anything is written, naming
    // the final file, and the old one stays.
    EXPECT_EQ(failure, "Couldn't open file " + (dir / "alpha.xq"));
    EXPECT_EQ(ReadBytes(dir / "alpha.xq"), (std::vector<uint8_t>{1, 2, 3}));
  } else {
    // POSIX replaces the name; the reader keeps the old content.
    EXPECT_EQ(failure, "");
    EXPECT_EQ(ReadBytes(dir / "alpha.xq"), (std::vector<uint8_t>{7, 8}));
  }
  EXPECT_EQ(ListNames(dir.path()), std::vector<std::string>{"alpha.xq"}) << "no temporary left";
}

}  // namespace
