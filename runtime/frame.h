#pragma once
// The program frame and the error system: the library's switches, the start
// directory, bring-up and tear-down around the application, and reports.

#include <cstdint>
#include <cstdio>

/// The application's entry, called by the frame with the arguments left
/// after the library's switches were removed; its result is the exit code.
int pixmillMain(int argc, char** argv);

/// The whole frame: switch pass, start directory, bring-up, pixmillMain,
/// tear-down. Returns the process exit code. The process entry calls it.
int frameMain(int argc, char** argv);

/// Consumes the library's switches -ke and -kp from the arguments; false
/// when an options file name is refused (the message is printed).
bool frameSwitchPass(int& argc, char** argv);
/// Records argv[0] after the switch pass.
void frameSetProgramPath(const char* path);
/// Records the current directory as the start directory (the file layer
/// takes it as its home directory).
void frameRecordStartDirectory();

/// argv[0] after the switch pass, or none before the frame ran.
const char* frameProgramPath();
/// The directory the program started in ("." when it could not be read).
const char* frameStartDirectory();

/// Stores the error device character ('C', 'A', 'F', 'N'); returns it.
char SetErrDevice(char device);
/// Reads "ErrorDevice" from the profile and sets the error mode; returns 1.
int errBegin();
/// Ends the error system (nothing to release).
void errEnd();
/// The error log file when the mode is 2 and one is set, else none.
std::FILE* errGetFile();
/// The error mode set by errBegin: 0 'N', 1 'A', 2 'F', 3 'C'.
int errGetMode();
/// The error device character.
char errGetDevice();
/// Sets (or with none clears) the error log file the reports write to.
void errSetFile(std::FILE* file);

/// Reports a formatted message (cut to 255 characters); returns the result
/// of showing it.
int _Error(const char* format, ...);
/// Reports a formatted message and ends the process with exit code 1.
[[noreturn]] void _FatalError(const char* format, ...);
/// Reports a formatted message and ends the process with exit code 1.
[[noreturn]] void _Failure(const char* format, ...);

/// Marks `bytes` of stack below the caller's frame with 0xBEEFF00D words.
void* testStackUsageBegin(void* unused, int32_t bytes);
/// Counts the marked words of that region that are still untouched.
int32_t testStackUsageEnd(void* unused, int32_t bytes);
