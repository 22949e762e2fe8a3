// modbatch over a small mod, run as the real program with the real tools:
// what it converts, what it reports, and what a later run leaves alone.

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <map>
#include <thread>
#include <string>
#include <vector>

#include "modbatch/manifest.h"
#include "pixmill/e2e/pictures.h"
#include "platform/process.h"
#include "support/interrupt_run.h"
#include "rt_version.h"
#include "support/temp_dir.h"

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

// Every file under `root` but the manifests, with its bytes.
std::map<std::string, Bytes> Tree(const fs::path& root) {
  std::map<std::string, Bytes> files;
  for (const auto& entry : fs::recursive_directory_iterator(root)) {
    if (entry.is_regular_file() && entry.path().filename() != modbatch::SwitchManifest::kFileName) {
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

  // Each step lists what a run would convert, then converts it.
  struct Step {
    const char* touched;  // an input made newer, or none
    std::vector<std::string> switches;
    std::string wouldRun;
  } steps[] = {
      {"tex/cars/red.png", {},
       Shown("mod/Broken") + ": trackconv\n" + Shown("mod/tex/cars/red.png") + ": pixmill red.png\n" +
           Shown("mod/tex/sky/bad.png") + ": pixmill bad.png\n3 to convert, 5 up to date\n"},
      {"Bravo/BRAVO.DAT", {},
       Shown("mod/Bravo") + ": trackconv\n" + Shown("mod/Broken") + ": trackconv\n" +
           Shown("mod/tex/sky/bad.png") + ": pixmill bad.png\n3 to convert, 5 up to date\n"},
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
    std::vector<std::string> arguments = {"--dry-run", "mod"};
    if (!step.switches.empty()) arguments.push_back("--");
    arguments.insert(arguments.end(), step.switches.begin(), step.switches.end());
    EXPECT_EQ(Modbatch(dir.path(), arguments).out, step.wouldRun);
    arguments.erase(arguments.begin());
    EXPECT_EQ(SortedLines(Modbatch(dir.path(), arguments).err), SortedLines(failures));
  }
  EXPECT_EQ(Tree(dir.path() / "mod"), ByHand({"-transp"}));
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

TEST(Modbatch, ManifestKeepsAnySwitchText) {
  TempDir dir;
  const std::vector<std::string> odd = {"-rgb", "1\t2", "back\\slash\nline", ""};
  modbatch::SwitchManifest written(dir.path());
  written.Set("Pic.MIP", odd);
  written.Set("other.mip", {});
  ASSERT_TRUE(written.Save());
  modbatch::SwitchManifest read(dir.path());
  EXPECT_TRUE(read.Matches("pic.mip", odd));
  EXPECT_TRUE(read.Matches("OTHER.mip", {}));
  EXPECT_FALSE(read.Matches("other.mip", {"-transp"}));
  read.Erase("pic.mip");
  read.Erase("other.mip");
  ASSERT_TRUE(read.Save());
  EXPECT_FALSE(fs::exists(dir.path() / modbatch::SwitchManifest::kFileName));
}

// A tool that is there but cannot be started is the user's mistake, told
// with the path that was tried, not a failure of every picture.
TEST(Modbatch, AToolThatCannotStartIsAUsageError) {
  TempDir dir;
  MakeMod(dir.path() / "mod");
  testing_support::WriteText((dir.path() / "fake.exe").string(), "no program\n");
  const Finished run = Modbatch(dir.path(), {"--pixmill", "fake.exe", "mod"});
  EXPECT_EQ(run.status, 2);
  EXPECT_NE(run.err.find("\nmodbatch: cannot start " + (dir.path() / "fake.exe").string() + ": "), std::string::npos)
      << run.err;
  EXPECT_EQ(run.out, "");
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
  for (int n = 0; n < kCount; ++n) WriteBytes((pictures / ("p" + std::to_string(n) + ".mip")).string(), {'o', 'l', 'd'});
  Age(dir.path() / "mod");

  // Once the first conversion is recorded the others are still to come.
  const fs::path manifest = pictures / modbatch::SwitchManifest::kFileName;
  testing_support::Sent sent;
  const platform::ProcessResult result = testing_support::InterruptWhenWriting(
      MODBATCH_EXE, {"-j", "2", "-q", "--pixmill", PIXMILL_EXE, "mod"}, dir.path(), pictures, GetParam(), sent,
      manifest);
  ASSERT_TRUE(result.started) << result.standard_error;
  if (sent == testing_support::Sent::kCannotSend) GTEST_SKIP() << testing_support::kCannotInterrupt;
  ASSERT_EQ(sent, testing_support::Sent::kSent);
  EXPECT_EQ(result.signal, testing_support::SignalOf(GetParam())) << result.standard_error;
  EXPECT_EQ(testing_support::TemporariesBelow(dir.path()), std::vector<std::string>());
  std::size_t old = 0;
  for (int n = 0; n < kCount; ++n) {
    const Bytes now = ReadBytes((pictures / ("p" + std::to_string(n) + ".mip")).string());
    if (now == whole) continue;
    EXPECT_EQ(now, (Bytes{'o', 'l', 'd'})) << n;
    ++old;
  }
  EXPECT_GT(old, 0u);
  const Bytes lines = ReadBytes(manifest.string());
  const std::size_t recorded = static_cast<std::size_t>(std::count(lines.begin(), lines.end(), '\n'));

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
            (std::vector<std::string>{"tex", "tex/.modbatch-switches", "tex/a.mip"}));
  EXPECT_EQ(NamesBelow(dir.path() / "outside"), (std::vector<std::string>{"a.pcx", "b.pcx"}));
}

TEST(Modbatch, TwoRunsAtOnceOnOneFolderBothLeaveAWholeManifest) {
  TempDir dir;
  MakePictures(dir.path() / "mod", 8);
  Finished first, second;
  std::thread other([&] { second = Modbatch(dir.path(), {"-q", "-j", "2", "--force", "mod", "--", "-4"}); });
  first = Modbatch(dir.path(), {"-q", "-j", "2", "--force", "mod", "--", "-4"});
  other.join();
  EXPECT_EQ(first.status, 0) << first.err;
  EXPECT_EQ(second.status, 0) << second.err;
  std::vector<std::string> expected = {".modbatch-switches"};
  for (char c = 'a'; c < 'a' + 8; ++c) {
    expected.push_back(std::string(1, c) + ".mip");
    expected.push_back(std::string(1, c) + ".pcx");
  }
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(NamesBelow(dir.path() / "mod"), expected);  // no temporary left anywhere
  const modbatch::SwitchManifest manifest(dir.path() / "mod");
  for (char c = 'a'; c < 'a' + 8; ++c) EXPECT_TRUE(manifest.Matches(std::string(1, c) + ".mip", {"-4"})) << c;
  EXPECT_EQ(Modbatch(dir.path(), {"mod", "--", "-4"}).out, "0 converted, 8 up to date, 0 failed\n");
}

TEST(Modbatch, ManifestIsWrittenThroughALinkAndKeepsItsNameAndMode) {
  TempDir dir;
  fs::create_directories(dir.path() / "kept");
  testing_support::WriteText((dir.path() / "kept/switches").string(), "old.mip\t-4\n");
  std::error_code error;
  fs::create_symlink(dir.path() / "kept/switches", dir.path() / ".MODBATCH-SWITCHES", error);
  if (error) GTEST_SKIP() << "no symbolic links here: " << error.message();
  fs::permissions(dir.path() / "kept/switches", fs::perms::owner_read | fs::perms::owner_write |
                                                    fs::perms::group_read);
  modbatch::SwitchManifest manifest(dir.path());  // found in another letter case
  EXPECT_TRUE(manifest.Matches("old.mip", {"-4"}));
  manifest.Set("new.mip", {"-transp"});
  ASSERT_TRUE(manifest.Save());
  EXPECT_TRUE(fs::is_symlink(dir.path() / ".MODBATCH-SWITCHES"));
  EXPECT_EQ(NamesBelow(dir.path()),
            (std::vector<std::string>{".MODBATCH-SWITCHES", "kept", "kept/switches"}));
  EXPECT_EQ(fs::status(dir.path() / "kept/switches").permissions(),
            fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
  EXPECT_TRUE(modbatch::SwitchManifest(dir.path()).Matches("NEW.mip", {"-transp"}));
}

}  // namespace
