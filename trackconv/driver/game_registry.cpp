#include "trackconv/driver/game_registry.h"

#include "trackconv/foundation/errors.h"

GameRegistry& GameRegistry::Instance() {
  // Built by the first prototype's registration during static
  // initialisation, and so destroyed after every prototype.
  static GameRegistry registry;
  return registry;
}

void GameRegistry::Register(FileFactory* prototype, bool is_default) {
  prototypes_.push_back(Entry{prototype, is_default});
}

Handle<FileFactory> GameRegistry::Keep(const Directory& directory, const Handle<FileFactory>& factory) {
  cache_[directory.FullPath()] = factory;
  return factory;
}

Handle<FileFactory> GameRegistry::FactoryFor(const Directory& directory) {
  const auto cached = cache_.find(directory.FullPath());
  if (cached != cache_.end()) return cached->second;

  try {
    for (const Entry& entry : prototypes_)
      if (entry.prototype->Recognizes(directory)) return Keep(directory, entry.prototype->Clone(directory));
  } catch (const XFileOpen&) {
    // A directory whose files cannot be opened is treated as unrecognised.
  }
  for (const Entry& entry : prototypes_)
    if (entry.is_default) return Keep(directory, entry.prototype->Clone(directory));
  throw XAssumption(directory.FullPath() + ": Couldn't determine game for directory");
}
