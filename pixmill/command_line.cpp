// The command line of pixmill: the argument scan, the checks between the
// options, finding the input and its kind, and the output name.

#include "pixmill/command_line.h"

#include <cctype>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <string>

#include "pixmill/convert.h"
#include "pixmill/options.h"
#include "pixmill/pcx.h"
#include "pixmill/png.h"
#include "platform/file_attributes.h"
#include "platform/path.h"
#include "runtime/file/file.h"

namespace {

const char kVersion[] = "V4.64 for VTR";

// Where the command line's messages go: standard output, or the text of a
// check that must print nothing.
thread_local std::string* captured = nullptr;

void say(const char* format, ...) {
  va_list arguments;
  va_start(arguments, format);
  if (captured == nullptr) {
    std::vprintf(format, arguments);
  } else {
    char text[512];
    std::vsnprintf(text, sizeof text, format, arguments);
    *captured += text;
  }
  va_end(arguments);
}

char lower(char c) { return static_cast<char>(std::tolower(static_cast<unsigned char>(c))); }

bool startsWithNoCase(const char* text, const char* keyword) {
  for (; *keyword != '\0'; ++text, ++keyword) {
    if (lower(*text) != lower(*keyword)) return false;
  }
  return true;
}

bool equalsNoCase(const char* text, const char* keyword) {
  return startsWithNoCase(text, keyword) && text[std::strlen(keyword)] == '\0';
}

bool isSeparator(char c) { return c == '/' || c == '\\'; }

// Where absolute paths begin with '/', an argument like "/home/me/pic.pcx"
// is a path: no option word holds a '/'.
bool isOption(const char* argument) {
  if (argument[0] == '-') return true;
  if (argument[0] != '/') return false;
  return !platform::kAbsolutePathsBeginWithSlash || std::strchr(argument + 1, '/') == nullptr;
}

void refuseLongName(const char* name) {
  say("Name too long (over %d characters): %s\n", kMaxNameLength, name);
}

// Stores a name argument; false (after the message) when it does not fit.
bool storeName(char* buffer, const char* name) {
  if (std::strlen(name) > static_cast<size_t>(kMaxNameLength)) {
    refuseLongName(name);
    return false;
  }
  std::strcpy(buffer, name);
  return true;
}

void refuseUnknown(const char* argument) {
  printUsage();
  say("\nCan't figure out what %s is for!\n", argument);
}

enum class ScanResult { kDone, kRefused };

// The argument scan. Every refusal has printed its message.
ScanResult scanArguments(int argc, char** argv, ConvertOptions& o) {
  int names = 0;
  for (int i = 1; i < argc; ++i) {
    const char* argument = argv[i];
    const char* next = i + 1 < argc ? argv[i + 1] : nullptr;
    if (!isOption(argument)) {
      if (names == 0) {
        if (!storeName(o.inputName, argument)) return ScanResult::kRefused;
      } else if (names == 1) {
        if (!storeName(o.outputName, argument)) return ScanResult::kRefused;
      } else {
        refuseUnknown(argument);
        return ScanResult::kRefused;
      }
      ++names;
      continue;
    }
    const char* text = argument + 1;
    if (equalsNoCase(text, "tileU")) {
      o.tileU = true;
    } else if (equalsNoCase(text, "tileV")) {
      o.tileV = true;
    } else if (equalsNoCase(text, "tile")) {
      o.tileU = o.tileV = true;
    } else if (text[0] == '4') {
      o.fourBit = true;
    } else if (startsWithNoCase(text, "transp")) {
      o.transparent = true;
      say("Making transparent mip.\n");
    } else if (startsWithNoCase(text, "transl")) {
      o.translucent = true;
      say("Making translucent mip.\n");
    } else if (equalsNoCase(text, "heck")) {
      o.heckbert = true;
      say("Using Heckbert quantization.\n");
    } else if (startsWithNoCase(text, "noblend")) {
      o.blend = false;
      say("Not extending image edges to power of 2 size.\n");
    } else if (startsWithNoCase(text, "hist")) {
      o.histogram = true;
      say("Using histogram quantization to generate colormaps.\n");
    } else if (startsWithNoCase(text, "savepbfs")) {
      o.savePbfs = true;
      say("Saving each mip level as a separate pbf.\n");
    } else if (startsWithNoCase(text, "ptsamp")) {
      o.pointSample = true;
      say("Using color sampling instead of averaging.\n");
    } else if (startsWithNoCase(text, "single")) {
      o.levelLimit = 1;
      say("Only generating top level bitmap.\n");
    } else if (startsWithNoCase(text, "levels")) {
      int value = 0;
      if (std::sscanf(text + 6, " %d", &value) != 1) {
        if (next == nullptr || !std::isdigit(static_cast<unsigned char>(next[0])) ||
            std::sscanf(next, " %d", &value) != 1) {
          say("Please enter a number of levels.\n");
          return ScanResult::kRefused;
        }
        ++i;
      }
      o.levelLimit = value;
      say("Make only %d levels\n", value);
    } else if (startsWithNoCase(text, "noCmap")) {
      o.noCmap = true;
    } else if (startsWithNoCase(text, "mask")) {
      int value = 0;
      if (next == nullptr || std::sscanf(next, "%d", &value) != 1) {
        say("Please enter a number for mask size.\n");
        return ScanResult::kRefused;
      }
      ++i;
      if (value < 0 || value > 7) {
        say("Please enter a mask size between 0 and 7.\n");
        return ScanResult::kRefused;
      }
      o.maskBits = value;
      say("Generalizing bottom %d bits of each color component.\n", value);
    } else if (startsWithNoCase(text, "palStart")) {
      int value = 0;
      if (text[8] != '\0' && std::sscanf(text + 8, "%d", &value) == 1) {
        o.paletteStart = value;
        continue;
      }
      if (next == nullptr || std::sscanf(next, "%d", &value) != 1) {
        printUsage();
        say("\nMust specify palette index number to start from\n");
        say("Example:  pixmill -palStart 53 pix\n");
        return ScanResult::kRefused;
      }
      // A negative number reads as one but looks like an option: the scan
      // stops here and the palette start stays as it was.
      if (next[0] == '-') return ScanResult::kDone;
      o.paletteStart = value;
      ++i;
    } else if (equalsNoCase(text, "srb")) {
      o.srb = true;
    } else if (startsWithNoCase(text, "width") || startsWithNoCase(text, "height") ||
               startsWithNoCase(text, "flat") || startsWithNoCase(text, "centerX") ||
               startsWithNoCase(text, "centerY")) {
      if (startsWithNoCase(text, "flat")) {
        o.flat = true;
        continue;
      }
      float value = 0;
      if (next == nullptr || next[0] == '-' || std::sscanf(next, "%f", &value) != 1) {
        if (startsWithNoCase(text, "width")) {
          say("There must be a number following width");
        } else if (startsWithNoCase(text, "height")) {
          say("There must be a number following height");
        } else {
          say("There must be a number following");
          say(startsWithNoCase(text, "centerX") ? "centerX, like \"-centerX 64\"\n"
                                                        : "centerY, like \"-centerY 64\"\n");
        }
        return ScanResult::kRefused;
      }
      ++i;
      if (startsWithNoCase(text, "width")) {
        o.srbWidth = value;
      } else if (startsWithNoCase(text, "height")) {
        o.srbHeight = value;
      } else if (startsWithNoCase(text, "centerX")) {
        o.centreX = value;
      } else {
        o.centreY = value;
      }
    } else if (startsWithNoCase(text, "rgb")) {
      static const char* const kComponents[3] = {"red", "green", "blue"};
      int32_t* targets[3] = {&o.keyRed, &o.keyGreen, &o.keyBlue};
      o.keyColour = true;
      o.keyRed = o.keyGreen = o.keyBlue = 0;
      int read = 0;
      while (read < 3 && i + 1 < argc && argv[i + 1][0] != '-') {
        int value = 0;
        if (std::sscanf(argv[i + 1], "%d", &value) != 1) {
          say("Specify a %s component for the -rgb parameter.\n", kComponents[read]);
          return ScanResult::kRefused;
        }
        *targets[read++] = value;
        ++i;
      }
      if (read == 3) {
        say("Making color %d %d %d transparent (discarding other transparency info).\n",
                    o.keyRed, o.keyGreen, o.keyBlue);
      }
    } else if (startsWithNoCase(text, "info")) {
      o.info = true;
    } else {
      refuseUnknown(argument);
      return ScanResult::kRefused;
    }
  }
  return ScanResult::kDone;
}

bool isPcxExtension(const char* extension) { return equalsNoCase(extension, ".pcx"); }
bool isTgaExtension(const char* extension) { return equalsNoCase(extension, ".tga"); }

enum class Marked { kNeither, kPcx, kTarga };

// Whether a candidate input name exists at all, as a file status query
// tells: a name that exists but cannot be read (a directory, say) is found
// here and refused when it is opened.
bool nameExists(const char* name) {
  uint32_t attributes = 0;
  return platform::GetFileAttributes(name, attributes);
}

// Completes the input name and marks its kind; false after a refusal.
bool resolveInput(ConvertOptions& o, Marked& marked) {
  char* name = o.inputName;
  int dot = nameExtension(name);
  if (dot >= 0) {
    if (!nameExists(name)) {
      say("File %s not found.\n", name);
      return false;
    }
    marked = isPcxExtension(name + dot)   ? Marked::kPcx
             : isTgaExtension(name + dot) ? Marked::kTarga
                                          : Marked::kNeither;
    return true;
  }
  size_t length = std::strlen(name);
  if (length + 4 > static_cast<size_t>(kMaxNameLength)) {
    refuseLongName(name);
    return false;
  }
  std::strcpy(name + length, ".pcx");
  if (nameExists(name)) {
    marked = Marked::kPcx;
    return true;
  }
  std::strcpy(name + length, ".tga");
  if (nameExists(name)) {
    marked = Marked::kTarga;
    return true;
  }
  // A PNG is found last, so every name that found a picture before still
  // finds the same one; its content tells its kind.
  std::strcpy(name + length, ".png");
  if (nameExists(name)) return true;
  std::strcpy(name + length, ".tga");
  say("File %s or .pcx not found.\n", name);
  return false;
}

// The default output is the input cut at the first '.' of its last
// component, so a dotted directory ("tex.v2/pic.pcx") stays whole.
void completeOutputName(ConvertOptions& o) {
  if (o.outputName[0] == '\0') {
    std::strcpy(o.outputName, o.inputName);
    int dot = nameExtension(o.outputName);
    if (dot >= 0) o.outputName[dot] = '\0';
  }
  size_t length = std::strlen(o.outputName);
  if (nameExtension(o.outputName) < 0 && length < 252) {
    std::strcpy(o.outputName + length, o.srb ? ".srb" : ".mip");
  }
}

// The checks between the switches alone, each printing its refusal; the
// run makes them in its order, between the checks of the input.

bool srbSwitchesHaveSrb(const ConvertOptions& o) {
  if (o.srb) return true;
  const char* missing = o.flat                ? "-flat"
                        : o.srbWidth != -1.0f  ? "-width"
                        : o.srbHeight != -1.0f ? "-height"
                        : o.centreX != -1.0f   ? "-centerX"
                        : o.centreY != -1.0f   ? "-centerY"
                                               : nullptr;
  if (missing == nullptr) return true;
  say("\nMust specify -srb to use %s\n", missing);
  return false;
}

bool quantizationSwitchesAgree(const ConvertOptions& o) {
  if (o.heckbert && o.histogram) {
    say("Can't use Heckbert and histogram quantization together.\n");
    return false;
  }
  if ((o.heckbert || o.histogram) && !o.fourBit) {
    say("Must specify 4-bit output to use Heckbert or histogram quantization.\n");
    return false;
  }
  if (o.transparent && o.translucent) {
    say("Cannot specify both transparent and translucent image.\n");
  }
  if (o.keyColour && !o.transparent && !o.translucent) {
    say("You must specify -transp or -transl when specifying -rgb.\n");
    return false;
  }
  return true;
}

bool paletteStartHasFourBit(const ConvertOptions& o) {
  if (o.paletteStart == 0 || o.fourBit) return true;
  say("\nCan't specify palette entry unless 4 bit!\n");
  return false;
}

}  // namespace

