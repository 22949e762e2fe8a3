// The program frame and the error system.

#include "runtime/frame.h"

#include <cstdarg>
#include <cstdlib>
#include <cstring>

#include "platform/directory_services.h"
#include "platform/report.h"
#include "runtime/file/file.h"
#include "runtime/mem.h"
#include "runtime/profile/profile.h"
#include "runtime/ascii_case.h"

namespace {

constexpr std::size_t kStartDirectoryBytes = 1027;
constexpr std::size_t kReportBytes = 256;
constexpr std::size_t kOptionsNameLimit = 255;
constexpr uint32_t kStackMark = 0xBEEFF00Du;

const char* programPath = nullptr;
char startDirectory[kStartDirectoryBytes] = "";
char errorDevice[2] = {'C', '\0'};
int errorMode = 0;
std::FILE* errorFile = nullptr;

bool SwitchIs(const char* argument, const char* name) {
  for (int i = 0; i < 3; ++i)
    if (UpperAscii(argument[i]) != UpperAscii(name[i])) return false;
  return true;
}

void RemoveArgument(int& argc, char** argv, int index) {
  // argv[argc] is the terminating none and moves along.
  for (int i = index; i < argc; ++i) argv[i] = argv[i + 1];
  --argc;
}

// Consumes -ke and -kp. False when an options file name is refused.
bool SwitchPass(int& argc, char** argv) {
  int i = 0;
  while (i < argc) {
    const char* argument = argv[i];
    if (!argument) {
      ++i;
      continue;
    }
    if (SwitchIs(argument, "-ke")) {
      const char device = UpperAscii(argument[3]);
      if (device == 'A' || device == 'C' || device == 'F' || device == 'N') {
        SetErrDevice(device);
        RemoveArgument(argc, argv, i);
        continue;
      }
    } else if (SwitchIs(argument, "-kp")) {
      const char* name = argument[3] ? argument + 3 : "OPTIONS.INI";
      if (std::strlen(name) > kOptionsNameLimit) {
        std::fprintf(stderr, "Options file name longer than %d characters: '%s'\n",
                     static_cast<int>(kOptionsNameLimit), name);
        return false;
      }
      std::printf("\nOverriding default behavior with Options file: '%s'\n", name);
      ProfilePtr->Load(name);
      RemoveArgument(argc, argv, i);
      continue;
    }
    ++i;
  }
  return true;
}

int Report(const char* caption, const char* format, va_list arguments) {
  char text[kReportBytes];
  if (std::vsnprintf(text, sizeof text, format, arguments) < 0) text[0] = '\0';
  platform::DebugOutput(text);
  platform::DebugOutput("\n");
  if (errorFile) {
    std::fprintf(errorFile, "%s\n", text);
    return std::fflush(errorFile);
  }
  return platform::ShowMessageBox(text, caption);
}

[[noreturn]] void EndProcess() {
  // The frame's tear-down is skipped on purpose; only output already
  // written by the application is pushed out.
  std::fflush(nullptr);
  std::_Exit(1);
}

}  // namespace

void frameSetProgramPath(const char* path) { programPath = path; }

void frameRecordStartDirectory() {
  if (!platform::GetDirectory(startDirectory, sizeof startDirectory))
    std::strcpy(startDirectory, ".");
}

bool frameSwitchPass(int& argc, char** argv) { return SwitchPass(argc, argv); }

const char* frameProgramPath() { return programPath; }
const char* frameStartDirectory() { return startDirectory; }

char SetErrDevice(char device) {
  errorDevice[0] = device;
  return device;
}

int errBegin() {
  char device[2];
  ProfileGetOption("Profile", "ErrorDevice", device, errorDevice, sizeof device);
  switch (UpperAscii(device[0])) {
    case 'N': errorMode = 0; break;
    case 'A': errorMode = 1; break;
    case 'F': errorMode = 2; break;
    case 'C': errorMode = 3; break;
    default: break;
  }
  return 1;
}

void errEnd() {}

std::FILE* errGetFile() { return errorMode == 2 ? errorFile : nullptr; }

int errGetMode() { return errorMode; }
char errGetDevice() { return errorDevice[0]; }
void errSetFile(std::FILE* file) { errorFile = file; }

int _Error(const char* format, ...) {
  va_list arguments;
  va_start(arguments, format);
  const int shown = Report("_Error()", format, arguments);
  va_end(arguments);
  return shown;
}

void _FatalError(const char* format, ...) {
  va_list arguments;
  va_start(arguments, format);
  Report("_FatalError()", format, arguments);
  va_end(arguments);
  EndProcess();
}

void _Failure(const char* format, ...) {
  va_list arguments;
  va_start(arguments, format);
  Report("_Failure()", format, arguments);
  va_end(arguments);
  EndProcess();
}

// The probes work below their own frame on purpose: they must see the real
// stack, not an instrumented copy, and must not have those writes checked.
#define STACK_PROBE __attribute__((noinline, no_sanitize_address))

namespace {
STACK_PROBE volatile uint32_t* ProbeTop(const volatile uint32_t* local) {
  return reinterpret_cast<volatile uint32_t*>((reinterpret_cast<uintptr_t>(local) - 35) &
                                              ~uintptr_t{3});
}
}  // namespace

STACK_PROBE void* testStackUsageBegin(void*, int32_t bytes) {
  volatile uint32_t local = 0;
  volatile uint32_t* top = ProbeTop(&local);
  const int32_t words = bytes > 0 ? bytes / 4 : 0;
  for (int32_t i = 0; i < words; ++i) *(top - i) = kStackMark;
  return const_cast<uint32_t*>(top - words);
}

STACK_PROBE int32_t testStackUsageEnd(void*, int32_t bytes) {
  volatile uint32_t local = 0;
  volatile uint32_t* top = ProbeTop(&local);
  const int32_t words = bytes > 0 ? bytes / 4 : 0;
  for (int32_t i = 0; i < words; ++i)
    if (*(top - i) == kStackMark) return words - i;
  return 0;
}
