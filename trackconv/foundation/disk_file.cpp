#include "trackconv/foundation/disk_file.h"

#include "platform/path.h"
#include "trackconv/foundation/errors.h"

using platform::kGenericRead;
using platform::kGenericWrite;
using platform::kSeekFailed;

namespace {
uint32_t ShareModeFor(bool writable) { return writable ? 0 : platform::kShareRead; }
}  // namespace

DiskFile::State::~State() { platform::CloseFile(file); }

DiskFile::~DiskFile() = default;

Handle<DiskFile> DiskFile::Open(const std::string& name, uint32_t access, uint32_t creation) {
  Handle<DiskFile> disk_file(new DiskFile());
  disk_file->state_ = new State();
  State& state = *disk_file->state_;

  std::size_t last_component;
  if (!platform::FullPathName(name, state.full_path, last_component)) throw XFileOpen(name);
  state.writable = (access & kGenericWrite) != 0;
  state.access = access;
  state.file = platform::OpenFile(state.full_path, access, ShareModeFor(state.writable), creation);
  if (!state.file.valid()) throw XFileOpen(state.full_path);
  return disk_file;
}

Handle<DiskFile> DiskFile::OpenForRead(const std::string& name) {
  return Open(name, kGenericRead, platform::kOpenExisting);
}

Handle<DiskFile> DiskFile::CreateNew(const std::string& name) {
  return Open(name, kGenericRead | kGenericWrite, platform::kCreateNew);
}

Handle<DiskFile> DiskFile::CreateReplacing(const std::string& name) {
  return Open(name, kGenericRead | kGenericWrite, platform::kCreateAlways);
}

void DiskFile::Read(uint32_t count, void* buffer) {
  uint32_t done = 0;
  if (!state_->file.valid() || !platform::ReadFile(state_->file, buffer, count, done) ||
      done != count)
    throw XFileRead(state_->full_path);
}

void DiskFile::UpgradeToWrite() {
  State& state = *state_;
  uint32_t position = Tell();
  platform::CloseFile(state.file);
  state.file = platform::OpenFile(state.full_path, state.access | kGenericWrite,
                                  ShareModeFor(true), platform::kOpenExisting);
  if (state.file.valid()) {
    state.writable = true;
  } else {
    state.file = platform::OpenFile(state.full_path, state.access, ShareModeFor(false),
                                    platform::kOpenExisting);
  }
  // When even the read-only reopen failed the file is gone; the write below
  // reports that, and later calls fail with their own errors.
  if (state.file.valid()) Seek(position);
}

void DiskFile::Write(uint32_t count, const void* buffer) {
  if (!state_->writable) {
    UpgradeToWrite();
    if (!state_->writable) throw XFileWrite(state_->full_path);
  }
  uint32_t done = 0;
  if (!platform::WriteFile(state_->file, buffer, count, done) || done != count)
    throw XFileWrite(state_->full_path);
}

void DiskFile::Seek(uint32_t position) {
  if (platform::SeekFile(state_->file, position) == kSeekFailed) throw XFileSeek(state_->full_path);
}

uint32_t DiskFile::Tell() {
  uint32_t position = platform::TellFile(state_->file);
  if (position == kSeekFailed) throw XFileSeek(state_->full_path);
  return position;
}

uint32_t DiskFile::Size() {
  uint32_t size = platform::FileSize(state_->file);
  if (size == kSeekFailed) throw XFileSeek(state_->full_path);
  return size;
}
