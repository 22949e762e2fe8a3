// Conversions by the real pixmill program: exact messages and exact output
// bytes, worked out here from the formats and the mip rules.

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "pictures.h"
#include "support/temp_dir.h"

namespace pixmill_e2e {
namespace {

using testing_support::ListNames;
using testing_support::ReadBytes;
using testing_support::TempDir;
using testing_support::WriteBytes;

using Outputs = std::map<std::string, Bytes>;  // '/'-separated names

// Runs pixmill as a user who may not write files the tests made read-only:
// "nobody" where the tests run as the superuser.
platform::ProcessResult RunPixmillAsOtherUser(const std::string& directory,
                                              const std::vector<std::string>& arguments) {
#ifdef AS_OTHER_USER_PROBE_EXE
  std::vector<std::string> command{PIXMILL_EXE};
  command.insert(command.end(), arguments.begin(), arguments.end());
  return platform::RunProcess(AS_OTHER_USER_PROBE_EXE, command, directory);
#else
  return RunPixmill(directory, arguments);
#endif
}

// Runs pixmill on `dir` and compares the standard output, the status, every
// expected output file and the set of names in the directory afterwards.
void ExpectRun(const TempDir& dir, const std::vector<std::string>& arguments,
               const std::string& output, int status, const Outputs& outputs,
               bool asOtherUser = false) {
  std::vector<std::string> names = ListNames(dir.path());
  std::set<std::string> expected(names.begin(), names.end());
  for (const auto& [name, bytes] : outputs) {
    if (name.find('/') == std::string::npos) expected.insert(name);
  }
  platform::ProcessResult result = asOtherUser ? RunPixmillAsOtherUser(dir.path().string(), arguments)
                                               : RunPixmill(dir.path().string(), arguments);
  EXPECT_EQ(result.standard_output, output);
  EXPECT_EQ(result.exit_status, status);
  for (const auto& [name, bytes] : outputs) {
    EXPECT_EQ(ReadBytes(dir / name), bytes) << name;
  }
  std::vector<std::string> after = ListNames(dir.path());
  EXPECT_EQ(std::set<std::string>(after.begin(), after.end()), expected);
}

const char kOpaque16[] = "Creating an opaque 16-bit mip.\nReading data as 565 bitmap.\n";

Rgba Varied(int x, int y) {
  return {uint8_t(x * 20 + 3), uint8_t(y * 70 + 5), uint8_t((x * y * 9 + x * 5) & 255), 255};
}

std::vector<Rgba> TestPalette() {
  std::vector<Rgba> palette;
  for (int i = 0; i < 256; ++i)
    palette.push_back({uint8_t(i * 7), uint8_t(255 - i * 5), uint8_t(i * i), 255});
  return palette;
}

// A 12 x 3 PCX of 36 palette colours, and the picture it shows.
std::vector<uint8_t> PcxIndexes() {
  std::vector<uint8_t> indexes;
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 12; ++x) indexes.push_back(uint8_t((x + y * 12) % 36));
  return indexes;
}

Picture PcxPicture(bool keyed) {
  std::vector<Rgba> palette = TestPalette();
  std::vector<uint8_t> indexes = PcxIndexes();
  return MakePicture(12, 3, [&](int x, int y) {
    Rgba c = palette[indexes[y * 12 + x]];
    if (keyed && indexes[y * 12 + x] == 0) c.a = 0;
    return c;
  });
}

TEST(PixmillConversion, EachReadingFormat) {
  Picture varied = MakePicture(12, 3, Varied);
  Picture alpha = MakePicture(12, 3, [](int x, int y) {
    Rgba c = Varied(x, y);
    c.a = uint8_t(x * 21);
    return c;
  });
  Picture fiveBit = MakePicture(12, 3, [](int x, int y) {
    return Rgba{uint8_t(x * 16), uint8_t(y * 80), uint8_t((x * 40) & 0xF8), 255};
  });
  Mip flaggedU = Mip16(PcxPicture(true), 4, 32, false);
  flaggedU.flags = 2;
  struct Case {
    const char* file;
    Bytes input;
    std::vector<std::string> arguments;
    std::string output;
    Mip mip;
  } cases[] = {
      {"pic.pcx", PcxFile(12, 3, PcxIndexes(), TestPalette()), {"pic.pcx"},
       std::string("Convert from Pcx\n") + kOpaque16 + "Successfully converted pic.pcx to pic.mip.\n",
       Mip16(PcxPicture(false), 3, 32, false)},
      {"pic.pcx", PcxFile(12, 3, PcxIndexes(), TestPalette()), {"-transp", "pic", "-tileU"},
       "Making transparent mip.\nConvert from Pcx\nCreating a transparent 16-bit mip.\n"
       "Reading data as 1555 bitmap.\nSuccessfully converted pic.pcx to pic.mip.\n",
       flaggedU},
      {"pic.tga", TgaFile(varied, 24, false, false), {"pic"},
       std::string("Convert from Targa\n") + kOpaque16 + "Successfully converted pic.tga to pic.mip.\n",
       Mip16(varied, 3, 32, false)},
      {"pic.tga", TgaFile(alpha, 32, true, true), {"-transl", "pic.tga"},
       "Making translucent mip.\nConvert from Targa\n"
       "Creating a translucent 16-bit mip (reading translucent info from targa).\n"
       "Reading data as 4444 bitmap.\nSuccessfully converted pic.tga to pic.mip.\n",
       Mip16(alpha, 5, 32, false)},
      {"pic.tga", TgaFile(fiveBit, 16, true, false), {"-transp", "pic.tga"},
       "Making transparent mip.\nConvert from Targa\nCreating a transparent 16-bit mip.\n"
       "Reading data as 1555 bitmap.\nSuccessfully converted pic.tga to pic.mip.\n",
       Mip16(fiveBit, 4, 32, false)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.output);
    TempDir dir;
    WriteBytes(dir / c.file, c.input);
    ExpectRun(dir, c.arguments, c.output, 0, {{"pic.mip", MipFile(c.mip)}});
  }
}

TEST(PixmillConversion, AveragingPointSamplingAndLevelLimits) {
  Picture square = MakePicture(16, 4, Varied);
  Picture wide = MakePicture(32, 8, Varied);
  struct Case {
    const Picture& picture;
    std::vector<std::string> arguments;
    std::string messages;
    Mip mip;
  } cases[] = {
      {square, {"pic.tga"}, "", Mip16(square, 3, 32, false)},
      {square, {"pic.tga", "-ptsamp"}, "Using color sampling instead of averaging.\n", Mip16(square, 3, 32, true)},
      {wide, {"pic.tga"}, "", Mip16(wide, 3, 32, false)},
      {wide, {"-levels", "2", "pic.tga"}, "Make only 2 levels\n", Mip16(wide, 3, 2, false)},
      {wide, {"-single", "pic.tga"}, "Only generating top level bitmap.\n", Mip16(wide, 3, 1, false)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.messages);
    TempDir dir;
    WriteBytes(dir / "pic.tga", TgaFile(c.picture, 24, false, false));
    ExpectRun(dir, c.arguments,
              c.messages + "Convert from Targa\n" + kOpaque16 +
                  "Successfully converted pic.tga to pic.mip.\n",
              0, {{"pic.mip", MipFile(c.mip)}});
  }
}

TEST(PixmillConversion, BlendFillOfNonPowerOfTwoPictureReplacesOlderOutput) {
  Picture picture = MakePicture(200, 100, [](int x, int y) {
    return Rgba{uint8_t(x), uint8_t(y * 2), uint8_t(x * 3 + y), 255};
  });
  Mip mip = Mip16(picture, 3, 32, false);
  ASSERT_EQ(mip.levels.size(), 6u);
  ASSERT_EQ(mip.levels[0].width, 256);
  TempDir dir;
  WriteBytes(dir / "pic.tga", TgaFile(picture, 24, true, false));
  WriteBytes(dir / "pic.mip", {'o', 'l', 'd'});
  ExpectRun(dir, {"pic.tga"},
            std::string("Convert from Targa\n") + kOpaque16 + "Successfully converted pic.tga to pic.mip.\n",
            0, {{"pic.mip", MipFile(mip)}});
}

TEST(PixmillConversion, KeyColourFoundAndNotFound) {
  Picture picture = MakePicture(8, 2, [](int x, int y) {
    return x == 3 && y == 1 ? Rgba{13, 21, 30, 255} : Rgba{uint8_t(x * 30 + 40), uint8_t(y * 90), 99, 255};
  });
  // Read as 1555, the key 10 20 30 is cut to 8 16 24, which the odd pixel
  // also becomes.
  Picture keyed = picture;
  keyed.pixels[1 * 8 + 3].a = 0;
  struct Case {
    std::vector<std::string> arguments;
    std::string output;
    Mip mip;
  } cases[] = {
      {{"-transp", "-rgb", "10", "20", "30", "pic.tga"},
       "Making transparent mip.\n"
       "Making color 10 20 30 transparent (discarding other transparency info).\n"
       "Convert from Targa\nCreating a transparent 16-bit mip.\nReading data as 1555 bitmap.\n"
       "Successfully converted pic.tga to pic.mip.\n",
       Mip16(keyed, 4, 32, false)},
      {{"-transl", "pic.tga", "-rgb", "200", "200", "200"},
       "Making translucent mip.\n"
       "Making color 200 200 200 transparent (discarding other transparency info).\n"
       "Convert from Targa\n"
       "Creating a translucent 16-bit mip (reading translucent info from targa).\n"
       "Reading data as 4444 bitmap.\n"
       "Warning: -rgb specified but color 192 192 192 not found in image.\n"
       "\t(Creating a 4444 bitmap, so some color detail was lost when reading\n"
       "\tthe image. Try changing the rgb a bit)\n"
       "Successfully converted pic.tga to pic.mip.\n",
       Mip16(picture, 5, 32, false)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.output);
    TempDir dir;
    WriteBytes(dir / "pic.tga", TgaFile(picture, 24, false, true));
    ExpectRun(dir, c.arguments, c.output, 0, {{"pic.mip", MipFile(c.mip)}});
  }
}

// Eight colours in 2 x 2 blocks of a 16 x 2 picture: both levels hold every
// colour exactly, so each pixel's index is its colour's place in the map.
TEST(PixmillConversion, FourBitColormapPlacement) {
  std::array<uint32_t, 16> window, histogram;
  std::vector<Rgba> palette = TestPalette();
  for (int j = 0; j < 16; ++j) {
    Rgba c = j < 8 ? Rgba{uint8_t(j * 32 + 8), uint8_t(200 - j * 20), uint8_t(j * 50), 255}
                   : Rgba{255, uint8_t(j * 9), 1, 255};
    palette[100 + j] = c;
    window[j] = 0xFF000000u | c.r << 16 | c.g << 8 | c.b;
    histogram[j] = window[j < 8 ? j : 0];
  }
  Picture picture = MakePicture(16, 2, [&](int x, int) { return palette[100 + x / 2]; });
  std::vector<uint8_t> indexes;
  std::vector<int> top, second;
  for (int i = 0; i < 32; ++i) {
    indexes.push_back(uint8_t(100 + (i % 16) / 2));
    top.push_back((i % 16) / 2);
  }
  for (int j = 0; j < 8; ++j) second.push_back(j);
  // The same picture with its last pixel drawn from outside the window, in
  // a palette entry that holds the window's colour 7.
  palette[200] = palette[107];
  std::vector<uint8_t> stray = indexes;
  stray.back() = 200;
  using Map = std::optional<std::array<uint32_t, 16>>;
  auto mip = [&](Map topMap, Map firstMap, Map secondMap) {
    Mip m;
    m.log2Width = 4;
    m.log2Height = 1;
    m.average = AverageColour(picture);
    m.colormap = topMap;
    m.levels = {Level4(0, 16, 2, top, firstMap), Level4(0, 8, 1, second, secondMap)};
    return m;
  };
  const std::string shared = "Use same colormap for all mip levels.\n";
  const std::string hist = "Using histogram quantization to generate colormaps.\n";
  const std::string opaque = "Reading data as 8888 bitmap.\nCreating an opaque 4-bit mip.\n";
  const std::string ownMaps = " Level 0 of 2 has a colormap\n Level 1 of 2 has a colormap\n";
  struct Case {
    const char* file;
    std::vector<std::string> arguments;
    std::string output;
    Mip mip;
  } cases[] = {
      {"pic.pcx", {"-4", "-palStart", "100", "pic.pcx"},
       shared + "Convert from Pcx\n" + opaque + "Has main colormap\n", mip(window, {}, {})},
      {"stray.pcx", {"-4", "-palStart", "100", "pic.pcx"},
       shared + "Convert from Pcx\n" + opaque + "********************************\n"
       "Warning! This pcx has 1 pixels using indexes that are outside of\n"
       " palette 100 to 115 (like 200).  Please fix pcx or use -palStart.\n"
       "********************************\nHas main colormap\n",
       mip(window, {}, {})},
      {"pic.pcx", {"-4", "-palStart100", "-hist", "pic.pcx"},
       hist + "Convert from Pcx\n" + opaque + ownMaps, mip({}, window, histogram)},
      {"pic.tga", {"-4", "pic.tga"}, shared + "Convert from Targa\n" + opaque + "Has main colormap\n",
       mip(histogram, {}, {})},
      {"pic.tga", {"-4", "-hist", "pic.tga"}, hist + "Convert from Targa\n" + opaque + ownMaps,
       mip({}, histogram, histogram)},
      {"pic.tga", {"-4", "-noCmap", "pic.tga"}, shared + "Convert from Targa\n" + opaque + "Has main colormap\n",
       mip({}, {}, {})},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.output);
    TempDir dir;
    std::string file = c.file;
    if (file == "stray.pcx") {
      file = "pic.pcx";
      WriteBytes(dir / file, PcxFile(16, 2, stray, palette));
    } else {
      WriteBytes(dir / file, file == "pic.pcx" ? PcxFile(16, 2, indexes, palette)
                                               : TgaFile(picture, 24, false, false));
    }
    ExpectRun(dir, c.arguments,
              c.output + "Successfully converted " + file + " to pic.mip.\n", 0,
              {{"pic.mip", MipFile(c.mip)}});
  }
}

