#include "trackconv/driver/game_factories.h"

#include "platform/path.h"
#include "trackconv/driver/game_registry.h"
#include "trackconv/foundation/byte_order.h"
#include "trackconv/foundation/errors.h"
#include "trackconv/track/mota_trk_file.h"
#include "trackconv/track/vtr_trk_file.h"

namespace {

// The one place each game's track class is named.
Handle<TrkFile> ReadVTRTrack(const Handle<SubFile>& file) {
  return Handle<TrkFile>(new VTRTrkFile(file));
}
Handle<TrkFile> BuildVTRTrack(const Handle<SubFile>& file, const Handle<TrkFile>& source) {
  return Handle<TrkFile>(new VTRTrkFile(file, source));
}
Handle<TrkFile> ReadMOTATrack(const Handle<SubFile>& file) {
  return Handle<TrkFile>(new MOTATrkFile(file));
}
Handle<TrkFile> BuildMOTATrack(const Handle<SubFile>& file, const Handle<TrkFile>& source) {
  return Handle<TrkFile>(new MOTATrkFile(file, source));
}

}  // namespace

const GameTraits VTRFileFactory::kTraits = {
    ProbeRule::kTag, MakeTag('3', 'D', 'O', '4'), "rpy", ProbeRule::kTag, MakeTag('R', 'P', 'L', 'Y'),
    ": VTR subfile not found", ReadVTRTrack, BuildVTRTrack};

const GameTraits MOTAFileFactory::kTraits = {
    ProbeRule::kModelSize, 0, nullptr, ProbeRule::kNone, 0,
    ": MOTA subfile not found", ReadMOTATrack, BuildMOTATrack};

const GameTraits K5FileFactory::kTraits = {
    ProbeRule::kTag, MakeTag('3', 'D', 'O', '3'), "rpl", ProbeRule::kReplaySize, 0,
    ": K5/K6/KV subfile not found", ReadMOTATrack, BuildMOTATrack};

bool PassesProbe(ProbeRule rule, uint32_t tag, SubFile& file) {
  file.Seek(0);
  switch (rule) {
    case ProbeRule::kTag: {
      uint8_t word[4];
      file.Read(sizeof word, word);
      return LoadU32(word) == tag;
    }
    case ProbeRule::kModelSize: {
      uint8_t header[20];
      file.Read(sizeof header, header);
      FieldReader field(header, sizeof header);
      const uint32_t h0 = field.U32();
      field.Skip(4);
      const uint32_t h2 = field.U32();
      const uint32_t h3 = field.U32();
      const uint32_t h4 = field.U32();
      // Unsigned 32-bit arithmetic on purpose: the games wrap the same way.
      return file.Size() == static_cast<uint32_t>(20u + h0 + 8u * (h2 + h3 + h4));
    }
    case ProbeRule::kReplaySize: {
      uint8_t header[16];
      file.Read(sizeof header, header);
      FieldReader field(header, sizeof header);
      const uint32_t r0 = field.U32();
      const uint32_t r1 = field.U32();
      return file.Size() == static_cast<uint32_t>(16u + r0 + r1);
    }
    case ProbeRule::kNone:
      break;
  }
  return false;
}

GameFileFactory::GameFileFactory(const GameTraits& traits) : traits_(traits) {
  // Prototypes are built before main; a current directory that has gone
  // away must not end the program there. Home() tries again when asked.
  try {
    directory_.emplace(".");
  } catch (const std::exception&) {
  }
}

GameFileFactory::GameFileFactory(const GameTraits& traits, const Directory& directory)
    : traits_(traits), directory_(directory) {
  try {
    dat_file_ = new MOTADatFile(InDirectory(directory.Name() + ".dat"));
  } catch (const XFileOpen&) {
    // No archive: the installation keeps all its files loose.
  }
}

const Directory& GameFileFactory::Home() const {
  if (!directory_) directory_.emplace(".");
  return *directory_;
}

std::string GameFileFactory::InDirectory(const std::string& file_name) const {
  return Home().FullPath() + platform::kSeparator + file_name;
}

Handle<DatFile> GameFileFactory::GetDatFile() { return dat_file_; }
Handle<DatFile> GameFileFactory::GetDatFile() const { return dat_file_; }

Directory GameFileFactory::GetDirectory() const { return Home(); }

void GameFileFactory::FlushTracks() { tracks_.clear(); }

Handle<TrkFile> GameFileFactory::OpenTrackBase(const std::string& name, const std::string& extension,
                                               bool archive_only) {
  return OpenTrack(name, extension, archive_only);
}

Handle<TrkFile> GameFileFactory::OpenTrack(const std::string& name, const std::string& extension,
                                           bool archive_only) {
  const std::string key_name =
      ToLower((name.empty() ? Home().Name() : name) + "." + (extension.empty() ? "trk" : extension));
  if (!archive_only) {
    const auto loose = tracks_.find(TrackKey{key_name, false});
    if (loose != tracks_.end()) return loose->second;
  }
  const auto archived = tracks_.find(TrackKey{key_name, true});
  if (archived != tracks_.end()) return archived->second;

  // Only the last component counts: tracks live in the factory's directory.
  const std::string file_name = Pathname(key_name).FileName();
  Handle<SubFile> file;
  bool from_archive = false;
  if (!archive_only) {
    try {
      file = new SubFile(InDirectory(file_name), false, false);
    } catch (const XFileOpen&) {
      // No loose file of that name.
    }
  }
  if (!file.Get() && dat_file_.Get()) {
    file = dat_file_->FindMember(file_name);
    from_archive = true;
  }
  if (!file.Get()) throw XAssumption(Home().FullPath() + traits_.missing_track);

  // An archive member is shared with the archive and keeps its position
  // between readers; every track is read from its first byte.
  file->Seek(0);
  Handle<TrkFile> track = traits_.read_track(file);
  tracks_[TrackKey{key_name, from_archive}] = track;
  return track;
}

