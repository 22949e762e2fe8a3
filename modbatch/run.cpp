#include "modbatch/run.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <mutex>
#include <thread>

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

// The one line on standard error that shows how far the batch is; failure
// reports are written above it.
class Progress {
 public:
  Progress(std::size_t total, bool shown) : total_(total), shown_(shown) { Draw(); }

  // Under its lock, so that `then` runs one call at a time.
  template <typename Then>
  void Finished(const std::string& shown, const Outcome& outcome, Then then) {
    std::lock_guard<std::mutex> lock(mutex_);
    then();
    if (outcome.interrupted || !outcome.started) return;
    ++done_;
    if (!outcome.ok) {
      ++failed_;
      Clear();
      std::fprintf(stderr, "%s: %s\n", shown.c_str(), outcome.message.c_str());
    }
    Draw();
  }

  ~Progress() {
    Clear();
    std::fflush(stderr);
  }

 private:
  void Clear() {
    if (!shown_ || width_ == 0) return;
    std::fprintf(stderr, "\r%*s\r", width_, "");
    width_ = 0;
  }

  void Draw() {
    if (!shown_) return;
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
    char line[160];
    const int width = std::snprintf(line, sizeof line, "%zu/%zu done, %zu failed, %.1f/s", done_,
                                    total_, failed_, seconds > 0 ? done_ / seconds : 0.0);
    std::fprintf(stderr, "\r%s%*s", line, width_ > width ? width_ - width : 0, "");
    width_ = std::max(width_, width);
    std::fflush(stderr);
  }

  std::mutex mutex_;
  const std::size_t total_;
  const bool shown_;
  std::size_t done_ = 0;
  std::size_t failed_ = 0;
  int width_ = 0;
  const std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
};

}  // namespace

std::string FailureMessage(int status, const std::string& standardOutput,
                           const std::string& standardError) {
  std::string message = LastLine(standardError);
  if (message.empty()) message = LastLine(standardOutput);
  if (status < 0) return message.empty() ? "crashed" : message + " (crashed)";
  if (message.empty()) message = "exit status " + std::to_string(status);
  return message;
}

std::vector<Outcome> RunJobs(const std::vector<Job>& jobs, const Tools& tools, unsigned parallel,
                             bool progress, const Finished& finished) {
  std::vector<Outcome> outcomes(jobs.size());
  Progress line(jobs.size(), progress);
  std::atomic<std::size_t> next{0};
  std::atomic<bool> stop{false};
  auto work = [&] {
    for (std::size_t i = next++; i < jobs.size(); i = next++) {
      if (stop || platform::InterruptRequested()) return;
      const Job& job = jobs[i];
      const std::string& program = job.tool == Tool::kPixmill ? tools.pixmill : tools.trackconv;
      platform::ProcessResult result =
          platform::RunProcess(program, job.arguments, job.workingDirectory.string());
      Outcome& outcome = outcomes[i];
      outcome.ran = true;
      outcome.started = result.started;
      // A tool that cannot be started fails every job alike.
      if (!result.started) {
        stop = true;
        outcome.message = result.standard_error;
      }
      outcome.ok = result.started && result.exit_status == 0;
      outcome.interrupted = !outcome.ok && platform::InterruptRequested();
      if (result.started && !outcome.ok) {
        outcome.message = FailureMessage(result.exit_status, result.standard_output,
                                         result.standard_error);
      }
      line.Finished(job.shown, outcome, [&] {
        if (finished) finished(i, outcome);
      });
    }
  };
  std::vector<std::thread> workers;
  const std::size_t count = std::min<std::size_t>(parallel == 0 ? 1 : parallel, jobs.size());
  for (std::size_t i = 1; i < count; ++i) workers.emplace_back(work);
  if (count > 0) work();
  for (std::thread& worker : workers) worker.join();
  return outcomes;
}

}  // namespace modbatch
