// modbatch over a small mod, run as the real program with the real tools:
// what it converts, what it reports, and what a later run leaves alone.

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <fstream>
#include <functional>
#include <memory>
#include <chrono>
#include <filesystem>
#include <map>
#include <thread>
#include <string>
#include <vector>

#include "modbatch/batch.h"
#include "modbatch/build_record.h"
#include "modbatch/watch.h"
#include "pixmill/e2e/pictures.h"
#include "platform/process.h"
#include "rt_version.h"
#include "support/interrupt_run.h"
#include "support/temp_dir.h"
#include "trackconv/driver/dat_file.h"

namespace {

namespace fs = std::filesystem;
using pixmill_e2e::Bytes;
using pixmill_e2e::MakePicture;
using pixmill_e2e::Rgba;
using testing_support::ReadBytes;
using testing_support::TempDir;
using testing_support::WriteBytes;

struct Finished {
  int status;
  std::string out, err;
};

std::string Unix(std::string text) {
  for (size_t at = text.find("\r\n"); at != std::string::npos; at = text.find("\r\n", at)) text.erase(at, 1);
  return text;
}

Finished RunProgram(const std::string& program, const fs::path& directory,
               const std::vector<std::string>& arguments) {
  platform::ProcessResult r = platform::RunProcess(program, arguments, directory.string());
  return {r.exit_status, Unix(r.standard_output), Unix(r.standard_error)};
}

Finished Modbatch(const fs::path& directory, const std::vector<std::string>& arguments) {
  return RunProgram(MODBATCH_EXE, directory, arguments);
}

/// A path as the programs print it.
std::string Shown(const std::string& path) { return fs::path(path).make_preferred().string(); }

// The mod: pictures of each kind in nested folders, two track directories,
// a cut-off PNG and a track that is no track.
void MakeMod(const fs::path& mod) {
  auto colour = [](int x, int y) { return Rgba{uint8_t(x * 9), uint8_t(y * 17), uint8_t(x ^ y), uint8_t(x * 16)}; };
  pixmill_e2e::Picture picture = MakePicture(16, 8, colour);
  std::vector<uint16_t> samples;
  for (const Rgba& c : picture.pixels) samples.insert(samples.end(), {c.r, c.g, c.b, c.a});
  const Bytes png = pixmill_e2e::PngFile(16, 8, 6, 8, samples);
  std::vector<Rgba> palette(256, Rgba{40, 80, 120, 255});
  std::vector<uint8_t> indexes(8 * 8);
  for (size_t i = 0; i < indexes.size(); ++i) indexes[i] = uint8_t(i % 5);
  for (const char* d : {"tex/cars", "tex/sky/night", "Alpha", "Bravo", "Broken"}) fs::create_directories(mod / d);
  WriteBytes((mod / "tex/wall.tga").string(), pixmill_e2e::TgaFile(picture, 32, true, false));
  WriteBytes((mod / "tex/cars/red.png").string(), png);
  WriteBytes((mod / "tex/cars/blue.pcx").string(), pixmill_e2e::PcxFile(8, 8, indexes, palette));
  WriteBytes((mod / "tex/sky/night/stars.PNG").string(), png);
  WriteBytes((mod / "tex/sky/bad.png").string(), Bytes(png.begin(), png.begin() + 60));
  for (const char* track : {"Alpha", "Bravo"}) {
    fs::copy(fs::path(RT_SOURCE_DIR) / "examples/tracks" / track, mod / track);
  }
  testing_support::WriteText((mod / "Broken/broken.trk").string(), "no track");
}

const char* const kPictures[] = {"tex/wall.tga", "tex/cars/blue.pcx", "tex/cars/red.png",
                                 "tex/sky/night/stars.PNG"};

// Every file under `root` but the build records, with its bytes.
std::map<std::string, Bytes> Tree(const fs::path& root) {
  std::map<std::string, Bytes> files;
  for (const auto& entry : fs::recursive_directory_iterator(root)) {
    if (entry.is_regular_file() && entry.path().filename() != modbatch::BuildRecord::kFileName) {
      files[fs::relative(entry.path(), root).generic_string()] = ReadBytes(entry.path().string());
    }
  }
  return files;
}

// The same mod converted by hand, tool by tool, with `switches`.
std::map<std::string, Bytes> ByHand(const std::vector<std::string>& switches) {
  TempDir dir;
  MakeMod(dir.path());
  for (const char* picture : kPictures) {
    fs::path path = dir.path() / picture;
    std::vector<std::string> arguments = {path.filename().string()};
    arguments.insert(arguments.end(), switches.begin(), switches.end());
    EXPECT_EQ(RunProgram(PIXMILL_EXE, path.parent_path(), arguments).status, 0) << picture;
  }
  for (const char* track : {"Alpha", "Bravo"}) {
    EXPECT_EQ(RunProgram(TRACKCONV_EXE, dir.path() / track, {}).status, 0) << track;
  }
  return Tree(dir.path());
}

// File times have the system's tick as grain: every file is made an hour
// older, so that an input touched half an hour ago is newer than its
// output and older than any output written from now on.
void Age(const fs::path& root) {
  for (const auto& entry : fs::recursive_directory_iterator(root)) {
    if (entry.is_regular_file()) fs::last_write_time(entry.path(), entry.last_write_time() - std::chrono::hours(1));
  }
}

void Touch(const fs::path& path) {
  fs::last_write_time(path, fs::file_time_type::clock::now() - std::chrono::minutes(30));
}

// Failures come in the order the conversions end.
std::string SortedLines(const std::string& text) {
  std::vector<std::string> lines;
  for (size_t start = 0, end; start < text.size(); start = end + 1) {
    end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    lines.push_back(text.substr(start, end - start));
  }
  std::sort(lines.begin(), lines.end());
  std::string sorted;
  for (const std::string& line : lines) sorted += line + "\n";
  return sorted;
}

TEST(Modbatch, ConvertsOnlyWhatChangedAndNamesEachFailureOnce) {
  TempDir dir;
  MakeMod(dir.path() / "mod");
  Age(dir.path() / "mod");
  const std::string brokenTrack =
      RunProgram(TRACKCONV_EXE, dir.path() / "mod/Broken", {}).err;
  const std::string failures = Shown("mod/tex/sky/bad.png") + ": Error reading PNG.\n" +
                               Shown("mod/Broken") + ": " + brokenTrack + "\n";

  Finished first = Modbatch(dir.path(), {"mod"});
  EXPECT_EQ(first.status, 1);
  EXPECT_EQ(first.out, "6 converted, 0 up to date, 2 failed\n");
  EXPECT_EQ(SortedLines(first.err), SortedLines(failures));
  EXPECT_EQ(Tree(dir.path() / "mod"), ByHand({}));

  Finished second = Modbatch(dir.path(), {"-j", "1", "mod"});
  EXPECT_EQ(second.out, "0 converted, 6 up to date, 2 failed\n");
  EXPECT_EQ(second.status, 1);

  // Each step lists what a run would convert, then converts it. A touch
  // alone converts nothing: the bytes are what they were.
  struct Step {
    const char* touched;  // an input made newer, or none
    std::vector<std::string> switches;
    std::string wouldRun;
    const char* added = nullptr;  // a file added to a folder
  } steps[] = {
      {"tex/cars/red.png", {},
       Shown("mod/Broken") + ": trackconv\n" + Shown("mod/tex/sky/bad.png") +
           ": pixmill bad.png\n2 to convert, 6 up to date\n"},
      // Every file trackconv reads for a track is an input of it.
      {nullptr, {},
       Shown("mod/Bravo") + ": trackconv\n" + Shown("mod/Broken") + ": trackconv\n" +
           Shown("mod/tex/sky/bad.png") + ": pixmill bad.png\n3 to convert, 5 up to date\n",
       "Bravo/replay.rpy"},
      {nullptr, {"-transp"},
       Shown("mod/Broken") + ": trackconv\n" + Shown("mod/tex/wall.tga") + ": pixmill wall.tga -transp\n" +
           Shown("mod/tex/cars/blue.pcx") + ": pixmill blue.pcx -transp\n" + Shown("mod/tex/cars/red.png") +
           ": pixmill red.png -transp\n" + Shown("mod/tex/sky/bad.png") + ": pixmill bad.png -transp\n" +
           Shown("mod/tex/sky/night/stars.PNG") + ": pixmill stars.PNG -transp\n6 to convert, 2 up to date\n"},
  };
  for (const Step& step : steps) {
    SCOPED_TRACE(step.wouldRun);
    Age(dir.path() / "mod");
    if (step.touched) Touch(dir.path() / "mod" / step.touched);
    if (step.added) testing_support::WriteText((dir.path() / "mod" / step.added).string(), "replay");
    std::vector<std::string> arguments = {"--dry-run", "mod"};
    if (!step.switches.empty()) arguments.push_back("--");
    arguments.insert(arguments.end(), step.switches.begin(), step.switches.end());
    EXPECT_EQ(Modbatch(dir.path(), arguments).out, step.wouldRun);
    arguments.erase(arguments.begin());
    EXPECT_EQ(SortedLines(Modbatch(dir.path(), arguments).err), SortedLines(failures));
  }
  std::map<std::string, Bytes> expected = ByHand({"-transp"});
  expected["Bravo/replay.rpy"] = Bytes{'r', 'e', 'p', 'l', 'a', 'y'};
  EXPECT_EQ(Tree(dir.path() / "mod"), expected);
  // Forced, everything runs again.
  EXPECT_EQ(Modbatch(dir.path(), {"--force", "-q", "mod", "--", "-transp"}).out, "");
  EXPECT_EQ(Modbatch(dir.path(), {"mod", "--", "-transp"}).out, "0 converted, 6 up to date, 2 failed\n");
}

// A picture that fails after it once converted keeps its older output, as
// pixmill leaves it, and is tried again by the next run.
TEST(Modbatch, FailedInputKeepsItsOlderOutputAndIsTriedAgain) {
  TempDir dir;
  MakeMod(dir.path() / "mod");
  Modbatch(dir.path(), {"mod"});
  const Bytes older = ReadBytes((dir.path() / "mod/tex/cars/red.mip").string());
  Age(dir.path() / "mod");
  const Bytes png = ReadBytes((dir.path() / "mod/tex/cars/red.png").string());
  WriteBytes((dir.path() / "mod/tex/cars/red.png").string(), Bytes(png.begin(), png.begin() + 60));
  Touch(dir.path() / "mod/tex/cars/red.png");
  EXPECT_EQ(Modbatch(dir.path(), {"mod"}).status, 1);
  EXPECT_EQ(ReadBytes((dir.path() / "mod/tex/cars/red.mip").string()), older);
  EXPECT_NE(Modbatch(dir.path(), {"--dry-run", "mod"}).out.find(Shown("mod/tex/cars/red.png") + ": pixmill"),
            std::string::npos);
}

TEST(Modbatch, OutputFolderKeepsTheStructure) {
  TempDir dir;
  MakeMod(dir.path() / "mod");
  Age(dir.path() / "mod");
  Finished run = Modbatch(dir.path(), {"-o", "out", "-j", "2", "mod", "--", "-transl", "-4", "-hist"});
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.out, "6 converted, 0 up to date, 2 failed\n");
  std::map<std::string, Bytes> byHand = ByHand({"-transl", "-4", "-hist"});
  std::map<std::string, Bytes> expected;
  for (const char* mip : {"tex/wall.mip", "tex/cars/blue.mip", "tex/cars/red.mip", "tex/sky/night/stars.mip"}) {
    expected[mip] = byHand[mip];
  }
  EXPECT_EQ(Tree(dir.path() / "out"), expected);
  EXPECT_TRUE(fs::exists(dir.path() / "mod/Alpha/Alpha.xq"));
  EXPECT_FALSE(fs::exists(dir.path() / "mod/tex/wall.mip"));
  EXPECT_EQ(Modbatch(dir.path(), {"-o", "out", "mod", "--", "-transl", "-4", "-hist"}).out,
            "0 converted, 6 up to date, 2 failed\n");
}