Handle<TrkFile> GameFileFactory::CreateTrack(const Handle<TrkFile>& source, bool replace) {
  const TrackKey key{ToLower(Home().Name() + ".trk"), false};
  tracks_.erase(key);
  const std::string file_name = Pathname(key.name).FileName();
  Handle<SubFile> file(new SubFile(InDirectory(file_name), true, replace));
  Handle<TrkFile> track = traits_.build_track(file, source);
  tracks_[key] = track;
  return track;
}

bool GameFileFactory::PassesSecondKindProbe(SubFile& file) const {
  return PassesProbe(traits_.second_rule, traits_.second_tag, file);
}

GameFileFactory::Verdict GameFileFactory::ProbeArchive(const Directory& directory) const {
  const std::string path = directory.FullPath() + platform::kSeparator + directory.Name() + ".dat";
  try {
    Handle<DiskFile> raw = DiskFile::OpenForRead(path);
    uint8_t header[4];
    raw->Read(sizeof header, header);
    const int16_t count = LoadI16(header);
    const int16_t type = LoadI16(header + 2);
    if (count <= 0 || type != MOTADatFile::kMemberType) return Verdict::kNo;
  } catch (const std::exception&) {
    return Verdict::kUndecided;
  }

  Handle<DatFile> archive;
  uint32_t count = 0;
  try {
    archive = new MOTADatFile(path);
    count = archive->MemberCount();
  } catch (const std::exception&) {
    return Verdict::kUndecided;
  }
  for (uint32_t i = 0; i < count; ++i) {
    try {
      Handle<SubFile> member = archive->Member(i);
      if (CompareNoCase(member->GetExtension(), "3do") != 0) continue;
      return PassesProbe(traits_.three_do_rule, traits_.three_do_tag, *member) ? Verdict::kYes : Verdict::kNo;
    } catch (const std::exception&) {
      // A member that cannot be read does not settle anything.
    }
  }
  return Verdict::kUndecided;
}

bool GameFileFactory::ProbeLooseFiles(const Directory& directory) const {
  const DirectoryListing listing{Pathname(directory.FullPath())};
  for (uint32_t i = 0; i < listing.Count(); ++i) {
    if (listing.IsDirectory(i)) continue;
    const Pathname entry = listing.Entry(i);
    const std::string extension = entry.Extension();
    try {
      if (CompareNoCase(extension, "3do") == 0) {
        SubFile file(entry.FullPath(), false, false);
        return PassesProbe(traits_.three_do_rule, traits_.three_do_tag, file);
      }
      if (traits_.second_kind && CompareNoCase(extension, traits_.second_kind) == 0) {
        SubFile file(entry.FullPath(), false, false);
        return PassesSecondKindProbe(file);
      }
    } catch (const std::exception&) {
      // Unreadable or too short to tell: the next file may decide.
    }
  }
  return false;
}

bool GameFileFactory::Recognizes(const Directory& directory) const {
  try {
    const Verdict verdict = ProbeArchive(directory);
    if (verdict != Verdict::kUndecided) return verdict == Verdict::kYes;
    return ProbeLooseFiles(directory);
  } catch (...) {
    return false;
  }
}

VTRFileFactory::VTRFileFactory(bool is_default) : GameFileFactory(kTraits) {
  GameRegistry::Instance().Register(this, is_default);
}
VTRFileFactory::VTRFileFactory(const Directory& directory) : GameFileFactory(kTraits, directory) {}
Handle<FileFactory> VTRFileFactory::Clone(const Directory& directory) const {
  return Handle<FileFactory>(new VTRFileFactory(directory));
}

MOTAFileFactory::MOTAFileFactory() : GameFileFactory(kTraits) {
  GameRegistry::Instance().Register(this, false);
}
MOTAFileFactory::MOTAFileFactory(const Directory& directory) : GameFileFactory(kTraits, directory) {}
Handle<FileFactory> MOTAFileFactory::Clone(const Directory& directory) const {
  return Handle<FileFactory>(new MOTAFileFactory(directory));
}

K5FileFactory::K5FileFactory() : GameFileFactory(kTraits) {
  GameRegistry::Instance().Register(this, false);
}
K5FileFactory::K5FileFactory(const Directory& directory) : GameFileFactory(kTraits, directory) {}
Handle<FileFactory> K5FileFactory::Clone(const Directory& directory) const {
  return Handle<FileFactory>(new K5FileFactory(directory));
}

namespace {
// The prototypes, in registration order; VTR is the default game.
VTRFileFactory vtr_prototype(true);
MOTAFileFactory mota_prototype;
K5FileFactory k5_prototype;
}  // namespace
