#pragma once
// The command line of pixmill.

#include <string>
#include <vector>

/// Prints the usage text.
void printUsage();

/// Parses and checks the command line, finds and opens the input and hands
/// it to the conversion run. Answers the program's result (0 or 1).
int commandLineRun(int argc, char** argv);

/// Whether pixmill takes `switches` (no names among them) as a command
/// line, checked as the run checks them before it looks at the input;
/// prints nothing. When not, `why` is the line pixmill would refuse them
/// with.
bool commandLineSwitchesAccepted(const std::vector<std::string>& switches, std::string& why);

/// Offset of the last path component of `name` (after the last '/' or '\').
int nameLastComponent(const char* name);
/// Offset of the first '.' of the last path component, or -1 when it has none.
int nameExtension(const char* name);
