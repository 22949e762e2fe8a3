#pragma once
// datpack's verbs as library calls: each takes the parsed command line,
// writes its report to `out` and its failures to `err`, and answers the
// exit status.

#include <iosfwd>
#include <string>
#include <vector>

#include "cli/command_line.h"

namespace datpack {

using cli::kAllDone;
using cli::kSomeFailed;
using cli::kUsageError;

struct Options {
  std::string verb;
  std::vector<std::string> names;
  std::string output;     ///< -o: the folder of unpack, the archive of pack
  bool force = false;     ///< -f: replace existing files
  bool long_list = false; ///< -l
  bool json = false;      ///< --json
  bool quiet = false;     ///< -q
  bool progress = false;  ///< a progress line on standard error (a terminal)
};

int List(const Options& options, std::ostream& out, std::ostream& err);
int Unpack(const Options& options, std::ostream& out, std::ostream& err);
int Pack(const Options& options, std::ostream& out, std::ostream& err);
/// add, replace and delete.
int Update(const Options& options, std::ostream& out, std::ostream& err);
int Verify(const Options& options, std::ostream& out, std::ostream& err);
int Diff(const Options& options, std::ostream& out, std::ostream& err);

/// Runs the verb named in `options`.
int RunVerb(const Options& options, std::ostream& out, std::ostream& err);

/// The folder unpack writes into when no -o is given: the archive's name
/// without its extension ("BRAVO.DAT" -> "BRAVO"), in the current directory.
std::string DefaultFolder(const std::string& archive);

}  // namespace datpack
