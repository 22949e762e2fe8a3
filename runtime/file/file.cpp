#include "runtime/file/file.h"

#include <cstdarg>
#include <cstring>

#include "platform/stream.h"
#include "runtime/file/directory.h"
#include "runtime/frame.h"
#include "runtime/mem.h"

namespace {

constexpr int64_t kLargestPosition = 0xFFFFFFFFll;
constexpr int kRegistrySize = 20;

struct FileEntry {
  QuorFile* file;
  uint8_t inUse;
};

FileEntry gRegistry[kRegistrySize];
bool gInitialized = false;

void ClearRegistry() {
  for (FileEntry& entry : gRegistry) entry = FileEntry{nullptr, 0};
}

success AddFileEntry(QuorFile* file, const char* /*path*/) {
  for (FileEntry& entry : gRegistry) {
    if (!entry.inUse) {
      entry = FileEntry{file, 1};
      return 1;
    }
  }
  return 0;
}

void RemoveFileEntry(QuorFile* file) {
  for (FileEntry& entry : gRegistry)
    if (entry.inUse && entry.file == file) entry = FileEntry{nullptr, 0};
}

int64_t StreamPosition(std::FILE* stream) { return platform::TellStream(stream); }

// The size of the stream, leaving its position where it was; -1 on failure.
int64_t StreamSize(std::FILE* stream) {
  int64_t position = StreamPosition(stream);
  if (position < 0 || !platform::SeekStream(stream, 0, SEEK_END)) return -1;
  int64_t end = StreamPosition(stream);
  if (!platform::SeekStream(stream, position, SEEK_SET)) return -1;
  return end;
}

uint32_t AsPosition(int64_t position) {
  return position < 0 || position > kLargestPosition ? 0 : static_cast<uint32_t>(position);
}

}  // namespace

// QuorFile

QuorFile::QuorFile(int kind, const char* name) : kind_(kind) {
  if (!name) name = "";
  std::size_t length = std::strlen(name);
  if (length >= sizeof name_) {
    length = sizeof name_ - 1;
    nameCut_ = 1;
  }
  std::memcpy(name_, name, length);
  name_[length] = '\0';
}

QuorFile::~QuorFile() = default;

const char* QuorFile::Name() { return name_; }

void* QuorFile::operator new(std::size_t size) noexcept {
  void* block = nullptr;
  if (size > 0xFFFFFFFFu || !_memAlloc(&block, static_cast<uint32_t>(size))) return nullptr;
  return block;
}

void QuorFile::operator delete(void* block) { memFree(block); }

// QuorRawFile

QuorRawFile::QuorRawFile(const char* name, int kind) : QuorFile(kind, name) {}

QuorRawFile::~QuorRawFile() {
  if (open_) Close();
}

const char* QuorRawFile::StreamMode(bool create, uint32_t flags) {
  bool text = (flags & 0x4000) != 0;
  if (create) return text ? "w+t" : "w+b";
  if ((flags & 0x201) == 0x201) return text ? "wt" : "wb";
  if ((flags & 0x202) == 0x202) return text ? "w+t" : "w+b";
  if (flags & 0x2) return text ? "r+t" : "r+b";
  if ((flags & 0xA) == 0xA) return text ? "a+t" : "a+b";
  if (flags & 0x8) return text ? "at" : "ab";
  return text ? "rt" : "rb";
}

success QuorRawFile::Open(bool create, uint32_t flags) {
  if (nameCut_) return 0;
  return Open(name_, create, flags);
}

success QuorRawFile::Open(const char* path, bool create, uint32_t flags) {
  if (kind_ < kQuorRawFile || kind_ > kQuorBufferedFile || open_ || !path) return 0;
  stream_ = platform::OpenStream(path, StreamMode(create, flags));
  if (!stream_) return 0;
  AddFileEntry(this, path);  // a full registry does not stop the file opening
  open_ = 1;
  lastAccess_ = kNoAccess;
  return 1;
}

bool QuorRawFile::Usable() const {
  return kind_ >= kQuorRawFile && kind_ <= kQuorBufferedFile && open_ && stream_;
}

bool QuorRawFile::PrepareAccess(LastAccess access) {
  if (lastAccess_ != kNoAccess && lastAccess_ != access &&
      !platform::SeekStream(stream_, 0, SEEK_CUR))
    return false;
  lastAccess_ = access;
  return true;
}

success QuorRawFile::SeekStreamTo(int64_t position) {
  if (!Usable() || position < 0 || position > kLargestPosition) return 0;
  lastAccess_ = kNoAccess;
  return platform::SeekStream(stream_, position, SEEK_SET) ? 1 : 0;
}

