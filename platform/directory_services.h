#pragma once
// Directories, drives and a one-at-a-time directory search, with plain
// character buffers so that callers need no allocation of their own.
// Drives are numbered from 0 = A; POSIX has exactly one, number 2. No call
// throws: every failure, running out of memory included, is answered as one.

#include <cstdint>

namespace platform {

/// Attribute bits of search entries.
constexpr uint32_t kFindReadOnly = 0x01;
constexpr uint32_t kFindDirectory = 0x10;
constexpr uint32_t kFindNormal = 0x80;
/// A symbolic link (a reparse point on Windows): an entry of its own, on
/// POSIX never marked as a directory, so that no walk follows it.
constexpr uint32_t kFindReparsePoint = 0x400;
/// Room for one entry's name, terminator included.
constexpr uint32_t kFindNameSize = 260;

/// The current directory into `buffer` (`size` bytes with its terminator).
bool GetDirectory(char* buffer, uint32_t size);
/// Makes `path` the current directory (names match regardless of case on POSIX).
bool SetDirectory(const char* path);
/// The current drive.
bool GetDrive(uint32_t* drive);
/// Makes `drive` current.
bool SetDrive(uint32_t drive);

/// Whether `path` carries a drive ("C:" on Windows, a leading '/' on POSIX);
/// if so `drive` receives its number and `prefixLength` the length of the
/// drive text at its start (2 on Windows, 0 on POSIX).
bool PathDrive(const char* path, uint32_t* drive, uint32_t* prefixLength);
/// Whether `path` starts at the root of its drive ("C:\" on Windows, "/" on POSIX).
bool PathIsDriveRooted(const char* path);
/// The text that names `drive` at the start of a path, into `buffer` of 3 bytes
/// ("C:" on Windows, empty on POSIX).
void DriveText(uint32_t drive, char* buffer);
/// The separator that paths built by the programs use.
char PathSeparator();
/// True for every character that separates path components.
bool IsPathSeparator(char c);
/// `path` made absolute with "." and ".." collapsed, into `buffer`.
bool MakeFullPath(const char* path, char* buffer, uint32_t size);

/// Whether `path` names an existing directory.
bool IsDirectory(const char* path);
/// Whether `a` and `b` name the same existing directory. POSIX compares the
/// directories themselves (device and inode: a link's spelling and its
/// target are one, `Maps` and `maps` side by side are two); Windows
/// compares the names regardless of case, separator kind and trailing
/// separators.
bool SameDirectory(const char* a, const char* b);
/// Makes a directory; fails where the name exists, in any letter case.
bool MakeDirectory(const char* path);
bool RemoveDirectory(const char* path);
/// Renames a file or a directory; fails onto a name that exists, in any
/// letter case, unless it is `from` itself (a change of letter case).
bool RenamePath(const char* from, const char* to);
bool DeleteFile(const char* path);

/// One entry reported by a search.
struct FindEntry {
  uint32_t attributes = 0;  ///< kFindNormal when the entry has no other bits
  char name[kFindNameSize] = {};
};

/// A running search; one per FindFirst, ended by FindClose.
struct FindHandle;

/// Starts a search for `pattern` (a directory part and a name part with '*'
/// and '?', matched regardless of case on POSIX; "." and ".." are reported).
/// Returns none when nothing matches; else the first entry is in `entry`.
FindHandle* FindFirst(const char* pattern, FindEntry* entry);
/// The next entry; false when there is none.
bool FindNext(FindHandle* handle, FindEntry* entry);
void FindClose(FindHandle* handle);

}  // namespace platform
