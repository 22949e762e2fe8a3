// pixmill interrupted while it writes its output: the temporary goes, the
// old output stays as it was, and the end is the interruption's.

#include <gtest/gtest.h>

#include <filesystem>

#include "pictures.h"
#include "support/interrupt_run.h"
#include "support/temp_dir.h"

namespace pixmill_e2e {
namespace {

using testing_support::ReadBytes;
using testing_support::TempDir;
using testing_support::WriteBytes;

class PixmillInterrupted : public ::testing::TestWithParam<platform::Interruption> {};

TEST_P(PixmillInterrupted, LeavesNoTemporaryAndTheOldOutput) {
  TempDir dir;
  // The largest picture pixmill takes, quantized with the slowest method,
  // keeps the temporary on disk long enough to be seen.
  const Picture picture = MakePicture(256, 256, [](int x, int y) {
    return Rgba{uint8_t(x), uint8_t(y), uint8_t(x * 7 ^ y * 3), 255};
  });
  WriteBytes((dir / "big.tga"), TgaFile(picture, 32, false, false));
  const std::vector<std::string> arguments = {"-4", "-heck", "big.tga", "big.mip"};
  const Bytes old = {'o', 'l', 'd'};
  // The run is short: a few tries may see it end before the signal lands.
  bool hit = false;
  for (int attempt = 0; attempt < 30 && !hit; ++attempt) {
    WriteBytes(dir / "big.mip", old);
    testing_support::Sent sent;
    const platform::ProcessResult result = testing_support::InterruptWhenWriting(
        PIXMILL_EXE, arguments, dir.path(), dir.path(), GetParam(), sent);
    ASSERT_TRUE(result.started) << result.standard_error;
    if (sent == testing_support::Sent::kCannotSend) GTEST_SKIP() << testing_support::kCannotInterrupt;
    EXPECT_EQ(testing_support::TemporariesBelow(dir.path()), std::vector<std::string>());
    if (result.exit_status == 0) {
      EXPECT_NE(ReadBytes(dir / "big.mip"), old);
      continue;
    }
    hit = true;
    EXPECT_EQ(result.signal, testing_support::SignalOf(GetParam())) << result.standard_output;
    EXPECT_EQ(ReadBytes(dir / "big.mip"), old);
  }
  EXPECT_TRUE(hit) << "pixmill always ended before the interruption reached it";
}

INSTANTIATE_TEST_SUITE_P(Signals, PixmillInterrupted, ::testing::ValuesIn(testing_support::Interruptions()),
                         testing_support::InterruptionName);

}  // namespace
}  // namespace pixmill_e2e
