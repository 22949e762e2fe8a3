#pragma once
// Writing .dat archives. An archive is laid out from a directory in the
// coordinates of the archive it came from: the directory, every run of
// bytes that members cover (members sharing bytes form one run), and the
// uncovered bytes to keep (gaps, trailing bytes). The runs are written in
// their old order, each right after the one before; a member taken at a
// new size moves what follows it and nothing else, and bytes that nothing
// covers any more close up. Unchanged, an archive comes back byte for byte.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "trackconv/driver/dat_file.h"

/// Bytes of an archive that no member covers, kept where they were.
struct DatGap {
  uint32_t offset = 0;
  std::vector<uint8_t> bytes;
};

/// The bytes of each member while an archive is written.
class DatSource {
 public:
  virtual ~DatSource() = default;
  /// The size member `index` is written at.
  virtual uint32_t Size(std::size_t index) = 0;
  /// Reads `count` bytes of member `index` from `position` (throws on failure).
  virtual void Read(std::size_t index, uint32_t position, uint32_t count, uint8_t* out) = 0;
};

/// Where a written archive's bytes go, in order.
class DatSink {
 public:
  virtual ~DatSink() = default;
  virtual void Write(const uint8_t* data, uint32_t count) = 0;
};

/// Members held in memory.
class DatMemorySource : public DatSource {
 public:
  explicit DatMemorySource(std::vector<std::vector<uint8_t>> members) : members_(std::move(members)) {}
  uint32_t Size(std::size_t index) override { return static_cast<uint32_t>(members_[index].size()); }
  void Read(std::size_t index, uint32_t position, uint32_t count, uint8_t* out) override;

 private:
  std::vector<std::vector<uint8_t>> members_;
};

/// An archive written into memory.
class DatMemorySink : public DatSink {
 public:
  void Write(const uint8_t* data, uint32_t count) override { bytes.insert(bytes.end(), data, data + count); }
  std::vector<uint8_t> bytes;
};

/// One stretch of an archive file, [start, end).
struct DatRange {
  uint32_t start = 0;
  uint32_t end = 0;
};

/// The stretches of a file of `size` bytes that neither the directory (up
/// to `directory_end`) nor a member covers, in file order.
std::vector<DatRange> UncoveredRanges(const std::vector<DatEntry>& entries, uint32_t directory_end, uint32_t size);

/// The count and the directory entries, encoded.
std::vector<uint8_t> EncodeDatDirectory(const std::vector<DatEntry>& entries);

/// Largest archive the format and the file layer can hold.
constexpr uint64_t kLargestDatArchive = 0xFFFFFFFEu;
/// Most members the signed 16-bit count can give.
constexpr std::size_t kMostDatMembers = 0x7FFF;

class DatLayout {
 public:
  /// `entries` in directory order with offsets and lengths in the old
  /// archive; `directory_end` where its directory ended; `gaps` the
  /// uncovered bytes to keep. XGeneral when gaps overlap the directory, a
  /// member or each other.
  DatLayout(std::vector<DatEntry> entries, uint32_t directory_end, std::vector<DatGap> gaps);

  /// Takes every member at the size `source` gives and places everything.
  /// XGeneral, before anything is written, when the archive would be empty,
  /// hold too many members or reach 4 GiB, or when a member that shares
  /// bytes (with another member or the directory) changed size or now
  /// disagrees with its neighbour on the shared bytes.
  void Place(DatSource& source);

  /// The placed directory and the archive's size (after Place).
  const std::vector<DatEntry>& Entries() const { return entries_; }
  uint32_t Size() const { return size_; }

  /// Writes the placed archive (after Place), reading the members again.
  void Write(DatSource& source, DatSink& sink) const;

 private:
  /// A run of the old archive: the directory with what overlaps it, the
  /// members that share bytes, or one gap.
  struct Run {
    uint64_t old_start = 0;
    uint64_t old_end = 0;
    bool directory = false;
    bool gap = false;
    std::size_t gap_index = 0;
    std::vector<std::size_t> members;  ///< members with bytes in the run
    uint32_t new_start = 0;
    uint32_t new_length = 0;
    std::vector<uint8_t> image;  ///< the run's bytes when it is not one member alone
  };

  bool Streamed(const Run& run) const { return !run.directory && !run.gap && run.members.size() == 1; }
  uint64_t NewPosition(uint64_t old_position) const;
  void Compose(Run& run, DatSource& source, const std::vector<uint8_t>& directory) const;

  /// What Write puts out next: a run, or an empty member that gained bytes.
  struct Piece {
    bool run = true;
    std::size_t index = 0;
  };

  std::vector<DatEntry> entries_;
  std::vector<DatGap> gaps_;
  std::vector<Run> runs_;
  std::vector<Piece> pieces_;
  uint32_t size_ = 0;
};
