#include "runtime/lib/libfile.h"

#include <cstring>

#include "platform/directory_services.h"
#include "runtime/file/directory.h"
#include "runtime/lib/lib_archive.h"

namespace {

bool gBegun = false;
bool gStartedFileLayer = false;

// Length of a path without its trailing separators (a lone root keeps its own).
size_t TrimmedLength(const char* path) {
  size_t length = std::strlen(path);
  while (length > 1 && platform::IsPathSeparator(path[length - 1])) --length;
  return length;
}

// "main.dat" for the home directory (the directory itself, however it is
// spelled), else the directory's last component followed by ".dat" (".dat"
// for a root).
bool ArchiveName(char* name, const char* directory, const char* home) {
  if (platform::SameDirectory(directory, home)) {
    std::strcpy(name, "main.dat");
    return true;
  }
  const size_t length = TrimmedLength(directory);
  size_t start = length;
  while (start > 0 && !platform::IsPathSeparator(directory[start - 1]) && directory[start - 1] != ':') --start;
  const size_t component = length - start;
  if (component + 5 > kFileFindNameSize) return false;
  std::memcpy(name, directory + start, component);
  std::strcpy(name + component, ".dat");
  return true;
}

bool JoinPath(char* target, size_t size, const char* directory, const char* name) {
  const size_t length = std::strlen(directory);
  const bool separate = length > 0 && !platform::IsPathSeparator(directory[length - 1]);
  if (length + 1 + std::strlen(name) >= size) return false;
  std::memcpy(target, directory, length);
  size_t at = length;
  if (separate) target[at++] = platform::PathSeparator();
  std::strcpy(target + at, name);
  return true;
}

bool CdromUsable() { return fileCdromPresent() && fileCdromCurrentDirExists(); }

// Opens the CD-ROM copy of a loose file in the mirror's current directory.
success OpenCdromLoose(QuorFile** out, const char* name) {
  char path[kFileDirSize + kFileFindNameSize];
  return JoinPath(path, sizeof path, fileGetCdromDir(), name) && fileOpenRead(out, path) ? 1 : 0;
}

// Opens member `name` of the current directory's archive on the home drive,
// or of the mirror's current directory on the CD-ROM.
success OpenMember(QuorLibFile* file, bool cdrom, const char* name) {
  char directory[kFileDirSize];
  char archiveName[kFileFindNameSize];
  uint32_t drive = 0;
  if (cdrom) {
    drive = fileGetCdromDrive();
    std::strcpy(directory, fileGetCdromDir());
    if (!ArchiveName(archiveName, directory, fileGetCdromHomeDir())) return 0;
  } else {
    drive = fileGetHomeDrive();
    if (!fileSetDrive(drive) || !fileGetDir(directory)) return 0;
    if (!ArchiveName(archiveName, directory, fileGetHomeDir())) return 0;
  }

  int entry = libCacheFind(drive, directory, archiveName);
  if (entry < 0) {
    char path[kFileDirSize + kFileFindNameSize];
    QuorFile* archive = nullptr;
    if (!JoinPath(path, sizeof path, directory, archiveName) || !fileOpenRead(&archive, path)) return 0;
    entry = libCacheAdd(drive, directory, archiveName, archive);
    if (entry < 0) return 0;
  }
  return file->OpenMember(entry, name);
}

success OpenMemberAnywhere(QuorLibFile* file, const char* name) {
  if (OpenMember(file, false, name)) return 1;
  return CdromUsable() && OpenMember(file, true, name) ? 1 : 0;
}

// Reads "lib.cfg" of the current (home) directory: optional blanks, then the
// CD-ROM home directory up to the end of the file.
void ReadConfiguration() {
  fileCdromOff();
  QuorFile* config = nullptr;
  if (!fileOpenRead(&config, "lib.cfg")) return;
  char path[kFileDirSize];
  uint8_t byte = 0;
  bool found = false;
  while (fileReadUint8(config, &byte)) {
    if (byte != ' ' && byte != '\t' && byte != '\n' && byte != '\r' && byte != 0) {
      found = true;
      break;
    }
  }
  if (found) {
    path[0] = static_cast<char>(byte);
    uint32_t got = 0;
    uint8_t beyond = 0;
    uint32_t extra = 0;
    // A path too long for the buffer is refused rather than cut short.
    if (fileReadAtMost(config, &got, path + 1, kFileDirSize - 2) &&
        !(fileReadAtMost(config, &extra, &beyond, 1) && extra > 0)) {
      path[1 + got] = 0;
      fileCdromOn(path);
    }
  }
  if (!fileClose(config)) delete config;
}

}  // namespace

QuorLibFile::QuorLibFile(const char* name) : QuorFile(kQuorLibFile, name) {}

QuorLibFile::~QuorLibFile() { Close(); }