success QuorRawFile::Close() {
  if (kind_ < kQuorRawFile || kind_ > kQuorBufferedFile) return 0;
  if (!open_) return 1;
  // fclose lets go of the stream even when it fails (a final flush went
  // wrong): the failure is reported, but the stream must not be used again.
  bool closed = std::fclose(stream_) == 0;
  stream_ = nullptr;
  open_ = 0;
  RemoveFileEntry(this);
  return closed ? 1 : 0;
}

success QuorRawFile::ReadExact(void* buffer, uint32_t count) {
  if (!Usable() || !PrepareAccess(kReadAccess)) return 0;
  if (count == 0) return 1;
  return std::fread(buffer, 1, count, stream_) == count ? 1 : 0;
}

success QuorRawFile::ReadAtMost(uint32_t* got, void* buffer, uint32_t count) {
  *got = 0;
  if (!Usable() || !PrepareAccess(kReadAccess)) return 0;
  if (count == 0) return 1;
  *got = static_cast<uint32_t>(std::fread(buffer, 1, count, stream_));
  return *got != 0 || !std::ferror(stream_) ? 1 : 0;
}

success QuorRawFile::Write(const void* data, uint32_t count) {
  if (!Usable() || !PrepareAccess(kWriteAccess)) return 0;
  if (count == 0) return 1;
  // A file may not grow to 4 GiB: positions and sizes are 32-bit.
  int64_t position = StreamPosition(stream_);
  if (position < 0 || position + count > kLargestPosition) return 0;
  return std::fwrite(data, 1, count, stream_) == count ? 1 : 0;
}

success QuorRawFile::SeekFromStart(int32_t offset) { return SeekStreamTo(offset); }

success QuorRawFile::SeekFromEnd(int32_t distance) {
  if (!Usable()) return 0;
  int64_t size = StreamSize(stream_);
  return size < 0 ? 0 : SeekStreamTo(size - distance);
}

success QuorRawFile::SeekFromCurrent(int32_t offset) {
  if (!Usable()) return 0;
  int64_t position = StreamPosition(stream_);
  return position < 0 ? 0 : SeekStreamTo(position + offset);
}

uint32_t QuorRawFile::GetCurrentPosition() {
  return Usable() ? AsPosition(StreamPosition(stream_)) : 0;
}

uint32_t QuorRawFile::Size() {
  if (!Usable()) return 0;
  lastAccess_ = kNoAccess;
  return AsPosition(StreamSize(stream_));
}

// QuorBufferedFile

QuorBufferedFile::QuorBufferedFile(const char* name) : QuorRawFile(name, kQuorBufferedFile) {}

success QuorBufferedFile::OpenRead() {
  if (nameCut_) return 0;
  return OpenRead(name_);
}

success QuorBufferedFile::OpenRead(const char* path) {
  if (kind_ != kQuorBufferedFile || open_ || !path) return 0;
  stream_ = platform::OpenStream(path, StreamMode(false, 0));
  return FillFirst();
}

success QuorBufferedFile::OpenReadMemory(const void* data, uint32_t size) {
  if (kind_ != kQuorBufferedFile || open_) return 0;
  stream_ = platform::OpenMemoryStream(data, size);
  return FillFirst();
}

success QuorBufferedFile::FillFirst() {
  if (!stream_) return 0;
  open_ = 1;
  offset_ = 0;
  start_ = end_ = buffer_;
  endOfFile_ = 0;
  return Refill(false);
}

uint32_t QuorBufferedFile::Unread() const {
  return static_cast<uint32_t>(end_ - start_ - offset_);
}

success QuorBufferedFile::Refill(bool force) {
  if (Unread() > 0 && !force) return 1;
  uint32_t got = 0;
  success read = QuorRawFile::ReadAtMost(&got, buffer_, kBufferSize);
  start_ = buffer_;
  offset_ = 0;
  if (!read) {
    // Nothing of the old buffer may be handed out after a failed fill.
    end_ = buffer_;
    endOfFile_ = 1;
    return 0;
  }
  end_ = buffer_ + got;
  endOfFile_ = got == 0 ? 1 : 0;
  return 1;
}

