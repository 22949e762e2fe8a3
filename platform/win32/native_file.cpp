#include "platform/native_file.h"

#include <windows.h>

#include "platform/memory_files.h"
#include "platform/win32/temporary_sharing.h"

namespace platform {

namespace {

HANDLE ToHandle(NativeFile file) { return reinterpret_cast<HANDLE>(file.value); }

}  // namespace

static_assert(sizeof(intptr_t) >= sizeof(HANDLE), "a HANDLE fits in NativeFile");

NativeFile OpenFile(const std::string& path, uint32_t access, uint32_t share,
                    uint32_t creation) {
  NativeFile file;
  if (path.find('\0') != std::string::npos) return file;
  if (memory::Serves(path)) return memory::Open(path, access, creation);
  HANDLE handle = CreateFileA(path.c_str(), access, win32::ShareModeFor(path.c_str(), share), nullptr,
                              creation, 0, nullptr);
  if (handle != INVALID_HANDLE_VALUE) file.value = reinterpret_cast<intptr_t>(handle);
  return file;
}

void CloseFile(NativeFile file) {
  if (file.in_memory) return memory::Close(file);
  if (file.valid()) CloseHandle(ToHandle(file));
}

bool ReadFile(NativeFile file, void* buffer, uint32_t count, uint32_t& done) {
  if (file.in_memory) return memory::Read(file, buffer, count, done);
  DWORD read = 0;
  BOOL ok = ::ReadFile(ToHandle(file), buffer, count, &read, nullptr);
  done = read;
  return ok != FALSE;
}

bool WriteFile(NativeFile file, const void* buffer, uint32_t count,
               uint32_t& done) {
  if (file.in_memory) return memory::Write(file, buffer, count, done);
  DWORD written = 0;
  BOOL ok = ::WriteFile(ToHandle(file), buffer, count, &written, nullptr);
  done = written;
  return ok != FALSE;
}

// Without a high part SetFilePointer takes the distance as a signed 32-bit
// value, which cannot reach positions of 2 GiB and more; a zero high part
// keeps the full unsigned 32-bit range, and a non-zero one coming back means
// the position no longer fits.
uint32_t SeekFile(NativeFile file, uint32_t position) {
  if (file.in_memory) return memory::Seek(file, position);
  LONG high = 0;
  DWORD low = SetFilePointer(ToHandle(file), static_cast<LONG>(position), &high,
                             FILE_BEGIN);
  if (low == INVALID_SET_FILE_POINTER || high != 0) return kSeekFailed;
  return low;
}

uint32_t TellFile(NativeFile file) {
  if (file.in_memory) return memory::Tell(file);
  LONG high = 0;
  DWORD low = SetFilePointer(ToHandle(file), 0, &high, FILE_CURRENT);
  if (low == INVALID_SET_FILE_POINTER || high != 0) return kSeekFailed;
  return low;
}

uint32_t FileSize(NativeFile file) {
  if (file.in_memory) return memory::Size(file);
  DWORD high = 0;
  DWORD low = GetFileSize(ToHandle(file), &high);
  if (low == INVALID_FILE_SIZE || high != 0) return kSeekFailed;
  return low;
}

}  // namespace platform