success QuorLibFile::OpenMember(int entry, const char* name) {
  Close();
  entry_ = entry;
  generation_ = libCacheEntry(entry).generation;
  open_ = 1;
  const LibArchive& archive = libCacheEntry(entry);
  const int index = libFindEntry(archive.entries, archive.count, name);
  if (index < 0 || !libEntryOpens(archive.entries[index], archive.size)) {
    Close();
    return 0;
  }
  offset_ = archive.entries[index].offset;
  length_ = archive.entries[index].length;
  position_ = 0;
  if (!libCacheSeek(entry_, offset_)) {
    Close();
    return 0;
  }
  return 1;
}

success QuorLibFile::Close() {
  if (open_) {
    const LibArchive& archive = libCacheEntry(entry_);
    if (archive.inUse && archive.generation == generation_) libCacheRelease(entry_);
    open_ = 0;
  }
  return 1;
}

success QuorLibFile::ReadHere(void* buffer, uint32_t count) {
  if (!open_) return 0;
  const LibArchive& archive = libCacheEntry(entry_);
  if (!archive.inUse || archive.generation != generation_) return 0;
  if (count == 0) return 1;
  if (!libCacheSeek(entry_, offset_ + position_)) return 0;
  LibArchive& shared = libCacheEntry(entry_);
  if (!fileReadExact(shared.archive, buffer, count)) {
    shared.positionKnown = false;
    return 0;
  }
  shared.position += count;
  position_ += count;
  return 1;
}

success QuorLibFile::ReadExact(void* buffer, uint32_t count) {
  const uint32_t remaining = length_ - position_;
  if (count > remaining) {
    ReadHere(buffer, remaining);
    return 0;
  }
  return ReadHere(buffer, count);
}

success QuorLibFile::ReadAtMost(uint32_t* got, void* buffer, uint32_t count) {
  *got = 0;
  const uint32_t remaining = length_ - position_;
  if (count > remaining) count = remaining;
  if (!ReadHere(buffer, count)) return 0;
  *got = count;
  return 1;
}

success QuorLibFile::Write(const void*, uint32_t) { return 0; }

success QuorLibFile::SeekTo(int64_t position) {
  if (!open_ || position < 0 || position > length_) return 0;
  const LibArchive& archive = libCacheEntry(entry_);
  if (!archive.inUse || archive.generation != generation_) return 0;
  position_ = static_cast<uint32_t>(position);
  return 1;
}

success QuorLibFile::SeekFromStart(int32_t offset) { return SeekTo(offset); }

success QuorLibFile::SeekFromEnd(int32_t distance) { return SeekTo(static_cast<int64_t>(length_) - distance); }

success QuorLibFile::SeekFromCurrent(int32_t offset) { return SeekTo(static_cast<int64_t>(position_) + offset); }

uint32_t QuorLibFile::GetCurrentPosition() { return position_; }

uint32_t QuorLibFile::Size() { return length_; }

success libfileBegin() {
  if (gBegun) return 1;
  gStartedFileLayer = false;
  if (!fileInitialized()) {
    if (!fileBegin()) return 0;
    gStartedFileLayer = true;
  }
  libCacheClear();
  if (!fileChDir(fileGetHomeDir())) {
    if (gStartedFileLayer) fileEnd();
    gStartedFileLayer = false;
    return 0;
  }
  ReadConfiguration();
  gBegun = true;
  return 1;
}

void libfileEnd() {
  if (!gBegun) return;
  libCacheClear();
  fileChDir(fileGetHomeDir());
  if (gStartedFileLayer) fileEnd();
  gStartedFileLayer = false;
  gBegun = false;
}

success libfileOpenRead(QuorFile** out, const char* name) {
  if (!out || !name) return 0;
  *out = nullptr;
  uint32_t drive = 0;
  if (!fileGetDrive(&drive)) return 0;
  if (fileSetDrive(fileGetHomeDrive()) && fileOpenRead(out, name)) return 1;
  if (CdromUsable() && OpenCdromLoose(out, name)) return 1;

  QuorLibFile* file = new QuorLibFile(name);
  if (file && OpenMemberAnywhere(file, name)) {
    *out = file;
    return 1;
  }
  delete file;
  *out = nullptr;
  fileSetDrive(drive);
  return 0;
}

bool libfileExists(const char* name) {
  uint32_t drive = 0;
  if (!name || !fileGetDrive(&drive)) return false;
  if (fileSetDrive(fileGetHomeDrive()) && fileExists(name)) return true;
  if (CdromUsable()) {
    char path[kFileDirSize + kFileFindNameSize];
    if (JoinPath(path, sizeof path, fileGetCdromDir(), name) && fileExists(path)) return true;
  }
  QuorLibFile probe(name);
  if (OpenMemberAnywhere(&probe, name)) return true;
  fileSetDrive(drive);
  return false;
}
