#include "cli/walk.h"

#include <algorithm>

#include "platform/directory_enum.h"
#include "platform/file_attributes.h"
#include "platform/path.h"

namespace cli {

std::string JoinPath(const std::string& directory, const std::string& name) {
  if (directory.empty()) return name;
  if (name.empty()) return directory;
  if (platform::IsSeparator(directory.back())) return directory + name;
  return directory + platform::kSeparator + name;
}

namespace {

void Walk(const std::string& path, const std::string& relative,
          const std::function<void(const Folder&)>& visit) {
  Folder folder;
  folder.path = path;
  folder.relative = relative;
  for (const platform::DirectoryEntry& entry : platform::FindFiles(JoinPath(path, "*"))) {
    if (entry.name == "." || entry.name == ".." || entry.name.empty()) continue;
    const bool directory = (entry.attributes & platform::kAttributeDirectory) != 0;
    const bool link = (entry.attributes & platform::kAttributeReparsePoint) != 0;
    if (!directory) folder.files.push_back(entry.name);
    else if (link) folder.linkedFolders.push_back(entry.name);
    else folder.folders.push_back(entry.name);
  }
  std::sort(folder.files.begin(), folder.files.end());
  std::sort(folder.folders.begin(), folder.folders.end());
  std::sort(folder.linkedFolders.begin(), folder.linkedFolders.end());
  visit(folder);
  for (const std::string& name : folder.folders)
    Walk(JoinPath(path, name), relative.empty() ? name : relative + "/" + name, visit);
}

}  // namespace

void WalkTree(const std::string& root, const std::function<void(const Folder&)>& visit) {
  Walk(root, "", visit);
}

}  // namespace cli
