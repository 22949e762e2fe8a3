// The conversion run: reads the picture, builds the mip chain, turns it into
// 4-bit levels when asked and writes the MIP or SRB file and the PBF files.
// Every output is claimed first (a name that cannot take the result fails
// the step that creates it), then written under a temporary name beside its
// final name and renamed over it only once complete, so a failed run leaves
// an older file as it was and nothing new behind.

#include "pixmill/convert.h"

#include <cstdio>
#include <cstring>

#include "pixmill/bitmap.h"
#include "pixmill/command_line.h"
#include "pixmill/mip_data.h"
#include "pixmill/mip_file.h"
#include "pixmill/pcx.h"
#include "pixmill/png.h"
#include "pixmill/quantize.h"
#include "pixmill/tga.h"
#include "platform/atomic_replace.h"
#include "platform/replace_file.h"
#include "platform/directory_services.h"
#include "platform/path.h"
#include "platform/same_file.h"
#include "runtime/mem.h"

namespace {

constexpr int32_t kMaxPictureSize = 256;
constexpr int32_t kLargestPaletteStart = 256 - 16;
// Room for a name of kMaxNameLength characters plus a PBF suffix.
constexpr int kPathBufferSize = kMaxNameLength + 16;

uint8_t red(uint32_t c) { return static_cast<uint8_t>(c >> 16); }
uint8_t green(uint32_t c) { return static_cast<uint8_t>(c >> 8); }
uint8_t blue(uint32_t c) { return static_cast<uint8_t>(c); }
uint8_t alpha(uint32_t c) { return static_cast<uint8_t>(c >> 24); }

uint32_t argb(uint32_t a, uint32_t r, uint32_t g, uint32_t b) {
  return (a << 24) | (r << 16) | (g << 8) | b;
}

// The exponent of the smallest power of two not below n.
int32_t log2Ceiling(int32_t n) {
  int32_t exponent = 0;
  while (exponent < 30 && (int32_t{1} << exponent) < n) ++exponent;
  return exponent;
}

void printTopLine(const Bitmap* bitmap) {
  for (int32_t x = 0; x < bitmap->width && x <= 21; ++x) {
    uint32_t c = bitmapGetPixel(bitmap, x, 0);
    std::printf("b%d,%d: %d %d %d %d\n", 0, x, red(c), green(c), blue(c), alpha(c));
  }
}

void printColormap(const Colormap* map) {
  if (map == nullptr) {
    std::printf("colormap is null\n");
    return;
  }
  for (int i = 0; i < 16; ++i) {
    uint32_t c = colormapGet(map, i);
    std::printf("%d: %d %d %d %d\n", i, red(c), green(c), blue(c), alpha(c));
  }
}

void printPalette(const PcxPalette& palette) {
  std::printf("Original palette from pcx:\n");
  for (int i = 0; i < 16; ++i) {
    const PcxColour& c = palette.colours[i];
    std::printf("%d: %d %d %d (555: %d %d %d)\n", i, c.red, c.green, c.blue, c.red & 0xF8,
                c.green & 0xF8, c.blue & 0xF8);
  }
}

// A block of the memory manager that holds any path the system accepts;
// none on failure.
char* pathBlock() {
  void* block = nullptr;
  if (!_memAlloc(&block, static_cast<uint32_t>(platform::kMaxPath + 1))) return nullptr;
  return static_cast<char*>(block);
}

// An output file being written under a temporary name beside its final one.
// Both names are absolute, so a name given with backslashes or in another
// letter case than the directories on disk lands in the right place. The
// names live in blocks of the memory manager and the platform calls take
// them as text, so running out of memory is a failure like any other.
struct PendingOutput {
  QuorFile* file = nullptr;
  char* finalPath = nullptr;
  char* temporaryName = nullptr;
};

// Closes and removes whatever is left of an output that was not committed.
void pendingDiscard(PendingOutput& pending) {
  if (pending.file != nullptr) {
    fileClose(pending.file);
    pending.file = nullptr;
  }
  if (pending.temporaryName != nullptr) {
    platform::RemoveFile(pending.temporaryName);
    memFree(pending.temporaryName);
    pending.temporaryName = nullptr;
  }
  memFree(pending.finalPath);
  pending.finalPath = nullptr;
}

// Claims the final name (a directory there, or a file that cannot be opened
// for writing, refuses it) and creates the temporary file.
bool pendingCreate(PendingOutput& pending, const char* finalName) {
  pending.finalPath = pathBlock();
  char* temporary = pathBlock();
  const bool claimed = pending.finalPath != nullptr && temporary != nullptr &&
                       platform::MakeFullPath(finalName, pending.finalPath,
                                              static_cast<uint32_t>(platform::kMaxPath + 1)) &&
                       platform::BeginReplacement(pending.finalPath, platform::Claim::kWritable,
                                                  temporary, platform::kMaxPath + 1);
  if (!claimed) {
    memFree(temporary);
    pendingDiscard(pending);
    return false;
  }
  pending.temporaryName = temporary;
  if (!fileCreate(&pending.file, pending.temporaryName)) {
    pending.file = nullptr;
    pendingDiscard(pending);
    return false;
  }
  return true;
}

// Closes the file and puts it in place under its final name.
bool pendingCommit(PendingOutput& pending) {
  if (!fileClose(pending.file)) return false;
  pending.file = nullptr;
  // The temporary is gone either way: in place, or removed by a failed rename.
  const bool replaced = platform::FinishReplacement(pending.temporaryName, pending.finalPath);
  memFree(pending.temporaryName);
  pending.temporaryName = nullptr;
  pendingDiscard(pending);
  return replaced;
}

// The PBF name of level `level`: the output name's last component cut at its
// first '.' and to 7 characters, then the level number and ".pbf"; the
// directory part stays, so the files land beside the output.
// Answers whether the name had to be cut.
bool pbfName(char* out, const char* outputName, int32_t level) {
  std::strcpy(out, outputName);
  int start = nameLastComponent(out);
  int dot = nameExtension(out);
  if (dot >= 0) out[dot] = '\0';
  const bool truncated = std::strlen(out + start) > 7;
  if (truncated) out[start + 7] = '\0';
  std::sprintf(out + std::strlen(out), "%d.pbf", static_cast<int>((level + 1) % 10));
  return truncated;
}

class ConversionRun {
 public:
  ConversionRun(const ConvertOptions& options, QuorFile* input, InputKind kind)
      : o_(options),
        input_(input),
        pcx_(kind == InputKind::kPcx),
        png_(kind == InputKind::kPng) {}

