#pragma once
// FileFactory: per-game access to an installation directory, one operation
// per file kind and purpose. The base refuses every kind; a game overrides
// the kinds it serves. The order of the operations is fixed.

#include <cstdint>
#include <string>

#include "trackconv/driver/dat_file.h"
#include "trackconv/foundation/handle.h"
#include "trackconv/foundation/paths.h"
#include "trackconv/track/trk_file.h"

/// Four characters packed into a 32-bit tag, the first one most significant.
constexpr uint32_t MakeTag(char a, char b, char c, char d) {
  return (static_cast<uint32_t>(static_cast<uint8_t>(a)) << 24) |
         (static_cast<uint32_t>(static_cast<uint8_t>(b)) << 16) |
         (static_cast<uint32_t>(static_cast<uint8_t>(c)) << 8) |
         static_cast<uint32_t>(static_cast<uint8_t>(d));
}

class FileFactory {
 public:
  /// A new factory of the same game for `directory`.
  virtual Handle<FileFactory> Clone(const Directory& directory) const = 0;
  virtual ~FileFactory();
  /// The installation's archive; empty when it has none.
  virtual Handle<DatFile> GetDatFile() = 0;
  virtual Handle<DatFile> GetDatFile() const = 0;

  // File kinds no game of this program serves; each refuses with its message.
  virtual void Palettes1();
  virtual void Palettes2();
  virtual void Palettes3();
  virtual void Palettes4();
  virtual void Cam1();
  virtual void Cam2();
  virtual void Lp1();
  virtual void Lp2();
  virtual void Mip1();
  virtual void Mip2();
  virtual void Pbf1();
  virtual void Pbf2();
  virtual void Pcx1();
  virtual void Pcx2();
  virtual void Rpy1();
  virtual void Srb1();
  virtual void Srb2();
  virtual void Tdo1();
  virtual void Tdo2();

  /// The same track as OpenTrack, handed out as a second handle.
  virtual Handle<TrkFile> OpenTrackBase(const std::string& name, const std::string& extension,
                                        bool archive_only);
  /// The track file `name`.`extension` (defaults: the directory's name, "trk"),
  /// loose before archived, read and checked once and then cached.
  virtual Handle<TrkFile> OpenTrack(const std::string& name, const std::string& extension,
                                    bool archive_only);

  virtual void Lp3();
  virtual void Mip3();
  virtual void Srb3();
  virtual void Tdo3();

  /// A new loose track file named after the directory, built from `source`
  /// and not yet written.
  virtual Handle<TrkFile> CreateTrack(const Handle<TrkFile>& source, bool replace);
  virtual Directory GetDirectory() const = 0;
  /// Drops the cache's share of every track opened so far.
  virtual void FlushTracks() = 0;
  /// Whether `directory` holds an installation of this game; never throws.
  virtual bool Recognizes(const Directory& directory) const = 0;
};
