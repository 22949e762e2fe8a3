#pragma once
// Watching a folder tree for changes: the system's notification service
// where there is one (inotify, ReadDirectoryChangesW), else polling.

#include <memory>
#include <string>
#include <vector>

namespace platform {

/// Tells which files below one folder changed.
class FolderWatch {
 public:
  virtual ~FolderWatch() = default;

  /// Waits at most `milliseconds` for changes and adds the paths that
  /// changed (the root joined with the name below it) to `changed`; a
  /// path may be a folder, meaning something in it changed, and the root
  /// itself means anything may have. False when the watch cannot go on.
  virtual bool Wait(int milliseconds, std::vector<std::string>& changed) = 0;
};

/// Watches every folder below `root` (links to folders are entries, never
/// followed) with the system's service, falling back to polling; on
/// Windows a scan every 2 s backs the service up, as not every file system
/// delivers its notifications. Null when `root` is no folder.
std::unique_ptr<FolderWatch> WatchFolder(const std::string& root);

/// Watches `root` by comparing the sizes and times of everything below it.
std::unique_ptr<FolderWatch> PollFolder(const std::string& root);

}  // namespace platform
