// A program built on the runtime library's frame with an application entry of
// its own. It prints what the frame handed over and then acts on its
// remaining arguments:
//   exit=N     return N            alloc=N   allocate N bytes and free them
//   error=T    _Error("%s", T)     long      _Error with 300 characters
//   fatal      _FatalError         failure   _Failure
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

#include "runtime/file/file.h"
#include "runtime/frame.h"
#include "runtime/mem.h"

int pixmillMain(int argc, char** argv) {
  std::printf("argc=%d\n", argc);
  for (int i = 1; i < argc; ++i) std::printf("[%s]\n", argv[i]);
  std::printf("path=%s\n", frameProgramPath() == argv[0] ? "argv0" : "other");
  std::error_code error;
  const bool same = std::filesystem::equivalent(frameStartDirectory(),
                                                std::filesystem::current_path(), error);
  std::printf("start=%s\n", same ? "current" : frameStartDirectory());
  std::printf("device=%c mode=%d pools=%d\n", errGetDevice(), errGetMode(), memPoolCount());
  int result = 0;
  for (int i = 1; i < argc; ++i) {
    const char* a = argv[i];
    if (std::strncmp(a, "exit=", 5) == 0) {
      result = std::atoi(a + 5);
    } else if (std::strncmp(a, "alloc=", 6) == 0) {
      void* block = nullptr;
      std::printf("alloc=%d\n", _memAlloc(&block, static_cast<uint32_t>(std::atoi(a + 6))));
      memFree(block);
    } else if (std::strncmp(a, "error=", 6) == 0) {
      std::fflush(stdout);
      std::printf("shown=%d\n", _Error("%s", a + 6));
    } else if (std::strcmp(a, "long") == 0) {
      std::fflush(stdout);
      _Error("%s|", std::string(300, 'x').c_str());
    } else if (std::strcmp(a, "fatal") == 0) {
      std::printf("before\n");
      _FatalError("fatal %d", 7);
    } else if (std::strcmp(a, "failure") == 0) {
      _Failure("failure %s", "here");
    }
  }
  std::printf("end\n");
  return result;
}

// Stand-ins until the file layer is in the library; weak, so the real ones
// win as soon as they are linked.
__attribute__((weak)) success fileBegin() { return 1; }
__attribute__((weak)) void fileEnd() {}

int main(int argc, char** argv) { return frameMain(argc, argv); }
