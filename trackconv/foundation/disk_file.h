#pragma once
// DiskFile: one open file with unbuffered positioned reads and writes and a
// one-time upgrade from read access to write access.

#include <cstdint>
#include <string>

#include "platform/native_file.h"
#include "trackconv/foundation/handle.h"

class DiskFile {
 public:
  /// Opens an existing file for reading (shared for reading).
  static Handle<DiskFile> OpenForRead(const std::string& name);
  /// Creates a new file for reading and writing; fails if it exists.
  static Handle<DiskFile> CreateNew(const std::string& name);
  /// Creates an empty file for reading and writing, truncating an old one.
  static Handle<DiskFile> CreateReplacing(const std::string& name);

  virtual ~DiskFile();
  DiskFile(const DiskFile&) = delete;
  DiskFile& operator=(const DiskFile&) = delete;

  /// Reads exactly `count` bytes at the current position (XFileRead).
  void Read(uint32_t count, void* buffer);
  /// Writes exactly `count` bytes at the current position (XFileWrite).
  void Write(uint32_t count, const void* buffer);
  /// Moves to an absolute position (XFileSeek).
  void Seek(uint32_t position);
  uint32_t Tell();
  uint32_t Size();

  const std::string& FullPath() const { return state_->full_path; }
  bool Writable() const { return state_->writable; }

 private:
  struct State {
    bool writable = false;
    platform::NativeFile file;
    std::string full_path;
    uint32_t access = 0;
    ~State();
  };

  DiskFile() = default;
  static Handle<DiskFile> Open(const std::string& name, uint32_t access,
                               uint32_t creation);
  void UpgradeToWrite();

  Handle<State> state_;
};