success QuorBufferedFile::ReadAtMost(uint32_t* got, void* buffer, uint32_t count) {
  *got = 0;
  if (!Refill(false)) return 1;
  uint8_t* out = static_cast<uint8_t*>(buffer);
  if (Unread() >= count) {
    if (count) std::memcpy(out, start_ + offset_, count);
    offset_ += static_cast<int>(count);
    *got = count;
    return 1;
  }
  while (!endOfFile_) {
    uint32_t take = count - *got;
    if (take > Unread()) take = Unread();
    std::memcpy(out + *got, start_ + offset_, take);
    offset_ += static_cast<int>(take);
    *got += take;
    if (*got == count || !Refill(false)) break;
  }
  return 1;
}

success QuorBufferedFile::ReadExact(void* buffer, uint32_t count) {
  // Reading nothing succeeds even at the end of the file.
  if (count == 0) return Usable() ? 1 : 0;
  if (!Refill(false) || endOfFile_) return 0;
  uint8_t* out = static_cast<uint8_t*>(buffer);
  uint32_t wanted = count;
  for (;;) {
    uint32_t take = wanted < Unread() ? wanted : Unread();
    std::memcpy(out, start_ + offset_, take);
    offset_ += static_cast<int>(take);
    out += take;
    wanted -= take;
    if (wanted == 0) return 1;
    if (!Refill(false) || endOfFile_) return 0;
  }
}

success QuorBufferedFile::Write(const void*, uint32_t) { return 0; }

success QuorBufferedFile::SeekFromStart(int32_t offset) {
  if (!QuorRawFile::SeekFromStart(offset)) return 0;
  Refill(true);
  return 1;
}

success QuorBufferedFile::SeekFromEnd(int32_t distance) {
  if (!QuorRawFile::SeekFromEnd(distance)) return 0;
  Refill(true);
  return 1;
}

success QuorBufferedFile::SeekFromCurrent(int32_t offset) {
  if (!Usable()) return 0;
  int64_t position = StreamPosition(stream_);
  if (position < 0 || !SeekStreamTo(position - Unread() + offset)) return 0;
  Refill(true);
  return 1;
}

uint32_t QuorBufferedFile::GetCurrentPosition() {
  if (!Usable()) return 0;
  int64_t position = StreamPosition(stream_);
  if (position < 0) return 0;
  return AsPosition(endOfFile_ ? position : position - Unread());
}

// Lifecycle

success fileBegin() {
  if (gInitialized) return 0;
  ClearRegistry();
  if (!fileHomeBegin(frameStartDirectory())) return 0;
  gInitialized = true;
  return 1;
}

void fileEnd() {
  if (!gInitialized) return;
  // Files still open at the end are the application's business; they are
  // counted but left alone.
  (void)fileRegistryCount();
  gInitialized = false;
}

bool fileInitialized() { return gInitialized; }

uint32_t fileRegistryCount() {
  uint32_t count = 0;
  for (const FileEntry& entry : gRegistry) count += entry.inUse ? 1 : 0;
  return count;
}

// Opening and closing

namespace {

success OpenRaw(QuorFile** out, const char* path, bool create, uint32_t flags) {
  if (!out || !path) return 0;
  QuorRawFile* file = new QuorRawFile(path);
  if (!file) return 0;
  if (!file->Open(path, create, flags)) {
    delete file;
    return 0;
  }
  *out = file;
  return 1;
}

}  // namespace

success fileCreate(QuorFile** out, const char* path) { return OpenRaw(out, path, true, 0); }

success fileOpenModify(QuorFile** out, const char* path) { return OpenRaw(out, path, false, 0x2); }

success fileOpenRead(QuorFile** out, const char* path) {
  if (!out || !path) return 0;
  QuorBufferedFile* file = new QuorBufferedFile(path);
  if (!file) return 0;
  if (!file->OpenRead(path)) {
    delete file;
    return 0;
  }
  *out = file;
  return 1;
}

success fileOpenMemory(QuorFile** out, const void* data, uint32_t size) {
  if (!out) return 0;
  QuorBufferedFile* file = new QuorBufferedFile("memory");
  if (!file) return 0;
  if (!file->OpenReadMemory(data, size)) {
    delete file;
    return 0;
  }
  *out = file;
  return 1;
}

success fileClose(QuorFile* file) {
  if (!file || !file->Close()) return 0;
  delete file;
  return 1;
}

// Access

success fileReadExact(QuorFile* file, void* buffer, uint32_t count) {
  return file ? file->ReadExact(buffer, count) : 0;
}

success fileReadAtMost(QuorFile* file, uint32_t* got, void* buffer, uint32_t count) {
  return file && got ? file->ReadAtMost(got, buffer, count) : 0;
}