TEST(Modbatch, CommandLine) {
  TempDir dir;
  fs::create_directories(dir.path() / "empty");
  testing_support::WriteText((dir.path() / "a.png").string(), "picture");
  const std::string usage = "usage: modbatch [options] FOLDER... [-- pixmill switches]; see modbatch --help\n";
  struct Case {
    std::vector<std::string> arguments;
    int status;
    std::string out, err;
  } cases[] = {
      {{"--version"}, 0, std::string("modbatch ") + RT_VERSION + "\n", ""},
      {{"empty"}, 0, "0 converted, 0 up to date, 0 failed\n", ""},
      {{"-q", "empty"}, 0, "", ""},
      {{}, 2, "", "modbatch: no folder given\n" + usage},
      {{"-j", "0", "empty"}, 2, "", "modbatch: -j needs a positive number, not '0'\n" + usage},
      {{"-x", "empty"}, 2, "", "modbatch: unknown option -x\n" + usage},
      {{"-o"}, 2, "", "modbatch: option -o needs a value\n" + usage},
      {{"empty", "missing"}, 2, "", "modbatch: folder missing does not exist\n"},
      {{"empty", "a.png"}, 2, "", "modbatch: a.png is a file, not a folder\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.err);
    Finished run = Modbatch(dir.path(), c.arguments);
    EXPECT_EQ(run.status, c.status);
    EXPECT_EQ(run.out, c.out);
    EXPECT_EQ(run.err, c.err);
  }
  EXPECT_EQ(Modbatch(dir.path(), {"--help"}).out.rfind("usage: modbatch [options] FOLDER...", 0), 0u);
}

// A switch pixmill refuses ends the run once, before any picture is tried,
// and nothing is written.
TEST(Modbatch, PixmillSwitchesAreCheckedOnceBeforeTheBatch) {
  struct Case {
    std::vector<std::string> switches;
    std::string refusal;
  } cases[] = {
      {{"-bogus"}, "Can't figure out what -bogus is for!"},
      {{"-mask", "9"}, "Please enter a mask size between 0 and 7."},
      {{"-4", "stray"}, "'stray' is a name, not a switch"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.refusal);
    TempDir dir;
    MakeMod(dir.path() / "mod");
    const std::map<std::string, Bytes> before = Tree(dir.path());
    std::vector<std::string> arguments = {"mod", "--"};
    arguments.insert(arguments.end(), c.switches.begin(), c.switches.end());
    Finished run = Modbatch(dir.path(), arguments);
    EXPECT_EQ(run.status, 2);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err, "modbatch: pixmill refuses the switches after --: " + c.refusal + "\n");
    EXPECT_EQ(Tree(dir.path()), before);
  }
}

