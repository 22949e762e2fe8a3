#pragma once
// The archive directory reader and the cache of open library archives that
// QuorLibFile members read through.

#include <cstdint>

#include "runtime/file/directory.h"
#include "runtime/file/file.h"
#include "runtime/success.h"

/// Most entries an archive directory may hold.
constexpr uint32_t kLibMaxEntries = 500;
/// Archives open at one time.
constexpr int kLibCacheSize = 20;
/// Size of one directory entry on disk.
constexpr uint32_t kLibEntrySize = 27;

/// One directory entry as the library uses it.
struct LibEntry {
  uint8_t typeHigh = 0;    ///< high byte of the member type; 0 for members that open
  bool named = false;      ///< false when the name field holds no terminator
  uint32_t length = 0;
  uint32_t offset = 0;
  char name[13] = {};
};

/// Decodes one 27-byte directory entry.
LibEntry libDecodeEntry(const uint8_t* bytes);

/// Reads the count and the entries from the start of `archive` into a block
/// from the memory manager (libFreeDirectory releases it). A directory that
/// is short or holds more than kLibMaxEntries entries fails and gives no
/// entries.
success libReadDirectory(QuorFile* archive, LibEntry** entries, uint32_t* count);
void libFreeDirectory(LibEntry* entries);

/// The index of the first entry named `name` regardless of case, or -1.
int libFindEntry(const LibEntry* entries, uint32_t count, const char* name);
/// Whether the entry can be opened in an archive of `archiveSize` bytes.
bool libEntryOpens(const LibEntry& entry, uint32_t archiveSize);

/// One cached archive.
struct LibArchive {
  uint32_t drive = 0;
  int32_t references = 0;
  uint64_t stamp = 0;
  QuorFile* archive = nullptr;
  uint32_t position = 0;        ///< the archive's read position, when known
  bool positionKnown = false;
  uint32_t size = 0;
  uint32_t count = 0;
  char directory[kFileDirSize] = {};
  char name[kFileFindNameSize] = {};
  LibEntry* entries = nullptr;
  uint8_t inUse = 0;
  uint32_t generation = 0;      ///< changes whenever the entry is freed
};

/// The cache entry at `index` (0 .. kLibCacheSize - 1).
LibArchive& libCacheEntry(int index);
/// The entry in use for this drive, directory (the same directory on disk)
/// and archive name (regardless of case), stamped and with a reference
/// added; -1 if none.
int libCacheFind(uint32_t drive, const char* directory, const char* name);
/// Puts an opened archive into a free entry, or in place of the least
/// recently used one (idle entries first), reads its directory and answers
/// the entry with two references: the cache's and the caller's. The cache
/// owns `archive` from here on, also on failure (-1).
int libCacheAdd(uint32_t drive, const char* directory, const char* name, QuorFile* archive);
/// Drops one reference; at none the archive is closed and the entry freed.
void libCacheRelease(int index);
/// Closes every archive and frees every entry.
void libCacheClear();
/// Brings the archive of entry `index` to `position` unless it is there.
success libCacheSeek(int index, uint32_t position);
