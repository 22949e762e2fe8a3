// Whole folders: structure kept under -o, unknown files skipped, and a
// malformed texture and a truncated track (which gets no model either)
// named without stopping the rest.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "millview_test_support.h"
#include "platform/path.h"
#include "support/temp_dir.h"
#include "tools/lib/synthetic_track.h"
#include "tools/lib/track_formats.h"

namespace {

using testing_support::TempDir;

std::vector<uint8_t> SmallMip() {
  return millview_test::MipBytes({{kFormat565, 4, 4, std::vector<uint32_t>(16, 0x1234)},
                                  {kFormat565, 2, 2, std::vector<uint32_t>(4, 0x4321)}},
                                 nullptr);
}

// An uncompressed 24-bit Targa of 2 x 2 pixels.
std::vector<uint8_t> SmallTarga() {
  std::vector<uint8_t> bytes(18, 0);
  bytes[2] = 2;
  bytes[12] = 2;
  bytes[14] = 2;
  bytes[16] = 24;
  for (int n = 0; n < 4; ++n) {
    bytes.push_back(static_cast<uint8_t>(n * 60));  // blue, green, red
    bytes.push_back(20);
    bytes.push_back(200);
  }
  return bytes;
}

TEST(MillviewBatch, ConvertsTheRestAroundTwoBrokenFilesAndKeepsTheStructure) {
  TempDir dir;
  std::filesystem::create_directories(dir.path() / "in" / "sub" / "deep");
  testing_support::WriteBytes(dir / "in/a.mip", SmallMip());
  std::vector<uint8_t> broken = SmallMip();
  broken[68] = kFormat4444;  // level 0's header no longer agrees with the MIP header
  testing_support::WriteBytes(dir / "in/b_bad.mip", broken);
  testing_support::WriteBytes(dir / "in/notes.txt", {'h', 'i'});
  testing_support::WriteBytes(dir / "in/sub/c.tga", SmallTarga());
  SyntheticTrackOptions options;
  options.surface_styles = ConvertibleSurfaceStyles();
  trackgen::WriteTrack(trackgen::TrackFormat::kVtr, dir / "in/sub/d.trk",
                       Handle<TrkFile>(new SyntheticTrack(options)));
  std::vector<uint8_t> track = testing_support::ReadBytes(dir / "in/sub/d.trk");
  track.resize(track.size() / 2);
  testing_support::WriteBytes(dir / "in/sub/e.trk", track);
  testing_support::WriteBytes(dir / "in/sub/deep/f.mip", SmallMip());

  const auto run = millview_test::RunMillview({"in", "--3d", "-o", "out", "-j", "2"}, dir.path().string());
  EXPECT_EQ(run.exit_status, 1);
  EXPECT_NE(run.standard_error.find("b_bad.mip: "), std::string::npos) << run.standard_error;
  EXPECT_NE(run.standard_error.find("e.trk: "), std::string::npos) << run.standard_error;
  EXPECT_NE(run.standard_output.find("millview: 4 converted, 2 failed, 1 skipped"), std::string::npos)
      << run.standard_output;
  EXPECT_EQ(millview_test::FilesBelow(dir / "out"),
            (std::vector<std::string>{"a.mip.0.png", "a.mip.1.png", "sub/c.tga.png",
                                      "sub/d.trk.glb", "sub/d.trk.svg", "sub/deep/f.mip.0.png", "sub/deep/f.mip.1.png"}));
}

// --html: a gallery in every output folder, linking down and back up, with
// only relative links and nothing to run.
TEST(MillviewBatch, GalleriesLinkEveryFolder) {
  TempDir dir;
  std::filesystem::create_directories(dir.path() / "in" / "sub");
  testing_support::WriteBytes(dir / "in/a.mip", SmallMip());
  testing_support::WriteBytes(dir / "in/sub/c.tga", SmallTarga());
  const auto run = millview_test::RunMillview({"--html", "-q", "-o", "out", "in"}, dir.path().string());
  ASSERT_EQ(run.exit_status, 0) << run.standard_error;
  EXPECT_EQ(run.standard_output, "");
  const std::vector<uint8_t> top = testing_support::ReadBytes(dir / "out/index.html");
  const std::vector<uint8_t> sub = testing_support::ReadBytes(dir / "out/sub/index.html");
  const std::string top_html(top.begin(), top.end()), sub_html(sub.begin(), sub.end());
  for (const char* part : {"href=\"sub/index.html\"", "src=\"a.mip.0.png\"", "href=\"a.mip.1.png\"",
                           "href=\"a.mip.png\""})
    EXPECT_NE(top_html.find(part), std::string::npos) << part;
  for (const char* part : {"href=\"../index.html\"", "src=\"c.tga.png\"", "2 x 2 pixels"})
    EXPECT_NE(sub_html.find(part), std::string::npos) << part;
  for (const std::string& html : {top_html, sub_html}) {
    EXPECT_EQ(html.find("<script"), std::string::npos);
    EXPECT_EQ(html.find("://"), std::string::npos);
  }
}

}  // namespace