int nameLastComponent(const char* name) {
  int start = 0;
  for (int i = 0; name[i] != '\0'; ++i) {
    if (isSeparator(name[i])) start = i + 1;
  }
  return start;
}

int nameExtension(const char* name) {
  int start = nameLastComponent(name);
  const char* dot = std::strchr(name + start, '.');
  return dot ? static_cast<int>(dot - name) : -1;
}

void printUsage() {
  say("pixmill %s usage:\n", kVersion);
  say("  pixmill [<options>] infile[.pcx | .tga] [outfile[.ext]] [<options>]\n");
  say("           [-hist | -heck] [-noblend] [-ptsamp] [-mask n]\n\n");
  say("-tile        allow tiling in u&v (default is clamp to min/max uv)\n");
  say("-tileU       allow tiling in u (default is clamp to min/max u)\n");
  say("-tileV       allow tiling in v (default is clamp to min/max v)\n");
  say("-4           output a 4 bit bitmap instead of the default 16-bit mip\n");
  say("-transp      output a transparent mip\n");
  say("-transl      output a translucent mip\n");
  say("-palStart n  start (4 bit) palette at index n of input palette\n");
  say("-hist        generate individual mip level colormaps, use a histogram\n");
  say("-heck        generate individual mip level colormaps,");
  say(" use Heckbert quantization\n");
  say("-rgb R G B   make RGB the only transparent color (each is 0-255)\n");
  say("-noblend     don't use last row/column to fill bitmap to power of 2 size\n");
  say("-savepbfs    save each mip level as a .pbf in this directory\n");
  say("-ptsamp      generate mip levels by sampling colors, not averaging colors\n");
  say("-mask n      ignore bottom n bits of each color (n is 1-7)\n");
  say("-single      generate only the top level bitmap in mip\n");
  say("-levels n    generate only n mip levels\n");
  say("-noCmap      do not save any colormaps for this mip\n");
  say("FOR SRBS:\n");
  say(" -srb         make an SRB instead of MIP\n");
  say(" -width w     set displayed width of SRB in meters\n");
  say(" -height h    set displayed height of SRB in meters\n");
  say(" -centerX x   set center of SRB in pixels across (default: pix center)\n");
  say(" -centerY y   set center of SRB in pixels down\n");
  say(" -flat        make srb scalable but NOT rotatable (use for driver)\n");
  say(" -info\t    print debug info about colormap and top left pixels\n");
}

