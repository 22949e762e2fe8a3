// SVG plans of generated closed tracks in each format millview reads.

#include <gtest/gtest.h>

#include <cmath>
#include <regex>
#include <set>
#include <string>
#include <vector>

#include "millview_test_support.h"
#include "support/temp_dir.h"
#include "tools/lib/synthetic_dat.h"
#include "tools/lib/synthetic_track.h"
#include "tools/lib/track_formats.h"
#include "trackconv/track/xq_trk_file.h"
#include "trackconv/track/xq_trk_reader.h"

namespace {

using testing_support::TempDir;

/// The centre line's points must meet within this many SVG units (the
/// drawing is 900 units across, so this is about a thousandth of it).
constexpr double kClosingTolerance = 1.0;

SyntheticTrackOptions Options(bool walls) {
  SyntheticTrackOptions options;
  options.sections = 26;
  options.laterals = 4;
  options.surfaces = 3;
  options.walls = walls ? 2 : 0;
  options.seed = 5;
  options.surface_styles = walls ? MotaSurfaceStyles() : ConvertibleSurfaceStyles();
  options.wall_kinds = {0, 1, 2, 5};
  options.thin_walls = walls;
  return options;
}

std::string Text(const std::string& path) {
  const std::vector<uint8_t> bytes = testing_support::ReadBytes(path);
  return std::string(bytes.begin(), bytes.end());
}

bool XmllintRuns() {
  return platform::RunProcess("xmllint", {"--version"}, ".").exit_status == 0;
}

struct Case {
  const char* input;  ///< the file millview is given
  const char* svg;    ///< the plan it writes
  bool walls;
  Handle<TrkFile> read;  ///< the track as its reader sees it
};

TEST(MillviewTracks, PlansAreWellFormedClosedAndShowWhatTheTrackHolds) {
  TempDir dir;
  const Handle<TrkFile> plain(new SyntheticTrack(Options(false)));
  const Handle<TrkFile> walled(new SyntheticTrack(Options(true)));
  trackgen::WriteTrack(trackgen::TrackFormat::kVtr, dir / "alpha.trk", plain);
  trackgen::WriteTrack(trackgen::TrackFormat::kMota, dir / "bravo.trk", walled);
  trackgen::WriteTrack(trackgen::TrackFormat::kMota, dir / "member.bin", walled);
  {
    Handle<SubFile> out(new SubFile(dir / "Charlie.xq", true, true));
    XQTrkFile(out, walled).Write();
  }
  trackgen::WriteDatArchive(dir / "Delta.dat", {{"DELTA.TRK", testing_support::ReadBytes(dir / "member.bin")}});
  const Handle<TrkFile> mota = trackgen::ReadTrack(trackgen::TrackFormat::kMota, dir / "bravo.trk");
  const Case cases[] = {
      {"alpha.trk", "alpha.trk.svg", false, trackgen::ReadTrack(trackgen::TrackFormat::kVtr, dir / "alpha.trk")},
      {"bravo.trk", "bravo.trk.svg", true, mota},
      {"Charlie.xq", "Charlie.xq.svg", true,
       Handle<TrkFile>(new XQTrkReader(Handle<SubFile>(new SubFile(dir / "Charlie.xq", false, false))))},
      {"Delta.dat", "Delta.dat.svg", true, mota}};
  for (const Case& c : cases) {
    const auto run = millview_test::RunMillview({c.input, "-q"}, dir.path().string());
    ASSERT_EQ(run.exit_status, 0) << c.input << ": " << run.standard_error;
  }
  const bool lint = XmllintRuns();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.svg);
    const std::string svg = Text(dir / c.svg);
    if (lint) {
      EXPECT_EQ(platform::RunProcess("xmllint", {"--noout", dir / c.svg}, ".").exit_status, 0);
    }

    std::smatch centre;
    ASSERT_TRUE(std::regex_search(svg, centre, std::regex("<path id=\"centre-line\"[^>]* d=\"([^\"]*)\"")));
    const std::string d = centre[1];
    EXPECT_EQ(d.substr(d.size() - 2), " Z");
    std::vector<double> numbers;
    const std::regex number("-?[0-9]+\\.?[0-9]*");
    for (auto it = std::sregex_iterator(d.begin(), d.end(), number); it != std::sregex_iterator(); ++it)
      numbers.push_back(std::stod(it->str()));
    ASSERT_GE(numbers.size(), 8u);
    const std::size_t n = numbers.size();
    EXPECT_LT(std::hypot(numbers[0] - numbers[n - 2], numbers[1] - numbers[n - 1]), kClosingTolerance);

    std::set<int> kinds;
    for (uint32_t i = 0; i < c.read->SectionCount(); ++i)
      for (uint32_t k = 0; k < c.read->SurfaceCount(i); ++k) kinds.insert(c.read->SurfaceKind(i, k));
    EXPECT_GE(kinds.size(), 2u);
    for (int kind : kinds)
      EXPECT_NE(svg.find("<path class=\"surface kind-" + std::to_string(kind) + "\""), std::string::npos) << kind;
    EXPECT_EQ(svg.find("class=\"wall\"") != std::string::npos, c.walls);
    EXPECT_NE(svg.find("<g id=\"legend\">"), std::string::npos);
    EXPECT_NE(svg.find("<g id=\"scale-bar\">"), std::string::npos);
    const std::regex lateral("class=\"lateral\"");
    EXPECT_EQ(std::distance(std::sregex_iterator(svg.begin(), svg.end(), lateral), std::sregex_iterator()), 4);
  }
}

}  // namespace
