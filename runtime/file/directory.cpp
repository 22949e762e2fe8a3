#include "runtime/file/directory.h"

#include <cstring>

#include "platform/directory_services.h"
#include "runtime/file/file.h"
#include "runtime/ascii_case.h"

namespace {

// The home directory and its drive.
char gHomeDir[kFileDirSize];
uint32_t gHomeDrive = 0;
char gHomeDriveText[3];

// The one directory search of the process.
enum SearchState { kNoSearch = 0, kFileSearch = 1, kDirectorySearch = 2 };
int gSearchState = kNoSearch;
platform::FindHandle* gSearch = nullptr;
platform::FindEntry gSearchEntry;

// The CD-ROM mirror of the home directory. The mirror's current directory is
// kept here as text rather than as a drive's current directory, so that
// following it never moves the process's own current directory.
bool gCdromOn = false;
char gCdromHomeDir[kFileDirSize];
char gCdromDriveText[3];
uint32_t gCdromDrive = 0;
bool gCdromDirExists = false;
char gCdromDir[kFileDirSize];

bool CopyText(char* target, const char* text, size_t size) {
  const size_t length = std::strlen(text);
  if (length >= size) return false;
  std::memcpy(target, text, length + 1);
  return true;
}

// The rest of `path` after `prefix` when path begins with it regardless of
// case and the prefix ends at a component boundary; none otherwise.
const char* AfterPrefix(const char* path, const char* prefix) {
  const size_t length = std::strlen(prefix);
  for (size_t i = 0; i < length; ++i)
    if (LowerAscii(path[i]) != LowerAscii(prefix[i])) return nullptr;
  const char* rest = path + length;
  if (*rest == 0 || platform::IsPathSeparator(*rest)) return rest;
  if (length > 0 && platform::IsPathSeparator(prefix[length - 1])) return rest;
  return nullptr;
}

// The rest of `path`, which carries its drive, after its part that is the
// home directory: by the text rule, or else by the directory itself, so that
// another spelling of home (through a symbolic link, say) counts as home.
// None outside home.
const char* AfterHome(const char* path, const char* home) {
  if (const char* rest = AfterPrefix(path, home)) return rest;
  char prefix[kFileDirSize];
  const size_t length = std::strlen(path);
  if (length >= sizeof prefix) return nullptr;
  for (size_t end = 1; end <= length; ++end) {
    if (end < length && !platform::IsPathSeparator(path[end])) continue;
    std::memcpy(prefix, path, end);
    prefix[end] = 0;
    if (platform::SameDirectory(prefix, home)) return path + end;
  }
  return nullptr;
}

// head + tail with exactly one separator between them when both are given.
bool Join(char* target, size_t size, const char* head, const char* tail) {
  const size_t headLength = std::strlen(head);
  while (platform::IsPathSeparator(*tail)) ++tail;
  const bool separate = headLength > 0 && *tail && !platform::IsPathSeparator(head[headLength - 1]);
  const size_t total = headLength + (separate ? 1 : 0) + std::strlen(tail);
  if (total >= size) return false;
  std::memcpy(target, head, headLength);
  size_t at = headLength;
  if (separate) target[at++] = platform::PathSeparator();
  std::memcpy(target + at, tail, std::strlen(tail) + 1);
  return true;
}

// head + tail as plain text.
bool Concat(char* target, size_t size, const char* head, const char* tail) {
  const size_t headLength = std::strlen(head);
  if (headLength + std::strlen(tail) >= size) return false;
  std::memcpy(target, head, headLength);
  std::memcpy(target + headLength, tail, std::strlen(tail) + 1);
  return true;
}

enum class Mirror { kNone, kClear, kPath };

// The CD-ROM counterpart of `path`, built by the text rules: below the home
// directory it is the same place below the CD-ROM home directory, elsewhere
// on the home drive the same path on the CD-ROM drive, on other drives none.
Mirror MirrorOf(const char* path, char* mirror, size_t size) {
  uint32_t drive = 0;
  uint32_t prefix = 0;
  const char* tail = path;
  const char* rest = nullptr;
  if (platform::PathDrive(path, &drive, &prefix)) {
    if (drive != gHomeDrive) return Mirror::kClear;
    tail = path + prefix;
    rest = AfterHome(path, gHomeDir);
  } else {
    uint32_t current = 0;
    if (!platform::GetDrive(&current)) return Mirror::kNone;
    if (current != gHomeDrive) return Mirror::kClear;
    rest = AfterPrefix(path, gHomeDir + std::strlen(gHomeDriveText));
  }
  char text[2 * kFileDirSize];
  bool built = false;
  if (rest)
    built = Join(text, sizeof text, gCdromHomeDir, rest);
  else if (platform::IsPathSeparator(*tail))
    built = Concat(text, sizeof text, gCdromDriveText, tail);
  else  // relative to the mirror's current directory
    built = Join(text, sizeof text, gCdromDir, tail);
  if (!built || !platform::MakeFullPath(text, mirror, static_cast<uint32_t>(size))) return Mirror::kClear;
  return Mirror::kPath;
}

bool Accepts(uint32_t attributes, int state) {
  if (attributes == 0) attributes = platform::kFindNormal;
  if (state == kFileSearch) return (attributes & platform::kFindDirectory) == 0;
  return attributes == platform::kFindDirectory;
}

success TakeEntry(char* name) {
  std::memcpy(name, gSearchEntry.name, sizeof gSearchEntry.name);
  name[kFileFindNameSize - 1] = 0;
  return 1;
}

success FindFirstOf(int state, char* name, const char* pattern) {
  if (gSearchState != kNoSearch || !name || !pattern) return 0;
  gSearch = platform::FindFirst(pattern, &gSearchEntry);
  if (!gSearch) return 0;
  while (!Accepts(gSearchEntry.attributes, state)) {
    if (!platform::FindNext(gSearch, &gSearchEntry)) {
      platform::FindClose(gSearch);
      gSearch = nullptr;
      return 0;
    }
  }
  gSearchState = state;
  return TakeEntry(name);
}

success FindNextOf(int state, char* name) {
  if (gSearchState != state || !name) return 0;
  do {
    if (!platform::FindNext(gSearch, &gSearchEntry)) return 0;
  } while (!Accepts(gSearchEntry.attributes, state));
  return TakeEntry(name);
}

success ChangeBackAndFail(const char* directory) {
  fileChDir(directory);
  return 0;
}

}  // namespace

