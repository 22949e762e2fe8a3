// What an interruption removes: the temporaries of outputs, also while the
// program still holds them open for writing, and nothing else.

#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "platform/atomic_replace.h"
#include "platform/native_file.h"
#include "platform/process.h"
#include "support/platform_conventions.h"
#include "support/temp_dir.h"

namespace fs = std::filesystem;
using testing_support::TempDir;

namespace {

std::vector<uint8_t> Bytes(const std::string& text) { return std::vector<uint8_t>(text.begin(), text.end()); }

std::string FirstLine(const std::string& text) { return text.substr(0, text.find_first_of("\r\n")); }

TEST(InterruptCleanup, RemovesTemporariesStillOpenForWriting) {
  // How the interrupted program holds its temporary open.
  const char* const ways[] = {"native", "native-read", "stream"};
  for (const char* way : ways) {
    TempDir dir;
    testing_support::WriteText(dir / "final.bin", "old");
    const platform::ProcessResult result =
        platform::RunProcess(TEMPORARY_PROBE_EXE, {dir / "final.bin", way}, dir.path().string());
    ASSERT_TRUE(result.started) << result.standard_error;
    const std::string temporary = FirstLine(result.standard_output);
    ASSERT_FALSE(temporary.empty()) << way << ": status " << result.exit_status;
    if (testing_support::WindowsConventions()) {
      EXPECT_EQ(result.exit_status, -1) << way;
    } else {
      EXPECT_EQ(result.signal, 2) << way;
    }
    EXPECT_FALSE(fs::exists(temporary)) << way << ": " << temporary;
    EXPECT_EQ(testing_support::ListNames(dir.path()), std::vector<std::string>{"final.bin"}) << way;
    EXPECT_EQ(testing_support::ReadBytes(dir / "final.bin"), Bytes("old")) << way;
  }
}

// Only a temporary may go while it is open: a file that is no temporary,
// held open without sharing, stays locked against deletion where the
// system locks files.
TEST(InterruptCleanup, OnlyTemporariesMayGoWhileOpen) {
  struct Case {
    const char* name;
    bool temporary;
  } cases[] = {{"temporary", true}, {"plain file", false}};
  for (const Case& c : cases) {
    TempDir dir;
    testing_support::WriteText(dir / "plain.bin", "plain");
    const std::string path = c.temporary ? platform::CreateTemporaryFileBeside(dir / "final.bin") : dir / "plain.bin";
    ASSERT_FALSE(path.empty()) << c.name;
    const platform::NativeFile file =
        platform::OpenFile(path, platform::kGenericRead | platform::kGenericWrite, 0, platform::kOpenExisting);
    ASSERT_TRUE(file.valid()) << c.name;
    const bool removable = c.temporary || !testing_support::WindowsConventions();
    EXPECT_EQ(platform::RemoveFile(path), removable) << c.name;
    platform::CloseFile(file);
    EXPECT_EQ(fs::exists(path), !removable) << c.name;
  }
}

}  // namespace
