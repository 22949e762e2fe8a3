// A child program for the interruption tests: creates the temporary file of
// an output beside `<final path>`, opens it for writing the way the
// programs do (`native`: a native file without sharing, as trackconv and
// the replacement helpers open it; `native-read`: the same with read access
// too; `stream`: a C stream, as pixmill's runtime opens it), writes a part
// of the content, prints the temporary's name and then, with the file still
// open, ends as an interrupted program ends. Exits with 3 on any failure.
#include <cstdio>
#include <cstring>
#include <string>

#include "platform/atomic_replace.h"
#include "platform/interrupt.h"
#include "platform/native_file.h"
#include "platform/stream.h"

namespace {

bool WriteNative(const std::string& temporary, uint32_t access) {
  const platform::NativeFile file = platform::OpenFile(temporary, access, 0, platform::kOpenExisting);
  uint32_t done = 0;
  // The handle stays open: the interruption finds it so.
  return file.valid() && platform::WriteFile(file, "partial", 7, done) && done == 7;
}

bool WriteStream(const std::string& temporary) {
  std::FILE* stream = platform::OpenStream(temporary.c_str(), "w+b");
  return stream && std::fwrite("partial", 1, 7, stream) == 7 && std::fflush(stream) == 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) return 3;
  platform::HandleInterrupts(platform::InterruptAnswer::kFinishChildren);
  const std::string temporary = platform::CreateTemporaryFileBeside(argv[1]);
  if (temporary.empty()) return 3;
  const std::string how = argv[2];
  bool written = false;
  if (how == "native") {
    written = WriteNative(temporary, platform::kGenericWrite);
  } else if (how == "native-read") {
    written = WriteNative(temporary, platform::kGenericRead | platform::kGenericWrite);
  } else if (how == "stream") {
    written = WriteStream(temporary);
  }
  if (!written) return 3;
  std::printf("%s\n", temporary.c_str());
  std::fflush(stdout);
  platform::EndInterrupted();
}
