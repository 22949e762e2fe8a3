#include "trackconv/foundation/atomic_output.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "support/messages.h"
#include "support/temp_dir.h"
#include "trackconv/foundation/errors.h"

namespace {

using testing_support::ListNames;
using testing_support::ReadBytes;
using testing_support::ScopedCurrentDirectory;
using testing_support::TempDir;
using testing_support::WriteBytes;

TEST(AtomicOutput, ReplacesTheFinalFileOnlyOnCommit) {
  TempDir dir;
  ScopedCurrentDirectory in_dir(dir.path());
  WriteBytes(dir / "alpha.xq", {1, 2, 3});
  {
    AtomicOutput output("alpha.xq");
    EXPECT_EQ(output.File()->GetName(), "alpha.xq");
    uint8_t data[2] = {7, 8};
    output.File()->Write(2, data);
    EXPECT_EQ(ReadBytes(dir / "alpha.xq"), (std::vector<uint8_t>{1, 2, 3}));
    output.Commit();
  }
  EXPECT_EQ(ReadBytes(dir / "alpha.xq"), (std::vector<uint8_t>{7, 8}));
  EXPECT_EQ(ListNames(dir.path()), std::vector<std::string>{"alpha.xq"});
}

TEST(AtomicOutput, AbandonedOutputLeavesOldFileAndNoTemporary) {
  TempDir dir;
  ScopedCurrentDirectory in_dir(dir.path());
  WriteBytes(dir / "alpha.xq", {1, 2, 3});
  try {
    AtomicOutput output("alpha.xq");
    uint8_t data[2] = {7, 8};
    output.File()->Write(2, data);
    output.File()->Seek(5);  // past the end: the write fails midway
  } catch (const XFileSeek& error) {
    EXPECT_STREQ(error.what(), "Couldn't seek in file alpha.xq");
  }
  EXPECT_EQ(ReadBytes(dir / "alpha.xq"), (std::vector<uint8_t>{1, 2, 3}));
  EXPECT_EQ(ListNames(dir.path()), std::vector<std::string>{"alpha.xq"});

  { AtomicOutput unused("beta.xq"); }
  EXPECT_EQ(ListNames(dir.path()), std::vector<std::string>{"alpha.xq"});
}

TEST(AtomicOutput, ANameTakenByADirectoryIsRefusedAtOnce) {
  TempDir dir;
  ScopedCurrentDirectory in_dir(dir.path());
  std::filesystem::create_directory(dir.path() / "alpha.xq");
  for (bool claim_existing : {true, false}) {
    EXPECT_EQ(testing_support::MessageOf<XFileOpen>([&] { AtomicOutput output("alpha.xq", claim_existing); }),
              "Couldn't open file " + (dir / "alpha.xq"));
  }
  EXPECT_EQ(ListNames(dir.path()), std::vector<std::string>{"alpha.xq"}) << "no temporary left";
}

TEST(AtomicOutput, AFailedRenameNamesTheFinalFile) {
  TempDir dir;
  ScopedCurrentDirectory in_dir(dir.path());
  std::string message;
  {
    AtomicOutput output("alpha.xq");
    // The name is taken after the claim, so only the rename can find out.
    std::filesystem::create_directory(dir.path() / "alpha.xq");
    std::filesystem::create_directory(dir.path() / "alpha.xq" / "inside");
    message = testing_support::MessageOf<XFileOpen>([&] { output.Commit(); });
  }
  EXPECT_EQ(message, "Couldn't open file " + (dir / "alpha.xq"));
  EXPECT_EQ(ListNames(dir.path()), std::vector<std::string>{"alpha.xq"}) << "no temporary left";
}

TEST(AtomicOutput, UncreatableOutputNamesTheFinalFile) {
  TempDir dir;
  try {
    AtomicOutput output(dir / "missing-dir/alpha.xq");
    FAIL() << "created in a missing directory";
  } catch (const XFileOpen& error) {
    EXPECT_EQ(std::string(error.what()), "Couldn't open file " + (dir / "missing-dir/alpha.xq"));
  }
}

}  // namespace