// Two pictures whose PBF files would have one name: the second is refused,
// naming the first, and the first converts with its PBF files.
TEST(Modbatch, PicturesWhosePbfNamesCollideAreRefused) {
  TempDir dir;
  const pixmill_e2e::Picture picture = MakePicture(16, 8, [](int x, int y) { return Rgba{uint8_t(x * 9), uint8_t(y), 7, 255}; });
  fs::create_directories(dir.path() / "mod");
  for (const char* name : {"barrier_a.tga", "barrier_b.tga", "pole.tga"})
    WriteBytes((dir.path() / "mod" / name).string(), pixmill_e2e::TgaFile(picture, 24, false, false));
  Finished run = Modbatch(dir.path(), {"-j", "1", "mod", "--", "-savepbfs"});
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.err, Shown("mod/barrier_b.tga") + ": its PBF files barrier1.pbf... are also made from " +
                         Shown("mod/barrier_a.tga") + "\n");
  EXPECT_EQ(run.out, "2 converted, 0 up to date, 1 failed\n");
  for (const char* made : {"barrier_a.mip", "barrier1.pbf", "barrier2.pbf", "pole.mip", "pole1.pbf"})
    EXPECT_TRUE(fs::exists(dir.path() / "mod" / made)) << made;
  EXPECT_FALSE(fs::exists(dir.path() / "mod/barrier_b.mip"));
}

// A folder whose track is named otherwise is named with the reason, and -v
// names every file that is skipped.
TEST(Modbatch, NamesFoldersThatAreNoTrackDirectoriesAndSkippedFiles) {
  TempDir dir;
  fs::create_directories(dir.path() / "mod/Delta");
  fs::copy(fs::path(RT_SOURCE_DIR) / "examples/tracks/Alpha/alpha.trk", dir.path() / "mod/Delta/alpha.trk");
  testing_support::WriteText((dir.path() / "mod/readme.txt").string(), "read me");
  const std::string note = Shown("mod/Delta") +
                           ": not a track directory: it holds alpha.trk, but its track would be Delta.trk or "
                           "Delta.dat\n";
  Finished listed = Modbatch(dir.path(), {"--dry-run", "-v", "mod"});
  EXPECT_EQ(listed.status, 0);
  EXPECT_EQ(listed.out, note + Shown("mod/readme.txt") + ": skipped, not a picture or a track file\n" +
                            Shown("mod/Delta/alpha.trk") + ": skipped, not in a track directory\n" +
                            "0 to convert, 0 up to date\n");
  Finished run = Modbatch(dir.path(), {"mod"});
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.out, note + "0 converted, 0 up to date, 0 failed\n");
  EXPECT_EQ(Modbatch(dir.path(), {"-q", "mod"}).out, "");
}

