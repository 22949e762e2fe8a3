#include "millview/files.h"

#include <algorithm>
#include <exception>
#include <memory>
#include <mutex>

#include "millview/names.h"
#include "platform/directory_enum.h"
#include "platform/directory_services.h"
#include "platform/file_attributes.h"
#include "platform/native_file.h"
#include "trackconv/foundation/atomic_output.h"

namespace millview {

bool ReadWholeFile(const std::string& path, std::vector<uint8_t>& bytes, std::string& reason) {
  const platform::NativeFile file = platform::OpenFile(path, platform::kGenericRead,
                                                       platform::kShareRead, platform::kOpenExisting);
  if (!file.valid()) {
    reason = "cannot open the file";
    return false;
  }
  const uint32_t size = platform::FileSize(file);
  bool ok = size != platform::kSeekFailed;
  if (ok) {
    bytes.resize(size);
    uint32_t got = 0;
    while (ok && got < size) {
      uint32_t done = 0;
      ok = platform::ReadFile(file, bytes.data() + got, size - got, done) && done > 0;
      got += done;
    }
  }
  platform::CloseFile(file);
  if (!ok) reason = "cannot read the file";
  return ok;
}

bool IsFolder(const std::string& path) { return platform::IsDirectory(path.c_str()); }

bool Exists(const std::string& path) {
  uint32_t attributes = 0;
  return platform::GetFileAttributes(path, attributes);
}

void ListFolder(const std::string& path, std::vector<std::string>& files,
                std::vector<std::string>& folders) {
  for (const platform::DirectoryEntry& entry : platform::FindFiles(JoinPath(path, "*"))) {
    if (entry.name == "." || entry.name == "..") continue;
    (entry.attributes & platform::kAttributeDirectory ? folders : files).push_back(entry.name);
  }
  std::sort(files.begin(), files.end());
  std::sort(folders.begin(), folders.end());
}

bool MakeFolders(const std::string& path) {
  static std::recursive_mutex lock;
  std::lock_guard<std::recursive_mutex> hold(lock);
  if (path.empty() || IsFolder(path)) return true;
  const std::string parent = DirectoryOf(path);
  if (!parent.empty() && parent != path && !MakeFolders(parent)) return false;
  return platform::MakeDirectory(path.c_str()) || IsFolder(path);
}

bool WriteOutputs(const std::vector<Output>& outputs, std::string& reason) {
  std::vector<std::unique_ptr<AtomicOutput>> pending;
  std::size_t current = 0;
  try {
    for (; current < outputs.size(); ++current) {
      const Output& output = outputs[current];
      pending.emplace_back(new AtomicOutput(output.path, false));
      pending.back()->File()->Write(static_cast<uint32_t>(output.bytes.size()),
                                    output.bytes.data());
    }
    for (current = 0; current < outputs.size(); ++current) pending[current]->Commit();
  } catch (const std::exception&) {
    reason = "cannot write " + outputs[std::min(current, outputs.size() - 1)].path;
    return false;
  }
  return true;
}

}  // namespace millview
