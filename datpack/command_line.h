#pragma once
// datpack's command line: a verb, its names and options in any order.

#include <string>
#include <vector>

#include "cli/command_line.h"
#include "datpack/verbs.h"

namespace datpack {

using cli::Request;

/// Parses the arguments after the program name. kHelp leaves the verb (or
/// "") in options.verb; kUsageError leaves the reason in `error`.
Request ParseCommandLine(const std::vector<std::string>& arguments, Options& options, std::string& error);

/// The text of --help, for the whole program ("") or one verb.
std::string HelpText(const std::string& verb);

/// The line after a usage error that shows how the verb is used.
std::string UsageLine(const std::string& verb);

}  // namespace datpack
