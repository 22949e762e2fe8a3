// Which inputs a run takes and where their outputs go: links inside a
// folder, an archive beside its unpacked track, and two inputs that would
// write one output.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#ifndef _WIN32
#include <sys/stat.h>
#endif

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

#ifndef _WIN32
// A named pipe with a picture's or a track's name has no writer: opening it
// must not wait for one, or the walk would never end.
TEST(MillviewInputs, NamedPipesInAFolderFailWithoutStoppingTheWalk) {
  TempDir dir;
  fs::create_directories(dir.path() / "in");
  testing_support::WriteBytes(dir / "in/z.mip", SmallMip());
  for (const char* name : {"in/x.trk", "in/y.mip"}) ASSERT_EQ(mkfifo((dir / name).c_str(), 0600), 0);

  // One job at a time, so that the failures are told in the order of the walk.
  const auto run = millview_test::RunMillview({"-j", "1", "in"}, dir.path().string());
  EXPECT_EQ(run.exit_status, 1) << run.standard_error;
  EXPECT_EQ(run.standard_output, "millview: 1 converted, 2 failed, 0 skipped\n");
  EXPECT_EQ(run.standard_error, "millview: in/x.trk: Couldn't open file " + (dir / "in/x.trk") +
                                    "\nmillview: in/y.mip: cannot open the file\n");
}
#endif

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