success fileHomeBegin(const char* startDirectory) {
  uint32_t drive = 0;
  if (!startDirectory || !platform::GetDrive(&drive)) return 0;
  if (!CopyText(gHomeDir, startDirectory, sizeof gHomeDir)) return 0;
  gHomeDrive = drive;
  platform::DriveText(drive, gHomeDriveText);
  fileCdromOff();
  return 1;
}

bool fileExists(const char* path) {
  QuorFile* file = nullptr;
  if (!path || !fileOpenRead(&file, path)) return false;
  if (!fileClose(file)) delete file;
  return true;
}

success fileRename(const char* from, const char* to) { return platform::RenamePath(from, to) ? 1 : 0; }

success fileRenameDir(const char* from, const char* to) { return platform::RenamePath(from, to) ? 1 : 0; }

success fileDelete(const char* path) { return platform::DeleteFile(path) ? 1 : 0; }

success fileMkDir(const char* path) { return platform::MakeDirectory(path) ? 1 : 0; }

success fileDeleteDir(const char* path) {
  char start[kFileDirSize];
  if (!fileGetDir(start) || !fileChDir(path)) return 0;

  char name[kFileFindNameSize];
  while (fileFindFirst(name, "*.*")) {
    fileFindDone();
    if (!fileDelete(name)) return ChangeBackAndFail(start);
  }
  for (;;) {
    bool found = false;
    if (fileFindFirstDir(name, "*")) {
      found = std::strcmp(name, ".") != 0 && std::strcmp(name, "..") != 0;
      while (!found && fileFindNextDir(name)) found = std::strcmp(name, ".") != 0 && std::strcmp(name, "..") != 0;
      fileFindDone();
    }
    if (!found) break;
    if (!fileDeleteDir(name)) return ChangeBackAndFail(start);
  }

  if (!fileChDir(start)) return 0;
  return platform::RemoveDirectory(path) ? 1 : 0;
}