// A tool that is there but cannot be started is the user's mistake, told
// with the path that was tried, not a failure of every picture.
TEST(Modbatch, AToolThatCannotStartIsAUsageError) {
  TempDir dir;
  MakeMod(dir.path() / "mod");
  testing_support::WriteText((dir.path() / "fake.exe").string(), "no program\n");
  // With pixmill switches too: they are checked without starting it.
  for (const std::vector<std::string>& switches : {std::vector<std::string>{}, std::vector<std::string>{"--", "-transl"}}) {
    std::vector<std::string> arguments{"--pixmill", "fake.exe", "mod"};
    arguments.insert(arguments.end(), switches.begin(), switches.end());
    const Finished run = Modbatch(dir.path(), arguments);
    EXPECT_EQ(run.status, 2);
    EXPECT_NE(run.err.find("modbatch: cannot start " + (dir.path() / "fake.exe").string() + ": "), std::string::npos)
        << run.err;
    EXPECT_EQ(run.err.find("refuses"), std::string::npos) << run.err;
    EXPECT_EQ(run.out, "");
  }
}

// Interrupted with children running: they clean up after themselves, each
// conversion that finished is recorded, and the next run does the rest.
class ModbatchInterrupted : public ::testing::TestWithParam<platform::Interruption> {};

TEST_P(ModbatchInterrupted, LeavesNoTemporaryAndTheNextRunDoesTheRest) {
  TempDir dir;
  const fs::path pictures = dir.path() / "mod/pics";
  fs::create_directories(pictures);
  const Bytes tga = pixmill_e2e::TgaFile(
      MakePicture(64, 64, [](int x, int y) { return Rgba{uint8_t(x * 4), uint8_t(y * 4), 9, 255}; }), 32, false, false);
  constexpr int kCount = 40;
  for (int n = 0; n < kCount; ++n) WriteBytes((pictures / ("p" + std::to_string(n) + ".tga")).string(), tga);
  ASSERT_EQ(RunProgram(PIXMILL_EXE, pictures, {"p0.tga", "whole.mip"}).status, 0);
  const Bytes whole = ReadBytes((pictures / "whole.mip").string());
  fs::remove(pictures / "whole.mip");
  // Once the first conversion is recorded the others are still to come; on
  // a busy machine the whole batch may finish before the signal lands, and
  // then the run is made again from the start.
  const fs::path record = pictures / modbatch::BuildRecord::kFileName;
  std::size_t old = 0;
  for (int attempt = 0; attempt < 10 && old == 0; ++attempt) {
    fs::remove(record);
    for (int n = 0; n < kCount; ++n) WriteBytes((pictures / ("p" + std::to_string(n) + ".mip")).string(), {'o', 'l', 'd'});
    Age(dir.path() / "mod");
    testing_support::Sent sent;
    const platform::ProcessResult result = testing_support::InterruptWhenWriting(
        MODBATCH_EXE, {"-j", "2", "-q", "--pixmill", PIXMILL_EXE, "mod"}, dir.path(), pictures, GetParam(), sent,
        record);
    ASSERT_TRUE(result.started) << result.standard_error;
    if (sent == testing_support::Sent::kCannotSend) GTEST_SKIP() << testing_support::kCannotInterrupt;
    ASSERT_EQ(sent, testing_support::Sent::kSent);
    EXPECT_EQ(testing_support::TemporariesBelow(dir.path()), std::vector<std::string>());
    for (int n = 0; n < kCount; ++n) {
      const Bytes now = ReadBytes((pictures / ("p" + std::to_string(n) + ".mip")).string());
      if (now == whole) continue;
      EXPECT_EQ(now, (Bytes{'o', 'l', 'd'})) << n;
      ++old;
    }
    // A signal that lands after the last conversion may find the run done.
    if (old > 0) {
      EXPECT_EQ(result.signal, testing_support::SignalOf(GetParam())) << result.standard_error;
    }
  }
  ASSERT_GT(old, 0u);
  modbatch::BuildRecord kept(pictures);
  std::size_t recorded = 0;
  for (int n = 0; n < kCount; ++n) recorded += kept.Find("p" + std::to_string(n) + ".mip") != nullptr;

  const Finished rest = Modbatch(dir.path(), {"-j", "2", "--pixmill", PIXMILL_EXE, "mod"});
  EXPECT_EQ(rest.status, 0) << rest.err;
  std::size_t converted = 0, upToDate = 0;
  ASSERT_EQ(std::sscanf(rest.out.c_str(), "%zu converted, %zu up to date", &converted, &upToDate), 2) << rest.out;
  EXPECT_EQ(upToDate, recorded);
  EXPECT_EQ(converted, kCount - recorded);
  EXPECT_GE(converted, old);
  EXPECT_GT(recorded, 0u);
  for (int n = 0; n < kCount; ++n) EXPECT_EQ(ReadBytes((pictures / ("p" + std::to_string(n) + ".mip")).string()), whole);
}

INSTANTIATE_TEST_SUITE_P(Signals, ModbatchInterrupted, ::testing::ValuesIn(testing_support::Interruptions()),
                         testing_support::InterruptionName);

// A folder of small PCX pictures named a.pcx, b.pcx, ...
void MakePictures(const fs::path& folder, int count) {
  fs::create_directories(folder);
  std::vector<Rgba> palette(256, Rgba{40, 80, 120, 255});
  std::vector<uint8_t> indexes(8 * 8);
  for (size_t i = 0; i < indexes.size(); ++i) indexes[i] = uint8_t(i % 7);
  for (int n = 0; n < count; ++n) {
    WriteBytes((folder / (std::string(1, char('a' + n)) + ".pcx")).string(),
               pixmill_e2e::PcxFile(8, 8, indexes, palette));
  }
}

