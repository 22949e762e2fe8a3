#pragma once
// The command line of pixmill.

/// Prints the usage text.
void printUsage();
