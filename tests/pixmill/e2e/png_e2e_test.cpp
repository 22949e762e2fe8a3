// PNG input: every colour type and bit depth converts exactly as the same
// picture given as a Targa of matching depth, and the few runs in which a
// PNG differs from a Targa at all.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
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

constexpr int kWidth = 13, kHeight = 7;

struct PngCase {
  const char* name;
  int colourType;  // 0 grey, 2 RGB, 3 palette, 4 grey + alpha, 6 RGBA
  int depth;
  bool transparency;  // a tRNS chunk
};

const PngCase kCases[] = {
    {"grey1", 0, 1, false},   {"grey2", 0, 2, false},       {"grey4", 0, 4, false},
    {"grey8", 0, 8, false},   {"grey16", 0, 16, false},     {"grey8 keyed", 0, 8, true},
    {"rgb8", 2, 8, false},    {"rgb16", 2, 16, false},      {"rgb16 keyed", 2, 16, true},
    {"palette1", 3, 1, false}, {"palette2", 3, 2, false},   {"palette4", 3, 4, false},
    {"palette8", 3, 8, false}, {"palette4 alpha", 3, 4, true}, {"palette8 alpha", 3, 8, true},
    {"grey alpha8", 4, 8, false}, {"grey alpha16", 4, 16, false},
    {"rgba8", 6, 8, false},   {"rgba16", 6, 16, false},
};

// A PNG of the case and the picture it shows, with whether that picture
// carries alpha (so its Targa twin has 32 bits, else 24).
struct Made {
  Bytes png;
  Picture picture;
  bool alpha = false;
};

Made MakeCase(const PngCase& c) {
  const int channels = c.colourType == 2 ? 3 : c.colourType == 4 ? 2 : c.colourType == 6 ? 4 : 1;
  const unsigned top = (1u << c.depth) - 1;
  std::vector<Rgba> palette;
  Bytes alphas;
  if (c.colourType == 3) {
    for (unsigned i = 0; i <= top; ++i) {
      palette.push_back({uint8_t(i * 37 + 11), uint8_t(200 - i * 13), uint8_t(i * i * 3), 255});
      if (c.transparency) alphas.push_back(uint8_t(i * 53));
    }
    if (c.transparency) alphas.resize(alphas.size() / 2 + 1);  // the rest stays opaque
  }
  std::vector<uint16_t> samples;
  for (int y = 0; y < kHeight; ++y)
    for (int x = 0; x < kWidth; ++x)
      for (int k = 0; k < channels; ++k)
        samples.push_back(uint16_t((x * 4099u + y * 7919u + k * 131u + x * y * 31u) & top));
  if (c.transparency && c.colourType != 3) {  // the colour of pixel 3 is the key
    for (int k = 0; k < channels; ++k) {
      alphas.push_back(uint8_t(samples[3 * channels + k] >> 8));
      alphas.push_back(uint8_t(samples[3 * channels + k]));
    }
  }
  auto eight = [&](uint16_t s) {  // the library's reduction to 8 bits
    return uint8_t(c.depth == 16 ? s >> 8 : c.depth == 8 ? s : s * 255 / top);
  };
  Made made;
  made.alpha = c.transparency || c.colourType == 4 || c.colourType == 6;
  made.picture = MakePicture(kWidth, kHeight, [&](int x, int y) {
    const uint16_t* s = samples.data() + (y * kWidth + x) * channels;
    if (c.colourType == 3) {
      Rgba p = palette[s[0]];
      if (s[0] < alphas.size()) p.a = alphas[s[0]];
      return p;
    }
    Rgba p = channels >= 3 ? Rgba{eight(s[0]), eight(s[1]), eight(s[2]), 255}
                           : Rgba{eight(s[0]), eight(s[0]), eight(s[0]), 255};
    if (channels == 2 || channels == 4) p.a = eight(s[channels - 1]);
    const uint16_t* keyed = samples.data() + 3 * channels;
    if (c.transparency && std::equal(s, s + channels, keyed)) p.a = 0;
    return p;
  });
  made.png = PngFile(kWidth, kHeight, c.colourType, c.depth, samples, palette, alphas);
  return made;
}

std::string Replaced(std::string text, const std::string& from, const std::string& to) {
  for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
    text.replace(at, from.size(), to);
  return text;
}

