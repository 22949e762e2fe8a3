#include "trackconv/driver/dat_file.h"

#include <algorithm>
#include <cstring>

#include "trackconv/driver/dat_writer.h"
#include "trackconv/foundation/atomic_output.h"
#include "trackconv/foundation/byte_order.h"
#include "trackconv/foundation/errors.h"
#include "trackconv/foundation/paths.h"

namespace {

// The kinds of loose file a game keeps in its archive.
const char* const kLooseKinds[] = {"3DO", "CAM", "LYT", "M16", "MIP", "PBF",
                                   "PMP", "SRB", "TRK", "WIN", "WAV"};

}  // namespace

bool DatEntry::Terminated() const {
  return std::memchr(name_field.data(), 0, name_field.size()) != nullptr;
}

std::string DatEntry::Name() const {
  const void* end = std::memchr(name_field.data(), 0, name_field.size());
  const std::size_t length = end ? static_cast<std::size_t>(static_cast<const uint8_t*>(end) - name_field.data())
                                 : name_field.size();
  return std::string(reinterpret_cast<const char*>(name_field.data()), length);
}

std::array<uint8_t, 13> DatEntry::FieldOf(const std::string& name) {
  std::array<uint8_t, 13> field{};
  std::memcpy(field.data(), name.data(), std::min(name.size(), field.size() - 1));
  return field;
}

DatEntry DecodeDatEntry(const uint8_t* bytes) {
  FieldReader field(bytes, MOTADatFile::kEntrySize);
  DatEntry entry;
  entry.type = field.U16();
  entry.length = field.U32();
  entry.length_copy = field.U32();
  field.Bytes(entry.name_field.data(), entry.name_field.size());
  entry.offset = field.U32();
  return entry;
}

void EncodeDatEntry(const DatEntry& entry, std::vector<uint8_t>& out) {
  FieldWriter field(out);
  field.U16(entry.type);
  field.U32(entry.length);
  field.U32(entry.length_copy);
  field.Bytes(entry.name_field.data(), entry.name_field.size());
  field.U32(entry.offset);
}

std::string DatEntryFault(const DatEntry& entry) {
  if (entry.type != MOTADatFile::kMemberType) return ": MOTA dat file subfile type not 5";
  if (entry.length != entry.length_copy) return ": MOTA dat file subfile size mismatch";
  // A name that fills the whole field has no end we could trust; taking
  // bytes past it would read the next entry's offset as text.
  if (!entry.Terminated()) return ": MOTA dat file subfile name not terminated";
  return std::string();
}

std::string DatMemberKind(const std::string& name) {
  const std::size_t dot = name.rfind('.');
  if (dot == std::string::npos) return std::string();
  const std::string extension = name.substr(dot + 1);
  for (const char* kind : kLooseKinds)
    if (CompareNoCase(extension, kind) == 0) return kind;
  return std::string();
}

MOTADatFile::MOTADatFile(const std::string& name) : name_(name) { Load(); }

void MOTADatFile::Fail(const std::string& text) const {
  throw XAssumption(name_ + text);
}

void MOTADatFile::Load() {
  Handle<DiskFile> file = DiskFile::OpenForRead(name_);
  uint8_t count_field[2];
  file->Read(sizeof count_field, count_field);
  const int16_t count = LoadI16(count_field);
  if (count <= 0) Fail(": MOTA dat file subfile count error");

  std::vector<Handle<SubFile>> members;
  std::vector<DatEntry> entries;
  members.reserve(static_cast<std::size_t>(count));
  entries.reserve(static_cast<std::size_t>(count));
  // One read per entry, so that a bad entry is reported before a truncated
  // directory behind it.
  for (int16_t i = 0; i < count; ++i) {
    uint8_t bytes[kEntrySize];
    file->Read(kEntrySize, bytes);
    const DatEntry entry = DecodeDatEntry(bytes);
    const std::string fault = DatEntryFault(entry);
    if (!fault.empty()) Fail(fault);
    members.push_back(Handle<SubFile>(new SubFile(file, entry.Name(), entry.offset, entry.length)));
    entries.push_back(entry);
  }
  file_ = file;
  members_.swap(members);
  entries_.swap(entries);
}

uint32_t MOTADatFile::MemberCount() const { return static_cast<uint32_t>(members_.size()); }

