#pragma once
// Reading PCX pictures: the 128-byte header, the 256-colour palette and the
// raw or run-length coded pixel indexes.

#include <cstdint>

#include "pixmill/bitmap.h"
#include "runtime/file/file.h"
#include "runtime/success.h"

/// One colour of a PCX palette.
struct PcxColour {
  uint8_t red, green, blue;
};

/// The 256 colours of a PCX picture.
struct PcxPalette {
  PcxColour colours[256];
};

/// The reader of one picture.
struct PcxReader {
  uint8_t header[128];
  QuorFile* file;
  uint8_t buffer[256];
  uint32_t bufferFill;      ///< valid bytes in buffer
  uint32_t bufferPosition;  ///< next byte to take
  uint32_t repeatCount;     ///< run-length state
  uint8_t repeatByte;
};

/// Width and height from the header (xmax - xmin + 1, ymax - ymin + 1).
int32_t pcxWidth(const PcxReader& reader);
int32_t pcxHeight(const PcxReader& reader);
/// The fewest bytes a file with this header can have and still hold every
/// pixel index: the header, then one byte a pixel raw or two bytes a run of
/// 63 run-length coded. A shorter file is cut short.
uint64_t pcxLeastFileSize(const PcxReader& reader);
/// Whether the pixel readers decode this kind of PCX: 8 bits per pixel in
/// one plane. Other kinds (24-bit colour in three planes, 16 colours in
/// fewer bits or four planes) would come out as other pictures, so the
/// pixel readers refuse them.
bool pcxIsReadableKind(const PcxReader& reader);

/// True when the next byte of the file is 0x0A; the position is restored.
bool pcxIsPcx(QuorFile* file);
success pcxSetup(PcxReader* reader, QuorFile* file);
success pcxReadPalette(PcxReader* reader, PcxPalette* palette);
success pcxReadPixels(Bitmap* bitmap, PcxReader* reader,
                      const PcxPalette* palette, bool info);
success pcxReadPixelsKeyed(Bitmap* bitmap, PcxReader* reader,
                           const PcxPalette* palette, bool info);
/// Counts indexes outside [low, high]; `like` receives the last such index.
success pcxCheckIndexes(PcxReader* reader, int32_t low, int32_t high,
                        int32_t* count, int32_t* like);
