#include "platform/common/same_file.h"

#include <windows.h>

namespace platform {

namespace {

// The volume and file index of the file a name reaches. The file is opened
// for no access at all, so a file another program holds still answers.
bool Identify(const std::string& full, BY_HANDLE_FILE_INFORMATION& info) {
  HANDLE file = CreateFileA(full.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                            nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  const bool ok = GetFileInformationByHandle(file, &info) != 0;
  CloseHandle(file);
  return ok;
}

}  // namespace

bool SameFileOnDisk(const std::string& full_a, const std::string& full_b) {
  BY_HANDLE_FILE_INFORMATION info_a, info_b;
  return Identify(full_a, info_a) && Identify(full_b, info_b) &&
         info_a.dwVolumeSerialNumber == info_b.dwVolumeSerialNumber &&
         info_a.nFileIndexHigh == info_b.nFileIndexHigh && info_a.nFileIndexLow == info_b.nFileIndexLow;
}

}  // namespace platform
