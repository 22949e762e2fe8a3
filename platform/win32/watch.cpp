#include "platform/watch.h"

#include <windows.h>

#include <system_error>
#include <filesystem>

namespace platform {

namespace {

constexpr DWORD kFilter = FILE_NOTIFY_CHANGE_FILE_NAME | FILE_NOTIFY_CHANGE_DIR_NAME |
                          FILE_NOTIFY_CHANGE_SIZE | FILE_NOTIFY_CHANGE_LAST_WRITE |
                          FILE_NOTIFY_CHANGE_CREATION;

// A scan of the tree this often backs the service up: not every file
// system delivers its notifications (network shares, some emulations).
constexpr DWORD kBackupScanMs = 2000;

// One overlapped ReadDirectoryChangesW on the root, for the whole subtree,
// issued again after every answer.
class DirectoryChangesWatch : public FolderWatch {
 public:
  DirectoryChangesWatch(HANDLE directory, HANDLE event, std::string root)
      : directory_(directory), event_(event), root_(std::move(root)), backup_(PollFolder(root_)),
        lastScan_(GetTickCount()) {}

  ~DirectoryChangesWatch() override {
    if (pending_) {
      CancelIo(directory_);
      DWORD ignored = 0;
      GetOverlappedResult(directory_, &overlapped_, &ignored, TRUE);
    }
    CloseHandle(directory_);
    CloseHandle(event_);
  }

  bool Issue() {
    ZeroMemory(&overlapped_, sizeof overlapped_);
    overlapped_.hEvent = event_;
    pending_ = ReadDirectoryChangesW(directory_, buffer_, sizeof buffer_, TRUE, kFilter, nullptr,
                                     &overlapped_, nullptr) != 0;
    return pending_;
  }

  bool Wait(int milliseconds, std::vector<std::string>& changed) override {
    if (!pending_ && !Issue()) return false;
    if (WaitForSingleObject(event_, static_cast<DWORD>(milliseconds)) != WAIT_OBJECT_0) {
      if (backup_ != nullptr && GetTickCount() - lastScan_ >= kBackupScanMs) {
        lastScan_ = GetTickCount();
        backup_->Wait(0, changed);
      }
      return true;
    }
    DWORD got = 0;
    pending_ = false;
    if (!GetOverlappedResult(directory_, &overlapped_, &got, FALSE)) return Issue();
    if (got == 0) {
      // The buffer overflowed: anything may have changed.
      changed.push_back(root_);
    }
    for (DWORD at = 0; got > 0;) {
      const FILE_NOTIFY_INFORMATION* info =
          reinterpret_cast<const FILE_NOTIFY_INFORMATION*>(buffer_ + at);
      const int wide = static_cast<int>(info->FileNameLength / sizeof(WCHAR));
      const int size = WideCharToMultiByte(CP_ACP, 0, info->FileName, wide, nullptr, 0, nullptr, nullptr);
      std::string name(static_cast<std::size_t>(size > 0 ? size : 0), '\0');
      if (size > 0) {
        WideCharToMultiByte(CP_ACP, 0, info->FileName, wide, &name[0], size, nullptr, nullptr);
      }
      changed.push_back(root_ + "\\" + name);
      if (info->NextEntryOffset == 0) break;
      at += info->NextEntryOffset;
    }
    return Issue();
  }

 private:
  HANDLE directory_;
  HANDLE event_;
  const std::string root_;
  OVERLAPPED overlapped_{};
  bool pending_ = false;
  std::unique_ptr<FolderWatch> backup_;
  DWORD lastScan_;
  alignas(DWORD) BYTE buffer_[64 * 1024];
};

}  // namespace

std::unique_ptr<FolderWatch> WatchFolder(const std::string& root) {
  std::error_code error;
  if (!std::filesystem::is_directory(root, error)) return nullptr;
  HANDLE directory = CreateFileA(root.c_str(), FILE_LIST_DIRECTORY,
                                 FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                 OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OVERLAPPED,
                                 nullptr);
  if (directory != INVALID_HANDLE_VALUE) {
    HANDLE event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    if (event != nullptr) {
      auto watch = std::make_unique<DirectoryChangesWatch>(directory, event, root);
      if (watch->Issue()) return watch;
      return PollFolder(root);
    }
    CloseHandle(directory);
  }
  return PollFolder(root);
}

}  // namespace platform
