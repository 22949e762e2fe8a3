#pragma once
// Reading back a file that the program still holds open for writing. Windows
// lets nobody else open such a file, so tests read it through the program's
// own handle, which sees exactly what is on disk (nothing is buffered).

#include <cstdint>
#include <vector>

#include "trackconv/foundation/handle.h"
#include "trackconv/foundation/sub_file.h"

namespace testing_support {

/// The whole content of `file`; its position is left as it was.
inline std::vector<uint8_t> BytesThrough(const Handle<SubFile>& file) {
  const uint32_t position = file->Position();
  std::vector<uint8_t> bytes(file->Size());
  file->Seek(0);
  if (!bytes.empty()) file->Read(static_cast<uint32_t>(bytes.size()), bytes.data());
  file->Seek(position);
  return bytes;
}

}  // namespace testing_support