TEST(PixmillPng, EachColourTypeAndDepthConvertsAsItsTarga) {
  const std::vector<std::vector<std::string>> switchSets = {
      {}, {"-transl"}, {"-transp"}, {"-4", "-hist"}};
  for (const PngCase& c : kCases) {
    Made made = MakeCase(c);
    TempDir dir;
    std::filesystem::create_directories(dir.path() / "png");
    std::filesystem::create_directories(dir.path() / "tga");
    WriteBytes(dir / "png/pic.png", made.png);
    WriteBytes(dir / "tga/pic.tga", TgaFile(made.picture, made.alpha ? 32 : 24, false, false));
    for (const auto& switches : switchSets) {
      SCOPED_TRACE(std::string(c.name) + " " + (switches.empty() ? "565" : switches[0]) +
                   (switches.size() > 1 ? " " + switches[1] : ""));
      std::vector<std::string> arguments = switches;
      arguments.push_back("pic.png");
      platform::ProcessResult png = RunPixmill((dir.path() / "png").string(), arguments);
      arguments.back() = "pic.tga";
      platform::ProcessResult tga = RunPixmill((dir.path() / "tga").string(), arguments);
      EXPECT_EQ(png.exit_status, 0);
      EXPECT_EQ(png.exit_status, tga.exit_status);
      EXPECT_EQ(Replaced(Replaced(png.standard_output, "Convert from PNG", "Convert from Targa"),
                         "pic.png", "pic.tga"),
                tga.standard_output);
      EXPECT_EQ(ReadBytes(dir / "png/pic.mip"), ReadBytes(dir / "tga/pic.mip"));
    }
  }
}

// Runs that differ from a Targa run, or show that no PCX or Targa run
// changed: each leaves the directory as listed.
TEST(PixmillPng, MessagesNamesAndRefusals) {
  const std::string opaque = "Creating an opaque 16-bit mip.\nReading data as 565 bitmap.\n";
  Made made = MakeCase(kCases[6]);
  Bytes truncated(made.png.begin(), made.png.begin() + made.png.size() / 2);
  Bytes garbled = made.png;
  for (size_t i = 60; i < garbled.size() - 12; ++i) garbled[i] ^= 0x5A;
  std::vector<uint16_t> wideSamples(300 * 2 * 3, 7);
  Bytes tooWide = PngFile(300, 2, 2, 8, wideSamples);
  Bytes tga = TgaFile(made.picture, 24, false, false);
  // An empty image data chunk right after the header, before the one with data.
  Bytes emptyFirstChunk = made.png;
  const uint8_t emptyChunk[] = {0, 0, 0, 0, 'I', 'D', 'A', 'T', 0x35, 0xAF, 0x06, 0x1E};
  emptyFirstChunk.insert(emptyFirstChunk.begin() + 33, emptyChunk, emptyChunk + sizeof emptyChunk);
  struct Case {
    std::vector<std::pair<std::string, Bytes>> files;
    std::vector<std::string> arguments;
    std::string output;
    int status;
    std::vector<std::string> after;
  } cases[] = {
      {{{"pic.png", truncated}}, {"pic.png"},
       "Convert from PNG\n" + opaque + "Error reading PNG.\n\n", 1, {"pic.png"}},
      {{{"pic.png", garbled}}, {"pic.png"},
       "Convert from PNG\n" + opaque + "Error reading PNG.\n\n", 1, {"pic.png"}},
      {{{"pic.png", tooWide}}, {"pic.png"},
       "Convert from PNG\n" + opaque +
           "Error: too big for 3dfx!  is 300 x 2 but max is 256 x 256\n",
       1, {"pic.png"}},
      {{{"pic.png", emptyFirstChunk}}, {"pic.png"},
       "Convert from PNG\n" + opaque + "Successfully converted pic.png to pic.mip.\n", 0,
       {"pic.mip", "pic.png"}},
      {{{"pic.pcx", made.png}}, {"pic.pcx"}, ">>>> Input is not a valid PCX file.\n", 1,
       {"pic.pcx"}},
      {{{"pic.tga", made.png}}, {"pic.tga"},
       "Convert from PNG\n" + opaque + "Successfully converted pic.tga to pic.mip.\n", 0,
       {"pic.mip", "pic.tga"}},
      {{{"pic.png", made.png}}, {"pic"},
       "Convert from PNG\n" + opaque + "Successfully converted pic.png to pic.mip.\n", 0,
       {"pic.mip", "pic.png"}},
      {{{"pic.png", made.png}, {"pic.tga", tga}}, {"pic"},
       "Convert from Targa\n" + opaque + "Successfully converted pic.tga to pic.mip.\n", 0,
       {"pic.mip", "pic.png", "pic.tga"}},
      {{{"pic.png", made.png}}, {"other"}, "File other.tga or .pcx not found.\n", 1,
       {"pic.png"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.output);
    TempDir dir;
    for (const auto& [name, bytes] : c.files) WriteBytes(dir / name, bytes);
    platform::ProcessResult result = RunPixmill(dir.path().string(), c.arguments);
    EXPECT_EQ(result.standard_output, c.output);
    EXPECT_EQ(result.exit_status, c.status);
    EXPECT_EQ(ListNames(dir.path()), c.after);
  }
}

}  // namespace
}  // namespace pixmill_e2e