  int Run() {
    ChooseFormat();
    if (pcx_ ? ReadPcx() : png_ ? ReadPng() : ReadTarga()) {
      if (CheckSize()) {
        ApplyKeyColour();
        Convert();
      }
    }
    CleanUp();
    return ok_ ? 0 : 1;
  }

 private:
  void Fail() { ok_ = false; }

  void ChooseFormat() {
    if (o_.fourBit) {
      std::printf("Reading data as 8888 bitmap.\n");
      if (o_.transparent) {
        std::printf("Creating a transparent 4-bit mip.\n");
      } else if (o_.translucent) {
        std::printf("Creating a translucent 4-bit mip (reading translucent info).\n");
      } else {
        std::printf("Creating an opaque 4-bit mip.\n");
      }
      format_ = kFormat8888;
    } else if (o_.transparent) {
      std::printf("Creating a transparent 16-bit mip.\n");
      std::printf("Reading data as 1555 bitmap.\n");
      format_ = kFormat1555;
    } else if (o_.translucent) {
      std::printf("Creating a translucent 16-bit mip (reading translucent info from targa).\n");
      std::printf("Reading data as 4444 bitmap.\n");
      format_ = kFormat4444;
    } else {
      std::printf("Creating an opaque 16-bit mip.\n");
      std::printf("Reading data as 565 bitmap.\n");
      format_ = kFormat565;
    }
    keyRed_ = o_.keyRed;
    keyGreen_ = o_.keyGreen;
    keyBlue_ = o_.keyBlue;
    int32_t precision = format_ == kFormat1555 ? 0xF8 : format_ == kFormat4444 ? 0xF0 : -1;
    if (o_.keyColour && precision != -1) {
      keyRed_ &= precision;
      keyGreen_ &= precision;
      keyBlue_ &= precision;
    }
  }

