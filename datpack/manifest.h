#pragma once
// The manifest that unpack leaves beside the members: plain text that
// records everything else of the archive, so that pack rebuilds it byte for
// byte. Line by line:
//   datpack manifest 1
//   archive NAME
//   member NAME OFFSET LENGTH [TAIL]    one per member, in directory order
//   gap OFFSET HEX                      bytes no member covers, up to 64 a line
// NAME is escaped (EscapeName); TAIL is the hex of the name field's bytes
// after the NUL, given only when one of them is not zero. Blank lines and
// lines beginning with '#' are ignored.

#include <string>
#include <vector>

#include "trackconv/driver/dat_file.h"
#include "trackconv/driver/dat_writer.h"

namespace datpack {

struct Manifest {
  std::string archive;  ///< the archive's file name
  std::vector<DatEntry> entries;
  std::vector<DatGap> gaps;

  /// Where the directory of the archive it describes ended.
  uint32_t DirectoryEnd() const;
};

/// The file name of the manifest of `archive_name` ("BRAVO.DAT.datpack").
std::string ManifestName(const std::string& archive_name);
/// True for a file name that ends in ".datpack" (any letter case).
bool IsManifestName(const std::string& name);

std::string FormatManifest(const Manifest& manifest);

/// Parses a manifest; on failure false, with "line N: reason" in `error`.
bool ParseManifest(const std::string& text, Manifest& manifest, std::string& error);

}  // namespace datpack
