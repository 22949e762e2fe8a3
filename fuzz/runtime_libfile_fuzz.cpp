// Feeds arbitrary bytes, held in memory, to the library archive reader as a
// cached archive, then opens, reads and seeks its members, two of them
// interleaved. Failures are clean refusals; a crash, a sanitizer report or
// a hang is a fault.

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "runtime/file/file.h"
#include "runtime/lib/lib_archive.h"
#include "runtime/lib/libfile.h"

namespace {

// An archive file held in memory.
class MemoryFile : public QuorFile {
 public:
  MemoryFile(const uint8_t* data, uint32_t size) : QuorFile(kQuorRawFile, "fuzz.dat"), data_(data), size_(size) {
    open_ = 1;
  }
  success Close() override {
    open_ = 0;
    return 1;
  }
  success ReadExact(void* buffer, uint32_t count) override {
    uint32_t got = 0;
    return ReadAtMost(&got, buffer, count) && got == count;
  }
  success ReadAtMost(uint32_t* got, void* buffer, uint32_t count) override {
    *got = count < size_ - position_ ? count : size_ - position_;
    if (*got) std::memcpy(buffer, data_ + position_, *got);
    position_ += *got;
    return 1;
  }
  success Write(const void*, uint32_t) override { return 0; }
  success SeekFromStart(int32_t offset) override { return SeekTo(offset); }
  success SeekFromEnd(int32_t distance) override { return SeekTo(static_cast<int64_t>(size_) - distance); }
  success SeekFromCurrent(int32_t offset) override { return SeekTo(static_cast<int64_t>(position_) + offset); }
  uint32_t GetCurrentPosition() override { return position_; }
  uint32_t Size() override { return size_; }

 private:
  success SeekTo(int64_t position) {
    if (position < 0 || position > size_) return 0;
    position_ = static_cast<uint32_t>(position);
    return 1;
  }
  const uint8_t* data_;
  uint32_t size_;
  uint32_t position_ = 0;
};

constexpr uint32_t kDrive = 2;
const char kDirectory[] = "/fuzz";
const char kArchive[] = "fuzz.dat";

void ReadSome(QuorFile* member, uint8_t* buffer, uint32_t count) {
  uint32_t got = 0;
  fileReadAtMost(member, &got, buffer, count);
  fileReadExact(member, buffer, count);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > 1 << 20) return 0;
  libCacheClear();
  const int entry = libCacheAdd(kDrive, kDirectory, kArchive, new MemoryFile(data, static_cast<uint32_t>(size)));
  if (entry < 0) return 0;
  libCacheRelease(entry);  // only the cache holds it now

  const LibArchive& archive = libCacheEntry(entry);
  const uint32_t count = archive.count < 8 ? archive.count : 8;
  QuorLibFile* members[8] = {};
  uint8_t buffer[64];
  for (uint32_t i = 0; i < count; ++i) {
    char name[sizeof archive.entries[i].name];
    std::memcpy(name, archive.entries[i].name, sizeof name);
    members[i] = new QuorLibFile(name);
    if (libCacheFind(kDrive, kDirectory, kArchive) != entry || !members[i]->OpenMember(entry, name)) continue;
    ReadSome(members[i], buffer, 17);
    if (i > 0) ReadSome(members[i - 1], buffer, 5);
    fileSeekFromEnd(members[i], 3);
    ReadSome(members[i], buffer, sizeof buffer);
    fileSeekFromCurrent(members[i], -7);
    fileSeekFromStart(members[i], static_cast<int32_t>(i * 31));
    ReadSome(members[i], buffer, 9);
  }
  for (QuorLibFile* member : members)
    if (member) fileClose(member);
  libCacheClear();
  return 0;
}
