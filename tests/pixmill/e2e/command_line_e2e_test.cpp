// The command line of the real pixmill program: every refusal prints its
// exact text, answers 1 and leaves nothing new on disk.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "pictures.h"
#include "support/temp_dir.h"

namespace pixmill_e2e {
namespace {

using testing_support::ListNames;
using testing_support::TempDir;
using testing_support::WriteBytes;

struct Refusal {
  const char* name;
  std::vector<std::string> arguments;
  std::string output;
};

const std::string kUsageText = kUsage;
const std::string kCantFigure = "\nCan't figure out what ";

class CommandLineRefusal : public ::testing::TestWithParam<Refusal> {};

TEST_P(CommandLineRefusal, PrintsExactTextAndCreatesNothing) {
  TempDir dir;
  Picture picture = MakePicture(8, 2, [](int x, int y) { return Rgba{uint8_t(x * 30), uint8_t(y), 7, 255}; });
  WriteBytes(dir / "pic.tga", TgaFile(picture, 24, false, false));
  WriteBytes(dir / "pic.pcx", PcxFile(8, 2, std::vector<uint8_t>(16, 1), {}));
  WriteBytes(dir / "bad.pcx", {'n', 'o', 't'});
  std::filesystem::create_directory(dir.path() / "folder.tga");
  std::vector<std::string> before = ListNames(dir.path());

  platform::ProcessResult result = RunPixmill(dir.path().string(), GetParam().arguments);
  EXPECT_EQ(result.standard_output, GetParam().output);
  EXPECT_EQ(result.exit_status, 1);
  EXPECT_EQ(ListNames(dir.path()), before);
}

const std::string kLongName(256, 'a');

INSTANTIATE_TEST_SUITE_P(
    Pixmill, CommandLineRefusal,
    ::testing::Values(
        Refusal{"NoArguments", {}, kUsageText + "\nMust give an input filename.\n"},
        Refusal{"HistInCapitalsNeedsFourBit",
                {"-HIST", "pic.tga"},
                "Using histogram quantization to generate colormaps.\n"
                "Must specify 4-bit output to use Heckbert or histogram quantization.\n"},
        Refusal{"HistogramIsHist",
                {"pic.tga", "-Histogram"},
                "Using histogram quantization to generate colormaps.\n"
                "Must specify 4-bit output to use Heckbert or histogram quantization.\n"},
        Refusal{"HeckbertIsNoOption", {"-heckbert", "pic.tga"}, kUsageText + kCantFigure + "-heckbert is for!\n"},
        Refusal{"SlashOption", {"/bogus", "pic.tga"}, kUsageText + kCantFigure + "/bogus is for!\n"},
        Refusal{"LoneDash", {"pic.tga", "-"}, kUsageText + kCantFigure + "- is for!\n"},
        Refusal{"ThirdName", {"pic.tga", "out", "more"}, kUsageText + kCantFigure + "more is for!\n"},
        Refusal{"FourBitPrefixAndBothQuantizers",
                {"/4bit", "-hist", "-HECK", "pic.tga"},
                "Using histogram quantization to generate colormaps.\n"
                "Using Heckbert quantization.\n"
                "Can't use Heckbert and histogram quantization together.\n"},
        Refusal{"LevelsInOneArgument", {"-levels3", "gone.tga"}, "Make only 3 levels\nFile gone.tga not found.\n"},
        Refusal{"LevelsAndNumber", {"-levels", "3", "gone"}, "Make only 3 levels\nFile gone.tga or .pcx not found.\n"},
        Refusal{"LevelsWithoutNumber", {"pic.tga", "-levels", "-3"}, "Please enter a number of levels.\n"},
        Refusal{"MaskTooLarge", {"-mask", "8", "pic.tga"}, "Please enter a mask size between 0 and 7.\n"},
        Refusal{"MaskWithoutNumber", {"pic.tga", "-mask"}, "Please enter a number for mask size.\n"},
        Refusal{"MaskZeroAccepted",
                {"-mask", "0", "pic.tga", "-transp", "-transl", "-rgb", "1", "2", "3", "-palStart", "3"},
                "Generalizing bottom 0 bits of each color component.\n"
                "Making transparent mip.\nMaking translucent mip.\n"
                "Making color 1 2 3 transparent (discarding other transparency info).\n"
                "Cannot specify both transparent and translucent image.\n"
                "\nCan't specify palette entry unless 4 bit!\n"},
        Refusal{"RgbWithTwoNumbers",
                {"-transp", "-rgb", "255", "0", "-4bit", "gone.tga"},
                "Making transparent mip.\nUse same colormap for all mip levels.\nFile gone.tga not found.\n"},
        Refusal{"RgbWithoutTransparency", {"-rgb", "1", "2", "3", "pic.tga"},
                "Making color 1 2 3 transparent (discarding other transparency info).\n"
                "You must specify -transp or -transl when specifying -rgb.\n"},
        Refusal{"RgbGreenNotNumber", {"-rgb", "1", "pic.tga"}, "Specify a green component for the -rgb parameter.\n"},
        Refusal{"PalStartFollowedByOption",
                {"-palStart", "-tile", "pic.tga"},
                kUsageText + "\nMust specify palette index number to start from\n"
                             "Example:  pixmill -palStart 53 pix\n"},
        Refusal{"PalStartNegativeEndsScan", {"-palStart", "-4", "pic.tga"}, kUsageText + "\nMust give an input filename.\n"},
        Refusal{"WidthWithoutSrb", {"pic.tga", "-flat", "-width", "2"}, "\nMust specify -srb to use -flat\n"},
        Refusal{"HeightWithoutSrb", {"pic.tga", "-height", "2.5"}, "\nMust specify -srb to use -height\n"},
        Refusal{"WidthWithoutNumber", {"pic.tga", "-srb", "-width", "-2"}, "There must be a number following width"},
        Refusal{"CenterYWithoutNumber", {"pic.tga", "-srb", "-centerY"},
                "There must be a number followingcenterY, like \"-centerY 64\"\n"},
        Refusal{"MissingWithExtension", {"gone.pcx"}, "File gone.pcx not found.\n"},
        Refusal{"MissingWithoutExtension", {"gone"}, "File gone.tga or .pcx not found.\n"},
        // A name that exists but cannot be read is found, then refused on opening.
        Refusal{"InputIsADirectory", {"folder"}, "Can't open or read file folder.tga\n"},
        Refusal{"TranslucentPcx", {"-transl", "pic"},
                "Making translucent mip.\nCannot read translucent info from PCX.\n"
                "Use 32-bit tga or use Heckbert or histogram quantization.\n"},
        Refusal{"NotAPcx", {"bad.pcx"}, ">>>> Input is not a valid PCX file.\n"},
        Refusal{"InputNameTooLong", {kLongName}, "Name too long (over 255 characters): " + kLongName + "\n"},
        Refusal{"OutputNameTooLong", {"pic.tga", kLongName}, "Name too long (over 255 characters): " + kLongName + "\n"},
        Refusal{"CompletedNameTooLong", {std::string(252, 'b')},
                "Name too long (over 255 characters): " + std::string(252, 'b') + "\n"}),
    [](const ::testing::TestParamInfo<Refusal>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace pixmill_e2e
