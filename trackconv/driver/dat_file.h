#pragma once
// The .dat archive of a game installation: a directory of named members
// followed by their bytes. Members are handed out as SubFile windows onto
// the archive file, so a reader cannot tell a member from a loose file.

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "trackconv/foundation/disk_file.h"
#include "trackconv/foundation/handle.h"
#include "trackconv/foundation/sub_file.h"

/// One directory entry exactly as stored (27 bytes on disk).
struct DatEntry {
  uint16_t type = 5;
  uint32_t length = 0;
  uint32_t length_copy = 0;
  /// The name field: the name, a NUL, and whatever bytes follow it.
  std::array<uint8_t, 13> name_field{};
  uint32_t offset = 0;

  /// Whether the name field holds its NUL.
  bool Terminated() const;
  /// The name as stored, up to the NUL (the whole field when it has none).
  std::string Name() const;
  /// A name field holding `name` (at most 12 bytes) zero-filled after it.
  static std::array<uint8_t, 13> FieldOf(const std::string& name);
};

/// Decodes the 27 bytes of one directory entry.
DatEntry DecodeDatEntry(const uint8_t* bytes);
/// Appends the 27 bytes of `entry`.
void EncodeDatEntry(const DatEntry& entry, std::vector<uint8_t>& out);
/// The reader's complaint about an entry (": MOTA dat file subfile type not 5"
/// and the like, to follow the archive's name), or "" when it is sound.
std::string DatEntryFault(const DatEntry& entry);
/// The kind tag ("MIP", "TRK" ...) of a file name's extension, or "" when it
/// is none of the kinds an archive holds.
std::string DatMemberKind(const std::string& name);

/// An archive of named members.
class DatFile {
 public:
  virtual ~DatFile() = default;
  /// Number of members.
  virtual uint32_t MemberCount() const = 0;
  /// The member at `index`, shared with the archive.
  virtual Handle<SubFile> Member(uint32_t index) = 0;
  virtual Handle<SubFile> Member(uint32_t index) const = 0;
  /// The first member whose name equals `name` ignoring letter case; empty if none.
  virtual Handle<SubFile> FindMember(const std::string& name) = 0;
  virtual Handle<SubFile> FindMember(const std::string& name) const = 0;
  /// Overwrites the member named exactly like `file` with its bytes.
  virtual void ReplaceMember(const Handle<SubFile>& file) = 0;
  /// Writes the archive anew from loose files named like its members.
  virtual void Rebuild() = 0;
  /// Replaces the member list by the loose data files beside the archive.
  virtual void CollectLooseFiles() = 0;
};

/// The one archive layout all three game families share.
class MOTADatFile : public DatFile {
 public:
  /// Length of the name field of a directory entry, terminator included.
  static constexpr uint32_t kNameField = 13;
  /// Size of one directory entry on disk.
  static constexpr uint32_t kEntrySize = 27;
  /// The only member type an archive holds.
  static constexpr uint16_t kMemberType = 5;

  /// Opens the archive and reads its directory (XFileOpen when it cannot be
  /// opened, XAssumption when it is malformed).
  explicit MOTADatFile(const std::string& name);

  uint32_t MemberCount() const override;
  Handle<SubFile> Member(uint32_t index) override;
  Handle<SubFile> Member(uint32_t index) const override;
  Handle<SubFile> FindMember(const std::string& name) override;
  Handle<SubFile> FindMember(const std::string& name) const override;
  void ReplaceMember(const Handle<SubFile>& file) override;
  void Rebuild() override;
  void CollectLooseFiles() override;

  /// The directory as it was read when the archive was opened (or last
  /// rebuilt): every field as stored, name fields whole. Empty once the
  /// members are loose files.
  const std::vector<DatEntry>& Entries() const { return entries_; }

 private:
  /// Opens the archive file and reads the member list from its directory.
  void Load();
  Handle<SubFile> MemberAt(uint32_t index) const;
  Handle<SubFile> Find(const std::string& name) const;
  [[noreturn]] void Fail(const std::string& text) const;

  std::string name_;
  Handle<DiskFile> file_;
  std::vector<Handle<SubFile>> members_;
  std::vector<DatEntry> entries_;
};
