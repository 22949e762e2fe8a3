#pragma once
// datpack's command line: a verb, its names and options in any order.

#include <string>
#include <vector>

#include "datpack/verbs.h"

namespace datpack {

enum class Request { kRun, kHelp, kVersion, kUsageError };

/// Parses the arguments after the program name. kHelp leaves the verb (or
/// "") in options.verb; kUsageError leaves the reason in `error`.
Request ParseCommandLine(const std::vector<std::string>& arguments, Options& options, std::string& error);

/// The text of --help, for the whole program ("") or one verb.
std::string HelpText(const std::string& verb);

/// The one-line reminder after a usage error.
std::string UsageLine(const std::string& verb);

}  // namespace datpack
