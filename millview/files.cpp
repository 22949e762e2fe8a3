#include "millview/files.h"

#include <algorithm>
#include <mutex>

#include "millview/names.h"
#include "platform/directory_enum.h"
#include "platform/directory_services.h"
#include "platform/file_attributes.h"
#include "platform/native_file.h"
#include "platform/atomic_replace.h"
#include "platform/path.h"
#include "platform/same_file.h"

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

bool WriteOutputs(const std::vector<Output>& outputs, const std::string& input, std::string& reason) {
  for (const Output& output : outputs)
    if (platform::SameFile(output.path, input)) {
      reason = "cannot write " + output.path + ": it is the input itself";
      return false;
    }
  // Each output goes under a temporary name beside its final one; only
  // when every one of them is complete do they take their final names.
  std::vector<std::string> temporaries;
  auto fail = [&](const std::string& path) {
    for (const std::string& temporary : temporaries) platform::RemoveFile(temporary);
    reason = "cannot write " + path;
    return false;
  };
  for (const Output& output : outputs) {
    std::string full;
    std::size_t last = 0;
    if (!platform::FullPathName(output.path, full, last)) return fail(output.path);
    const std::string temporary = platform::CreateTemporaryFileBeside(full);
    if (temporary.empty()) return fail(output.path);
    temporaries.push_back(temporary);
    const platform::NativeFile file =
        platform::OpenFile(temporary, platform::kGenericWrite, 0, platform::kOpenExisting);
    if (!file.valid()) return fail(output.path);
    std::size_t written = 0;
    bool ok = true;
    while (ok && written < output.bytes.size()) {
      uint32_t done = 0;
      const std::size_t left = output.bytes.size() - written;
      ok = platform::WriteFile(file, output.bytes.data() + written,
                               static_cast<uint32_t>(left < 0x40000000u ? left : 0x40000000u), done) &&
           done > 0;
      written += done;
    }
    platform::CloseFile(file);
    if (!ok) return fail(output.path);
  }
  for (std::size_t n = 0; n < outputs.size(); ++n) {
    if (!platform::ReplaceFileWith(temporaries[n], outputs[n].path)) {
      temporaries.erase(temporaries.begin(), temporaries.begin() + static_cast<std::ptrdiff_t>(n));
      return fail(outputs[n].path);
    }
  }
  return true;
}

}  // namespace millview
