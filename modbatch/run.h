#pragma once
// Running the planned conversions as child processes, N at a time.

#include <cstddef>
#include <string>
#include <vector>

#include "modbatch/plan.h"

namespace modbatch {

/// The programs the conversions run.
struct Tools {
  std::string pixmill;
  std::string trackconv;
};

/// The outcome of one conversion.
struct Outcome {
  bool ok = false;
  std::string message;  ///< the tool's own message when it failed
};

/// Runs every job, `parallel` at a time (0: one per processor); reports
/// each failure on standard error as it comes and, with `progress`, keeps a
/// progress line there.
std::vector<Outcome> RunJobs(const std::vector<Job>& jobs, const Tools& tools, unsigned parallel,
                             bool progress);

}  // namespace modbatch