  bool ReadPcx() {
    if (o_.fourBit && (o_.paletteStart < 0 || o_.paletteStart > kLargestPaletteStart)) {
      std::printf("Error: palette start %d leaves the 16 colors outside the palette (0 to %d).\n",
                  o_.paletteStart, kLargestPaletteStart);
      Fail();
      return false;
    }
    PcxReader* reader = nullptr;
    PcxPalette* palette = nullptr;
    bool read = ReadPcxWith(&reader, &palette);
    memFree(reader);
    memFree(palette);
    if (!read) Fail();
    return read;
  }

  bool ReadPcxWith(PcxReader** readerOut, PcxPalette** paletteOut) {
    void* block = nullptr;
    if (!_memAlloc(&block, sizeof(PcxReader))) {
      std::printf("Couldn't setup PCX.");
      return false;
    }
    PcxReader* reader = *readerOut = static_cast<PcxReader*>(block);
    if (!pcxSetup(reader, input_)) {
      std::printf("Couldn't setup PCX.");
      return false;
    }
    block = nullptr;
    if (!_memAlloc(&block, sizeof(PcxPalette))) {
      std::printf("Couldn't read PCX palette.");
      return false;
    }
    PcxPalette* palette = *paletteOut = static_cast<PcxPalette*>(block);
    if (!pcxReadPalette(reader, palette)) {
      std::printf("Couldn't read PCX palette.");
      return false;
    }
    if (o_.info) printPalette(*palette);

    // A header whose corners are the wrong way round describes no picture:
    // the reader refuses it, it is no allocation that failed.
    bool allocated = pcxWidth(*reader) > 0 && pcxHeight(*reader) > 0;
    if (allocated && !bitmapCreate(&bitmap_, format_, pcxWidth(*reader), pcxHeight(*reader))) {
      bitmap_ = nullptr;
      std::printf("Couldn't allocate bitmap.");
      allocated = false;
    }
    if (allocated && o_.fourBit) {
      Colormap* map = nullptr;
      if (!colormapCreate(&map)) {
        std::printf("Couldn't allocate colormap.");
        allocated = false;
      } else {
        bitmap_->colormap = map;
        for (int i = 0; i < 16; ++i) {
          const PcxColour& c = palette->colours[o_.paletteStart + i];
          colormapSet(map, i, argb(255, c.red, c.green, c.blue));
        }
        if (o_.transparent || o_.translucent) {
          colormapSet(map, 0, colormapGet(map, 0) & 0x00FFFFFFu);
        }
      }
    }
    bool plain = o_.keyColour || (!o_.transparent && !o_.translucent);
    if (!allocated ||
        !(plain ? pcxReadPixels(bitmap_, reader, palette, o_.info)
                : pcxReadPixelsKeyed(bitmap_, reader, palette, o_.info))) {
      std::printf("Couldn't read PCX file.");
      return false;
    }
    if (o_.fourBit) {
      int32_t count = 0;
      int32_t like = 0;
      if (!pcxCheckIndexes(reader, o_.paletteStart, o_.paletteStart + 15, &count, &like) &&
          count > 0) {
        std::printf("********************************\n");
        std::printf("Warning! This pcx has %d pixels", count);
        std::printf(" using indexes that are outside of\n");
        std::printf(" palette %d to %d (like %d).  ", o_.paletteStart, o_.paletteStart + 15, like);
        std::printf("Please fix pcx or use -palStart.\n");
        std::printf("********************************\n");
      }
    }
    if (o_.info) {
      std::printf("Top line of input bitmap:\n");
      printTopLine(bitmap_);
    }
    return true;
  }

