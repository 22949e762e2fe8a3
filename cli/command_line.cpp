#include "cli/command_line.h"

#include <cstdio>

namespace cli {

bool ParseJobs(const std::string& text, unsigned& jobs) {
  if (text.empty() || text.size() > 4) return false;
  unsigned value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
    value = value * 10 + static_cast<unsigned>(c - '0');
  }
  if (value == 0) return false;
  jobs = value;
  return true;
}

void PrintUsageError(const std::string& program, const std::string& message,
                     const std::string& hint) {
  const std::string second =
      hint.empty() ? "Try '" + program + " --help' for more information." : hint;
  std::fprintf(stderr, "%s: %s\n%s\n", program.c_str(), message.c_str(), second.c_str());
}

std::string SummaryLine(const std::string& program,
                        const std::vector<std::pair<std::size_t, const char*>>& counts) {
  std::string line = program.empty() ? std::string() : program + ": ";
  for (std::size_t i = 0; i < counts.size(); ++i) {
    if (i > 0) line += ", ";
    line += std::to_string(counts[i].first) + " " + counts[i].second;
  }
  return line;
}

}  // namespace cli
