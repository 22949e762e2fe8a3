#pragma once
// The file factories of the three game families. They share one body,
// GameFileFactory, and differ only in the details of their GameTraits:
// how a .3do file and the game's second loose kind are recognised, which
// track class reads the game's tracks, and the missing-track message.

#include <cstdint>
#include <map>
#include <optional>
#include <string>

#include "trackconv/driver/file_factory.h"

/// How a recognition test decides on a file's first bytes.
enum class ProbeRule : uint8_t {
  kNone,         ///< the game has no such kind
  kTag,          ///< the first 32-bit word equals a tag
  kModelSize,    ///< five words h0..h4: size = 20 + h0 + 8 * (h2 + h3 + h4)
  kReplaySize,   ///< four words r0..r3: size = 16 + r0 + r1
};

/// Everything in which the games differ.
struct GameTraits {
  ProbeRule three_do_rule;
  uint32_t three_do_tag;
  const char* second_kind;  ///< extension of the second loose kind, or nullptr
  ProbeRule second_rule;
  uint32_t second_tag;
  const char* missing_track;  ///< appended to the directory's full path
  /// Reads and checks a track file of the game.
  Handle<TrkFile> (*read_track)(const Handle<SubFile>& file);
  /// Builds an unwritten track of the game from any track.
  Handle<TrkFile> (*build_track)(const Handle<SubFile>& file, const Handle<TrkFile>& source);
};

/// Applies `rule` to the first bytes of `file`; XFileRead when it is too short.
bool PassesProbe(ProbeRule rule, uint32_t tag, SubFile& file);

class GameFileFactory : public FileFactory {
 public:
  /// A prototype: resolves "." for its directory and has no archive.
  explicit GameFileFactory(const GameTraits& traits);
  /// The factory of `directory`, with its archive <Name>.dat opened if present.
  GameFileFactory(const GameTraits& traits, const Directory& directory);

  Handle<DatFile> GetDatFile() override;
  Handle<DatFile> GetDatFile() const override;
  Handle<TrkFile> OpenTrackBase(const std::string& name, const std::string& extension,
                                bool archive_only) override;
  Handle<TrkFile> OpenTrack(const std::string& name, const std::string& extension,
                            bool archive_only) override;
  Handle<TrkFile> CreateTrack(const Handle<TrkFile>& source, bool replace) override;
  Directory GetDirectory() const override;
  void FlushTracks() override;
  bool Recognizes(const Directory& directory) const override;

  /// Number of tracks the cache holds.
  std::size_t CachedTrackCount() const { return tracks_.size(); }

 private:
  struct TrackKey {
    std::string name;  ///< lower-cased file name with extension
    bool from_archive;
    bool operator<(const TrackKey& other) const {
      return name != other.name ? name < other.name : from_archive < other.from_archive;
    }
  };
  enum class Verdict { kNo, kYes, kUndecided };

  Verdict ProbeArchive(const Directory& directory) const;
  bool ProbeLooseFiles(const Directory& directory) const;
  bool PassesSecondKindProbe(SubFile& file) const;
  /// The factory's directory.
  const Directory& Home() const;
  std::string InDirectory(const std::string& file_name) const;

  const GameTraits& traits_;
  mutable std::optional<Directory> directory_;
  Handle<DatFile> dat_file_;
  std::map<TrackKey, Handle<TrkFile>> tracks_;
};

class VTRFileFactory : public GameFileFactory {
 public:
  static const GameTraits kTraits;
  /// The prototype; registers itself with the registry.
  explicit VTRFileFactory(bool is_default);
  explicit VTRFileFactory(const Directory& directory);
  Handle<FileFactory> Clone(const Directory& directory) const override;
};

class MOTAFileFactory : public GameFileFactory {
 public:
  static const GameTraits kTraits;
  /// The prototype; registers itself with the registry.
  MOTAFileFactory();
  explicit MOTAFileFactory(const Directory& directory);
  Handle<FileFactory> Clone(const Directory& directory) const override;
};

/// The K5/K6/KV family, whose members share one set of formats.
class K5FileFactory : public GameFileFactory {
 public:
  static const GameTraits kTraits;
  /// The prototype; registers itself with the registry.
  K5FileFactory();
  explicit K5FileFactory(const Directory& directory);
  Handle<FileFactory> Clone(const Directory& directory) const override;
};
