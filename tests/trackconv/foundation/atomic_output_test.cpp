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

#ifndef _WIN32
namespace {

namespace fs = std::filesystem;

// Where paths may be long (not under the 260-character limit of Windows):
// a final name of 255 characters works, an output that is a symbolic link is
// written through (its target replaced, the link kept), and a replaced
// output keeps its permission bits.
TEST(AtomicOutput, LongNamesLinksAndPermissionBits) {
  TempDir dir;
  ScopedCurrentDirectory in_dir(dir.path());
  fs::create_directory(dir.path() / "game");
  WriteBytes(dir / "game/linked.xq", {1});
  WriteBytes(dir / "plain.xq", {1});
  fs::create_symlink("game/linked.xq", dir.path() / "link.xq");
  const fs::perms mode = fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read;
  fs::permissions(dir.path() / "game/linked.xq", mode);
  fs::permissions(dir.path() / "plain.xq", mode);
  const std::string long_name = std::string(252, 'n') + ".xq";

  for (const std::string& name : {long_name, std::string("link.xq"), std::string("plain.xq")}) {
    AtomicOutput output(name);
    uint8_t data[2] = {7, 8};
    output.File()->Write(2, data);
    output.Commit();
  }
  EXPECT_EQ(ListNames(dir.path()), (std::vector<std::string>{"game", "link.xq", long_name, "plain.xq"}));
  EXPECT_EQ(ListNames(dir.path() / "game"), std::vector<std::string>{"linked.xq"});
  EXPECT_TRUE(fs::is_symlink(dir.path() / "link.xq"));
  for (const char* written : {"game/linked.xq", "plain.xq"}) {
    EXPECT_EQ(ReadBytes(dir / written), (std::vector<uint8_t>{7, 8})) << written;
    EXPECT_EQ(fs::status(dir.path() / written).permissions(), mode) << written;
  }
  EXPECT_EQ(ReadBytes(dir / long_name), (std::vector<uint8_t>{7, 8}));
}

}  // namespace
#endif

TEST(AtomicOutput, ANewNameIsPlacedButNeverReplacesAFileThatAppeared) {
  TempDir dir;
  std::filesystem::create_directory(dir.path() / "Sub");
  {
    // The folder is found regardless of letter case; the name is new.
    AtomicOutput output(dir / "SUB/new.mip", AtomicOutput::KnownFree());
    output.File()->Write(3, "abc");
    output.Commit();
  }
  EXPECT_EQ(ListNames(dir.path() / "Sub"), std::vector<std::string>{"new.mip"});
  EXPECT_EQ(ReadBytes(dir / "Sub/new.mip"), (std::vector<uint8_t>{'a', 'b', 'c'}));

  AtomicOutput late(dir / "Sub/late.mip", AtomicOutput::KnownFree());
  late.File()->Write(3, "new");
  testing_support::WriteText(dir / "Sub/late.mip", "old");  // another program was quicker
  try {
    late.Commit();
    ADD_FAILURE() << "a file that appeared was replaced";
  } catch (const XFileOpen& failure) {
    EXPECT_EQ(failure.what(), "Couldn't open file " + (dir / "Sub/late.mip"));
  }
  EXPECT_EQ(ReadBytes(dir / "Sub/late.mip"), (std::vector<uint8_t>{'o', 'l', 'd'}));
  EXPECT_EQ(ListNames(dir.path() / "Sub"), (std::vector<std::string>{"late.mip", "new.mip"}));
}
