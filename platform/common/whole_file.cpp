#include "platform/whole_file.h"

#include "platform/common/guarded.h"
#include "platform/native_file.h"

namespace platform {

WholeFile ReadWholeFile(const std::string& path, std::vector<uint8_t>& bytes) {
  const NativeFile file = OpenFile(path, kGenericRead, kShareRead, kOpenExisting);
  if (!file.valid()) return WholeFile::kCannotOpen;
  const uint32_t size = FileSize(file);
  bool ok = size != kSeekFailed && Guarded(false, [&] {
    bytes.resize(size);
    return true;
  });
  uint32_t got = 0;
  while (ok && got < size) {
    uint32_t done = 0;
    ok = ReadFile(file, bytes.data() + got, size - got, done) && done > 0;
    got += done;
  }
  CloseFile(file);
  return ok ? WholeFile::kRead : WholeFile::kCannotRead;
}

}  // namespace platform
