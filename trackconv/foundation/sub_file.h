#pragma once
// SubFile: a window with its own position onto a DiskFile, either the whole
// file or one member of an archive. Readers and writers see files only as
// SubFiles.

#include <cstdint>
#include <string>

#include "trackconv/foundation/disk_file.h"
#include "trackconv/foundation/handle.h"

class SubFile {
 public:
  /// A whole file: opened for reading, or created (replacing an old file or
  /// failing when one exists). The name is kept as given.
  SubFile(const std::string& name, bool writable, bool replace);
  /// An archive member at a fixed offset and length; the name is lower-cased.
  SubFile(const Handle<DiskFile>& file, const std::string& name,
          uint32_t offset, uint32_t length);
  /// A whole, already open file reported under `name` (kept as given).
  SubFile(const Handle<DiskFile>& file, const std::string& name);
  virtual ~SubFile();

  /// Moves to `position` within the window; the end itself is allowed.
  void Seek(uint32_t position);
  /// Reads exactly `count` bytes; refused past the window's end.
  void Read(uint32_t count, void* buffer);
  /// Writes exactly `count` bytes; a whole file grows, a member cannot.
  void Write(uint32_t count, const void* buffer);

  uint32_t Size() const { return length_; }
  uint32_t Position() const { return position_; }
  const std::string& GetName() const { return name_; }
  const std::string& GetExtension() const { return extension_; }
  const Handle<DiskFile>& GetDiskFile() const { return file_; }

 private:
  Handle<DiskFile> file_;
  std::string name_;
  std::string extension_;
  uint32_t offset_ = 0;
  uint32_t length_ = 0;
  uint32_t position_ = 0;
};
