#pragma once
// GameRegistry: the process-wide list of game prototypes. It tells which
// game a directory holds, makes that game's factory for the directory and
// keeps it, so a directory is examined once per process.

#include <map>
#include <string>
#include <vector>

#include "trackconv/driver/file_factory.h"
#include "trackconv/foundation/handle.h"
#include "trackconv/foundation/paths.h"

class GameRegistry {
 public:
  /// The single registry, created on first use.
  static GameRegistry& Instance();

  /// Appends a prototype (not owned); called by the prototypes' constructors.
  void Register(FileFactory* prototype, bool is_default);
  /// The factory of the game installed in `directory`, or of the default
  /// game when none recognises it.
  Handle<FileFactory> FactoryFor(const Directory& directory);

  /// Number of registered prototypes.
  std::size_t PrototypeCount() const { return prototypes_.size(); }
  /// The prototype registered in position `index`.
  const FileFactory* Prototype(std::size_t index) const { return prototypes_.at(index).prototype; }
  bool IsDefault(std::size_t index) const { return prototypes_.at(index).is_default; }

 private:
  GameRegistry() = default;
  Handle<FileFactory> Keep(const Directory& directory, const Handle<FileFactory>& factory);

  struct Entry {
    FileFactory* prototype;
    bool is_default;
  };
  std::map<std::string, Handle<FileFactory>> cache_;
  std::vector<Entry> prototypes_;
};
