#pragma once
// Running the planned conversions as child processes, N at a time.

#include <cstddef>
#include <functional>
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
  bool ran = false;          ///< false when it was never started (interrupted before)
  bool started = false;      ///< false when the tool could not be started
  bool interrupted = false;  ///< ended by the user's interruption: the old output stands
  bool ok = false;
  std::string message;  ///< the tool's own message when it failed
};

/// Called as each job ends, one call at a time, with the job's index.
using Finished = std::function<void(std::size_t job, const Outcome& outcome)>;

/// Runs every job, `parallel` at a time (0: one per processor); reports
/// each failure on standard error as it comes and, with `progress`, keeps a
/// progress line there. After an interruption, or once the tool cannot be
/// started, no further job starts and the ones running are waited for.
std::vector<Outcome> RunJobs(const std::vector<Job>& jobs, const Tools& tools, unsigned parallel,
                             bool progress, const Finished& finished = Finished());

}  // namespace modbatch
