#include "datpack/verbs.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <ostream>

#include "cli/progress.h"
#include "datpack/archive.h"
#include "datpack/manifest.h"
#include "platform/directory_enum.h"
#include "platform/directory_services.h"
#include "platform/file_attributes.h"
#include "platform/path.h"
#include "trackconv/foundation/atomic_output.h"
#include "trackconv/foundation/byte_order.h"
#include "trackconv/foundation/errors.h"
#include "trackconv/foundation/paths.h"

namespace datpack {

namespace {

constexpr uint32_t kCopyBlock = 1u << 20;

std::string Join(const std::string& folder, const std::string& name) {
  if (folder.empty()) return name;
  return platform::IsSeparator(folder.back()) ? folder + name : folder + platform::kSeparator + name;
}

std::string Parent(const std::string& path) {
  std::string full;
  std::size_t last = 0;
  if (!platform::FullPathName(path, full, last) || last == std::string::npos) return ".";
  return full.substr(0, last);
}

bool Exists(const std::string& path, bool* directory = nullptr) {
  uint32_t attributes = 0;
  if (!platform::GetFileAttributes(path, attributes)) return false;
  if (directory) *directory = (attributes & platform::kAttributeDirectory) != 0;
  return true;
}

// Makes `folder` and every missing folder above it.
bool MakeFolders(const std::string& folder) {
  std::string full;
  std::size_t last = 0;
  if (!platform::FullPathName(folder, full, last)) return false;
  if (platform::IsDirectory(full.c_str())) return true;
  if (last == std::string::npos) return false;
  if (!MakeFolders(full.substr(0, last))) return false;
  return platform::MakeDirectory(full.c_str()) || platform::IsDirectory(full.c_str());
}

std::vector<uint8_t> ReadFile(const std::string& path) {
  Handle<DiskFile> file = DiskFile::OpenForRead(path);
  std::vector<uint8_t> bytes(file->Size());
  file->Read(static_cast<uint32_t>(bytes.size()), bytes.data());
  return bytes;
}

// Writes a new file in place of `path` only once it is complete; `free`
// when the caller has just seen that nothing of that name is there.
template <typename Fill>
void WriteFile(const std::string& path, bool free, Fill fill) {
  std::unique_ptr<AtomicOutput> output =
      free ? std::make_unique<AtomicOutput>(path, AtomicOutput::KnownFree()) : std::make_unique<AtomicOutput>(path);
  fill(*output->File());
  output->Commit();
}

class SubFileSink : public DatSink {
 public:
  explicit SubFileSink(SubFile& file) : file_(file) {}
  void Write(const uint8_t* data, uint32_t count) override { file_.Write(count, data); }

 private:
  SubFile& file_;
};

/// The members of an archive being written: loose files, or members of an
/// open archive. One loose file is open at a time.
class MemberSource : public DatSource {
 public:
  struct Origin {
    std::string path;       ///< a loose file, or
    long member = -1;       ///< a member of `archive`
  };
  MemberSource(const Archive* archive, std::vector<Origin> origins)
      : archive_(archive), origins_(std::move(origins)), sizes_(origins_.size(), kUnknown) {}

  uint32_t Size(std::size_t index) override {
    if (sizes_[index] == kUnknown) {
      const Origin& origin = origins_[index];
      sizes_[index] = origin.member >= 0 ? archive_->entries()[static_cast<std::size_t>(origin.member)].length
                                         : Open(index)->Size();
    }
    return static_cast<uint32_t>(sizes_[index]);
  }
  void Read(std::size_t index, uint32_t position, uint32_t count, uint8_t* out) override {
    const Origin& origin = origins_[index];
    if (origin.member >= 0) return archive_->Read(static_cast<std::size_t>(origin.member), position, count, out);
    // A file that shrank since it was measured is a read failure, not less.
    if (uint64_t{position} + count > Size(index)) throw XFileRead(origin.path);
    Handle<DiskFile> file = Open(index);
    file->Seek(position);
    file->Read(count, out);
  }
  void Release() { open_ = Handle<DiskFile>(); }

