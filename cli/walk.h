#pragma once
// Walking a folder tree without ever leaving it: a symbolic link met
// inside the tree is an entry of its own, never a folder to descend into.

#include <functional>
#include <string>
#include <vector>

namespace cli {

/// `directory` and `name` joined with the system's separator (no second
/// separator when `directory` ends in one; either part may be empty).
std::string JoinPath(const std::string& directory, const std::string& name);

/// One folder of a walk and what it holds, each list sorted byte-wise.
struct Folder {
  std::string path;      ///< the root as given, with names joined by JoinPath
  std::string relative;  ///< below the root, '/'-separated; "" for the root itself
  std::vector<std::string> files;    ///< everything that is no directory; links to files too
  std::vector<std::string> folders;  ///< real directories, walked after this folder
  std::vector<std::string> linkedFolders;  ///< links to directories: never walked
};

/// Calls `visit` for `root` (followed when it is itself a link) and then,
/// depth first in sorted order, for every directory below it. A folder
/// that cannot be listed is visited with empty lists.
void WalkTree(const std::string& root, const std::function<void(const Folder&)>& visit);

}  // namespace cli