namespace {

std::string In(const std::string& name) { return std::string("in") + platform::kSeparator + name; }

// Text with the line ends of Windows consoles made plain.
std::string Plain(std::string text) {
  text.erase(std::remove(text.begin(), text.end(), '\r'), text.end());
  return text;
}

// PNG pictures are shown like the other pictures. On a later run millview's
// own PNGs beside their sources are skipped, and -v names every skipped
// file with the reason.
TEST(MillviewBatch, PngSourcesConvertAndOwnOutputsAreSkipped) {
  TempDir dir;
  std::filesystem::create_directories(dir.path() / "in");
  testing_support::WriteBytes(dir / "in/c.tga", SmallTarga());
  ASSERT_EQ(millview_test::RunMillview({"-q", "in/c.tga"}, dir.path().string()).exit_status, 0);
  std::filesystem::rename(dir.path() / "in/c.tga.png", dir.path() / "in/photo.png");
  testing_support::WriteBytes(dir / "in/a.mip", SmallMip());
  testing_support::WriteBytes(dir / "in/notes.txt", {'h', 'i'});

  auto first = millview_test::RunMillview({"-v", "-j", "1", "in"}, dir.path().string());
  EXPECT_EQ(first.exit_status, 0) << first.standard_error;
  EXPECT_EQ(Plain(first.standard_output), "millview: " + In("notes.txt") +
                                       ": skipped, not a texture, picture or track\n"
                                       "millview: 3 converted, 0 failed, 1 skipped\n");
  const millview_test::Decoded source = millview_test::DecodePng(dir / "in/photo.png");
  const millview_test::Decoded shown = millview_test::DecodePng(dir / "in/photo.png.png");
  ASSERT_EQ(shown.width, 2);
  EXPECT_EQ(shown.rgba, source.rgba);

  auto again = millview_test::RunMillview({"-v", "in"}, dir.path().string());
  EXPECT_EQ(again.exit_status, 0) << again.standard_error;
  EXPECT_EQ(Plain(again.standard_output),
            "millview: " + In("a.mip.0.png") + ": skipped, made by millview from a.mip\n" +
                "millview: " + In("a.mip.1.png") + ": skipped, made by millview from a.mip\n" +
                "millview: " + In("c.tga.png") + ": skipped, made by millview from c.tga\n" +
                "millview: " + In("notes.txt") + ": skipped, not a texture, picture or track\n" +
                "millview: " + In("photo.png.png") + ": skipped, made by millview from photo.png\n" +
                "millview: 3 converted, 0 failed, 5 skipped\n");
}

// An output that is the input itself (a link to it) fails that input, and
// the input stays as it was.
TEST(MillviewBatch, AnOutputThatIsTheInputIsRefused) {
  TempDir dir;
  std::filesystem::create_directories(dir.path() / "in");
  testing_support::WriteBytes(dir / "in/a.mip", SmallMip());
  std::filesystem::create_hard_link(dir.path() / "in/a.mip", dir.path() / "in/a.mip.1.png");
  auto run = millview_test::RunMillview({"in/a.mip"}, dir.path().string());
  EXPECT_EQ(run.exit_status, 1);
  EXPECT_EQ(Plain(run.standard_error),
            "millview: in/a.mip: cannot write " + In("a.mip.1.png") + ": it is the input itself\n");
  EXPECT_EQ(testing_support::ReadBytes(dir / "in/a.mip"), SmallMip());
  EXPECT_EQ(millview_test::FilesBelow(dir / "in"), (std::vector<std::string>{"a.mip", "a.mip.1.png"}));
}

}  // namespace

namespace {

// A 24-bit PCX in three planes is named with what it is, not misread.
TEST(MillviewBatch, PcxOfSeveralPlanesIsNamedNotMisread) {
  TempDir dir;
  std::vector<uint8_t> pcx(128 + 6, 40);  // the header, then 2 x 1 pixels in 3 planes
  std::fill(pcx.begin(), pcx.begin() + 128, 0);
  pcx[0] = 0x0A, pcx[1] = 5, pcx[3] = 8, pcx[8] = 1, pcx[65] = 3;
  testing_support::WriteBytes(dir / "rgb.pcx", pcx);
  auto run = millview_test::RunMillview({"rgb.pcx"}, dir.path().string());
  EXPECT_EQ(run.exit_status, 1);
  EXPECT_EQ(Plain(run.standard_error),
            "millview: rgb.pcx: PCX of 8 bits per pixel in 3 planes; only 8-bit one-plane PCX pictures are read\n");
  EXPECT_EQ(millview_test::FilesBelow(dir.path().string()), std::vector<std::string>{"rgb.pcx"});
}

}  // namespace
