#include "runtime/lib/lib_archive.h"

#include <cstring>

#include "platform/directory_services.h"
#include "runtime/mem.h"
#include "runtime/ascii_case.h"

namespace {

LibArchive gCache[kLibCacheSize];
uint64_t gUseCounter = 0;

uint32_t LoadU32(const uint8_t* bytes) {
  return static_cast<uint32_t>(bytes[0]) | static_cast<uint32_t>(bytes[1]) << 8 |
         static_cast<uint32_t>(bytes[2]) << 16 | static_cast<uint32_t>(bytes[3]) << 24;
}

bool Valid(int index) { return index >= 0 && index < kLibCacheSize && gCache[index].inUse; }

// Closes the archive and frees the entry, whatever references remain: any
// member still holding one sees the generation change and fails from then on.
void Free(LibArchive& entry) {
  if (entry.archive && !fileClose(entry.archive)) delete entry.archive;
  libFreeDirectory(entry.entries);
  entry.archive = nullptr;
  entry.entries = nullptr;
  entry.count = 0;
  entry.references = 0;
  entry.positionKnown = false;
  entry.inUse = 0;
  ++entry.generation;
}

int FreeOrVictim() {
  for (int i = 0; i < kLibCacheSize; ++i)
    if (!gCache[i].inUse) return i;
  // Least recently used, preferring archives no member reads from.
  int victim = -1;
  for (int pass = 0; pass < 2 && victim < 0; ++pass) {
    for (int i = 0; i < kLibCacheSize; ++i) {
      if (pass == 0 && gCache[i].references > 1) continue;
      if (victim < 0 || gCache[i].stamp < gCache[victim].stamp) victim = i;
    }
  }
  Free(gCache[victim]);
  return victim;
}

bool CopyText(char* target, const char* text, size_t size) {
  const size_t length = std::strlen(text);
  if (length >= size) return false;
  std::memcpy(target, text, length + 1);
  return true;
}

}  // namespace

LibEntry libDecodeEntry(const uint8_t* bytes) {
  LibEntry entry;
  // The low byte of the type is not looked at.
  entry.typeHigh = bytes[1];
  entry.length = LoadU32(bytes + 2);
  // bytes 6..9 repeat the length and are not read.
  std::memcpy(entry.name, bytes + 10, sizeof entry.name);
  entry.named = std::memchr(entry.name, 0, sizeof entry.name) != nullptr;
  if (!entry.named) entry.name[0] = 0;
  entry.offset = LoadU32(bytes + 23);
  return entry;
}

success libReadDirectory(QuorFile* archive, LibEntry** entries, uint32_t* count) {
  *entries = nullptr;
  *count = 0;
  uint16_t stored = 0;
  if (!fileSeekFromStart(archive, 0) || !fileReadUint16(archive, &stored)) return 0;
  if (stored > kLibMaxEntries) return 0;
  if (stored == 0) return 1;

  void* block = nullptr;
  if (!_memAlloc(&block, static_cast<uint32_t>(stored * sizeof(LibEntry)))) return 0;
  LibEntry* list = static_cast<LibEntry*>(block);
  for (uint32_t i = 0; i < stored; ++i) {
    uint8_t bytes[kLibEntrySize];
    if (!fileReadExact(archive, bytes, kLibEntrySize)) {
      memFree(block);
      return 0;
    }
    list[i] = libDecodeEntry(bytes);
  }
  *entries = list;
  *count = stored;
  return 1;
}

void libFreeDirectory(LibEntry* entries) {
  if (entries) memFree(entries);
}

int libFindEntry(const LibEntry* entries, uint32_t count, const char* name) {
  for (uint32_t i = 0; i < count; ++i)
    if (entries[i].named && EqualNoCase(entries[i].name, name)) return static_cast<int>(i);
  return -1;
}

bool libEntryOpens(const LibEntry& entry, uint32_t archiveSize) {
  // Members are reached with signed 32-bit seeks and must lie inside the file.
  const uint64_t end = static_cast<uint64_t>(entry.offset) + entry.length;
  return entry.typeHigh == 0 && entry.named && end <= archiveSize && end <= 0x7FFFFFFFu;
}

LibArchive& libCacheEntry(int index) { return gCache[index]; }

int libCacheFind(uint32_t drive, const char* directory, const char* name) {
  for (int i = 0; i < kLibCacheSize; ++i) {
    LibArchive& entry = gCache[i];
    if (!entry.inUse || entry.drive != drive || !EqualNoCase(entry.name, name)) continue;
    // The directory itself is the key: two that differ only in letter case
    // are two directories where the system says so.
    if (std::strcmp(entry.directory, directory) != 0 && !platform::SameDirectory(entry.directory, directory))
      continue;
    entry.stamp = ++gUseCounter;
    ++entry.references;
    return i;
  }
  return -1;
}

int libCacheAdd(uint32_t drive, const char* directory, const char* name, QuorFile* archive) {
  if (!archive) return -1;
  const int index = FreeOrVictim();
  LibArchive& entry = gCache[index];
  entry.archive = archive;
  entry.inUse = 1;
  if (!CopyText(entry.directory, directory, sizeof entry.directory) ||
      !CopyText(entry.name, name, sizeof entry.name)) {
    Free(entry);
    return -1;
  }
  entry.drive = drive;
  entry.references = 2;
  entry.size = fileSize(archive);
  // An unreadable directory leaves an archive without members.
  entry.positionKnown = libReadDirectory(archive, &entry.entries, &entry.count) != 0;
  entry.position = 2 + kLibEntrySize * entry.count;
  entry.stamp = ++gUseCounter;
  return index;
}

void libCacheRelease(int index) {
  if (!Valid(index)) return;
  if (--gCache[index].references <= 0) Free(gCache[index]);
}

void libCacheClear() {
  for (LibArchive& entry : gCache)
    if (entry.inUse) Free(entry);
}

success libCacheSeek(int index, uint32_t position) {
  if (!Valid(index)) return 0;
  LibArchive& entry = gCache[index];
  if (entry.positionKnown && entry.position == position) return 1;
  entry.positionKnown = fileSeekFromStart(entry.archive, static_cast<int32_t>(position)) != 0;
  entry.position = position;
  return entry.positionKnown ? 1 : 0;
}