  bool ReadTarga() {
    if (!tgaRead(&bitmap_, input_, format_)) {
      bitmap_ = nullptr;
      std::printf("Error reading targa.\n");
      Fail();
      return false;
    }
    return true;
  }

  // A PNG too large to take is refused by its size alone, undecoded.
  bool ReadPng() {
    if (!pngRead(&bitmap_, &unreadWidth_, &unreadHeight_, input_, format_, kMaxPictureSize)) {
      std::printf("Error reading PNG.\n");
      Fail();
      return false;
    }
    return true;
  }

  bool CheckSize() {
    int32_t width = bitmap_ ? bitmap_->width : unreadWidth_;
    int32_t height = bitmap_ ? bitmap_->height : unreadHeight_;
    bool fits = true;
    if (o_.fourBit && width < 5) {
      std::printf("Error: picture width cannot be this small! (%d pixels)\n", width);
      fits = false;
    }
    if (width > kMaxPictureSize || height > kMaxPictureSize) {
      std::printf("Error: too big for 3dfx!  is %d x %d but max is %d x %d", width, height,
                  kMaxPictureSize, kMaxPictureSize);
      fits = false;
    }
    if (fits && mipLevelCount(width, height, o_.levelLimit) < 1) {
      std::printf("Error: a %d x %d picture with a limit of %d levels gives no mip levels.\n",
                  width, height, o_.levelLimit);
      fits = false;
    }
    if (!fits) {
      Fail();
      return false;
    }
    mipSetFillRatios(static_cast<double>(width) / (int32_t{1} << log2Ceiling(width)),
                     static_cast<double>(height) / (int32_t{1} << log2Ceiling(height)));
    return true;
  }

  void ApplyKeyColour() {
    if (!o_.keyColour) return;
    bool found = false;
    for (int32_t y = 0; y < bitmap_->height; ++y) {
      for (int32_t x = 0; x < bitmap_->width; ++x) {
        uint32_t c = bitmapGetPixel(bitmap_, x, y);
        bool key = red(c) == keyRed_ && green(c) == keyGreen_ && blue(c) == keyBlue_;
        found = found || key;
        bitmapSetPixel(bitmap_, argb(key ? 0 : 255, red(c), green(c), blue(c)), x, y);
      }
    }
    if (found) return;
    std::printf("Warning: -rgb specified but color %d %d %d not found in image.\n", keyRed_,
                keyGreen_, keyBlue_);
    if (format_ == kFormat1555 || format_ == kFormat4444) {
      std::printf("\t(Creating a %s bitmap, so some color detail was lost when reading\n",
                  format_ == kFormat1555 ? "1555" : "4444");
      std::printf("\tthe image. Try changing the rgb a bit)\n");
    }
  }

  void Convert() {
    success created = o_.pointSample
                          ? mipDataCreateSampled(&mip_, bitmap_, o_.levelLimit, !o_.tileU, !o_.tileV)
                          : mipDataCreate(&mip_, bitmap_, o_.levelLimit, !o_.tileU, !o_.tileV);
    if (!created) {
      mip_ = nullptr;
      std::printf("Couldn't create mip.");
      Fail();
      return;
    }
    if (o_.info) {
      std::printf("Mip level 0 data after mipDataCreate (not 4bit yet):\n");
      printTopLine(mip_->levels[0]);
    }
    if (WouldReplaceInput() || !pendingCreate(output_, o_.outputName)) {
      std::printf("Couldn't create output file.");
      Fail();
      DestroyMip();
      return;
    }
    if (o_.fourBit) {
      ConvertTo4Bit();
      PlaceColormaps();
    } else if (o_.blend) {
      for (int32_t i = 0; i < mip_->levelCount; ++i) levelFill(mip_->levels[i]);
    }
    Write();
  }