 private:
  static constexpr uint64_t kUnknown = ~uint64_t{0};
  Handle<DiskFile> Open(std::size_t index) {
    if (open_index_ != index || !open_.Get()) {
      open_ = Handle<DiskFile>();
      open_ = DiskFile::OpenForRead(origins_[index].path);
      open_index_ = index;
    }
    return open_;
  }
  const Archive* archive_;
  std::vector<Origin> origins_;
  std::vector<uint64_t> sizes_;
  Handle<DiskFile> open_;
  std::size_t open_index_ = 0;
};

// Whether two folders' names for files are one name on Windows.
std::string Folded(const std::string& name) { return ToLower(name); }

// The names of loose files for `pack ARCHIVE FILE...` and `add`: refused
// when they cannot be member names.
std::string MemberNameFault(const std::string& name) {
  const std::string fault = NameFault(name);
  if (!fault.empty()) return fault;
  if (name.size() > MOTADatFile::kNameField - 1) return "the name is longer than 12 characters";
  return std::string();
}

std::string Members(std::size_t count) { return std::to_string(count) + (count == 1 ? " member" : " members"); }

std::string Hex32(uint32_t value) {
  char text[9];
  std::snprintf(text, sizeof text, "%08x", value);
  return text;
}

std::string JsonString(const std::string& text) {
  std::string json = "\"";
  for (unsigned char c : text) {
    if (c == '"' || c == '\\') {
      json += '\\';
      json += static_cast<char>(c);
    } else if (c < 0x20 || c >= 0x7F) {
      // Names are bytes; each is shown as the character of that number.
      char escape[8];
      std::snprintf(escape, sizeof escape, "\\u%04x", c);
      json += escape;
    } else {
      json += static_cast<char>(c);
    }
  }
  return json + "\"";
}

// Opens an archive, reporting the reader's own message when it refuses.
std::unique_ptr<Archive> OpenArchive(const std::string& path, std::ostream& err) {
  try {
    return std::make_unique<Archive>(path);
  } catch (const std::exception& failure) {
    err << failure.what() << "\n";
    return nullptr;
  }
}

std::string MemberLabel(const DatEntry& entry) { return "member " + EscapeName(entry.Name()); }

// Lays out and writes an archive at `path`, claimed by `output`.
void WriteArchive(DatLayout& layout, MemberSource& source, AtomicOutput& output) {
  SubFileSink sink(*output.File());
  layout.Write(source, sink);
}

}  // namespace

std::string DefaultFolder(const std::string& archive) {
  const std::string name = LastComponent(archive);
  const std::size_t dot = name.rfind('.');
  if (dot == std::string::npos || dot == 0) return name + "_files";
  return name.substr(0, dot);
}

// ---- list ----------------------------------------------------------------

int List(const Options& options, std::ostream& out, std::ostream& err) {
  std::unique_ptr<Archive> archive = OpenArchive(options.names[0], err);
  if (!archive) return kSomeFailed;
  int status = kAllDone;
  const std::vector<DatEntry>& entries = archive->entries();
  if (options.json) out << "{\"archive\": " << JsonString(archive->path) << ", \"members\": [";
  for (std::size_t i = 0; i < entries.size(); ++i) {
    const DatEntry& entry = entries[i];
    std::string crc;
    if (options.long_list) {
      if (archive->Inside(i)) {
        try {
          crc = Hex32(MemberCrc(*archive, i));
        } catch (const std::exception& failure) {
          err << archive->path << ": " << MemberLabel(entry) << ": " << failure.what() << "\n";
          status = kSomeFailed;
        }
      } else {
        err << archive->path << ": " << MemberLabel(entry) << ": reaches past the end of the archive\n";
        status = kSomeFailed;
      }
    }
    const std::string kind = DatMemberKind(entry.Name());
    if (options.json) {
      out << (i ? ", " : "") << "{\"name\": " << JsonString(entry.Name()) << ", \"size\": " << entry.length
          << ", \"offset\": " << entry.offset;
      if (options.long_list)
        out << ", \"crc32\": " << (crc.empty() ? "null" : "\"" + crc + "\"")
            << ", \"kind\": " << (kind.empty() ? "null" : "\"" + kind + "\"");
      out << "}";
      continue;
    }
    char line[64];
    std::snprintf(line, sizeof line, " %10u %10u", entry.length, entry.offset);
    std::string name = EscapeName(entry.Name());
    name.resize(std::max<std::size_t>(name.size(), 12), ' ');
    out << name << line;
    if (options.long_list) out << " " << (crc.empty() ? std::string(8, '-') : crc) << " " << (kind.empty() ? "-" : kind);
    out << "\n";
  }
  if (options.json) out << "]}\n";
  return status;
}

// ---- unpack --------------------------------------------------------------

int Unpack(const Options& options, std::ostream& out, std::ostream& err) {
  std::unique_ptr<Archive> archive = OpenArchive(options.names[0], err);
  if (!archive) return kSomeFailed;
  const std::string& shown = archive->path;
  const std::string folder = options.output.empty() ? DefaultFolder(shown) : options.output;
  const std::string archive_name = LastComponent(shown);
  const std::string manifest_name = ManifestName(archive_name);
  const std::vector<DatEntry>& entries = archive->entries();
  int status = kAllDone;

  // The members asked for, by name regardless of letter case.
  std::vector<bool> wanted(entries.size(), options.names.size() == 1);
  for (std::size_t n = 1; n < options.names.size(); ++n) {
    bool found = false;
    for (std::size_t i = 0; i < entries.size(); ++i) {
      if (CompareNoCase(entries[i].Name(), options.names[n]) == 0) wanted[i] = found = true;
    }
    if (!found) {
      err << shown << ": no member " << EscapeName(options.names[n]) << "\n";
      status = kSomeFailed;
    }
  }

  bool is_directory = false;
  if (Exists(folder, &is_directory) && !is_directory) {
    err << folder << ": exists and is not a folder\n";
    return kSomeFailed;
  }
  if (!MakeFolders(folder)) {
    err << folder << ": cannot make the folder\n";
    return kSomeFailed;
  }

  cli::ProgressLine progress(options.progress);
  // What the folder holds, by name regardless of letter case: one listing
  // instead of a search per member.
  std::map<std::string, bool> present;
  for (const platform::DirectoryEntry& entry : platform::FindFiles(Join(folder, "*")))
    present[Folded(entry.name)] = true;

  // Leaves a file that is already there as it is when its bytes are the
  // same; else replaces it only with -f.
  auto may_write = [&](const std::string& path, const std::string& label, const std::vector<uint8_t>* bytes,
                       std::size_t member) -> int {  // 2 write a new file, 1 replace, 0 skip, -1 refused
    bool directory = false;
    if (!present.count(Folded(LastComponent(path))) || !Exists(path, &directory)) return 2;
    if (directory) {
      progress.Clear();
      err << shown << ": " << label << ": " << path << " is a folder\n";
      return -1;
    }
    if (options.force) return 1;
    try {
      const std::vector<uint8_t> old = ReadFile(path);
      bool same = false;
      if (bytes) {
        same = old == *bytes;
      } else if (old.size() == entries[member].length) {
        std::vector<uint8_t> now(old.size());
        archive->Read(member, 0, static_cast<uint32_t>(now.size()), now.data());
        same = old == now;
      }
      if (same) return 0;
    } catch (const std::exception&) {
    }
    progress.Clear();
      err << shown << ": " << label << ": " << path << " exists (-f replaces it)\n";
    return -1;
  };

  std::map<std::string, std::string> taken;  // folded file name -> member name
  taken[Folded(manifest_name)] = manifest_name;
  std::size_t written = 0, asked = 0;
  std::vector<uint8_t> buffer;
  for (std::size_t i = 0; i < entries.size(); ++i) {
    if (i % 64 == 0) progress.Show("datpack: unpacking " + std::to_string(i) + "/" + std::to_string(entries.size()));
    if (!wanted[i]) continue;
    ++asked;
    const DatEntry& entry = entries[i];
    const std::string name = entry.Name();
    const std::string label = MemberLabel(entry);
    const std::string fault = NameFault(name);
    if (!fault.empty()) {
      progress.Clear();
      err << shown << ": " << label << ": " << fault << "; not unpacked\n";
      status = kSomeFailed;
      continue;
    }
    auto clash = taken.find(Folded(name));
    if (clash != taken.end()) {
      progress.Clear();
      err << shown << ": " << label << ": the name is " << EscapeName(clash->second)
          << " but for letter case, and both cannot be files in one folder; not unpacked\n";
      status = kSomeFailed;
      continue;
    }
    taken[Folded(name)] = name;
    if (!archive->Inside(i)) {
      progress.Clear();
      err << shown << ": " << label << ": reaches past the end of the archive; not unpacked\n";
      status = kSomeFailed;
      continue;
    }
    const std::string path = Join(folder, name);
    try {
      const int decision = may_write(path, label, nullptr, i);
      if (decision < 0) {
        status = kSomeFailed;
        continue;
      }
      if (decision > 0) {
        WriteFile(path, decision == 2, [&](SubFile& file) {
          buffer.resize(std::min(entry.length, kCopyBlock));
          for (uint32_t done = 0; done < entry.length;) {
            const uint32_t count = std::min(entry.length - done, kCopyBlock);
            archive->Read(i, done, count, buffer.data());
            file.Write(count, buffer.data());
            done += count;
          }
        });
      }
      ++written;
    } catch (const std::exception& failure) {
      progress.Clear();
      err << shown << ": " << label << ": " << failure.what() << "\n";
      status = kSomeFailed;
    }
  }

  try {
    Manifest manifest;
    manifest.archive = archive_name;
    manifest.entries = entries;
    manifest.gaps = archive->ReadGaps();
    const std::string text = FormatManifest(manifest);
    const std::vector<uint8_t> bytes(text.begin(), text.end());
    const std::string path = Join(folder, manifest_name);
    const int decision = may_write(path, "manifest", &bytes, 0);
    if (decision < 0) status = kSomeFailed;
    if (decision > 0) WriteFile(path, decision == 2, [&](SubFile& file) { file.Write(static_cast<uint32_t>(bytes.size()), bytes.data()); });
  } catch (const std::exception& failure) {
    err << shown << ": manifest: " << failure.what() << "\n";
    status = kSomeFailed;
  }
  progress.Clear();
  if (!options.quiet)
    out << shown << ": " << written << " of " << Members(asked) << " unpacked into " << folder << "\n";
  return status;
}

// ---- pack ----------------------------------------------------------------

namespace {

// Checks the member names of an archive to be packed from loose files.
bool CheckNames(const std::string& shown, const std::vector<DatEntry>& entries, bool limit_length,
                std::ostream& err) {
  bool sound = true;
  std::map<std::string, std::string> seen;
  for (const DatEntry& entry : entries) {
    const std::string name = entry.Name();
    const std::string fault = limit_length ? MemberNameFault(name) : NameFault(name);
    if (!fault.empty()) {
      err << shown << ": " << MemberLabel(entry) << ": " << fault << "\n";
      sound = false;
      continue;
    }
    auto clash = seen.emplace(Folded(name), name);
    if (!clash.second) {
      err << shown << ": " << MemberLabel(entry) << ": the name is " << EscapeName(clash.first->second)
          << " but for letter case\n";
      sound = false;
    }
  }
  if (entries.size() > kMostDatMembers) {
    err << shown << ": member " << kMostDatMembers + 1 << " does not fit: an archive holds at most "
        << kMostDatMembers << " members\n";
    sound = false;
  }
  return sound;
}

// Places and writes an archive at `target` from `source`; refusals come
// before anything is written.
int Build(const std::string& target, DatLayout& layout, MemberSource& source, bool force, bool quiet,
          std::ostream& out, std::ostream& err) {
  try {
    layout.Place(source);
  } catch (const std::exception& failure) {
    err << target << ": " << failure.what() << "\n";
    return kSomeFailed;
  }
  bool directory = false;
  if (!force && Exists(target, &directory)) {
    err << target << ": exists (-f replaces it)\n";
    return kSomeFailed;
  }
  try {
    AtomicOutput output(target);
    WriteArchive(layout, source, output);
    source.Release();
    output.Commit();
  } catch (const std::exception& failure) {
    err << target << ": " << failure.what() << "\n";
    return kSomeFailed;
  }
  if (!quiet) out << target << ": " << Members(layout.Entries().size()) << ", " << layout.Size() << " bytes\n";
  return kAllDone;
}

// The manifest in `folder`: the one named after `archive` when given, else
// the only one there.
bool FindManifest(const std::string& folder, const std::string& archive, std::string& path, std::ostream& err) {
  if (!archive.empty()) {
    path = Join(folder, ManifestName(LastComponent(archive)));
    if (Exists(path)) return true;
  }
  std::vector<std::string> found;
  for (const platform::DirectoryEntry& entry : platform::FindFiles(Join(folder, "*")))
    if (IsManifestName(entry.name) && !(entry.attributes & platform::kAttributeDirectory)) found.push_back(entry.name);
  std::sort(found.begin(), found.end());
  if (found.size() == 1) {
    path = Join(folder, found[0]);
    return true;
  }
  if (found.empty()) {
    err << folder << ": holds no manifest (*.datpack); to make a new archive: datpack pack ARCHIVE FILE...\n";
  } else {
    err << folder << ": holds " << found.size() << " manifests; name the archive with -o\n";
  }
  return false;
}

int PackFolder(const Options& options, std::ostream& out, std::ostream& err) {
  const std::string& folder = options.names[0];
  std::string manifest_path;
  if (!FindManifest(folder, options.output, manifest_path, err)) return kSomeFailed;
  Manifest manifest;
  std::string error;
  try {
    const std::vector<uint8_t> bytes = ReadFile(manifest_path);
    if (!ParseManifest(std::string(bytes.begin(), bytes.end()), manifest, error)) {
      err << manifest_path << ": " << error << "\n";
      return kSomeFailed;
    }
  } catch (const std::exception& failure) {
    err << failure.what() << "\n";
    return kSomeFailed;
  }
  const std::string target = options.output.empty() ? Join(Parent(folder), manifest.archive) : options.output;
  if (!CheckNames(target, manifest.entries, false, err)) return kSomeFailed;
  std::vector<MemberSource::Origin> origins;
  for (const DatEntry& entry : manifest.entries) origins.push_back({Join(folder, entry.Name()), -1});
  for (const MemberSource::Origin& origin : origins) {
    bool directory = false;
    if (!Exists(origin.path, &directory) || directory) {
      err << target << ": " << origin.path << " is missing\n";
      return kSomeFailed;
    }
  }
  MemberSource source(nullptr, origins);
  try {
    DatLayout layout(manifest.entries, manifest.DirectoryEnd(), manifest.gaps);
    return Build(target, layout, source, options.force, options.quiet, out, err);
  } catch (const std::exception& failure) {
    err << manifest_path << ": " << failure.what() << "\n";
    return kSomeFailed;
  }
}

// A new archive of loose files, contiguous after the directory in the
// order given.
int PackFiles(const Options& options, std::ostream& out, std::ostream& err) {
  const std::string& target = options.names[0];
  std::vector<DatEntry> entries;
  std::vector<MemberSource::Origin> origins;
  for (std::size_t n = 1; n < options.names.size(); ++n) {
    DatEntry entry;
    entry.name_field = DatEntry::FieldOf(LastComponent(options.names[n]));
    if (LastComponent(options.names[n]).size() > MOTADatFile::kNameField - 1) {
      // Kept whole for the message.
      err << target << ": member " << EscapeName(LastComponent(options.names[n]))
          << ": the name is longer than 12 characters\n";
      return kSomeFailed;
    }
    entries.push_back(entry);
    origins.push_back({options.names[n], -1});
  }
  if (!CheckNames(target, entries, true, err)) return kSomeFailed;
  MemberSource source(nullptr, origins);
  uint64_t offset = 2 + uint64_t{MOTADatFile::kEntrySize} * entries.size();
  try {
    for (std::size_t i = 0; i < entries.size(); ++i) {
      entries[i].offset = static_cast<uint32_t>(std::min<uint64_t>(offset, 0xFFFFFFFFu));
      entries[i].length = entries[i].length_copy = source.Size(i);
      offset += entries[i].length;
      if (offset > kLargestDatArchive) {
        err << target << ": the archive would reach 4 GiB\n";
        return kSomeFailed;
      }
    }
  } catch (const std::exception& failure) {
    err << failure.what() << "\n";
    return kSomeFailed;
  }
  DatLayout layout(entries, static_cast<uint32_t>(2 + MOTADatFile::kEntrySize * entries.size()), {});
  return Build(target, layout, source, options.force, options.quiet, out, err);
}

}  // namespace

int Pack(const Options& options, std::ostream& out, std::ostream& err) {
  bool directory = false;
  if (options.names.size() == 1) {
    if (!Exists(options.names[0], &directory) || !directory) {
      err << "datpack: " << options.names[0]
          << " is not a folder; to make a new archive: datpack pack ARCHIVE FILE...\n";
      return kUsageError;
    }
    return PackFolder(options, out, err);
  }
  if (!options.output.empty()) {
    err << "datpack: -o goes with pack DIR; with files the archive comes first\n";
    return kUsageError;
  }
  return PackFiles(options, out, err);
}

// ---- add, replace, delete -------------------------------------------------

int Update(const Options& options, std::ostream& out, std::ostream& err) {
  const std::string& path = options.names[0];
  // The archive is claimed before it is opened: on systems that lock open
  // files, our own reading must not stand in the way.
  std::unique_ptr<AtomicOutput> output;
  try {
    output = std::make_unique<AtomicOutput>(path);
  } catch (const std::exception& failure) {
    err << failure.what() << "\n";
    return kSomeFailed;
  }
  std::unique_ptr<Archive> archive = OpenArchive(path, err);
  if (!archive) return kSomeFailed;
  const std::vector<DatEntry>& old_entries = archive->entries();
  std::vector<DatEntry> entries = old_entries;
  std::vector<MemberSource::Origin> origins;
  for (std::size_t i = 0; i < entries.size(); ++i) origins.push_back({std::string(), static_cast<long>(i)});

  bool sound = true;
  auto find = [&](const std::string& name) -> long {
    for (std::size_t i = 0; i < entries.size(); ++i)
      if (CompareNoCase(entries[i].Name(), name) == 0) return static_cast<long>(i);
    return -1;
  };
  uint64_t end = archive->size;
  for (std::size_t n = 1; n < options.names.size(); ++n) {
    const std::string& given = options.names[n];
    const std::string name = options.verb == "delete" ? given : LastComponent(given);
    const long found = find(name);
    if (options.verb == "delete") {
      if (found < 0) {
        err << path << ": no member " << EscapeName(name) << "\n";
        sound = false;
      }
      // Every member of that name goes, so that none shows through.
      for (long i; (i = find(name)) >= 0;) {
        entries.erase(entries.begin() + i);
        origins.erase(origins.begin() + i);
      }
      continue;
    }
    bool is_directory = false;
    if (!Exists(given, &is_directory) || is_directory) {
      err << path << ": " << given << " is not a file\n";
      sound = false;
      continue;
    }
    if (options.verb == "replace") {
      if (found < 0) {
        err << path << ": no member " << EscapeName(name) << " (add puts new members in)\n";
        sound = false;
        continue;
      }
      origins[static_cast<std::size_t>(found)] = {given, -1};
      continue;
    }
    // add
    if (found >= 0) {
      err << path << ": already holds " << EscapeName(entries[static_cast<std::size_t>(found)].Name())
          << " (replace puts new bytes in)\n";
      sound = false;
      continue;
    }
    const std::string fault = MemberNameFault(name);
    if (!fault.empty()) {
      err << path << ": member " << EscapeName(name) << ": " << fault << "\n";
      sound = false;
      continue;
    }
    // New members go after everything the archive holds, in the order given.
    DatEntry entry;
    entry.name_field = DatEntry::FieldOf(name);
    entry.offset = static_cast<uint32_t>(std::min<uint64_t>(end, 0xFFFFFFFFu));
    entries.push_back(entry);
    origins.push_back({given, -1});
    MemberSource probe(nullptr, {origins.back()});
    try {
      entries.back().length = entries.back().length_copy = probe.Size(0);
    } catch (const std::exception& failure) {
      err << failure.what() << "\n";
      sound = false;
      continue;
    }
    end += entries.back().length;
    if (end > kLargestDatArchive) {
      err << path << ": the archive would reach 4 GiB\n";
      return kSomeFailed;
    }
  }
  for (std::size_t i = 0; i < origins.size(); ++i) {
    if (origins[i].member >= 0 && !archive->Inside(static_cast<std::size_t>(origins[i].member))) {
      err << path << ": " << MemberLabel(entries[i]) << ": reaches past the end of the archive\n";
      sound = false;
    }
  }
  if (!sound) return kSomeFailed;

  try {
    MemberSource source(archive.get(), origins);
    DatLayout layout(entries, archive->DirectoryEnd(), archive->ReadGaps());
    layout.Place(source);
    WriteArchive(layout, source, *output);
    source.Release();
    // Our own hold on the old archive goes before it is replaced.
    archive.reset();
    output->Commit();
    if (!options.quiet) out << path << ": " << Members(layout.Entries().size()) << ", " << layout.Size() << " bytes\n";
  } catch (const std::exception& failure) {
    err << path << ": " << failure.what() << "\n";
    return kSomeFailed;
  }
  return kAllDone;
}

// ---- verify --------------------------------------------------------------

namespace {

// Every fault of one archive, one line each.
std::vector<std::string> Faults(const std::string& path) {
  std::vector<std::string> faults;
  Handle<DiskFile> file;
  uint32_t size = 0;
  std::vector<uint8_t> head;
  try {
    file = DiskFile::OpenForRead(path);
    size = file->Size();
    head.resize(std::min<uint32_t>(size, 2 + MOTADatFile::kEntrySize * 0x7FFFu));
    file->Read(static_cast<uint32_t>(head.size()), head.data());
  } catch (const std::exception& failure) {
    return {failure.what()};
  }
  if (head.size() < 2) return {path + ": too short to hold a member count"};
  const int16_t count = LoadI16(head.data());
  if (count <= 0) return {path + ": MOTA dat file subfile count error"};
  std::vector<DatEntry> entries;
  for (int16_t i = 0; i < count; ++i) {
    const std::size_t at = 2 + std::size_t{MOTADatFile::kEntrySize} * static_cast<std::size_t>(i);
    if (at + MOTADatFile::kEntrySize > head.size()) {
      faults.push_back(path + ": the directory is cut short after " + std::to_string(i) + " of " +
                       std::to_string(count) + " entries");
      // Where members lie means little before the directory is whole.
      return faults;
    }
    entries.push_back(DecodeDatEntry(head.data() + at));
  }
  auto label = [&](std::size_t i) {
    return path + ": entry " + std::to_string(i + 1) + " " + EscapeName(entries[i].Name());
  };
  std::vector<std::pair<uint32_t, std::size_t>> by_offset;
  std::map<std::string, std::size_t> names;
  const uint64_t directory_end = 2 + uint64_t{MOTADatFile::kEntrySize} * static_cast<uint64_t>(count);
  for (std::size_t i = 0; i < entries.size(); ++i) {
    const DatEntry& entry = entries[i];
    const std::string reader = DatEntryFault(entry);
    if (!reader.empty()) {
      // A field without its NUL holds a name of more than 12 characters.
      faults.push_back(label(i) + reader + (entry.Terminated() ? "" : " (a name longer than 12 characters)"));
      continue;
    }
    if (entry.length > 0) {
      if (uint64_t{entry.offset} + entry.length > size)
        faults.push_back(label(i) + ": reaches past the end of the file (offset " + std::to_string(entry.offset) +
                         ", length " + std::to_string(entry.length) + ", file " + std::to_string(size) + " bytes)");
      if (entry.offset < directory_end) faults.push_back(label(i) + ": overlaps the directory");
      by_offset.push_back({entry.offset, i});
    }
    const std::string fault = NameFault(entry.Name());
    if (!fault.empty()) faults.push_back(label(i) + ": " + fault);
    auto seen = names.emplace(Folded(entry.Name()), i);
    if (!seen.second)
      faults.push_back(label(i) + ": the same name as entry " + std::to_string(seen.first->second + 1) + " " +
                       EscapeName(entries[seen.first->second].Name()) + " but for letter case");
  }
  std::stable_sort(by_offset.begin(), by_offset.end());
  uint64_t reach = 0;
  std::size_t reacher = 0;
  for (const auto& [offset, i] : by_offset) {
    if (offset < reach)
      faults.push_back(label(i) + ": overlaps entry " + std::to_string(reacher + 1) + " " +
                       EscapeName(entries[reacher].Name()));
    const uint64_t end = uint64_t{offset} + entries[i].length;
    if (end > reach) {
      reach = end;
      reacher = i;
    }
  }
  if (faults.empty()) {
    // Whatever else the reader refuses.
    try {
      MOTADatFile check(path);
    } catch (const std::exception& failure) {
      faults.push_back(failure.what());
    }
  }
  return faults;
}

}  // namespace

int Verify(const Options& options, std::ostream& out, std::ostream& err) {
  int status = kAllDone;
  for (const std::string& path : options.names) {
    const std::vector<std::string> faults = Faults(path);
    for (const std::string& fault : faults) out << fault << "\n";
    if (!faults.empty()) status = kSomeFailed;
    if (faults.empty() && !options.quiet) out << path << ": ok\n";
  }
  (void)err;
  return status;
}

// ---- diff ----------------------------------------------------------------

namespace {

bool SameBytes(const Archive& a, std::size_t i, const Archive& b, std::size_t j) {
  const uint32_t length = a.entries()[i].length;
  if (length != b.entries()[j].length) return false;
  std::vector<uint8_t> left(std::min(length, kCopyBlock)), right(left.size());
  for (uint32_t done = 0; done < length;) {
    const uint32_t count = std::min(length - done, kCopyBlock);
    a.Read(i, done, count, left.data());
    b.Read(j, done, count, right.data());
    if (std::memcmp(left.data(), right.data(), count) != 0) return false;
    done += count;
  }
  return true;
}

}  // namespace

int Diff(const Options& options, std::ostream& out, std::ostream& err) {
  std::unique_ptr<Archive> a = OpenArchive(options.names[0], err);
  std::unique_ptr<Archive> b = OpenArchive(options.names[1], err);
  if (!a || !b) return kUsageError;
  try {
    std::multimap<std::string, std::size_t> in_b;
    for (std::size_t j = 0; j < b->entries().size(); ++j) in_b.emplace(Folded(b->entries()[j].Name()), j);
    std::vector<bool> matched(b->entries().size(), false);
    bool differ = false;
    for (std::size_t i = 0; i < a->entries().size(); ++i) {
      const DatEntry& left = a->entries()[i];
      const std::string name = EscapeName(left.Name());
      auto range = in_b.equal_range(Folded(left.Name()));
      auto it = range.first;
      while (it != range.second && matched[it->second]) ++it;
      if (it == range.second) {
        out << "removed " << name << "\n";
        differ = true;
        continue;
      }
      const std::size_t j = it->second;
      matched[j] = true;
      const DatEntry& right = b->entries()[j];
      if (!a->Inside(i) || !b->Inside(j)) {
        err << (a->Inside(i) ? b->path : a->path) << ": member " << name << ": reaches past the end of the archive\n";
        return kUsageError;
      }
      if (!SameBytes(*a, i, *b, j)) {
        out << "changed " << name << " (" << left.length << " -> " << right.length << " bytes)\n";
        differ = true;
      } else if (left.offset != right.offset || i != j) {
        out << "moved " << name << " (entry " << i + 1 << " -> " << j + 1 << ", offset " << left.offset << " -> "
            << right.offset << ")\n";
        differ = true;
      }
    }
    for (std::size_t j = 0; j < b->entries().size(); ++j) {
      if (matched[j]) continue;
      out << "added " << EscapeName(b->entries()[j].Name()) << "\n";
      differ = true;
    }
    if (!differ) {
      // Same members in the same places: what else is stored must match too.
      bool same = a->size == b->size;
      for (std::size_t i = 0; same && i < a->entries().size(); ++i)
        same = a->entries()[i].name_field == b->entries()[i].name_field;
      if (same) {
        const std::vector<DatGap> left = a->ReadGaps(), right = b->ReadGaps();
        same = left.size() == right.size();
        for (std::size_t g = 0; same && g < left.size(); ++g)
          same = left[g].offset == right[g].offset && left[g].bytes == right[g].bytes;
      }
      if (!same) {
        out << "the archives differ outside their members (name fields, gaps or trailing bytes)\n";
        differ = true;
      }
    }
    return differ ? kSomeFailed : kAllDone;
  } catch (const std::exception& failure) {
    err << failure.what() << "\n";
    return kUsageError;
  }
}

int RunVerb(const Options& options, std::ostream& out, std::ostream& err) {
  if (options.verb == "list") return List(options, out, err);
  if (options.verb == "unpack") return Unpack(options, out, err);
  if (options.verb == "pack") return Pack(options, out, err);
  if (options.verb == "add" || options.verb == "replace" || options.verb == "delete")
    return Update(options, out, err);
  if (options.verb == "verify") return Verify(options, out, err);
  if (options.verb == "diff") return Diff(options, out, err);
  err << "datpack: unknown verb " << options.verb << "\n";
  return kUsageError;
}

}  // namespace datpack
