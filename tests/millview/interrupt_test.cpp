// millview interrupted in the middle of a batch: no temporary is left, and
// every output is either the one from before or a complete new one.

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "millview_test_support.h"
#include "support/interrupt_run.h"
#include "support/temp_dir.h"
#include "tools/lib/synthetic_track.h"
#include "tools/lib/track_formats.h"

namespace {

namespace fs = std::filesystem;
using testing_support::ReadBytes;
using testing_support::TempDir;
using testing_support::WriteBytes;

class MillviewInterrupted : public ::testing::TestWithParam<platform::Interruption> {};

TEST_P(MillviewInterrupted, LeavesNoTemporaryAndEachOutputWhole) {
  TempDir dir;
  fs::create_directories(dir.path() / "in");
  SyntheticTrackOptions options;
  options.surface_styles = ConvertibleSurfaceStyles();
  trackgen::WriteTrack(trackgen::TrackFormat::kVtr, dir / "in/t000.trk",
                       Handle<TrkFile>(new SyntheticTrack(options)));
  const std::vector<uint8_t> track = ReadBytes(dir / "in/t000.trk");
  const std::vector<uint8_t> mip = millview_test::MipBytes(
      {{kFormat565, 64, 64, std::vector<uint32_t>(64 * 64, 0x1234)}}, nullptr);
  // Enough inputs that the batch is still running when its first output
  // is being written.
  for (int n = 0; n < 50; ++n) {
    const std::string number = std::to_string(1000 + n).substr(1);
    WriteBytes(dir / ("in/t" + number + ".trk"), track);
    WriteBytes(dir / ("in/m" + number + ".mip"), mip);
  }
  // What a whole run makes.
  const auto whole = millview_test::RunMillview({"in", "-o", "whole", "-q"}, dir.path().string());
  ASSERT_EQ(whole.exit_status, 0) << whole.standard_error;
  std::map<std::string, std::vector<uint8_t>> complete;
  fs::create_directories(dir.path() / "out");
  for (const std::string& name : millview_test::FilesBelow(dir / "whole")) {
    complete[name] = ReadBytes(dir / ("whole/" + name));
    WriteBytes(dir / ("out/" + name), {'o', 'l', 'd'});
  }

  testing_support::Sent sent;
  const platform::ProcessResult result = testing_support::InterruptWhenWriting(
      MILLVIEW_EXE, {"in", "-o", "out", "-j", "2", "-q"}, dir.path(), dir.path() / "out", GetParam(), sent);
  ASSERT_TRUE(result.started) << result.standard_error;
  if (sent == testing_support::Sent::kCannotSend) GTEST_SKIP() << testing_support::kCannotInterrupt;
  ASSERT_EQ(sent, testing_support::Sent::kSent);
  EXPECT_EQ(result.signal, testing_support::SignalOf(GetParam())) << result.standard_error;
  EXPECT_EQ(testing_support::TemporariesBelow(dir.path()), std::vector<std::string>());
  std::size_t kept = 0;
  for (const auto& [name, bytes] : complete) {
    const std::vector<uint8_t> now = ReadBytes(dir / ("out/" + name));
    if (now == bytes) continue;
    EXPECT_EQ(now, (std::vector<uint8_t>{'o', 'l', 'd'})) << name;
    ++kept;
  }
  EXPECT_GT(kept, 0u);
  EXPECT_EQ(millview_test::FilesBelow(dir / "out").size(), complete.size());
}

INSTANTIATE_TEST_SUITE_P(Signals, MillviewInterrupted, ::testing::ValuesIn(testing_support::Interruptions()),
                         testing_support::InterruptionName);

}  // namespace
