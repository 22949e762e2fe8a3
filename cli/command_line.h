#pragma once
// The command-line conventions the newer programs share: what a parsed
// command line asks for, the -j count, usage errors and the summary line.

#include <cstddef>
#include <string>
#include <utility>
#include <vector>

namespace cli {

/// What a command line asks for once it is parsed.
enum class Request { kRun, kHelp, kVersion, kUsageError };

/// Exit statuses: everything done, some input failed, a usage error.
constexpr int kAllDone = 0;
constexpr int kSomeFailed = 1;
constexpr int kUsageError = 2;

/// The value of -j: a whole number from 1 to 9999 in decimal digits, nothing
/// else. False (and `jobs` untouched) for anything else.
bool ParseJobs(const std::string& text, unsigned& jobs);

/// Prints "<program>: <message>" and a second line that points to --help
/// on standard error; an empty `hint` gives the usual
/// "Try '<program> --help' for more information.".
void PrintUsageError(const std::string& program, const std::string& message,
                     const std::string& hint = std::string());

/// The counts of a run joined into one line, "3 converted, 1 failed"; a
/// non-empty `program` leads it as "<program>: ".
std::string SummaryLine(const std::string& program,
                        const std::vector<std::pair<std::size_t, const char*>>& counts);

}  // namespace cli
