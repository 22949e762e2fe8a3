#pragma once
// The file layer: the library's open files (QuorFile and its subclasses),
// the file calls on them, and typed little-endian reads and writes.
// Every call answers success (1) or failure (0) and prints nothing.

#include <cstddef>
#include <cstdint>
#include <cstdio>

#include "runtime/success.h"

/// Kinds of open file.
enum : int { kQuorRawFile = 0, kQuorLibFile = 1, kQuorBufferedFile = 2 };

/// The library's open file. Objects come from the memory manager.
class QuorFile {
 public:
  QuorFile(int kind, const char* name);
  virtual ~QuorFile();
  QuorFile(const QuorFile&) = delete;
  QuorFile& operator=(const QuorFile&) = delete;

  virtual success Close() = 0;
  /// Succeeds only if all `count` bytes were read.
  virtual success ReadExact(void* buffer, uint32_t count) = 0;
  /// Reads up to `count` bytes; `*got` receives how many.
  virtual success ReadAtMost(uint32_t* got, void* buffer, uint32_t count) = 0;
  /// Succeeds only if all `count` bytes were written.
  virtual success Write(const void* data, uint32_t count) = 0;
  virtual success SeekFromStart(int32_t offset) = 0;
  /// The new position is size - distance.
  virtual success SeekFromEnd(int32_t distance) = 0;
  virtual success SeekFromCurrent(int32_t offset) = 0;
  virtual uint32_t GetCurrentPosition() = 0;
  virtual uint32_t Size() = 0;
  /// The name the file was opened with (up to 255 characters).
  virtual const char* Name();

  /// From the memory manager; none (no exception) when it has no memory.
  static void* operator new(std::size_t size) noexcept;
  static void operator delete(void* block);

 protected:
  char name_[256];
  std::FILE* stream_ = nullptr;
  int kind_;
  uint8_t open_ = 0;
  /// Set when the opening path was longer than the name can hold.
  uint8_t nameCut_ = 0;
};

/// A byte stream used directly (fileCreate, fileOpenModify).
class QuorRawFile : public QuorFile {
 public:
  explicit QuorRawFile(const char* name, int kind = kQuorRawFile);
  ~QuorRawFile() override;
  /// Opens the stream with the open flags (create: "w+b"); fails when the
  /// name had to be cut to 255 characters.
  success Open(bool create, uint32_t flags);
  /// The same for `path`, of which the name may hold only the start.
  success Open(const char* path, bool create, uint32_t flags);
  /// The stream open mode for the open flags (create: "w+b").
  static const char* StreamMode(bool create, uint32_t flags);

  success Close() override;
  success ReadExact(void* buffer, uint32_t count) override;
  success ReadAtMost(uint32_t* got, void* buffer, uint32_t count) override;
  success Write(const void* data, uint32_t count) override;
  success SeekFromStart(int32_t offset) override;
  success SeekFromEnd(int32_t distance) override;
  success SeekFromCurrent(int32_t offset) override;
  uint32_t GetCurrentPosition() override;
  uint32_t Size() override;

 protected:
  /// True when the object is a file of a known kind with an open stream.
  bool Usable() const;
  /// Moves the stream to `position`, which must lie within 32 bits.
  success SeekStreamTo(int64_t position);

 private:
  enum LastAccess : uint8_t { kNoAccess, kReadAccess, kWriteAccess };
  /// C streams need a seek between reading and writing.
  bool PrepareAccess(LastAccess access);
  LastAccess lastAccess_ = kNoAccess;
};

/// A read-only stream with a 2048-byte read buffer (fileOpenRead).
class QuorBufferedFile : public QuorRawFile {
 public:
  static constexpr uint32_t kBufferSize = 2048;
  explicit QuorBufferedFile(const char* name);
  /// Opens for reading and fills the buffer once; fails when the name had
  /// to be cut to 255 characters.
  success OpenRead();
  /// The same for `path`, of which the name may hold only the start.
  success OpenRead(const char* path);
  /// Reads `size` bytes at `data` (valid until closed) instead of a file.
  success OpenReadMemory(const void* data, uint32_t size);

  success ReadExact(void* buffer, uint32_t count) override;
  success ReadAtMost(uint32_t* got, void* buffer, uint32_t count) override;
  success Write(const void* data, uint32_t count) override;
  success SeekFromStart(int32_t offset) override;
  success SeekFromEnd(int32_t distance) override;
  success SeekFromCurrent(int32_t offset) override;
  uint32_t GetCurrentPosition() override;

 private:
  success Refill(bool force);
  success FillFirst();
  uint32_t Unread() const;

  int offset_ = 0;
  uint8_t* start_ = nullptr;
  uint8_t* end_ = nullptr;
  uint8_t buffer_[kBufferSize];
  uint8_t endOfFile_ = 0;
};

// Lifecycle.
success fileBegin();
void fileEnd();
bool fileInitialized();

// Opening and closing.
success fileCreate(QuorFile** out, const char* path);
success fileOpenModify(QuorFile** out, const char* path);
success fileOpenRead(QuorFile** out, const char* path);
/// A read-only buffered file over `size` bytes at `data`, which must stay
/// valid until the file is closed; named "memory".
success fileOpenMemory(QuorFile** out, const void* data, uint32_t size);
/// Closes the file; on success the object is destroyed.
success fileClose(QuorFile* file);
/// How many open files the registry holds (of at most 20).
uint32_t fileRegistryCount();

// Access, forwarded to the file's operations.
success fileReadExact(QuorFile* file, void* buffer, uint32_t count);
success fileReadAtMost(QuorFile* file, uint32_t* got, void* buffer,
                       uint32_t count);
success fileWrite(QuorFile* file, const void* data, uint32_t count);
success fileSeekFromStart(QuorFile* file, int32_t offset);
success fileSeekFromEnd(QuorFile* file, int32_t distance);
success fileSeekFromCurrent(QuorFile* file, int32_t offset);
uint32_t fileGetCurrentPosition(QuorFile* file);
uint32_t fileSize(QuorFile* file);
const char* fileName(QuorFile* file);

/// Formats into a 1024-byte buffer and writes the text without its zero.
/// Text of more than 1023 characters fails and writes nothing.
success filePrintf(QuorFile* file, const char* format, ...);

// Typed little-endian access; success only if the whole value moved.
success fileReadInt8(QuorFile* file, int8_t* value);
success fileReadUint8(QuorFile* file, uint8_t* value);
success fileReadInt16(QuorFile* file, int16_t* value);
success fileReadUint16(QuorFile* file, uint16_t* value);
success fileReadInt32(QuorFile* file, int32_t* value);
success fileReadUint32(QuorFile* file, uint32_t* value);
success fileReadFloat(QuorFile* file, float* value);
success fileReadDouble(QuorFile* file, double* value);
success fileWriteInt8(QuorFile* file, int8_t value);
success fileWriteUint8(QuorFile* file, uint8_t value);
success fileWriteInt16(QuorFile* file, int16_t value);
success fileWriteUint16(QuorFile* file, uint16_t value);
success fileWriteInt32(QuorFile* file, int32_t value);
success fileWriteUint32(QuorFile* file, uint32_t value);
success fileWriteFloat(QuorFile* file, float value);
success fileWriteDouble(QuorFile* file, double value);
