#pragma once
// Synthetic .dat archives built from named byte blocks, for tests, examples
// and benchmarks. The layout is the one the archive reader expects: a
// 16-bit member count, 27-byte directory entries, then the members' bytes.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace trackgen {

/// One member of a synthetic archive.
struct DatMember {
  std::string name;  ///< stored as given; more than 13 bytes are cut off
  std::vector<uint8_t> data;
};

/// Byte offset of directory entry `index` in an archive image.
std::size_t DatEntryOffset(uint32_t index);

/// Offsets of the fields inside one directory entry.
constexpr std::size_t kDatEntryType = 0;
constexpr std::size_t kDatEntryLength = 2;
constexpr std::size_t kDatEntryLengthCopy = 6;
constexpr std::size_t kDatEntryName = 10;
constexpr std::size_t kDatEntryOffset = 23;

/// Encodes an archive whose members' data follow the directory in order.
std::vector<uint8_t> BuildDatArchive(const std::vector<DatMember>& members);

/// Writes `bytes` to `path`, replacing an existing file; throws
/// std::runtime_error when the file cannot be written.
void WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes);

/// Builds an archive from `members` and writes it to `path`.
void WriteDatArchive(const std::string& path, const std::vector<DatMember>& members);

/// Bytes of a text, for members whose content does not matter.
std::vector<uint8_t> BytesOf(const std::string& text);

}  // namespace trackgen