int commandLineRun(int argc, char** argv) {
  ConvertOptions o;
  if (scanArguments(argc, argv, o) == ScanResult::kRefused) return 1;

  if (o.inputName[0] == '\0') {
    printUsage();
    std::printf("\nMust give an input filename.\n");
    return 1;
  }
  if (o.fourBit && !o.histogram && !o.heckbert) {
    std::printf("Use same colormap for all mip levels.\n");
  }
  if (!srbSwitchesHaveSrb(o)) return 1;
  Marked marked = Marked::kNeither;
  if (!resolveInput(o, marked)) return 1;
  if (!quantizationSwitchesAgree(o)) return 1;
  if (marked == Marked::kPcx && o.translucent && !o.heckbert && !o.histogram) {
    std::printf("Cannot read translucent info from PCX.\n");
    std::printf("Use 32-bit tga or use Heckbert or histogram quantization.\n");
    return 1;
  }
  completeOutputName(o);
  if (!paletteStartHasFourBit(o)) return 1;
  QuorFile* input = nullptr;
  if (!fileOpenRead(&input, o.inputName)) {
    std::printf("Can't open or read file %s\n", o.inputName);
    return 1;
  }
  bool pcx = pcxIsPcx(input);
  if (marked == Marked::kPcx && !pcx) {
    std::printf(">>>> Input is not a valid PCX file.\n");
    fileClose(input);
    return 1;
  }
  InputKind kind = pcx ? InputKind::kPcx : InputKind::kTarga;
  if (marked == Marked::kTarga) kind = InputKind::kTarga;
  // No Targa begins with the PNG signature, so this takes no Targa away.
  if (kind == InputKind::kTarga && pngIsPng(input)) kind = InputKind::kPng;
  std::printf(kind == InputKind::kPcx     ? "Convert from Pcx\n"
              : kind == InputKind::kTarga ? "Convert from Targa\n"
                                          : "Convert from PNG\n");
  return convertRun(o, input, kind);
}

bool commandLineSwitchesAccepted(const std::vector<std::string>& switches, std::string& why) {
  std::vector<char*> argv{const_cast<char*>("pixmill")};
  for (const std::string& s : switches) argv.push_back(const_cast<char*>(s.c_str()));
  std::string text;
  captured = &text;
  ConvertOptions o;
  bool accepted = scanArguments(static_cast<int>(argv.size()), argv.data(), o) == ScanResult::kDone;
  if (accepted && o.inputName[0] != '\0') {
    text += std::string("'") + o.inputName + "' is a name, not a switch\n";
    accepted = false;
  }
  accepted = accepted && srbSwitchesHaveSrb(o) && quantizationSwitchesAgree(o) &&
             paletteStartHasFourBit(o);
  captured = nullptr;
  if (!accepted) {
    // The refusal is the last line said; what came before was information.
    while (!text.empty() && text.back() == '\n') text.pop_back();
    why = text.substr(text.find_last_of('\n') + 1);
  }
  return accepted;
}
