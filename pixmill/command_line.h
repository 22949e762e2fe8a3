#pragma once
// The command line of pixmill.

/// Prints the usage text.
void printUsage();

/// Parses and checks the command line, finds and opens the input and hands
/// it to the conversion run. Answers the program's result (0 or 1).
int commandLineRun(int argc, char** argv);

/// Offset of the last path component of `name` (after the last '/' or '\').
int nameLastComponent(const char* name);
/// Offset of the first '.' of the last path component, or -1 when it has none.
int nameExtension(const char* name);
