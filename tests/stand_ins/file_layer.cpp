// Test-only stand-in for the file layer until the real one is in the tree:
// QuorFile and a plain read-only file, enough for the directory and library
// archive tests. tests/CMakeLists.txt links it only while runtime/file/file.cpp
// is missing.

#include <cstdarg>
#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/path.h"
#ifndef _WIN32
#include "platform/posix/case_lookup.h"
#endif
#include "runtime/file/directory.h"
#include "runtime/file/file.h"

namespace {

bool gInitialized = false;

class StandInFile : public QuorFile {
 public:
  explicit StandInFile(const char* name) : QuorFile(kQuorBufferedFile, name) {}
  ~StandInFile() override { Close(); }
  success Open(const char* path) {
    std::string found = path;
#ifndef _WIN32
    std::size_t last = 0;
    if (platform::FullPathName(path, found, last)) found = platform::posix::ExistingCase(found);
#endif
    stream_ = std::fopen(found.c_str(), "rb");
    if (!stream_) return 0;
    // Directories open on POSIX but do not read.
    char probe;
    if (std::fread(&probe, 1, 1, stream_) != 1 && std::ferror(stream_)) {
      std::fclose(stream_);
      stream_ = nullptr;
      return 0;
    }
    std::rewind(stream_);
    open_ = 1;
    return 1;
  }
  success Close() override {
    if (stream_) std::fclose(stream_);
    stream_ = nullptr;
    open_ = 0;
    return 1;
  }
  success ReadExact(void* buffer, uint32_t count) override {
    return std::fread(buffer, 1, count, stream_) == count;
  }
  success ReadAtMost(uint32_t* got, void* buffer, uint32_t count) override {
    *got = static_cast<uint32_t>(std::fread(buffer, 1, count, stream_));
    return !std::ferror(stream_);
  }
  success Write(const void*, uint32_t) override { return 0; }
  success SeekFromStart(int32_t offset) override { return std::fseek(stream_, offset, SEEK_SET) == 0; }
  success SeekFromEnd(int32_t distance) override { return std::fseek(stream_, -distance, SEEK_END) == 0; }
  success SeekFromCurrent(int32_t offset) override { return std::fseek(stream_, offset, SEEK_CUR) == 0; }
  uint32_t GetCurrentPosition() override { return static_cast<uint32_t>(std::ftell(stream_)); }
  uint32_t Size() override {
    const long at = std::ftell(stream_);
    std::fseek(stream_, 0, SEEK_END);
    const long size = std::ftell(stream_);
    std::fseek(stream_, at, SEEK_SET);
    return static_cast<uint32_t>(size);
  }
};

}  // namespace

QuorFile::QuorFile(int kind, const char* name) : kind_(kind) {
  std::strncpy(name_, name ? name : "", sizeof name_ - 1);
  name_[sizeof name_ - 1] = 0;
}
QuorFile::~QuorFile() = default;
const char* QuorFile::Name() { return name_; }
void* QuorFile::operator new(std::size_t size) { return std::malloc(size); }
void QuorFile::operator delete(void* block) { std::free(block); }

success fileBegin() {
  if (gInitialized) return 0;
  static std::string start = platform::CurrentDirectory();
  start = platform::CurrentDirectory();
  if (!fileHomeBegin(start.c_str())) return 0;
  gInitialized = true;
  return 1;
}
void fileEnd() { gInitialized = false; }
bool fileInitialized() { return gInitialized; }

success fileOpenRead(QuorFile** out, const char* path) {
  StandInFile* file = new StandInFile(path);
  if (!file->Open(path)) {
    delete file;
    return 0;
  }
  *out = file;
  return 1;
}
success fileClose(QuorFile* file) {
  if (!file->Close()) return 0;
  delete file;
  return 1;
}
success fileReadExact(QuorFile* file, void* buffer, uint32_t count) { return file->ReadExact(buffer, count); }
success fileReadAtMost(QuorFile* file, uint32_t* got, void* buffer, uint32_t count) {
  return file->ReadAtMost(got, buffer, count);
}
success fileSeekFromStart(QuorFile* file, int32_t offset) { return file->SeekFromStart(offset); }
success fileSeekFromEnd(QuorFile* file, int32_t distance) { return file->SeekFromEnd(distance); }
success fileSeekFromCurrent(QuorFile* file, int32_t offset) { return file->SeekFromCurrent(offset); }
uint32_t fileGetCurrentPosition(QuorFile* file) { return file->GetCurrentPosition(); }
uint32_t fileSize(QuorFile* file) { return file->Size(); }
const char* fileName(QuorFile* file) { return file->Name(); }
success fileWrite(QuorFile* file, const void* data, uint32_t count) { return file->Write(data, count); }
success fileReadUint8(QuorFile* file, uint8_t* value) { return file->ReadExact(value, 1); }
success fileReadUint16(QuorFile* file, uint16_t* value) {
  uint8_t bytes[2];
  if (!file->ReadExact(bytes, 2)) return 0;
  *value = static_cast<uint16_t>(bytes[0] | bytes[1] << 8);
  return 1;
}
