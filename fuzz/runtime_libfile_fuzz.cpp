// Feeds arbitrary bytes, read by the file layer from memory, to the library archive reader as a
// cached archive, then opens, reads and seeks its members, two of them
// interleaved. Failures are clean refusals; a crash, a sanitizer report or
// a hang is a fault.

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "runtime/file/file.h"
#include "runtime/frame.h"
#include "runtime/lib/lib_archive.h"
#include "runtime/lib/libfile.h"

namespace {

constexpr uint32_t kDrive = 2;
const char kDirectory[] = "/fuzz";
const char kArchive[] = "fuzz.dat";

void ReadSome(QuorFile* member, uint8_t* buffer, uint32_t count) {
  uint32_t got = 0;
  fileReadAtMost(member, &got, buffer, count);
  fileReadExact(member, buffer, count);
}

}  // namespace

// The frame in the library calls an application entry; the fuzzer never runs it.
int pixmillMain(int, char**) { return 0; }

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > 1 << 20) return 0;
  libCacheClear();
  // The archive is the file layer's buffered file, reading from memory.
  QuorBufferedFile* file = new QuorBufferedFile(kArchive);
  if (!file || !file->OpenReadMemory(size ? data : reinterpret_cast<const uint8_t*>(""), static_cast<uint32_t>(size))) {
    delete file;
    return 0;
  }
  const int entry = libCacheAdd(kDrive, kDirectory, kArchive, file);
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