std::vector<std::string> NamesBelow(const fs::path& root) {
  std::vector<std::string> names;
  for (const auto& entry : fs::recursive_directory_iterator(root)) {
    names.push_back(entry.path().lexically_relative(root).generic_string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

TEST(Modbatch, NeverWalksOutThroughALinkToAFolder) {
  TempDir dir;
  MakePictures(dir.path() / "mod/tex", 1);
  MakePictures(dir.path() / "outside", 2);
  std::error_code error;
  fs::create_directory_symlink("..", dir.path() / "mod/tex/up", error);
  if (!error) fs::create_directory_symlink(dir.path() / "outside", dir.path() / "mod/tex/etc", error);
  if (error) GTEST_SKIP() << "no symbolic links here: " << error.message();
  const Finished run = Modbatch(dir.path(), {"-q", "-o", "out", "mod"});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(NamesBelow(dir.path() / "out"),
            (std::vector<std::string>{"tex", "tex/.modbatch-record", "tex/a.mip"}));
  EXPECT_EQ(NamesBelow(dir.path() / "outside"), (std::vector<std::string>{"a.pcx", "b.pcx"}));
}

TEST(Modbatch, TwoRunsAtOnceOnOneFolderBothLeaveAWholeRecord) {
  TempDir dir;
  MakePictures(dir.path() / "mod", 8);
  Finished first, second;
  std::thread other([&] { second = Modbatch(dir.path(), {"-q", "-j", "2", "--force", "mod", "--", "-4"}); });
  first = Modbatch(dir.path(), {"-q", "-j", "2", "--force", "mod", "--", "-4"});
  other.join();
  // Where an open file cannot be replaced (Windows), a picture the other run
  // is writing at that moment fails with the tool's message; it is then left
  // out of the record, so that the next run makes it.
  std::string failures = first.err + second.err;
  for (const Finished* run : {&first, &second}) {
    EXPECT_TRUE(run->status == 0 || (run->status == 1 && !run->err.empty())) << run->err;
  }
  std::vector<std::string> expected = {".modbatch-record"};
  for (char c = 'a'; c < 'a' + 8; ++c) {
    expected.push_back(std::string(1, c) + ".mip");
    expected.push_back(std::string(1, c) + ".pcx");
  }
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(NamesBelow(dir.path() / "mod"), expected);  // no temporary left anywhere
  modbatch::BuildRecord record(dir.path() / "mod");
  std::size_t missing = 0;
  for (char c = 'a'; c < 'a' + 8; ++c) {
    const modbatch::BuildEntry* entry = record.Find(std::string(1, c) + ".mip");
    if (entry == nullptr) {
      EXPECT_NE(failures.find(std::string(1, c) + ".pcx: Couldn't create output file."), std::string::npos) << c;
      ++missing;
      continue;
    }
    EXPECT_EQ(entry->switches, std::vector<std::string>{"-4"}) << c;
  }
  EXPECT_EQ(Modbatch(dir.path(), {"mod", "--", "-4"}).out,
            std::to_string(missing) + " converted, " + std::to_string(8 - missing) + " up to date, 0 failed\n");
}

TEST(Modbatch, RecordIsWrittenThroughALinkAndKeepsItsNameAndMode) {
  TempDir dir;
  fs::create_directories(dir.path() / "kept");
  testing_support::WriteText((dir.path() / "kept/record").string(),
                             "modbatch build record 1\no\told.mip\t1\t2\t0000000000000003\n");
  std::error_code error;
  fs::create_symlink(dir.path() / "kept/record", dir.path() / ".MODBATCH-RECORD", error);
  if (error) GTEST_SKIP() << "no symbolic links here: " << error.message();
  fs::permissions(dir.path() / "kept/record", fs::perms::owner_read | fs::perms::owner_write |
                                                  fs::perms::group_read);
  modbatch::BuildRecord record(dir.path());  // found in another letter case
  EXPECT_NE(record.Find("old.mip"), nullptr);
  modbatch::BuildEntry entry;
  entry.output.name = "new.mip";
  record.Set(entry);
  ASSERT_TRUE(record.Save());
  EXPECT_TRUE(fs::is_symlink(dir.path() / ".MODBATCH-RECORD"));
  EXPECT_EQ(NamesBelow(dir.path()), (std::vector<std::string>{".MODBATCH-RECORD", "kept", "kept/record"}));
  EXPECT_EQ(fs::status(dir.path() / "kept/record").permissions(),
            fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
  EXPECT_NE(modbatch::BuildRecord(dir.path()).Find("NEW.mip"), nullptr);
}

// ---- a mod with rules files ----------------------------------------------

// A Targa of `width` x `height` whose colours depend on `seed`.
Bytes Targa(int width, int height, int seed) {
  auto colour = [seed](int x, int y) {
    return Rgba{uint8_t(x * 7 + seed), uint8_t(y * 5), uint8_t((x ^ y) + seed), uint8_t(x < 4 ? 0 : 255)};
  };
  return pixmill_e2e::TgaFile(MakePicture(width, height, colour), 32, false, false);
}

const char kRootRules[] =
    "; walls tile; drafts are not built\n"
    "[**/*.tga]\n"
    "pixmill = -tile\n"
    "[**/draft*]\n"
    "skip = yes\n"
    "[pack TEX.dat]\n"
    "members = tex/*.mip tex/**/*.srb\n"
    "order = tex/fences/*\n";
const char kFenceRules[] =
    "[*.tga]\n"
    "pixmill = -srb -transp -width 2.5 -height 4 -centerY 30\n"
    "[post?.tga]\n"
    "output = fence\n";

// mod/tex: wall.tga, DRAFT.tga, sky.tga; mod/tex/fences: post1.tga, rail.tga.
void MakeRuledMod(const fs::path& mod) {
  fs::create_directories(mod / "tex/fences");
  WriteBytes((mod / "tex/wall.tga").string(), Targa(16, 16, 1));
  WriteBytes((mod / "tex/DRAFT.tga").string(), Targa(8, 8, 2));
  WriteBytes((mod / "tex/sky.tga").string(), Targa(32, 8, 3));
  WriteBytes((mod / "tex/fences/post1.tga").string(), Targa(8, 16, 4));
  WriteBytes((mod / "tex/fences/rail.tga").string(), Targa(16, 8, 5));
  testing_support::WriteText((mod / "modbatch.ini").string(), kRootRules);
  testing_support::WriteText((mod / "tex/fences/modbatch.ini").string(), kFenceRules);
}

// pixmill run by hand in `folder` of a copy of the mod.
Bytes ByHandOne(const fs::path& folder, const std::vector<std::string>& arguments, const std::string& output) {
  EXPECT_EQ(RunProgram(PIXMILL_EXE, folder, arguments).status, 0) << arguments[0];
  return ReadBytes((folder / output).string());
}

TEST(ModbatchRules, EachPictureGetsTheSwitchesItsRulesGive) {
  TempDir dir, hand;
  MakeRuledMod(dir.path() / "mod");
  MakeRuledMod(hand.path());
  const Finished run = Modbatch(dir.path(), {"-j", "2", "mod", "--", "-noblend"});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, "5 converted, 0 up to date, 1 skipped, 0 failed\n");
  std::map<std::string, Bytes> expected = Tree(hand.path());
  expected["tex/wall.mip"] = ByHandOne(hand.path() / "tex", {"wall.tga", "-tile"}, "wall.mip");
  expected["tex/sky.mip"] = ByHandOne(hand.path() / "tex", {"sky.tga", "-tile"}, "sky.mip");
  const std::vector<std::string> fence = {"-srb", "-transp", "-width", "2.5", "-height", "4", "-centerY", "30"};
  std::vector<std::string> post = {"post1.tga", "fence.srb"}, rail = {"rail.tga"};
  post.insert(post.end(), fence.begin(), fence.end());
  rail.insert(rail.end(), fence.begin(), fence.end());
  expected["tex/fences/fence.srb"] = ByHandOne(hand.path() / "tex/fences", post, "fence.srb");
  expected["tex/fences/rail.srb"] = ByHandOne(hand.path() / "tex/fences", rail, "rail.srb");
  std::map<std::string, Bytes> built = Tree(dir.path() / "mod");
  ASSERT_EQ(built.count("TEX.dat"), 1u);
  built.erase("TEX.dat");
  EXPECT_EQ(built, expected);
  // The switches after -- hold where no rule gives any: none here, so a
  // picture outside every section shows them.
  testing_support::WriteText((dir.path() / "mod/modbatch.ini").string(), "[tex/sky.tga]\npixmill = -tile\n");
  // No rule packs TEX.dat any more: left there it would be a track not named after its folder.
  fs::remove(dir.path() / "mod/TEX.dat");
  WriteBytes((dir.path() / "mod/tex/loose.tga").string(), Targa(8, 8, 9));
  EXPECT_EQ(Modbatch(dir.path(), {"--dry-run", "mod", "--", "-noblend"}).out,
            Shown("mod/tex/DRAFT.tga") + ": pixmill DRAFT.tga -noblend\n" + Shown("mod/tex/loose.tga") +
                ": pixmill loose.tga -noblend\n" + Shown("mod/tex/wall.tga") +
                ": pixmill wall.tga -noblend\n3 to convert, 3 up to date\n");
}

struct BadRules {
  const char* name;
  const char* file;  // below mod/
  const char* text;
  std::string err;
};

TEST(ModbatchRules, ABadRulesFileStopsTheRunBeforeAnythingIsConverted) {
  const BadRules cases[] = {
      {"unknown key", "tex/modbatch.ini", "[*.tga]\n\npixmil = -4\n",
       Shown("mod/tex/modbatch.ini") + ":3: unknown key 'pixmil'\n"},
      {"refused switch", "tex/fences/modbatch.ini", "[*]\npixmill = -4 -levels\n",
       Shown("mod/tex/fences/modbatch.ini") + ":2: pixmill refuses '-4 -levels': Please enter a number of levels.\n"},
      {"syntax", "modbatch.ini", "[**/*.tga\npixmill = -tile\n",
       Shown("mod/modbatch.ini") + ":1: a section header ends with ']'\n"},
  };
  for (const BadRules& c : cases) {
    SCOPED_TRACE(c.name);
    TempDir dir;
    MakeRuledMod(dir.path() / "mod");
    testing_support::WriteText((dir.path() / "mod" / c.file).string(), c.text);
    const Finished run = Modbatch(dir.path(), {"mod"});
    EXPECT_EQ(run.status, 2);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err, c.err + "modbatch: nothing converted: the rules files above need mending\n");
    for (const auto& [name, bytes] : Tree(dir.path() / "mod")) {
      EXPECT_EQ(name.find(".mip"), std::string::npos) << name;
      EXPECT_EQ(name.find(".srb"), std::string::npos) << name;
    }
  }
}

TEST(ModbatchRules, ExplainNamesTheRuleTheCommandAndTheState) {
  TempDir dir;
  MakeRuledMod(dir.path() / "mod");
  Modbatch(dir.path(), {"-q", "mod"});
  const Finished run = Modbatch(dir.path() / "mod", {"--explain", "tex/fences/post1.tga", "tex/DRAFT.tga"});
  EXPECT_EQ(run.status, 0) << run.err;
  const std::string fences = Shown("tex/fences");
  EXPECT_EQ(run.out,
            Shown("tex/fences/post1.tga") + "\n"
            "  switches: " + Shown("tex/fences/modbatch.ini") + ":2 [*.tga]\n"
            "  output:   " + Shown("tex/fences/modbatch.ini") + ":4 [post?.tga]\n"
            "  command:  pixmill post1.tga fence.srb -srb -transp -width 2.5 -height 4 -centerY 30 (in " +
                fences + ")\n"
            "  up to date\n" +
            Shown("tex/DRAFT.tga") + "\n"
            "  skip:     modbatch.ini:5 [**/draft*]\n"
            "  switches: modbatch.ini:3 [**/*.tga]\n"
            "  skipped\n");
  WriteBytes((dir.path() / "mod/tex/fences/post1.tga").string(), Targa(8, 16, 40));
  EXPECT_NE(Modbatch(dir.path(), {"mod", "--explain", "mod/tex/fences/post1.tga"})
                .out.find("  to convert: post1.tga changed\n"),
            std::string::npos);
}

// Which inputs a run converts, by name, in sorted order.
std::vector<std::string> Converted(const fs::path& directory, std::vector<std::string> arguments) {
  arguments.insert(arguments.begin(), "--dry-run");
  std::vector<std::string> names;
  const std::string out = Modbatch(directory, arguments).out;
  for (size_t start = 0, end; start < out.size(); start = end + 1) {
    end = out.find('\n', start);
    const std::string line = out.substr(start, end - start);
    const size_t colon = line.find(": ");
    if (colon != std::string::npos) names.push_back(line.substr(0, colon));
  }
  std::sort(names.begin(), names.end());
  return names;
}

TEST(ModbatchRecord, RebuildsByContentExactlyWhatChanged) {
  TempDir dir;
  MakeRuledMod(dir.path() / "mod");
  for (const char* track : {"Alpha", "Bravo"}) {
    fs::copy(fs::path(RT_SOURCE_DIR) / "examples/tracks" / track, dir.path() / "mod" / track);
  }
  ASSERT_EQ(Modbatch(dir.path(), {"-q", "mod"}).status, 0);
  const std::vector<std::string> none;  // an archive is listed only when it would be packed again
  const std::vector<std::string> pictures = {Shown("mod/TEX.dat"), Shown("mod/tex/fences/post1.tga"),
                                             Shown("mod/tex/fences/rail.tga"), Shown("mod/tex/sky.tga"),
                                             Shown("mod/tex/wall.tga")};
  EXPECT_EQ(Converted(dir.path(), {"mod"}), none);
  // Touched, or copied to a fresh folder: nothing.
  for (const auto& entry : fs::recursive_directory_iterator(dir.path() / "mod")) {
    if (entry.is_regular_file()) Touch(entry.path());
  }
  EXPECT_EQ(Modbatch(dir.path(), {"mod"}).out, "0 converted, 7 up to date, 1 skipped, 0 failed\n");
  fs::copy(dir.path() / "mod", dir.path() / "copy", fs::copy_options::recursive);
  EXPECT_EQ(Modbatch(dir.path(), {"copy"}).out, "0 converted, 7 up to date, 1 skipped, 0 failed\n");
  // An edited input.
  WriteBytes((dir.path() / "mod/tex/sky.tga").string(), Targa(32, 8, 30));
  EXPECT_EQ(Converted(dir.path(), {"mod"}), (std::vector<std::string>{Shown("mod/TEX.dat"), Shown("mod/tex/sky.tga")}));
  ASSERT_EQ(Modbatch(dir.path(), {"-q", "mod"}).status, 0);
  // Changed switches of one section.
  testing_support::WriteText((dir.path() / "mod/tex/fences/modbatch.ini").string(),
                             std::string(kFenceRules) + "[rail.tga]\npixmill = -srb -flat\n");
  EXPECT_EQ(Converted(dir.path(), {"mod"}),
            (std::vector<std::string>{Shown("mod/TEX.dat"), Shown("mod/tex/fences/rail.tga")}));
  ASSERT_EQ(Modbatch(dir.path(), {"-q", "mod"}).status, 0);
  // A deleted output, and an edited one.
  fs::remove(dir.path() / "mod/tex/wall.mip");
  testing_support::WriteText((dir.path() / "mod/tex/fences/fence.srb").string(), "edited");
  EXPECT_EQ(Converted(dir.path(), {"mod"}),
            (std::vector<std::string>{Shown("mod/TEX.dat"), Shown("mod/tex/fences/post1.tga"),
                                      Shown("mod/tex/wall.tga")}));
  ASSERT_EQ(Modbatch(dir.path(), {"-q", "mod"}).status, 0);
  // Another pixmill: every picture, no track.
  const fs::path other = dir.path() / fs::path(PIXMILL_EXE).filename();
  fs::copy_file(PIXMILL_EXE, other);
  {
    std::ofstream append(other, std::ios::binary | std::ios::app);
    append << "another build";
  }
  EXPECT_EQ(Converted(dir.path(), {"--pixmill", other.string(), "mod"}), pictures);
  const Finished rebuilt = Modbatch(dir.path(), {"--pixmill", other.string(), "mod"});
  EXPECT_EQ(rebuilt.out, "4 converted, 3 up to date, 1 skipped, 0 failed\n") << rebuilt.err;
}

TEST(ModbatchPack, ArchivesAreTheSameBytesAcrossCleanBuildsAndJobCounts) {
  std::vector<Bytes> archives;
  for (const char* jobs : {"1", "2", "2"}) {
    TempDir dir;
    MakeRuledMod(dir.path() / "mod");
    const Finished run = Modbatch(dir.path(), {"-q", "-j", jobs, "mod"});
    ASSERT_EQ(run.status, 0) << run.err;
    archives.push_back(ReadBytes((dir.path() / "mod/TEX.dat").string()));
  }
  EXPECT_EQ(archives[0], archives[1]);
  EXPECT_EQ(archives[1], archives[2]);
  // The order key first, then by name without regard to case.
  const Bytes& bytes = archives[0];
  ASSERT_GT(bytes.size(), 2u);
  const int count = bytes[0] | bytes[1] << 8;
  std::vector<std::string> names;
  for (int i = 0; i < count; ++i) names.push_back(DecodeDatEntry(&bytes[2 + 27 * i]).Name());
  EXPECT_EQ(names, (std::vector<std::string>{"fence.srb", "rail.srb", "sky.mip", "wall.mip"}));
  TempDir dir;
  MakeRuledMod(dir.path() / "mod");
  WriteBytes((dir.path() / "mod/tex/a_very_long_name.tga").string(), Targa(8, 8, 7));
  const Finished run = Modbatch(dir.path(), {"mod"});
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.err, Shown("mod/TEX.dat") +
                         ": member tex/a_very_long_name.mip: the name is longer than 12 characters\n");
}

// The watch loop on a scripted watch: bursts settle into one build, the
// build records' own changes start none.
class ScriptedWatch : public platform::FolderWatch {
 public:
  explicit ScriptedWatch(std::vector<std::vector<std::string>> script) : script_(std::move(script)) {}
  bool Wait(int milliseconds, std::vector<std::string>& changed) override {
    if (next_ < script_.size()) {
      changed = script_[next_++];
    } else {
      std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
      ++idle_;
    }
    return true;
  }
  std::size_t idle_ = 0;

 private:
  std::vector<std::vector<std::string>> script_;
  std::size_t next_ = 0;
};

TEST(ModbatchWatch, ABurstOfChangesIsOneBuildAndOwnRecordsNone) {
  struct Case {
    std::vector<std::vector<std::string>> script;
    int builds;  // the first build included
  } cases[] = {
      {{}, 1},
      {{{"mod/a.tga"}, {"mod/a.tga", "mod/b.tga"}, {"mod/a.tga"}}, 2},
      {{{std::string("mod/") + modbatch::BuildRecord::kFileName}}, 1},
  };
  for (const Case& c : cases) {
    std::vector<std::unique_ptr<platform::FolderWatch>> watches;
    watches.push_back(std::make_unique<ScriptedWatch>(c.script));
    auto* watch = static_cast<ScriptedWatch*>(watches[0].get());
    int builds = 0;
    modbatch::WatchLoop(watches, [&] { ++builds; }, [&] { return watch->idle_ >= 8; }, 20);
    EXPECT_EQ(builds, c.builds);
  }
}

// The watch with the real service and tools: a saved picture and a changed
// rules file are rebuilt. Waits for each output with a generous limit.
// Whether a file being rebuilt holds other bytes now; while the watch is
// replacing it (where an open file cannot be replaced, for one) it is read
// again on the next look.
bool Differs(const fs::path& file, const Bytes& before) {
  try {
    return ReadBytes(file.string()) != before;
  } catch (const std::exception&) {
    return false;
  }
}

TEST(ModbatchWatch, RebuildsASavedPictureAndAChangedRulesFile) {
  TempDir dir;
  MakeRuledMod(dir.path() / "mod");
  modbatch::BatchOptions options;
  options.folders = {(dir.path() / "mod").string()};
  options.quiet = true;
  options.pixmill = PIXMILL_EXE;
  const modbatch::Tools tools = modbatch::FindTools(options);
  std::vector<std::unique_ptr<platform::FolderWatch>> watches;
  watches.push_back(platform::WatchFolder(options.folders[0]));
  ASSERT_NE(watches[0], nullptr);
  std::atomic<bool> stop{false};
  std::atomic<int> builds{0};
  modbatch::FailedBuilds failed;
  std::thread loop([&] {
    modbatch::WatchLoop(watches, [&] { modbatch::BuildBatch(options, tools, &failed, true); ++builds; },
                        [&] { return stop.load(); });
  });
  auto waitFor = [](const std::function<bool()>& done) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (!done() && std::chrono::steady_clock::now() < deadline) {
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return done();
  };
  const fs::path wall = dir.path() / "mod/tex/wall.mip";
  ASSERT_TRUE(waitFor([&] { return builds > 0 && fs::exists(wall); }));
  const Bytes first = ReadBytes(wall.string());
  WriteBytes((dir.path() / "mod/tex/wall.tga").string(), Targa(16, 16, 99));
  EXPECT_TRUE(waitFor([&] { return Differs(wall, first); }));
  // The rules file now names another output for the walls.
  testing_support::WriteText((dir.path() / "mod/tex/modbatch.ini").string(), "[wall.tga]\noutput = stone\n");
  EXPECT_TRUE(waitFor([&] { return fs::exists(dir.path() / "mod/tex/stone.mip"); }));
  stop = true;
  loop.join();
}

// The program itself: --watch rebuilds a saved picture, then ends on an
// interruption as interrupted programs end, leaving no temporary behind.
class ModbatchWatching : public ::testing::TestWithParam<platform::Interruption> {};

TEST_P(ModbatchWatching, RebuildsASavedPictureAndEndsCleanlyWhenInterrupted) {
#ifdef _WIN32
  // A watch ends only when interrupted, and a console event cannot reach a
  // program started without a console of its own (as under the test runner):
  // the child would be left watching for ever.
  GTEST_SKIP() << testing_support::kCannotInterrupt;
#endif
  TempDir dir;
  MakeRuledMod(dir.path() / "mod");
  const fs::path wall = dir.path() / "mod/tex/wall.mip";
  platform::ChildProcess watch(MODBATCH_EXE, {"--watch", "--pixmill", PIXMILL_EXE, "mod"}, dir.path().string());
  ASSERT_TRUE(watch.started());
  auto waitFor = [&](const std::function<bool()>& done) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (!done() && watch.Running() && std::chrono::steady_clock::now() < deadline) {
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return done();
  };
  const fs::path archive = dir.path() / "mod/TEX.dat";
  ASSERT_TRUE(waitFor([&] { return fs::exists(archive); }));
  const Bytes first = ReadBytes(wall.string());
  WriteBytes((dir.path() / "mod/tex/wall.tga").string(), Targa(16, 16, 77));
  EXPECT_TRUE(waitFor([&] { return Differs(wall, first); }));
  if (!watch.Interrupt(GetParam())) GTEST_SKIP() << testing_support::kCannotInterrupt;
  const platform::ProcessResult result = watch.Wait();
  EXPECT_EQ(result.signal, testing_support::SignalOf(GetParam())) << result.standard_error;
  EXPECT_NE(Unix(result.standard_output).find("watching for changes; Ctrl-C ends\n"), std::string::npos);
  EXPECT_EQ(testing_support::TemporariesBelow(dir.path()), std::vector<std::string>());
  // The records are whole: a plain run makes at most what the interruption
  // cut short (a conversion ended by it is not trusted), the next nothing.
  EXPECT_EQ(Modbatch(dir.path(), {"-q", "--pixmill", PIXMILL_EXE, "mod"}).status, 0);
  EXPECT_EQ(Modbatch(dir.path(), {"--pixmill", PIXMILL_EXE, "mod"}).out,
            "0 converted, 5 up to date, 1 skipped, 0 failed\n");
}

INSTANTIATE_TEST_SUITE_P(Signals, ModbatchWatching, ::testing::ValuesIn(testing_support::Interruptions()),
                         testing_support::InterruptionName);

}  // namespace