Handle<SubFile> MOTADatFile::MemberAt(uint32_t index) const {
  if (index >= members_.size()) Fail(": MOTA dat file subfile index out of range");
  return members_[index];
}

Handle<SubFile> MOTADatFile::Member(uint32_t index) { return MemberAt(index); }
Handle<SubFile> MOTADatFile::Member(uint32_t index) const { return MemberAt(index); }

Handle<SubFile> MOTADatFile::Find(const std::string& name) const {
  for (const Handle<SubFile>& member : members_)
    if (CompareNoCase(member->GetName(), name) == 0) return member;
  return Handle<SubFile>();
}

Handle<SubFile> MOTADatFile::FindMember(const std::string& name) { return Find(name); }
Handle<SubFile> MOTADatFile::FindMember(const std::string& name) const { return Find(name); }

void MOTADatFile::ReplaceMember(const Handle<SubFile>& file) {
  // Exact comparison: member names are stored lower-cased, so a file opened
  // under an upper-case name does not match.
  Handle<SubFile> member;
  for (const Handle<SubFile>& candidate : members_) {
    if (candidate->GetName() == file->GetName()) {
      member = candidate;
      break;
    }
  }
  if (!member.Get()) throw XGeneral("Subfile not found\n");
  if (member->Size() != file->Size()) throw XGeneral("Unable to replace - sizes differ\n");

  std::vector<uint8_t> buffer(file->Size());
  file->Seek(0);
  member->Seek(0);
  file->Read(file->Size(), buffer.data());
  member->Write(member->Size(), buffer.data());
}

void MOTADatFile::Rebuild() {
  if (members_.empty() || members_.size() > kMostDatMembers) Fail(": MOTA dat file subfile count error");
  std::vector<DatEntry> entries;
  entries.reserve(members_.size());
  for (const Handle<SubFile>& member : members_) {
    const std::string& member_name = member->GetName();
    if (member_name.size() >= kNameField)
      throw XAssumption(member_name + ": MOTA dat file subfile name longer than 12 characters");
    DatEntry entry;
    entry.name_field = DatEntry::FieldOf(member_name);
    entries.push_back(entry);
  }

  // The new archive is written beside the old one and replaces it only when
  // complete, so a missing or unreadable loose file leaves the old archive
  // and this object's members as they were.
  // This object holds the archive open itself, so it is not claimed for
  // writing here; the rename at the end settles whether it can be replaced.
  AtomicOutput output(name_, false);
  SubFile& archive = *output.File();
  std::vector<uint8_t> directory = EncodeDatDirectory(entries);
  archive.Write(static_cast<uint32_t>(directory.size()), directory.data());

  std::vector<uint8_t> buffer;
  for (DatEntry& entry : entries) {
    const uint32_t position = archive.Position();
    Handle<DiskFile> loose = DiskFile::OpenForRead(entry.Name());
    const uint32_t length = loose->Size();
    if (length > 0xFFFFFFFFu - position) throw XFileWrite(name_);
    if (buffer.size() < length) buffer.resize(length);
    loose->Read(length, buffer.data());
    archive.Write(length, buffer.data());
    entry.offset = position;
    entry.length = entry.length_copy = length;
  }

  directory = EncodeDatDirectory(entries);
  archive.Seek(0);
  archive.Write(static_cast<uint32_t>(directory.size()), directory.data());

  // Our own hold on the old archive must go before it can be replaced on
  // systems that refuse to rename over an open file.
  members_.clear();
  entries_.clear();
  file_ = Handle<DiskFile>();
  try {
    output.Commit();
  } catch (...) {
    try {
      Load();
    } catch (...) {
    }
    throw;
  }
  Load();
}

void MOTADatFile::CollectLooseFiles() {
  const Pathname archive(name_);
  const DirectoryListing listing{Pathname(archive.Parent())};
  std::vector<Handle<SubFile>> members;
  for (uint32_t i = 0; i < listing.Count(); ++i) {
    // A directory that happens to carry a data file's extension is not one.
    if (listing.IsDirectory(i)) continue;
    const Pathname entry = listing.Entry(i);
    if (DatMemberKind("." + entry.Extension()).empty()) continue;
    members.push_back(Handle<SubFile>(new SubFile(entry.FullPath(), false, false)));
  }
  // Built aside so that a file that cannot be opened leaves the list as it was.
  members_.swap(members);
  entries_.clear();
}
