#pragma once
// Files opened by name from the current directory, loose or as members of
// the directory's library archive, on the home drive or its CD-ROM copy.

#include <cstdint>

#include "runtime/file/file.h"
#include "runtime/success.h"

success libfileBegin();
void libfileEnd();
/// Opens the loose file, else the CD-ROM copy, else the archive member.
success libfileOpenRead(QuorFile** out, const char* name);
bool libfileExists(const char* name);

/// A read-only member of a cached library archive. It holds a reference to
/// its cache entry; once that entry is evicted every read and seek fails.
class QuorLibFile : public QuorFile {
 public:
  explicit QuorLibFile(const char* name);
  ~QuorLibFile() override;

  /// Takes the member `name` of cache entry `entry`, whose reference this
  /// file now holds (released by Close, also when the member is missing).
  success OpenMember(int entry, const char* name);

  success Close() override;
  success ReadExact(void* buffer, uint32_t count) override;
  success ReadAtMost(uint32_t* got, void* buffer, uint32_t count) override;
  success Write(const void* data, uint32_t count) override;
  success SeekFromStart(int32_t offset) override;
  success SeekFromEnd(int32_t distance) override;
  success SeekFromCurrent(int32_t offset) override;
  uint32_t GetCurrentPosition() override;
  uint32_t Size() override;

 private:
  /// Reads `count` bytes at the position, which the caller keeps in bounds.
  success ReadHere(void* buffer, uint32_t count);
  success SeekTo(int64_t position);

  uint32_t offset_ = 0;
  uint32_t length_ = 0;
  uint32_t position_ = 0;
  int entry_ = -1;
  uint32_t generation_ = 0;
};
