#pragma once
// The name-based file calls: existence, renaming and deleting, directories,
// drives (0 = A), the home directory with its optional CD-ROM mirror, and a
// one-at-a-time directory search. Results are success (1) or failure (0).

#include <cstdint>

#include "runtime/success.h"

/// Buffer sizes callers supply: search results and fileGetDir.
constexpr uint32_t kFileFindNameSize = 260;
constexpr uint32_t kFileDirSize = 1027;

/// Sets the home directory to the start directory and the home drive to the
/// current drive; fileBegin calls it.
success fileHomeBegin(const char* startDirectory);

/// True if the file can be opened for reading.
bool fileExists(const char* path);
success fileRename(const char* from, const char* to);
success fileRenameDir(const char* from, const char* to);
success fileDelete(const char* path);
success fileMkDir(const char* path);
/// Deletes a directory with everything in it.
success fileDeleteDir(const char* path);
/// The current directory into `buffer` (kFileDirSize bytes).
success fileGetDir(char* buffer);
/// Changes directory (and drive, when the path has one), with mirroring.
success fileChDir(const char* path);
success fileGetDrive(uint32_t* drive);
success fileSetDrive(uint32_t drive);
const char* fileGetHomeDir();
success fileSetHomeDir(const char* path);
const char* fileGetCdromHomeDir();
bool fileCdromPresent();

/// One search at a time; names go into `name` (kFileFindNameSize bytes).
success fileFindFirst(char* name, const char* pattern);
success fileFindNext(char* name);
success fileFindFirstDir(char* name, const char* pattern);
success fileFindNextDir(char* name);
void fileFindDone();

// The home drive and the CD-ROM mirror, as the library archives use them.

/// The home drive (0 = A).
uint32_t fileGetHomeDrive();
/// Turns the CD-ROM mirror off.
void fileCdromOff();
/// Turns the CD-ROM mirror on for `cdromHomeDir`, a path that carries its
/// drive and exists; then changes back to the home directory.
success fileCdromOn(const char* cdromHomeDir);
/// The drive of the CD-ROM mirror.
uint32_t fileGetCdromDrive();
/// Whether the current directory exists on the CD-ROM mirror.
bool fileCdromCurrentDirExists();
/// The current directory's copy on the CD-ROM (valid when it exists).
const char* fileGetCdromDir();