success fileGetDir(char* buffer) { return buffer && platform::GetDirectory(buffer, kFileDirSize) ? 1 : 0; }

success fileChDir(const char* path) {
  if (!path || !*path) return 0;
  char mirror[kFileDirSize];
  const Mirror kind = gCdromOn ? MirrorOf(path, mirror, sizeof mirror) : Mirror::kNone;

  // The mirror follows only a change that happened.
  if (!platform::SetDirectory(path)) return 0;
  if (kind == Mirror::kClear) gCdromDirExists = false;
  if (kind == Mirror::kPath) {
    // Where the mirror path leads back to the directory itself (outside the
    // home tree on a system with one drive), there is no CD-ROM copy.
    gCdromDirExists = platform::IsDirectory(mirror) && !platform::SameDirectory(mirror, ".");
    if (gCdromDirExists) CopyText(gCdromDir, mirror, sizeof gCdromDir);
  }

  uint32_t drive = 0;
  uint32_t prefix = 0;
  if (platform::PathDrive(path, &drive, &prefix)) return fileSetDrive(drive);
  return 1;
}

success fileGetDrive(uint32_t* drive) { return drive && platform::GetDrive(drive) ? 1 : 0; }

success fileSetDrive(uint32_t drive) { return platform::SetDrive(drive) ? 1 : 0; }

const char* fileGetHomeDir() { return gHomeDir; }

success fileSetHomeDir(const char* path) {
  if (!path || !platform::PathIsDriveRooted(path) || std::strlen(path) >= sizeof gHomeDir) return 0;
  uint32_t drive = 0;
  if (!fileChDir(path) || !fileGetDrive(&drive)) return 0;
  gHomeDrive = drive;
  platform::DriveText(drive, gHomeDriveText);
  CopyText(gHomeDir, path, sizeof gHomeDir);
  return 1;
}

const char* fileGetCdromHomeDir() { return gCdromHomeDir; }

bool fileCdromPresent() { return gCdromOn; }

success fileFindFirst(char* name, const char* pattern) { return FindFirstOf(kFileSearch, name, pattern); }

success fileFindNext(char* name) { return FindNextOf(kFileSearch, name); }

success fileFindFirstDir(char* name, const char* pattern) { return FindFirstOf(kDirectorySearch, name, pattern); }

success fileFindNextDir(char* name) { return FindNextOf(kDirectorySearch, name); }

void fileFindDone() {
  platform::FindClose(gSearch);
  gSearch = nullptr;
  gSearchState = kNoSearch;
}

uint32_t fileGetHomeDrive() { return gHomeDrive; }

void fileCdromOff() {
  gCdromOn = false;
  gCdromDirExists = false;
}

success fileCdromOn(const char* cdromHomeDir) {
  fileCdromOff();
  uint32_t drive = 0;
  uint32_t prefix = 0;
  if (!cdromHomeDir || !platform::PathDrive(cdromHomeDir, &drive, &prefix)) return 0;
  if (!CopyText(gCdromHomeDir, cdromHomeDir, sizeof gCdromHomeDir) || !fileChDir(cdromHomeDir)) {
    gCdromHomeDir[0] = 0;
    return 0;
  }
  std::memcpy(gCdromDriveText, cdromHomeDir, prefix);
  gCdromDriveText[prefix] = 0;
  gCdromDrive = drive;
  CopyText(gCdromDir, cdromHomeDir, sizeof gCdromDir);
  gCdromOn = true;
  return fileChDir(gHomeDir);
}

uint32_t fileGetCdromDrive() { return gCdromDrive; }

bool fileCdromCurrentDirExists() { return gCdromOn && gCdromDirExists; }

const char* fileGetCdromDir() { return gCdromDir; }