  // Whether the output or one of the PBF files names the input picture
  // itself (in another letter case, through a link, by another path): it
  // is refused before anything is written rather than lose the picture.
  bool WouldReplaceInput() const {
    if (platform::SameFile(o_.outputName, o_.inputName)) return true;
    if (o_.srb || !o_.savePbfs) return false;
    char name[kPathBufferSize];
    for (int32_t i = 0; i < mip_->levelCount; ++i) {
      pbfName(name, o_.outputName, i);
      if (platform::SameFile(name, o_.inputName)) return true;
    }
    return false;
  }

  void ConvertTo4Bit() {
    bool ownMaps = o_.histogram || o_.heckbert;
    for (int32_t i = 0; i < mip_->levelCount; ++i) {
      const Colormap* given = nullptr;
      bool copyGiven = false;
      if (pcx_) {
        given = (i == 0 || !ownMaps) ? bitmap_->colormap : nullptr;
        copyGiven = i == 0;
      } else if (!ownMaps && i > 0) {
        given = mip_->levels[0]->colormap;
      }
      Bitmap* source = mip_->levels[i];
      Bitmap* converted = nullptr;
      if (!build4Bit(source, &converted, o_.transparent, o_.translucent, o_.heckbert, given,
                     copyGiven, o_.maskBits, o_.info)) {
        std::printf("Out of memory when building in build4Bit.");
        Fail();
        break;
      }
      if (o_.info && i == 0) {
        std::printf("**After build4Bit***\n");
        std::printf("mip level 0 colormap:\n");
        printColormap(converted->colormap);
        std::printf("top line of 4Bit mip:\n");
        printTopLine(converted);
      }
      if (o_.blend) levelFill(converted);
      bitmapDestroy(source);
      mip_->levels[i] = converted;
    }
    if (o_.info) {
      std::printf("** AT END ***\n");
      if (mip_->colormap != nullptr) {
        std::printf("final top colormap:\n");
        printColormap(mip_->colormap);
      }
      if (mip_->levels[0]->colormap != nullptr) {
        std::printf("final level 0 colormap:\n");
        printColormap(mip_->levels[0]->colormap);
      }
      std::printf("final mip level 0 top line:\n");
      printTopLine(mip_->levels[0]);
    }
  }

  void PlaceColormaps() {
    Bitmap* first = mip_->levels[0];
    if (o_.histogram || o_.heckbert) {
      if (mip_->colormap != nullptr) {
        if (bitmap_->colormap == mip_->colormap) bitmap_->colormap = nullptr;
        memFree(mip_->colormap);
        mip_->colormap = nullptr;
      }
    } else if (pcx_) {
      memFree(first->colormap);
      first->colormap = nullptr;
    } else {
      mip_->colormap = first->colormap;
      first->colormap = nullptr;
    }
    if (mip_->colormap != nullptr) std::printf("Has main colormap\n");
    for (int32_t i = 0; i < mip_->levelCount; ++i) {
      if (mip_->levels[i]->colormap != nullptr) {
        std::printf(" Level %d of %d has a colormap\n", i, mip_->levelCount);
        if (mip_->colormap != nullptr) {
          std::printf("Top level and individual colormaps are both set\n");
          Fail();
        }
      } else if (mip_->colormap == nullptr) {
        std::printf("Individual colormap is not set and top level isn't set\n");
        Fail();
      }
    }
  }

  // -noCmap: the maps leave the mip while it is written and come back after.
  void DetachColormaps() {
    detachedTop_ = mip_->colormap;
    mip_->colormap = nullptr;
    for (int32_t i = 0; i < mip_->levelCount; ++i) {
      detachedLevels_[i] = mip_->levels[i]->colormap;
      mip_->levels[i]->colormap = nullptr;
    }
  }

  void AttachColormaps() {
    mip_->colormap = detachedTop_;
    for (int32_t i = 0; i < mip_->levelCount; ++i) mip_->levels[i]->colormap = detachedLevels_[i];
  }

