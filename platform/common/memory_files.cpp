#include "platform/memory_files.h"

#include <algorithm>
#include <map>
#include <memory>

#include "platform/file_attributes.h"
#include "platform/path.h"
#include "platform/common/ascii_case.h"
#include "platform/common/guarded.h"

namespace platform {
namespace {

using Bytes = std::vector<uint8_t>;

// 0xFFFFFFFF is the failure value of positions and sizes.
constexpr uint64_t kLargestPosition = 0xFFFFFFFEu;
constexpr uint32_t kAttributeNormal = 0x80;

struct OpenMemoryFile {
  std::shared_ptr<Bytes> bytes;  // null for a free slot
  uint32_t position = 0;
  bool writable = false;
};

struct Registry {
  std::vector<std::string> roots;
  std::map<std::string, std::shared_ptr<Bytes>> files;  // by exact path
  std::vector<OpenMemoryFile> handles;                  // NativeFile::value indexes it
};

Registry& TheRegistry() {
  static Registry registry;
  return registry;
}

// `path` equals `directory` or lies below it; `rest` gets what follows the
// separator (empty for the directory itself).
bool Below(const std::string& path, const std::string& directory, std::string* rest, bool no_case) {
  if (path.size() < directory.size()) return false;
  const std::string head = path.substr(0, directory.size());
  if (!(no_case ? EqualNoCase(head, directory) : head == directory)) return false;
  if (path.size() == directory.size()) {
    if (rest) rest->clear();
    return true;
  }
  // A root such as "/" or "C:\" ends in its separator already.
  std::size_t after = directory.size();
  if (!IsSeparator(directory.back())) {
    if (!IsSeparator(path[after])) return false;
    ++after;
  }
  if (rest) *rest = path.substr(after);
  return true;
}

// The file a name opens: the exact name, or else the first in byte order
// that matches regardless of letter case, as on the disk.
std::map<std::string, std::shared_ptr<Bytes>>::iterator Find(const std::string& path) {
  auto& files = TheRegistry().files;
  auto exact = files.find(path);
  if (exact != files.end()) return exact;
  for (auto it = files.begin(); it != files.end(); ++it)
    if (EqualNoCase(it->first, path)) return it;
  return files.end();
}

bool IsDirectory(const std::string& path) {
  for (const std::string& root : TheRegistry().roots)
    if (EqualNoCase(root, path)) return true;
  for (const auto& file : TheRegistry().files) {
    std::string rest;
    if (Below(file.first, path, &rest, true) && !rest.empty()) return true;
  }
  return false;
}

OpenMemoryFile* Slot(NativeFile file) {
  auto& handles = TheRegistry().handles;
  if (!file.in_memory || file.value < 0 || static_cast<std::size_t>(file.value) >= handles.size())
    return nullptr;
  OpenMemoryFile& slot = handles[static_cast<std::size_t>(file.value)];
  return slot.bytes ? &slot : nullptr;
}

}  // namespace

void MountMemoryDirectory(const std::string& root) {
  Guarded(false, [&] {
    if (!memory::Serves(root)) TheRegistry().roots.push_back(root);
    return true;
  });
}

void UnmountMemoryDirectories() {
  TheRegistry().roots.clear();
  TheRegistry().files.clear();
}

bool PutMemoryFile(const std::string& path, const void* data, std::size_t size) {
  return Guarded(false, [&] {
    if (!memory::Serves(path) || IsDirectory(path) || size > kLargestPosition) return false;
    const uint8_t* begin = static_cast<const uint8_t*>(data);
    auto bytes = std::make_shared<Bytes>(begin, begin + size);
    auto found = Find(path);
    if (found != TheRegistry().files.end())
      found->second = bytes;
    else
      TheRegistry().files[path] = bytes;
    return true;
  });
}

bool GetMemoryFile(const std::string& path, std::vector<uint8_t>& bytes) {
  return Guarded(false, [&] {
    auto found = Find(path);
    if (found == TheRegistry().files.end()) return false;
    bytes = *found->second;
    return true;
  });
}

namespace memory {

bool Serves(const std::string& path) {
  return Guarded(false, [&] {
    for (const std::string& root : TheRegistry().roots)
      if (Below(path, root, nullptr, true)) return true;
    return false;
  });
}

NativeFile Open(const std::string& path, uint32_t access, uint32_t creation) {
  return Guarded(NativeFile(), [&] {
    NativeFile result;
    if (IsDirectory(path)) return result;
    auto found = Find(path);
    const bool exists = found != TheRegistry().files.end();
    std::shared_ptr<Bytes> bytes;
    switch (creation) {
      case kOpenExisting:
        if (!exists) return result;
        bytes = found->second;
        break;
      case kCreateNew:
        if (exists) return result;
        bytes = std::make_shared<Bytes>();
        TheRegistry().files[path] = bytes;
        break;
      case kCreateAlways:
        // Truncated in place, as on the disk: handles already open see it.
        if (exists) {
          bytes = found->second;
          bytes->clear();
        } else {
          bytes = std::make_shared<Bytes>();
          TheRegistry().files[path] = bytes;
        }
        break;
      default:
        return result;
    }
    auto& handles = TheRegistry().handles;
    std::size_t index = 0;
    while (index < handles.size() && handles[index].bytes) ++index;
    if (index == handles.size()) handles.emplace_back();
    handles[index].bytes = bytes;
    handles[index].position = 0;
    handles[index].writable = (access & kGenericWrite) != 0;
    result.value = static_cast<intptr_t>(index);
    result.in_memory = true;
    return result;
  });
}

void Close(NativeFile file) {
  if (OpenMemoryFile* slot = Slot(file)) slot->bytes.reset();
}

bool Read(NativeFile file, void* buffer, uint32_t count, uint32_t& done) {
  done = 0;
  OpenMemoryFile* slot = Slot(file);
  if (!slot) return false;
  const Bytes& bytes = *slot->bytes;
  if (slot->position < bytes.size()) {
    const uint64_t available = bytes.size() - slot->position;
    done = static_cast<uint32_t>(count < available ? count : available);
    std::copy_n(bytes.data() + slot->position, done, static_cast<uint8_t*>(buffer));
    slot->position += done;
  }
  return true;
}

bool Write(NativeFile file, const void* buffer, uint32_t count, uint32_t& done) {
  return Guarded(false, [&] {
    done = 0;
    OpenMemoryFile* slot = Slot(file);
    if (!slot || !slot->writable) return false;
    const uint64_t end = uint64_t{slot->position} + count;
    if (end > kLargestPosition) return false;
    Bytes& bytes = *slot->bytes;
    if (bytes.size() < end) bytes.resize(static_cast<std::size_t>(end));  // a gap reads as zeros
    std::copy_n(static_cast<const uint8_t*>(buffer), count, bytes.data() + slot->position);
    slot->position = static_cast<uint32_t>(end);
    done = count;
    return true;
  });
}

uint32_t Seek(NativeFile file, uint32_t position) {
  OpenMemoryFile* slot = Slot(file);
  if (!slot || position == kSeekFailed) return kSeekFailed;
  slot->position = position;
  return position;
}

uint32_t Tell(NativeFile file) {
  OpenMemoryFile* slot = Slot(file);
  return slot ? slot->position : kSeekFailed;
}

uint32_t Size(NativeFile file) {
  OpenMemoryFile* slot = Slot(file);
  return slot ? static_cast<uint32_t>(slot->bytes->size()) : kSeekFailed;
}

bool Attributes(const std::string& path, uint32_t& attributes) {
  return Guarded(false, [&] {
    if (IsDirectory(path)) {
      attributes = kAttributeDirectory;
      return true;
    }
    if (Find(path) == TheRegistry().files.end()) return false;
    attributes = kAttributeNormal;
    return true;
  });
}

std::vector<DirectoryEntry> List(const std::string& directory) {
  return Guarded(std::vector<DirectoryEntry>(), [&] {
    std::vector<DirectoryEntry> entries;
    if (!IsDirectory(directory)) return entries;
    for (const auto& file : TheRegistry().files) {
      std::string rest;
      if (!Below(file.first, directory, &rest, true) || rest.empty()) continue;
      std::size_t cut = 0;
      while (cut < rest.size() && !IsSeparator(rest[cut])) ++cut;
      DirectoryEntry entry;
      entry.name = rest.substr(0, cut);
      entry.attributes = cut < rest.size() ? kAttributeDirectory : kAttributeNormal;
      if (!entries.empty() && entries.back().name == entry.name) continue;  // one per subdirectory
      entries.push_back(entry);
    }
    return entries;
  });
}

}  // namespace memory
}  // namespace platform
