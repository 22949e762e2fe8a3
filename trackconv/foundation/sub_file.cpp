#include "trackconv/foundation/sub_file.h"

#include "trackconv/foundation/errors.h"
#include "trackconv/foundation/paths.h"

namespace {
// Positions and sizes are 32-bit and 0xFFFFFFFF is the failure value, so a
// window can never reach past 0xFFFFFFFE.
constexpr uint64_t kLargestPosition = 0xFFFFFFFEu;

Handle<DiskFile> OpenWhole(const std::string& name, bool writable, bool replace) {
  if (!writable) return DiskFile::OpenForRead(name);
  return replace ? DiskFile::CreateReplacing(name) : DiskFile::CreateNew(name);
}
}  // namespace

SubFile::SubFile(const std::string& name, bool writable, bool replace)
    : file_(OpenWhole(name, writable, replace)),
      name_(name),
      extension_(ExtensionOf(name)),
      length_(file_->Size()) {}

SubFile::SubFile(const Handle<DiskFile>& file, const std::string& name, uint32_t offset,
                 uint32_t length)
    : file_(file),
      name_(ToLower(name)),
      extension_(ExtensionOf(name_)),
      offset_(offset),
      length_(length) {}

SubFile::SubFile(const Handle<DiskFile>& file, const std::string& name)
    : file_(file), name_(name), extension_(ExtensionOf(name)), length_(file_->Size()) {}

SubFile::~SubFile() = default;

void SubFile::Seek(uint32_t position) {
  if (position > length_ || offset_ + uint64_t{position} > kLargestPosition)
    throw XFileSeek(name_);
  try {
    file_->Seek(offset_ + position);
  } catch (const XFileSeek&) {
    throw XFileSeek(name_);
  }
  position_ = position;
}

void SubFile::Read(uint32_t count, void* buffer) {
  if (uint64_t{position_} + count > length_) throw XFileRead(name_);
  Seek(position_);
  try {
    file_->Read(count, buffer);
  } catch (const XFileRead&) {
    throw XFileRead(name_);
  } catch (const XFileSeek&) {
    throw XFileSeek(name_);
  }
  position_ += count;
}

void SubFile::Write(uint32_t count, const void* buffer) {
  uint64_t end = uint64_t{position_} + count;
  if ((offset_ != 0 && end > length_) || offset_ + end > kLargestPosition) throw XFileWrite(name_);
  Seek(position_);
  try {
    file_->Write(count, buffer);
  } catch (const XFileWrite&) {
    throw XFileWrite(name_);
  } catch (const XFileSeek&) {
    throw XFileSeek(name_);
  }
  position_ += count;
  if (position_ > length_) length_ = position_;
}