namespace {

/// A 2 x 2 PCX of 8 bits in one plane: four literal pixels and a grey palette.
std::vector<uint8_t> SmallPcx() {
  std::vector<uint8_t> pcx(128, 0);
  pcx[0] = 0x0A, pcx[1] = 5, pcx[2] = 1, pcx[3] = 8;
  pcx[8] = 1, pcx[10] = 1;  // last column and row
  pcx[65] = 1, pcx[66] = 2;  // one plane of two bytes a line
  for (uint8_t index : {1, 2, 3, 4}) pcx.push_back(index);
  pcx.push_back(0x0C);
  for (int i = 0; i < 256; ++i)
    for (int c = 0; c < 3; ++c) pcx.push_back(static_cast<uint8_t>(i * 3 + c));
  return pcx;
}

/// An archive of a track, a texture, a picture, a member that is no MIP and
/// a text, with the texture and the picture also loose in "loose/".
void WriteGame(const TempDir& dir, const std::string& folder) {
  fs::create_directories(dir.path() / folder / "loose");
  trackgen::WriteDatArchive(dir / (folder + "/BRAVO.DAT"), {{"BRAVO.TRK", TrackBytes(dir, 3)},
                                                            {"WALL.MIP", SmallMip()},
                                                            {"SIGN.PCX", SmallPcx()},
                                                            {"BAD.MIP", trackgen::BytesOf("no texture")},
                                                            {"README.TXT", trackgen::BytesOf("hi")}});
  testing_support::WriteBytes(dir / (folder + "/loose/wall.mip"), SmallMip());
  testing_support::WriteBytes(dir / (folder + "/loose/sign.pcx"), SmallPcx());
}

void ExpectSameBytes(const TempDir& dir, const std::vector<std::pair<std::string, std::string>>& pairs) {
  for (const auto& [member, loose] : pairs) {
    const std::vector<uint8_t> bytes = testing_support::ReadBytes(dir / member);
    EXPECT_FALSE(bytes.empty()) << member;
    EXPECT_EQ(bytes, testing_support::ReadBytes(dir / loose)) << member;
  }
}

TEST(MillviewArchives, MembersAreConvertedBesideTheArchiveAsLooseFilesAre) {
  TempDir dir;
  WriteGame(dir, "game");
  const auto run = millview_test::RunMillview({"game"}, dir.path().string());
  EXPECT_EQ(run.exit_status, 1);
  EXPECT_EQ(Unix(run.standard_output), "millview: 5 converted, 1 failed, 0 skipped\n");
  EXPECT_EQ(Unix(run.standard_error),
            "millview: " + Shown("game/BRAVO.DAT") + ":bad.mip: malformed MIP texture\n");
  EXPECT_EQ(millview_test::FilesBelow(dir / "game"),
            (Files{"BRAVO.DAT", "BRAVO.DAT.sign.pcx.png", "BRAVO.DAT.svg", "BRAVO.DAT.wall.mip.0.png",
                   "BRAVO.DAT.wall.mip.1.png", "loose/sign.pcx", "loose/sign.pcx.png", "loose/wall.mip",
                   "loose/wall.mip.0.png", "loose/wall.mip.1.png"}));
  ExpectSameBytes(dir, {{"game/BRAVO.DAT.wall.mip.0.png", "game/loose/wall.mip.0.png"},
                        {"game/BRAVO.DAT.wall.mip.1.png", "game/loose/wall.mip.1.png"},
                        {"game/BRAVO.DAT.sign.pcx.png", "game/loose/sign.pcx.png"}});
}

TEST(MillviewArchives, UnderAnOutputFolderTheGalleryShowsMembersUnderTheArchivesName) {
  TempDir dir;
  WriteGame(dir, "game");
  const auto run = millview_test::RunMillview({"game", "--sheet", "-o", "out", "--html", "-q"},
                                              dir.path().string());
  EXPECT_EQ(run.exit_status, 1);
  EXPECT_EQ(Unix(run.standard_output), "");
  // The plan's 3D view and its viewer depend on what the build carries;
  // the pictures and pages are what is compared here.
  Files pictures = millview_test::FilesBelow(dir / "out");
  pictures.erase(std::remove_if(pictures.begin(), pictures.end(),
                                [](const std::string& name) {
                                  const std::string ext = fs::path(name).extension().string();
                                  return ext == ".glb" || ext == ".js" ||
                                         name.find(".3d.") != std::string::npos;
                                }),
                 pictures.end());
  EXPECT_EQ(pictures, (Files{"BRAVO.DAT.sign.pcx.png", "BRAVO.DAT.svg", "BRAVO.DAT.wall.mip.0.png",
                             "BRAVO.DAT.wall.mip.1.png", "BRAVO.DAT.wall.mip.png", "index.html",
                             "loose/index.html", "loose/sign.pcx.png", "loose/wall.mip.0.png",
                             "loose/wall.mip.1.png", "loose/wall.mip.png"}));
  ExpectSameBytes(dir, {{"out/BRAVO.DAT.wall.mip.png", "out/loose/wall.mip.png"},
                        {"out/BRAVO.DAT.sign.pcx.png", "out/loose/sign.pcx.png"}});
  const std::vector<uint8_t> page = testing_support::ReadBytes(dir / "out/index.html");
  const std::string html(page.begin(), page.end());
  const std::size_t heading = html.find("<h2 class=\"archive\">BRAVO.DAT</h2>\n<div class=\"grid\">\n");
  ASSERT_NE(heading, std::string::npos) << html;
  const std::size_t wall = html.find("<strong>wall.mip</strong>", heading);
  const std::size_t sign = html.find("<strong>sign.pcx</strong>", heading);
  EXPECT_NE(wall, std::string::npos) << html;
  EXPECT_LT(wall, sign) << html;
  EXPECT_NE(html.find("src=\"BRAVO.DAT.wall.mip.0.png\""), std::string::npos) << html;
}

TEST(MillviewArchives, UnsafeMemberNamesBecomeUnderscoresAndTheSecondForOneOutputFails) {
  TempDir dir;
  trackgen::WriteDatArchive(dir / "X.DAT", {{"A:B.MIP", SmallMip()}, {"A/B.MIP", SmallMip()}});
  const auto run = millview_test::RunMillview({"X.DAT"}, dir.path().string());
  EXPECT_EQ(run.exit_status, 1);
  EXPECT_EQ(Unix(run.standard_output), "millview: 2 converted, 1 failed, 0 skipped\n");
  EXPECT_EQ(Unix(run.standard_error),
            "millview: X.DAT:a/b.mip: its outputs are also made from X.DAT:a:b.mip\n");
  EXPECT_EQ(millview_test::FilesBelow(dir.path().string()),
            (Files{"X.DAT", "X.DAT.a_b.mip.0.png", "X.DAT.a_b.mip.1.png"}));
}

TEST(MillviewArchives, AnArchiveTheReaderRefusesIsReportedOnce) {
  TempDir dir;
  std::vector<uint8_t> archive = trackgen::BuildDatArchive({{"WALL.MIP", SmallMip()}});
  archive[trackgen::DatEntryOffset(0) + trackgen::kDatEntryType] = 4;
  testing_support::WriteBytes(dir / "X.DAT", archive);
  const auto run = millview_test::RunMillview({"X.DAT"}, dir.path().string());
  EXPECT_EQ(run.exit_status, 1);
  EXPECT_EQ(Unix(run.standard_output), "millview: 0 converted, 1 failed, 0 skipped\n");
  EXPECT_EQ(Unix(run.standard_error), "millview: X.DAT: MOTA dat file subfile type not 5\n");
  EXPECT_EQ(millview_test::FilesBelow(dir.path().string()), (Files{"X.DAT"}));
}

}  // namespace
