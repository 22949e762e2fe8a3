#pragma once
// MIP, SRB and PBF files: kiff files holding a mip chain, a sprite header
// with a mip chain, or one level alone.

#include <cstdint>

#include "pixmill/bitmap.h"
#include "pixmill/mip_data.h"
#include "runtime/file/file.h"
#include "runtime/success.h"

// Chunk identifiers (written little-endian, so their bytes read reversed).
constexpr uint32_t kChunkMip = 0x204D4950;          // "PIM "
constexpr uint32_t kChunkMipHeader = 0x4D504844;    // "DHPM"
constexpr uint32_t kChunkColormap = 0x434D4150;     // "PAMC"
constexpr uint32_t kChunkLevel = 0x424D4150;        // "PAMB"
constexpr uint32_t kChunkLevelHeader = 0x424D4844;  // "DHMB"
constexpr uint32_t kChunkPixels = 0x44415441;       // "ATAD"
constexpr uint32_t kChunkSrb = 0x53524220;          // " BRS"
constexpr uint32_t kChunkSrbHeader = 0x53524844;    // "DHRS"
constexpr uint32_t kChunkSrbHeader2 = 0x53524832;   // "2HRS"

/// The 24-byte SRB header record.
struct SrbHeader {
  float width;        ///< displayed width in metres
  float height;       ///< displayed height in metres
  float pixelWidth;   ///< of the input picture, not padded
  float pixelHeight;
  float centreX;      ///< pixels from the left
  float centreY;      ///< pixels from the top
};

/// The 36-byte second SRB header record.
struct SrbHeader2 {
  uint8_t flat;           ///< 1 = scalable but not rotatable
  uint8_t reserved[35];   ///< written as zeros
};

success mipWrite(QuorFile* out, const MipData* mip);
success levelWrite(QuorFile* out, const Bitmap* level);
success colormapWrite(QuorFile* out, const Colormap* map);
/// Prints its own message (no line end) on failure.
success srbWrite(QuorFile* out, const MipData* mip, const SrbHeader& header,
                 const SrbHeader2& header2);
/// True when the next chunk of the file is an SRB container; the read
/// position is restored.
bool srbIsSrb(QuorFile* in);
/// Reads the SRB container and leaves the file at the MIP container after
/// it. The header record must be there; a missing second record reads as
/// zeros.
success srbReadHeader(SrbHeader* header, SrbHeader2* header2, QuorFile* in);
/// Reads a whole SRB file: the SRB container, then the MIP container; on
/// failure nothing stays allocated.
success srbRead(MipData** out, SrbHeader* header, SrbHeader2* header2, QuorFile* in);
/// Reads a MIP container; on failure nothing stays allocated.
success mipRead(MipData** out, QuorFile* in);
/// Reads a level container (a PBF file) as a new bitmap.
success levelRead(Bitmap** out, QuorFile* in);