// The -info listings of a two-colour picture, from the mip chain through
// the colour map built for it to the final placement.
TEST(PixmillConversion, InfoListings) {
  Picture picture = MakePicture(8, 1, [](int x, int) {
    return x < 4 ? Rgba{10, 20, 30, 255} : Rgba{200, 100, 50, 255};
  });
  std::string topLine, map, histogram;
  for (int x = 0; x < 8; ++x)
    topLine += "b0," + std::to_string(x) + (x < 4 ? ": 10 20 30 255\n" : ": 200 100 50 255\n");
  for (int i = 0; i < 16; ++i)
    map += std::to_string(i) + (i == 1 ? ": 200 100 50 255\n" : ": 10 20 30 255\n");
  histogram = "Histogram list:\n  0: 10 20 30  count: 4\n  1: 200 100 50  count: 4\n";
  TempDir dir;
  WriteBytes(dir / "pic.tga", TgaFile(picture, 24, false, false));
  std::array<uint32_t, 16> expectedMap;
  expectedMap.fill(0xFF0A141Eu);
  expectedMap[1] = 0xFFC86432u;
  Mip mip;
  mip.log2Width = 3;
  mip.log2Height = 0;
  mip.average = AverageColour(picture);
  mip.colormap = expectedMap;
  mip.levels = {Level4(0, 8, 1, {0, 0, 0, 0, 1, 1, 1, 1}, {})};
  ExpectRun(dir, {"-4", "-info", "pic.tga"},
            "Use same colormap for all mip levels.\nConvert from Targa\n"
            "Reading data as 8888 bitmap.\nCreating an opaque 4-bit mip.\n"
            "Mip level 0 data after mipDataCreate (not 4bit yet):\n" + topLine + histogram +
                "After resetting to average colors...\n" + histogram + "New colormap from histogram:\n" + map +
                "**After build4Bit***\nmip level 0 colormap:\n" + map + "top line of 4Bit mip:\n" + topLine +
                "** AT END ***\nfinal level 0 colormap:\n" + map + "final mip level 0 top line:\n" + topLine +
                "Has main colormap\nSuccessfully converted pic.tga to pic.mip.\n",
            0, {{"pic.mip", MipFile(mip)}});
}

