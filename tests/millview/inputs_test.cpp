// Which inputs a run takes and where their outputs go: links inside a
// folder, an archive beside its unpacked track, and two inputs that would
// write one output.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "millview_test_support.h"
#include "support/temp_dir.h"
#include "tools/lib/synthetic_dat.h"
#include "tools/lib/synthetic_track.h"
#include "tools/lib/track_formats.h"

namespace {

namespace fs = std::filesystem;
using Files = std::vector<std::string>;
using testing_support::TempDir;

std::vector<uint8_t> SmallMip() {
  return millview_test::MipBytes({{kFormat565, 2, 2, std::vector<uint32_t>(4, 0x1234)},
                                  {kFormat565, 1, 1, std::vector<uint32_t>(1, 0x4321)}},
                                 nullptr);
}

std::vector<uint8_t> TrackBytes(const TempDir& dir, unsigned seed) {
  SyntheticTrackOptions options;
  options.surface_styles = ConvertibleSurfaceStyles();
  options.seed = seed;
  const std::string path = dir / ("track" + std::to_string(seed) + ".bin");
  trackgen::WriteTrack(trackgen::TrackFormat::kVtr, path, Handle<TrkFile>(new SyntheticTrack(options)));
  std::vector<uint8_t> bytes = testing_support::ReadBytes(path);
  fs::remove(path);
  return bytes;
}

/// Text as printed, with Windows' line ends made plain.
std::string Unix(std::string text) {
  text.erase(std::remove(text.begin(), text.end(), '\r'), text.end());
  return text;
}

/// A relative path as the program prints it.
std::string Shown(const std::string& path) { return fs::path(path).make_preferred().string(); }

TEST(MillviewInputs, AFolderWalkNeverFollowsALinkToAFolder) {
  TempDir dir;
  fs::create_directories(dir.path() / "in/a");
  fs::create_directories(dir.path() / "outside");
  testing_support::WriteBytes(dir / "in/a/x.mip", SmallMip());
  testing_support::WriteBytes(dir / "outside/y.mip", SmallMip());
  std::error_code error;
  fs::create_directory_symlink("..", dir.path() / "in/a/up", error);
  if (!error) fs::create_directory_symlink(dir.path() / "outside", dir.path() / "in/a/etc", error);
  if (!error) fs::create_symlink(dir.path() / "outside/y.mip", dir.path() / "in/a/linked.mip", error);
  if (error) GTEST_SKIP() << "no symbolic links here: " << error.message();

  // Outputs beside the inputs: nothing below the links, nothing outside.
  auto run = millview_test::RunMillview({"in"}, dir.path().string());
  EXPECT_EQ(run.exit_status, 0) << run.standard_error;
  EXPECT_EQ(Unix(run.standard_output), "millview: 2 converted, 0 failed, 2 skipped\n");
  EXPECT_EQ(millview_test::FilesBelow(dir / "in/a"),
            (Files{"linked.mip", "linked.mip.0.png", "linked.mip.1.png", "x.mip", "x.mip.0.png",
                   "x.mip.1.png"}));
  EXPECT_EQ(millview_test::FilesBelow(dir / "outside"), Files{"y.mip"});

  run = millview_test::RunMillview({"-o", "out", "in"}, dir.path().string());
  EXPECT_EQ(run.exit_status, 0) << run.standard_error;
  EXPECT_EQ(millview_test::FilesBelow(dir / "out"),
            (Files{"a/linked.mip.0.png", "a/linked.mip.1.png", "a/x.mip.0.png", "a/x.mip.1.png"}));
}

// -v names the links to folders the walk passes by, as it names every
// other file it skips.
TEST(MillviewInputs, VerboseNamesTheLinksToFoldersItDoesNotWalk) {
  TempDir dir;
  fs::create_directories(dir.path() / "in/a");
  fs::create_directories(dir.path() / "outside");
  testing_support::WriteBytes(dir / "in/a/x.mip", SmallMip());
  std::error_code error;
  fs::create_directory_symlink("..", dir.path() / "in/a/up", error);
  if (!error) fs::create_directory_symlink(dir.path() / "outside", dir.path() / "in/a/etc", error);
  if (error) GTEST_SKIP() << "no symbolic links here: " << error.message();

  const auto run = millview_test::RunMillview({"-v", "in"}, dir.path().string());
  EXPECT_EQ(run.exit_status, 0) << run.standard_error;
  EXPECT_EQ(Unix(run.standard_output),
            "millview: " + Shown("in/a/etc") + ": skipped, a link to a folder, which is not walked\n" +
                "millview: " + Shown("in/a/up") + ": skipped, a link to a folder, which is not walked\n" +
                "millview: 1 converted, 0 failed, 2 skipped\n");
  EXPECT_EQ(millview_test::FilesBelow(dir / "in/a"), (Files{"x.mip", "x.mip.0.png", "x.mip.1.png"}));
}

TEST(MillviewInputs, AnArchiveAndItsUnpackedTrackGetPlansOfTheirOwn) {
  TempDir dir;
  fs::create_directories(dir.path() / "Bravo");
  const std::vector<uint8_t> track = TrackBytes(dir, 3);
  trackgen::WriteDatArchive(dir / "Bravo/BRAVO.DAT", {{"BRAVO.TRK", track}});
  testing_support::WriteBytes(dir / "Bravo/bravo.trk", track);
  trackgen::WriteDatArchive(dir / "Bravo/TWO.DAT",
                            {{"FIRST.TRK", track}, {"README.TXT", {'h', 'i'}}, {"SECOND.TRK", TrackBytes(dir, 4)}});

  const auto run = millview_test::RunMillview({"Bravo"}, dir.path().string());
  EXPECT_EQ(run.exit_status, 0) << run.standard_error;
  EXPECT_EQ(Unix(run.standard_output), "millview: 3 converted, 0 failed, 0 skipped\n");
  // A further member's plan carries its name as the archive reader gives it.
  EXPECT_EQ(millview_test::FilesBelow(dir / "Bravo"),
            (Files{"BRAVO.DAT", "BRAVO.DAT.svg", "TWO.DAT", "TWO.DAT.second.trk.svg", "TWO.DAT.svg",
                   "bravo.trk", "bravo.trk.svg"}));
}

TEST(MillviewInputs, TheSecondInputForOneOutputFailsNamingTheFirst) {
  TempDir dir;
  for (const char* name : {"one/x.mip", "two/X.MIP", "three/y.mip"}) {
    fs::create_directories(fs::path(dir / name).parent_path());
    testing_support::WriteBytes(dir / name, SmallMip());
  }
  const auto run = millview_test::RunMillview({"-j", "2", "-o", "out", "one", "two", "three", "three/y.mip"},
                                              dir.path().string());
  EXPECT_EQ(run.exit_status, 1);
  EXPECT_EQ(Unix(run.standard_output), "millview: 2 converted, 2 failed, 0 skipped\n");
  // The folders' files as the walk joins them; the file named on its own
  // as given.
  const std::pair<std::string, std::string> refused[] = {{Shown("two/X.MIP"), Shown("one/x.mip")},
                                                         {"three/y.mip", Shown("three/y.mip")}};
  for (const auto& [second, first] : refused)
    EXPECT_NE(Unix(run.standard_error).find("millview: " + second + ": its outputs are also made from " + first + "\n"),
              std::string::npos)
        << run.standard_error;
  EXPECT_EQ(millview_test::FilesBelow(dir / "out"),
            (Files{"x.mip.0.png", "x.mip.1.png", "y.mip.0.png", "y.mip.1.png"}));
}

}  // namespace