  void Write() {
    if (!ok_) {
      std::printf("Couldn't write mip.");
      return;
    }
    if (o_.noCmap) DetachColormaps();
    if (o_.srb) {
      WriteSrb();
    } else {
      WriteMip();
      if (ok_ && o_.savePbfs) WritePbfs();
    }
    if (o_.noCmap) AttachColormaps();
  }

  void WriteSrb() {
    SrbHeader header;
    header.width = o_.srbWidth == -1.0f ? 1.0f : o_.srbWidth;
    header.height = o_.srbHeight == -1.0f ? 1.0f : o_.srbHeight;
    header.pixelWidth = static_cast<float>(bitmap_->width);
    header.pixelHeight = static_cast<float>(bitmap_->height);
    header.centreX = o_.centreX == -1.0f ? header.pixelWidth / 2 : o_.centreX;
    header.centreY = o_.centreY == -1.0f ? header.pixelHeight / 2 : o_.centreY;
    SrbHeader2 header2;
    std::memset(&header2, 0, sizeof header2);
    header2.flat = o_.flat ? 1 : 0;
    if (!srbWrite(output_.file, mip_, header, header2)) {
      std::printf("Couldn't write SRB.");
      Fail();
      return;
    }
    if (!Commit()) return;
    std::printf("Successfully converted PCX %s to %s.\n", o_.inputName, o_.outputName);
    std::printf("  center %g %g ", header.centreX, header.centreY);
    std::printf("  width %g height %g\n", header.width, header.height);
  }

  void WriteMip() {
    if (!mipWrite(output_.file, mip_)) {
      std::printf("Couldn't write mip.");
      Fail();
      return;
    }
    if (!Commit()) return;
    std::printf("Successfully converted %s to %s.\n", o_.inputName, o_.outputName);
  }

  bool Commit() {
    if (pendingCommit(output_)) return true;
    std::printf("Couldn't save %s.\n", o_.outputName);
    Fail();
    return false;
  }

  void WritePbfs() {
    char name[kPathBufferSize];
    for (int32_t i = 0; i < mip_->levelCount; ++i) {
      if (pbfName(name, o_.outputName, i)) std::printf("Truncating PBF output name.\n");
      PendingOutput pbf;
      if (!pendingCreate(pbf, name)) {
        std::printf("Couldn't create PBF file %s.\n", name);
        Fail();
        return;
      }
      if (!levelWrite(pbf.file, mip_->levels[i])) {
        std::printf("Couldn't write PBF file %s.\n", name);
        pendingDiscard(pbf);
        Fail();
        return;
      }
      if (!pendingCommit(pbf)) {
        std::printf("Couldn't save %s.\n", name);
        pendingDiscard(pbf);
        Fail();
        return;
      }
    }
  }

  void DestroyMip() {
    if (mip_ == nullptr) return;
    // The mip may have taken over the picture's colour map.
    if (bitmap_ != nullptr && bitmap_->colormap == mip_->colormap) bitmap_->colormap = nullptr;
    mipDataDestroy(mip_);
    mip_ = nullptr;
  }

  void CleanUp() {
    pendingDiscard(output_);
    DestroyMip();
    if (bitmap_ != nullptr) bitmapDestroy(bitmap_);
    bitmap_ = nullptr;
    fileClose(input_);
    if (!ok_) std::printf("\n");
  }

  const ConvertOptions& o_;
  QuorFile* input_;
  bool pcx_;
  bool png_;
  bool ok_ = true;
  BitmapFormat format_ = kFormat565;
  int32_t keyRed_ = 0, keyGreen_ = 0, keyBlue_ = 0;
  Bitmap* bitmap_ = nullptr;
  int32_t unreadWidth_ = 0, unreadHeight_ = 0;
  MipData* mip_ = nullptr;
  PendingOutput output_;
  Colormap* detachedTop_ = nullptr;
  Colormap* detachedLevels_[kMaxMipLevels] = {};
};

}  // namespace

int convertRun(const ConvertOptions& options, QuorFile* input, InputKind kind) {
  ConversionRun run(options, input, kind);
  return run.Run();
}
