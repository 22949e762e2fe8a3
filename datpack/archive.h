#pragma once
// An archive as datpack sees it: the reader's members, the directory as
// stored, and the bytes that no member covers.

#include <cstdint>
#include <string>
#include <vector>

#include "trackconv/driver/dat_file.h"
#include "trackconv/driver/dat_writer.h"

namespace datpack {

/// An archive opened with trackconv's reader (which throws its own
/// messages on a malformed archive).
struct Archive {
  explicit Archive(const std::string& path);

  std::string path;
  MOTADatFile dat;
  uint32_t size = 0;
  /// The directory exactly as stored.
  const std::vector<DatEntry>& entries() const { return dat.Entries(); }
  /// Where the directory ends.
  uint32_t DirectoryEnd() const;
  /// Whether member `index` lies wholly inside the file.
  bool Inside(std::size_t index) const;
  /// Bytes of the file that neither the directory nor a member covers.
  std::vector<DatGap> ReadGaps() const;
  /// Reads `count` bytes of member `index` from `position`.
  void Read(std::size_t index, uint32_t position, uint32_t count, uint8_t* out) const;
};

/// Why `name` cannot be a file in a folder of our own ("" when it can): it
/// is empty, "." or "..", holds a separator, a drive colon, a control
/// character or a character Windows refuses, ends in a dot or a space, or
/// is a Windows device name.
std::string NameFault(const std::string& name);

/// `name` with bytes that are not printable ASCII (and '%') written as %XX,
/// so that every name prints as one word on one line.
std::string EscapeName(const std::string& name);
/// Undoes EscapeName; false on a malformed escape.
bool UnescapeName(const std::string& text, std::string& name);

/// The last component of a path as given (either separator of the system).
std::string LastComponent(const std::string& path);

/// The CRC-32 of a member's bytes.
uint32_t MemberCrc(const Archive& archive, std::size_t index);

}  // namespace datpack