TEST(PixmillConversion, SrbDefaultsAndGivenValues) {
  Picture picture = MakePicture(12, 3, Varied);
  Mip mip = Mip16(picture, 3, 32, false);
  // PBF files belong to MIP output: an SRB run with -savepbfs writes none.
  struct Case {
    std::vector<std::string> arguments;
    std::string lines;
    std::array<float, 6> header;
    bool flat;
    std::string announced = "";
  } cases[] = {
      {{"-srb", "pic.tga"}, "  center 6 1.5   width 1 height 1\n", {1, 1, 12, 3, 6, 1.5f}, false},
      {{"pic.tga", "-srb", "-flat", "-width", "2.5", "-centerX", "3"},
       "  center 3 1.5   width 2.5 height 1\n", {2.5f, 1, 12, 3, 3, 1.5f}, true},
      {{"-srb", "-savepbfs", "pic.tga"}, "  center 6 1.5   width 1 height 1\n",
       {1, 1, 12, 3, 6, 1.5f}, false, "Saving each mip level as a separate pbf.\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.lines);
    TempDir dir;
    WriteBytes(dir / "pic.tga", TgaFile(picture, 24, false, false));
    ExpectRun(dir, c.arguments,
              c.announced + "Convert from Targa\n" + kOpaque16 +
                  "Successfully converted PCX pic.tga to pic.srb.\n" + c.lines,
              0, {{"pic.srb", SrbFile(c.header, c.flat, mip)}});
  }
}

TEST(PixmillConversion, PbfFilesBesideTheOutputWithTruncatedNames) {
  Picture picture = MakePicture(32, 8, Varied);
  Mip mip = Mip16(picture, 3, 32, false);
  ASSERT_EQ(mip.levels.size(), 3u);
  TempDir dir;
  WriteBytes(dir / "pic.tga", TgaFile(picture, 24, false, false));
  std::filesystem::create_directory(dir.path() / "out.d");
  std::string truncating = "Truncating PBF output name.\n";
  ExpectRun(dir, {"pic.tga", "out.d/background.mip", "-savepbfs"},
            std::string("Saving each mip level as a separate pbf.\nConvert from Targa\n") + kOpaque16 +
                "Successfully converted pic.tga to out.d/background.mip.\n" + truncating + truncating +
                truncating,
            0,
            {{"out.d/background.mip", MipFile(mip)},
             {"out.d/backgro1.pbf", LevelFile(mip.levels[0])},
             {"out.d/backgro2.pbf", LevelFile(mip.levels[1])},
             {"out.d/backgro3.pbf", LevelFile(mip.levels[2])}});
  EXPECT_EQ(ListNames(dir.path() / "out.d").size(), 4u);
}

// A PBF whose name is taken by a directory cannot be claimed: its creation
// fails after the MIP was written, and no temporary file is left behind.
TEST(PixmillConversion, PbfThatCannotBeCreatedFailsTheRun) {
  Picture picture = MakePicture(8, 2, Varied);
  TempDir dir;
  WriteBytes(dir / "pic.tga", TgaFile(picture, 24, false, false));
  std::filesystem::create_directory(dir.path() / "PIC1.PBF");
  ExpectRun(dir, {"-savepbfs", "pic.tga"},
            std::string("Saving each mip level as a separate pbf.\nConvert from Targa\n") + kOpaque16 +
                "Successfully converted pic.tga to pic.mip.\nCouldn't create PBF file pic1.pbf.\n\n",
            1, {{"pic.mip", MipFile(Mip16(picture, 3, 32, false))}});
}

// Refusals after the picture was read: result 1, a final empty line, an
// older output left as it was and nothing new on disk.
TEST(PixmillConversion, RefusedPicturesLeaveOlderOutputUntouched) {
  Picture narrow = MakePicture(4, 4, Varied);
  Picture wide = MakePicture(32, 8, Varied);
  std::vector<uint8_t> tooWide(300 * 10, 5);
  struct Case {
    const char* file;
    Bytes input;
    std::vector<std::string> arguments;
    std::string output;
  } cases[] = {
      {"pic.pcx", PcxFile(300, 10, tooWide, TestPalette()), {"pic"},
       std::string("Convert from Pcx\n") + kOpaque16 +
           "Error: too big for 3dfx!  is 300 x 10 but max is 256 x 256\n"},
      {"pic.tga", TgaFile(narrow, 32, false, false), {"-4", "pic.tga"},
       "Use same colormap for all mip levels.\nConvert from Targa\nReading data as 8888 bitmap.\n"
       "Creating an opaque 4-bit mip.\nError: picture width cannot be this small! (4 pixels)\n\n"},
      {"pic.pcx", PcxFile(8, 2, std::vector<uint8_t>(16, 5), TestPalette()), {"-4", "-palStart-5", "pic"},
       "Use same colormap for all mip levels.\nConvert from Pcx\nReading data as 8888 bitmap.\n"
       "Creating an opaque 4-bit mip.\n"
       "Error: palette start -5 leaves the 16 colors outside the palette (0 to 240).\n\n"},
      {"pic.tga", TgaFile(narrow, 24, false, false), {"pic.tga"},
       std::string("Convert from Targa\n") + kOpaque16 +
           "Error: a 4 x 4 picture with a limit of 32 levels gives no mip levels.\n\n"},
      {"pic.tga", TgaFile(wide, 24, false, false), {"pic.tga", "-levels0"},
       std::string("Make only 0 levels\nConvert from Targa\n") + kOpaque16 +
           "Error: a 32 x 8 picture with a limit of 0 levels gives no mip levels.\n\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.output);
    TempDir dir;
    WriteBytes(dir / c.file, c.input);
    WriteBytes(dir / "pic.mip", {'o', 'l', 'd'});
    ExpectRun(dir, c.arguments, c.output, 1, {{"pic.mip", {'o', 'l', 'd'}}});
  }
}

// Names keep their directory part, only the last component is cut or
// extended, and messages show the names as given. "{dir}" stands for the
// scratch directory as an absolute '/'-separated path.
TEST(PixmillConversion, NamesWithDirectories) {
  Picture picture = MakePicture(8, 2, Varied);
  Bytes expected = MipFile(Mip16(picture, 3, 32, false));
  struct Case {
    std::string onDisk;  // where the picture lies
    std::vector<std::string> arguments;
    std::string input, output;  // as printed
    std::string written;        // where the output lands
  } cases[] = {
      {"tex.v2/pic.tga", {"tex.v2/pic.tga"}, "tex.v2/pic.tga", "tex.v2/pic.mip", "tex.v2/pic.mip"},
      {"pic.tga", {"./pic"}, "./pic.tga", "./pic.mip", "pic.mip"},
      {"pic.tga", {"pic.tga", "out.d/result"}, "pic.tga", "out.d/result.mip", "out.d/result.mip"},
      {"maps/pic.tga", {"maps\\pic.tga"}, "maps\\pic.tga", "maps\\pic.mip", "maps/pic.mip"},
      {"Tex/PIC.TGA", {"tex/pic.tga"}, "tex/pic.tga", "tex/pic.mip", "Tex/pic.mip"},
      {"abs/pic.tga", {"{dir}/abs/pic"}, "{dir}/abs/pic.tga", "{dir}/abs/pic.mip", "abs/pic.mip"},
  };
  for (Case& c : cases) {
    SCOPED_TRACE(c.output);
    TempDir dir;
    auto place = [&](std::string& text) {
      size_t at = text.find("{dir}");
      if (at != std::string::npos) text.replace(at, 5, dir.path().generic_string());
    };
    for (std::string& argument : c.arguments) place(argument);
    place(c.input);
    place(c.output);
    std::filesystem::path source = dir.path() / std::filesystem::path(c.onDisk);
    std::filesystem::create_directories(source.parent_path());
    std::filesystem::create_directories(dir.path() / "out.d");
    WriteBytes(source.string(), TgaFile(picture, 24, false, false));
    platform::ProcessResult result = RunPixmill(dir.path().string(), c.arguments);
    EXPECT_EQ(result.standard_output, std::string("Convert from Targa\n") + kOpaque16 +
                                          "Successfully converted " + c.input + " to " + c.output + ".\n");
    EXPECT_EQ(result.exit_status, 0);
    EXPECT_EQ(ReadBytes(dir / c.written), expected);
  }
}

// Whether files can be made that the run cannot write: POSIX permissions,
// and a user other than the superuser to run as.
bool ReadOnlyFilesHoldAgainstTheRun() {
#ifdef AS_OTHER_USER_PROBE_EXE
  return platform::RunProcess(AS_OTHER_USER_PROBE_EXE, {"--check"}, ".").exit_status == 0;
#else
  return false;
#endif
}

namespace fs = std::filesystem;

void MakeReadOnly(const fs::path& path) {
  fs::permissions(path, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
}

// An output name that cannot take the result is refused where the output is
// created, before anything is written: a directory in any letter case, a
// read-only file of someone else; and a PBF that cannot be claimed fails
// the run after the MIP was written. Nothing left behind is new.
TEST(PixmillOutputs, NamesThatCannotTakeTheResultAreRefusedWhenCreated) {
  Picture picture = MakePicture(8, 2, Varied);
  const Bytes mip = MipFile(Mip16(picture, 3, 32, false));
  const Bytes old = {'o', 'l', 'd'};
  const std::string refused =
      std::string("Convert from Targa\n") + kOpaque16 + "Couldn't create output file.\n";
  struct Case {
    std::string label;
    bool readOnly;  // the run needs a user who cannot write the file
    std::vector<std::string> arguments;
    std::string output;
    Outputs outputs;
  } cases[] = {
      {"directory", false, {"pic.tga", "dd.mip"}, refused, {}},
      {"read-only output", true, {"pic.tga", "s.mip"}, refused, {{"s.mip", old}}},
      {"read-only PBF", true, {"-savepbfs", "pic.tga"},
       std::string("Saving each mip level as a separate pbf.\nConvert from Targa\n") + kOpaque16 +
           "Successfully converted pic.tga to pic.mip.\nCouldn't create PBF file pic1.pbf.\n\n",
       {{"pic.mip", mip}, {"pic1.pbf", old}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    if (c.readOnly && !ReadOnlyFilesHoldAgainstTheRun()) continue;
    TempDir dir;
    fs::permissions(dir.path(), fs::perms::all);  // the other user writes here
    WriteBytes(dir / "pic.tga", TgaFile(picture, 24, false, false));
    fs::create_directory(dir.path() / "DD.MIP");
    WriteBytes(dir / "s.mip", old);
    WriteBytes(dir / "pic1.pbf", old);
    MakeReadOnly(dir.path() / "s.mip");
    MakeReadOnly(dir.path() / "pic1.pbf");
    ExpectRun(dir, c.arguments, c.output, 1, c.outputs, c.readOnly);
    EXPECT_TRUE(fs::is_empty(dir.path() / "DD.MIP"));
  }
}

// An empty PCX (its corners the wrong way round) is the reader's refusal.
TEST(PixmillOutputs, EmptyPcxIsNotReadable) {
  TempDir dir;
  Bytes pcx = PcxFile(3, 2, std::vector<uint8_t>(6, 1), TestPalette());
  pcx[4] = 5;  // xmin 5 beyond xmax 2
  WriteBytes(dir / "pic.pcx", pcx);
  ExpectRun(dir, {"pic.pcx"}, std::string("Convert from Pcx\n") + kOpaque16 + "Couldn't read PCX file.\n", 1,
            {});
}

// An output or PBF that is the input picture itself, by any name, is
// refused where the output is created: the picture stays as it was and
// nothing new appears.
TEST(PixmillOutputs, AnOutputThatIsTheInputIsRefused) {
  Picture picture = MakePicture(8, 2, Varied);
  const Bytes tga = TgaFile(picture, 24, false, false);
  const Bytes png = PngFile(8, 2, 2, 8, std::vector<uint16_t>(8 * 2 * 3, 77));
  const std::string refused = "Couldn't create output file.\n";
  struct Case {
    std::string label, input;
    Bytes bytes;
    std::vector<std::string> arguments;
    std::string output;
  } cases[] = {
      {"same name", "victim.tga", tga, {"victim.tga", "victim.tga"},
       std::string("Convert from Targa\n") + kOpaque16 + refused},
      {"other letter case", "v2.png", png, {"v2.png", "V2.PNG"},
       std::string("Convert from PNG\n") + kOpaque16 + refused},
      {"other path", "pic.tga", tga, {"pic.tga", "sub/../pic.tga"},
       std::string("Convert from Targa\n") + kOpaque16 + refused},
      {"hard link", "pic.tga", tga, {"pic.tga", "hard.mip"},
       std::string("Convert from Targa\n") + kOpaque16 + refused},
      {"a PBF", "PIC1.PBF", tga, {"-savepbfs", "PIC1.PBF", "pic.mip"},
       std::string("Saving each mip level as a separate pbf.\nConvert from Targa\n") + kOpaque16 + refused},
      {"an SRB", "pic.tga", tga, {"-srb", "pic.tga", "PIC.TGA"},
       std::string("Convert from Targa\n") + kOpaque16 + refused},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    TempDir dir;
    WriteBytes(dir / c.input, c.bytes);
    fs::create_directory(dir.path() / "sub");
    fs::create_hard_link(dir.path() / c.input, dir.path() / "hard.mip");
    ExpectRun(dir, c.arguments, c.output, 1, {{c.input, c.bytes}, {"hard.mip", c.bytes}});
  }
#ifndef _WIN32
  TempDir dir;
  WriteBytes(dir / "pic.tga", tga);
  fs::create_symlink("pic.tga", dir.path() / "link.mip");
  ExpectRun(dir, {"pic.tga", "link.mip"}, std::string("Convert from Targa\n") + kOpaque16 + refused, 1,
            {{"pic.tga", tga}});
  EXPECT_TRUE(fs::is_symlink(dir.path() / "link.mip"));
#endif
}

// Only 8-bit, one-plane PCX pictures are read; other kinds are the reader's
// refusal rather than a picture of the wrong colours.
TEST(PixmillOutputs, PcxKindsOtherThanEightBitOnePlaneAreNotRead) {
  struct Case {
    const char* label;
    uint8_t bitsPerPixel, planes;
  } cases[] = {{"24-bit in 3 planes", 8, 3}, {"16 colours in 4 planes", 1, 4}, {"4 bits", 4, 1}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    TempDir dir;
    Bytes pcx = PcxFile(4, 2, std::vector<uint8_t>(8, 1), TestPalette());
    pcx[3] = c.bitsPerPixel;
    pcx[65] = c.planes;
    WriteBytes(dir / "pic.pcx", pcx);
    ExpectRun(dir, {"pic.pcx"}, std::string("Convert from Pcx\n") + kOpaque16 + "Couldn't read PCX file.\n", 1,
              {});
  }
}

// An existing output in another letter case is the one replaced.
TEST(PixmillOutputs, AnOutputInAnotherLetterCaseIsReplacedNotDoubled) {
  Picture picture = MakePicture(8, 2, Varied);
  TempDir dir;
  WriteBytes(dir / "pic.tga", TgaFile(picture, 24, false, false));
  WriteBytes(dir / "OUT.MIP", {'o', 'l', 'd'});
  platform::ProcessResult result = RunPixmill(dir.path().string(), {"pic.tga", "out.mip"});
  EXPECT_EQ(result.standard_output,
            std::string("Convert from Targa\n") + kOpaque16 + "Successfully converted pic.tga to out.mip.\n");
  EXPECT_EQ(result.exit_status, 0);
  EXPECT_EQ(ListNames(dir.path()).size(), 2u);
#ifndef _WIN32
  EXPECT_EQ(ListNames(dir.path())[0], "OUT.MIP");
#endif
  EXPECT_EQ(ReadBytes(dir / "OUT.MIP"), MipFile(Mip16(picture, 3, 32, false)));
}

#ifndef _WIN32
// Where paths may be long (not under the 260-character limit of Windows):
// every final name the system accepts works, an output that is a symbolic
// link is written through, and a replaced output keeps its permission bits.
TEST(PixmillOutputs, LongNamesLinksAndPermissionBits) {
  Picture picture = MakePicture(8, 2, Varied);
  const Bytes mip = MipFile(Mip16(picture, 3, 32, false));
  const std::string longName = std::string(251, 'n') + ".mip";
  TempDir dir;
  WriteBytes(dir / "pic.tga", TgaFile(picture, 24, false, false));
  fs::create_directory(dir.path() / "game");
  WriteBytes(dir / "game/linked.mip", {'o', 'l', 'd'});
  WriteBytes(dir / "plain.mip", {'o', 'l', 'd'});
  fs::create_symlink("game/linked.mip", dir.path() / "link.mip");
  const fs::perms mode = fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read;
  fs::permissions(dir.path() / "game/linked.mip", mode);
  fs::permissions(dir.path() / "plain.mip", mode);

  for (const std::string& output : {longName, std::string("link.mip"), std::string("plain.mip")}) {
    platform::ProcessResult result = RunPixmill(dir.path().string(), {"pic.tga", output});
    EXPECT_EQ(result.standard_output, std::string("Convert from Targa\n") + kOpaque16 +
                                          "Successfully converted pic.tga to " + output + ".\n");
    EXPECT_EQ(result.exit_status, 0);
  }
  EXPECT_EQ(ListNames(dir.path()), (std::vector<std::string>{"game", "link.mip", longName, "pic.tga", "plain.mip"}));
  EXPECT_EQ(ListNames(dir.path() / "game"), std::vector<std::string>{"linked.mip"});
  EXPECT_TRUE(fs::is_symlink(dir.path() / "link.mip"));
  for (const char* written : {"game/linked.mip", "plain.mip"}) {
    EXPECT_EQ(ReadBytes(dir / written), mip) << written;
    EXPECT_EQ(fs::status(dir.path() / written).permissions(), mode) << written;
  }
  EXPECT_EQ(ReadBytes(dir / longName), mip);
}
#endif

}  // namespace
}  // namespace pixmill_e2e
