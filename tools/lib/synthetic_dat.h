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

/// An archive laid out by hand, the way archives made by other tools can
/// look: member data in any order, bytes between and after the members,
/// members sharing bytes, name fields with bytes after the NUL.
class DatImageBuilder {
 public:
  /// Adds a directory entry; its bytes go where Place puts them. Returns
  /// its index. `tail` fills the name field after the NUL.
  std::size_t Member(const std::string& name, std::vector<uint8_t> data, std::vector<uint8_t> tail = {});
  /// Adds an entry for `length` bytes of member `of`, `at` bytes into them.
  std::size_t Share(const std::string& name, std::size_t of, uint32_t at, uint32_t length);
  /// Puts member `index`'s bytes next in the file.
  DatImageBuilder& Place(std::size_t index);
  /// Puts `count` bytes that no member covers next in the file.
  DatImageBuilder& Junk(std::size_t count, uint8_t seed = 0x5A);
  std::vector<uint8_t> Build() const;

 private:
  struct Entry {
    std::string name;
    std::vector<uint8_t> data;
    std::vector<uint8_t> tail;
    long shares = -1;
    uint32_t at = 0, length = 0;
  };
  std::vector<Entry> entries_;
  std::vector<long> layout_;  // member index, or -(junk byte count) - 1
  std::vector<uint8_t> seeds_;
};

/// Bytes of a text, for members whose content does not matter.
std::vector<uint8_t> BytesOf(const std::string& text);

}  // namespace trackgen
