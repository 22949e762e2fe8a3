#include "modbatch/run.h"

#include <atomic>
#include <cstdio>
#include <mutex>

#include "cli/pool.h"
#include "cli/progress.h"
#include "platform/interrupt.h"
#include "platform/process.h"

namespace modbatch {

namespace {

std::string LastLine(const std::string& text) {
  const std::size_t end = text.find_last_not_of(" \r\n");
  if (end == std::string::npos) return std::string();
  std::size_t start = text.find_last_of("\r\n", end);
  start = start == std::string::npos ? 0 : start + 1;
  return text.substr(start, end + 1 - start);
}

// How far the batch is, on the progress line; failure reports go above it.
std::string ProgressText(const cli::ProgressLine& line, std::size_t done, std::size_t total,
                         std::size_t failed) {
  char text[160];
  std::snprintf(text, sizeof text, "%zu/%zu done, %zu failed, %.1f/s", done, total, failed,
                line.Rate(done));
  return text;
}

// The message of a failed child: the last line it printed, preferring
// standard error.
std::string FailureMessage(int status, const std::string& standardOutput,
                           const std::string& standardError) {
  std::string message = LastLine(standardError);
  if (message.empty()) message = LastLine(standardOutput);
  if (status < 0) return message.empty() ? "crashed" : message + " (crashed)";
  if (message.empty()) message = "exit status " + std::to_string(status);
  return message;
}

}  // namespace


std::vector<Outcome> RunJobs(const std::vector<Job>& jobs, const Tools& tools, unsigned parallel,
                             bool progress, const Finished& finished) {
  std::vector<Outcome> outcomes(jobs.size());
  cli::ProgressLine line(progress);
  std::mutex lock;
  std::size_t done = 0, failed = 0;
  std::atomic<bool> stop{false};
  line.Show(ProgressText(line, done, jobs.size(), failed));
  cli::RunPool(jobs.size(), cli::WorkerCount(parallel, jobs.size()), [&](std::size_t i) {
    if (stop || platform::InterruptRequested()) return;
    const Job& job = jobs[i];
    const std::string& program = job.tool == Tool::kPixmill ? tools.pixmill : tools.trackconv;
    const platform::ProcessResult result =
        platform::RunProcess(program, job.arguments, job.workingDirectory.string());
    Outcome& outcome = outcomes[i];
    outcome.ran = true;
    outcome.started = result.started;
    outcome.ok = result.started && result.exit_status == 0;
    outcome.interrupted = !outcome.ok && platform::InterruptRequested();
    if (!result.started) {
      // A tool that cannot be started fails every job alike.
      stop = true;
      outcome.message = result.standard_error;
    } else if (!outcome.ok) {
      outcome.message = FailureMessage(result.exit_status, result.standard_output,
                                       result.standard_error);
    }
    std::lock_guard<std::mutex> hold(lock);
    if (finished) finished(i, outcome);
    if (!outcome.started || outcome.interrupted) return;
    ++done;
    if (!outcome.ok) {
      ++failed;
      line.Clear();
      std::fprintf(stderr, "%s: %s\n", job.shown.c_str(), outcome.message.c_str());
    }
    line.Show(ProgressText(line, done, jobs.size(), failed));
  });
  line.Clear();
  std::fflush(stderr);
  return outcomes;
}

}  // namespace modbatch
