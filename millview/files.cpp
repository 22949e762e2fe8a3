#include "millview/files.h"

#include <mutex>

#include "millview/names.h"
#include "platform/directory_services.h"
#include "platform/file_attributes.h"
#include "platform/path.h"
#include "platform/replace_file.h"
#include "platform/same_file.h"
#include "platform/whole_file.h"

namespace millview {

bool ReadWholeFile(const std::string& path, std::vector<uint8_t>& bytes, std::string& reason) {
  switch (platform::ReadWholeFile(path, bytes)) {
    case platform::WholeFile::kRead: return true;
    case platform::WholeFile::kCannotOpen: reason = "cannot open the file"; return false;
    case platform::WholeFile::kCannotRead: break;
  }
  reason = "cannot read the file";
  return false;
}

bool IsFolder(const std::string& path) { return platform::IsDirectory(path.c_str()); }

bool Exists(const std::string& path) {
  uint32_t attributes = 0;
  return platform::GetFileAttributes(path, attributes);
}

bool MakeFolders(const std::string& path) {
  static std::recursive_mutex lock;
  std::lock_guard<std::recursive_mutex> hold(lock);
  if (path.empty() || IsFolder(path)) return true;
  const std::string parent = DirectoryOf(path);
  if (!parent.empty() && parent != path && !MakeFolders(parent)) return false;
  return platform::MakeDirectory(path.c_str()) || IsFolder(path);
}

bool WriteOutputs(const std::vector<Output>& outputs, const std::string& input, std::string& reason) {
  for (const Output& output : outputs)
    if (platform::SameFile(output.path, input)) {
      reason = "cannot write " + output.path + ": it is the input itself";
      return false;
    }
  // Each output goes under a temporary name beside its final one; only
  // when every one of them is complete do they take their final names.
  // The replacements not yet committed remove their temporaries as they go.
  std::vector<platform::Replacement> replacements(outputs.size());
  for (std::size_t n = 0; n < outputs.size(); ++n)
    if (!replacements[n].Begin(outputs[n].path) || !replacements[n].Write(outputs[n].bytes)) {
      reason = "cannot write " + outputs[n].path;
      return false;
    }
  for (std::size_t n = 0; n < outputs.size(); ++n)
    if (!replacements[n].Commit()) {
      reason = "cannot write " + outputs[n].path;
      return false;
    }
  return true;
}

}  // namespace millview
