#pragma once
// The .dat archive of a game installation: a directory of named members
// followed by their bytes. Members are handed out as SubFile windows onto
// the archive file, so a reader cannot tell a member from a loose file.

#include <cstdint>
#include <string>
#include <vector>

#include "trackconv/foundation/disk_file.h"
#include "trackconv/foundation/handle.h"
#include "trackconv/foundation/sub_file.h"

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

 private:
  /// Opens the archive file and reads the member list from its directory.
  void Load();
  Handle<SubFile> MemberAt(uint32_t index) const;
  Handle<SubFile> Find(const std::string& name) const;
  [[noreturn]] void Fail(const std::string& text) const;

  std::string name_;
  Handle<DiskFile> file_;
  std::vector<Handle<SubFile>> members_;
};