success fileWrite(QuorFile* file, const void* data, uint32_t count) {
  return file ? file->Write(data, count) : 0;
}

success fileSeekFromStart(QuorFile* file, int32_t offset) {
  return file ? file->SeekFromStart(offset) : 0;
}

success fileSeekFromEnd(QuorFile* file, int32_t distance) {
  return file ? file->SeekFromEnd(distance) : 0;
}

success fileSeekFromCurrent(QuorFile* file, int32_t offset) {
  return file ? file->SeekFromCurrent(offset) : 0;
}

uint32_t fileGetCurrentPosition(QuorFile* file) { return file ? file->GetCurrentPosition() : 0; }

uint32_t fileSize(QuorFile* file) { return file ? file->Size() : 0; }

const char* fileName(QuorFile* file) { return file ? file->Name() : ""; }

success filePrintf(QuorFile* file, const char* format, ...) {
  char text[1024];
  va_list arguments;
  va_start(arguments, format);
  int length = std::vsnprintf(text, sizeof text, format, arguments);
  va_end(arguments);
  // Longer text would have been cut: rather nothing than a wrong file.
  if (length < 0 || length >= static_cast<int>(sizeof text)) return 0;
  return fileWrite(file, text, static_cast<uint32_t>(length));
}

// Typed little-endian access

namespace {

success ReadLittleEndian(QuorFile* file, uint64_t* value, uint32_t bytes) {
  uint8_t data[8];
  if (!fileReadExact(file, data, bytes)) return 0;
  uint64_t result = 0;
  for (uint32_t i = 0; i < bytes; ++i) result |= static_cast<uint64_t>(data[i]) << (8 * i);
  *value = result;
  return 1;
}

success WriteLittleEndian(QuorFile* file, uint64_t value, uint32_t bytes) {
  uint8_t data[8];
  for (uint32_t i = 0; i < bytes; ++i) data[i] = static_cast<uint8_t>(value >> (8 * i));
  return fileWrite(file, data, bytes);
}

// The unsigned integer of a value's width, through which its bits travel.
template <std::size_t Bytes>
struct BitsOf;
template <>
struct BitsOf<1> { using type = uint8_t; };
template <>
struct BitsOf<2> { using type = uint16_t; };
template <>
struct BitsOf<4> { using type = uint32_t; };
template <>
struct BitsOf<8> { using type = uint64_t; };

template <typename T>
success ReadTyped(QuorFile* file, T* value) {
  uint64_t wide;
  if (!value || !ReadLittleEndian(file, &wide, sizeof(T))) return 0;
  typename BitsOf<sizeof(T)>::type bits = static_cast<typename BitsOf<sizeof(T)>::type>(wide);
  std::memcpy(value, &bits, sizeof(T));
  return 1;
}

template <typename T>
success WriteTyped(QuorFile* file, T value) {
  typename BitsOf<sizeof(T)>::type bits;
  std::memcpy(&bits, &value, sizeof(T));
  return WriteLittleEndian(file, bits, sizeof(T));
}

}  // namespace

success fileReadInt8(QuorFile* file, int8_t* value) { return ReadTyped(file, value); }
success fileReadUint8(QuorFile* file, uint8_t* value) { return ReadTyped(file, value); }
success fileReadInt16(QuorFile* file, int16_t* value) { return ReadTyped(file, value); }
success fileReadUint16(QuorFile* file, uint16_t* value) { return ReadTyped(file, value); }
success fileReadInt32(QuorFile* file, int32_t* value) { return ReadTyped(file, value); }
success fileReadUint32(QuorFile* file, uint32_t* value) { return ReadTyped(file, value); }
success fileReadFloat(QuorFile* file, float* value) { return ReadTyped(file, value); }
success fileReadDouble(QuorFile* file, double* value) { return ReadTyped(file, value); }
success fileWriteInt8(QuorFile* file, int8_t value) { return WriteTyped(file, value); }
success fileWriteUint8(QuorFile* file, uint8_t value) { return WriteTyped(file, value); }
success fileWriteInt16(QuorFile* file, int16_t value) { return WriteTyped(file, value); }
success fileWriteUint16(QuorFile* file, uint16_t value) { return WriteTyped(file, value); }
success fileWriteInt32(QuorFile* file, int32_t value) { return WriteTyped(file, value); }
success fileWriteUint32(QuorFile* file, uint32_t value) { return WriteTyped(file, value); }
success fileWriteFloat(QuorFile* file, float value) { return WriteTyped(file, value); }
success fileWriteDouble(QuorFile* file, double value) { return WriteTyped(file, value); }
