#include "modbatch/batch.h"

#include <cstdio>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include "cli/command_line.h"
#include "cli/progress.h"
#include "modbatch/manifest.h"
#include "modbatch/plan.h"
#include "modbatch/run.h"
#include "platform/interrupt.h"
#include "platform/process.h"

namespace modbatch {

namespace fs = std::filesystem;

namespace {

// A tool named on the command line, else beside modbatch (as installed),
// else where the build puts it, else on PATH; empty when none is found.
std::string FindTool(const std::string& given, const std::string& base) {
  std::error_code error;
  if (!given.empty()) {
    const fs::path path(given);
    if (!path.has_parent_path()) {
      const std::string onPath = platform::FindOnPath(given);
      if (!onPath.empty()) return onPath;
    }
    return fs::is_regular_file(path, error) ? fs::absolute(path).string() : std::string();
  }
  const std::string name = platform::ExecutableName(base);
  const fs::path self = platform::CurrentExecutable();
  if (!self.empty()) {
    for (const fs::path& candidate :
         {self.parent_path() / name, self.parent_path().parent_path() / base / name}) {
      if (fs::is_regular_file(candidate, error)) return candidate.string();
    }
  }
  return platform::FindOnPath(name);
}

std::string JoinArguments(const std::string& tool, const std::vector<std::string>& arguments) {
  std::string line = tool;
  for (const std::string& a : arguments) line += " " + a;
  return line;
}

}  // namespace

int RunBatch(const BatchOptions& options) {
  for (const std::string& folder : options.folders) {
    std::error_code error;
    if (!fs::is_directory(folder, error)) {
      std::fprintf(stderr, "modbatch: folder %s does not exist\n", folder.c_str());
      return cli::kUsageError;
    }
  }
  Plan plan = MakePlan(options);
  if (options.dryRun) {
    for (const Job& job : plan.jobs) {
      std::printf("%s: %s\n", job.shown.c_str(),
                  JoinArguments(job.tool == Tool::kPixmill ? "pixmill" : "trackconv", job.arguments)
                      .c_str());
    }
    for (const PlanFailure& f : plan.failures) std::printf("%s: %s\n", f.shown.c_str(), f.message.c_str());
    if (!options.quiet) {
      std::printf("%zu to convert, %zu up to date\n", plan.jobs.size(), plan.upToDate);
    }
    return 0;
  }

  Tools tools;
  bool pictures = false, tracks = false;
  for (const Job& job : plan.jobs) (job.tool == Tool::kPixmill ? pictures : tracks) = true;
  if (pictures && (tools.pixmill = FindTool(options.pixmill, "pixmill")).empty()) {
    std::fprintf(stderr, "modbatch: pixmill not found; name it with --pixmill PATH\n");
    return cli::kUsageError;
  }
  if (tracks && (tools.trackconv = FindTool(options.trackconv, "trackconv")).empty()) {
    std::fprintf(stderr, "modbatch: trackconv not found; name it with --trackconv PATH\n");
    return cli::kUsageError;
  }
  for (const Job& job : plan.jobs) {
    std::error_code error;
    fs::create_directories(job.outputDirectory, error);
  }

  for (const PlanFailure& f : plan.failures) {
    std::fprintf(stderr, "%s: %s\n", f.shown.c_str(), f.message.c_str());
  }
  // Each finished picture is recorded at once, so that a run that is
  // interrupted or dies keeps what it did for the next one.
  auto record = [&](std::size_t index, const Outcome& outcome) {
    const Job& job = plan.jobs[index];
    if (job.tool != Tool::kPixmill || outcome.interrupted || !outcome.started) return;
    SwitchManifest& manifest = plan.Manifest(job.outputDirectory);
    // A failed conversion leaves an older output as the tool left it: that
    // output is still older than its input, or its switches are forgotten
    // here, so the next run tries the input again.
    if (outcome.ok) {
      manifest.Set(job.outputName, options.pixmillSwitches);
    } else {
      manifest.Erase(job.outputName);
    }
    if (!manifest.Save()) {
      std::fprintf(stderr, "modbatch: cannot write %s in %s\n", SwitchManifest::kFileName,
                   job.outputDirectory.string().c_str());
    }
  };
  const std::vector<Outcome> outcomes =
      RunJobs(plan.jobs, tools, options.jobs, cli::ProgressLine::Wanted(options.quiet), record);
  if (platform::InterruptRequested()) platform::EndInterrupted();

  std::size_t converted = 0, failed = plan.failures.size();
  for (const Outcome& outcome : outcomes) {
    if (!outcome.started) {
      if (!outcome.ran) continue;
      std::fprintf(stderr, "modbatch: %s\n", outcome.message.c_str());
      return cli::kUsageError;
    }
    (outcome.ok ? converted : failed) += 1;
  }
  if (!options.quiet) {
    std::printf("%s\n", cli::SummaryLine("", {{converted, "converted"},
                                               {plan.upToDate, "up to date"},
                                               {failed, "failed"}})
                             .c_str());
  }
  return failed > 0 ? cli::kSomeFailed : 0;
}


}  // namespace modbatch
