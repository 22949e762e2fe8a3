#include "modbatch/batch.h"

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <set>
#include <string>
#include <system_error>
#include <vector>

#include "cli/command_line.h"
#include "cli/progress.h"
#include "modbatch/plan.h"
#include "modbatch/run.h"
#include "modbatch/watch.h"
#include "pixmill/command_line.h"
#include "platform/atomic_replace.h"
#include "platform/file_attributes.h"
#include "platform/interrupt.h"
#include "platform/process.h"
#include "platform/replace_file.h"

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

std::string Source(const RuleSource& source) {
  return source.file + ":" + std::to_string(source.line) + " [" + source.section + "]";
}

void PrintExplanation(const Explanation& e) {
  std::printf("%s\n", e.shown.c_str());
  if (e.tool == Tool::kPixmill) {
    const PictureRules& r = e.rules;
    if (r.skip) std::printf("  skip:     %s\n", Source(r.skipFrom).c_str());
    std::printf("  switches: %s\n", r.switchesFrom.file.empty() ? "none from a rules file (the command line's)"
                                                                : Source(r.switchesFrom).c_str());
    if (!r.output.empty()) std::printf("  output:   %s\n", Source(r.outputFrom).c_str());
  }
  if (!e.command.empty()) {
    std::printf("  command:  %s (in %s)\n", e.command.c_str(), e.directory.c_str());
  }
  std::printf("  %s\n", e.state.c_str());
}

// Where each path to explain is planned from: the first folder given that
// holds it, else the current folder when it holds it, else its own folder.
bool ExplainTargets(const BatchOptions& options, std::vector<std::pair<std::string, std::string>>& targets) {
  for (const std::string& given : options.explainPaths) {
    const fs::path path = fs::absolute(given).lexically_normal();
    std::vector<std::string> roots = options.folders;
    if (roots.empty()) roots.push_back(".");
    bool found = false;
    for (const std::string& root : roots) {
      const fs::path relative = path.lexically_relative(fs::absolute(root).lexically_normal());
      if (relative.empty() || *relative.begin() == "..") continue;
      targets.push_back({root, relative == "." ? std::string() : relative.generic_string()});
      found = true;
      break;
    }
    if (!found && options.folders.empty()) {
      targets.push_back({path.parent_path().string(), path.filename().string()});
      found = true;
    }
    if (!found) {
      std::fprintf(stderr, "modbatch: %s is in none of the folders given\n", given.c_str());
      return false;
    }
  }
  return true;
}

// Writes the records that changed; an old switch manifest beside one goes,
// the record having taken its place.
void SaveRecords(Plan& plan, const std::set<std::string>& directories) {
  for (const std::string& directory : directories) {
    if (!plan.Record(directory).Save()) {
      std::fprintf(stderr, "modbatch: cannot write %s in %s\n", BuildRecord::kFileName,
                   directory.c_str());
      continue;
    }
    const std::string old = (fs::path(directory) / ".modbatch-switches").string();
    uint32_t attributes = 0;
    if (platform::GetFileAttributes(old, attributes)) platform::RemoveFile(old);
  }
}

// Whether every argument names a folder; names the first that does not.
bool FoldersExist(const std::vector<std::string>& folders) {
  for (const std::string& folder : folders) {
    std::error_code error;
    if (fs::is_directory(folder, error)) continue;
    if (fs::exists(folder, error))
      std::fprintf(stderr, "modbatch: %s is a file, not a folder\n", folder.c_str());
    else
      std::fprintf(stderr, "modbatch: folder %s does not exist\n", folder.c_str());
    return false;
  }
  return true;
}

}  // namespace

Tools FindTools(const BatchOptions& options) {
  return {FindTool(options.pixmill, "pixmill"), FindTool(options.trackconv, "trackconv")};
}

int ExplainBatch(const BatchOptions& options, const Tools& tools) {
  std::vector<std::pair<std::string, std::string>> targets;
  if (!ExplainTargets(options, targets)) return cli::kUsageError;
  Plan plan = ExplainPlan(options, tools, targets);
  for (const RuleFault& fault : plan.ruleFaults) std::fprintf(stderr, "%s\n", fault.Text().c_str());
  for (const Explanation& e : plan.explanations) PrintExplanation(e);
  for (const PlanFailure& f : plan.failures) std::fprintf(stderr, "%s: %s\n", f.shown.c_str(), f.message.c_str());
  return !plan.ruleFaults.empty() ? cli::kUsageError : plan.failures.empty() ? 0 : cli::kSomeFailed;
}

int BuildBatch(const BatchOptions& options, const Tools& given, FailedBuilds* failedBefore,
               bool watching) {
  Tools tools = given;
  Plan plan = MakePlan(options, tools);
  std::set<std::string> failedInputs;  // what no archive may be packed from
  if (failedBefore != nullptr) {
    // An input that failed and has not changed since would only fail again.
    std::vector<Job> jobs;
    for (Job& job : plan.jobs) {
      auto before = failedBefore->find(job.shown);
      bool refreshed = false;
      if (before == failedBefore->end() || !WhyMadeOtherwise(job.wanted, before->second, refreshed).empty()) {
        jobs.push_back(std::move(job));
      } else {
        failedInputs.insert(job.shown);
      }
    }
    plan.jobs = std::move(jobs);
  }
  if (!plan.ruleFaults.empty()) {
    for (const RuleFault& fault : plan.ruleFaults) std::fprintf(stderr, "%s\n", fault.Text().c_str());
    std::fprintf(stderr, "modbatch: nothing converted: the rules files above need mending\n");
    return cli::kUsageError;
  }
  if (!options.quiet && !watching) {
    for (const PlanFailure& note : plan.notTracks) std::printf("%s: %s\n", note.shown.c_str(), note.message.c_str());
    if (options.verbose)
      for (const PlanFailure& skip : plan.skipped)
        std::printf("%s: skipped, %s\n", skip.shown.c_str(), skip.message.c_str());
    std::fflush(stdout);
  }
  if (options.dryRun) {
    for (const Job& job : plan.jobs) {
      std::printf("%s: %s\n", job.shown.c_str(),
                  JoinArguments(job.tool == Tool::kPixmill ? "pixmill" : "trackconv", job.arguments)
                      .c_str());
    }
    for (const PlanFailure& f : plan.failures) std::printf("%s: %s\n", f.shown.c_str(), f.message.c_str());
    // An archive is listed when the run would pack it: something it is
    // made from is converted first, or it differs from what was packed.
    std::set<std::string> remade;
    for (const Job& job : plan.jobs) remade.insert(job.shown);
    for (const PlanFailure& f : plan.failures) remade.insert(f.shown);
    std::size_t toPack = 0;
    for (const PackJob& pack : plan.packs) {
      bool stale = options.force || !pack.fault.empty();
      for (const std::string& producer : pack.producers) stale = stale || remade.count(producer) > 0;
      BuildEntry* recorded = plan.Record(pack.directory).Find(pack.archive);
      bool refreshed = false;
      stale = stale || recorded == nullptr || !WhyOutOfDate(pack.wanted, *recorded, refreshed).empty();
      if (!stale) {
        ++plan.upToDate;
        continue;
      }
      ++toPack;
      std::printf("%s: pack %zu members\n", pack.shown.c_str(), pack.members.size());
    }
    if (!options.quiet) {
      std::printf("%zu to convert, %zu up to date\n", plan.jobs.size() + toPack, plan.upToDate);
    }
    return 0;
  }

  bool pictures = false, tracks = false;
  for (const Job& job : plan.jobs) (job.tool == Tool::kPixmill ? pictures : tracks) = true;
  if (pictures && tools.pixmill.empty()) {
    std::fprintf(stderr, "modbatch: pixmill not found; name it with --pixmill PATH\n");
    return cli::kUsageError;
  }
  if (tracks && tools.trackconv.empty()) {
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
  // Each finished conversion goes into its folder's record at once, and the
  // records are written as the batch goes (at most twice a second) and at
  // its end, so that a run that is interrupted or dies keeps what it did.
  std::set<std::string> written = plan.refreshed;  // records not written since they changed
  auto lastSave = std::chrono::steady_clock::now();
  auto record = [&](std::size_t index, const Outcome& outcome) {
    const Job& job = plan.jobs[index];
    if (outcome.interrupted || !outcome.started || !outcome.ran) return;
    BuildRecord& record = plan.Record(job.outputDirectory);
    BuildEntry entry;
    // A failed conversion leaves an older output as the tool left it; its
    // entry goes, so the next run tries the input again.
    if (outcome.ok && StampBuild(job.wanted, entry)) {
      record.Set(entry);
    } else {
      record.Erase(job.outputName);
    }
    if (failedBefore != nullptr) {
      if (outcome.ok) failedBefore->erase(job.shown);
      else if (StampInputs(job.wanted, entry)) (*failedBefore)[job.shown] = entry;
    }
    if (outcome.ok && watching && !options.quiet) std::printf("%s: rebuilt\n", job.shown.c_str());
    written.insert(job.outputDirectory.string());
    const auto now = std::chrono::steady_clock::now();
    if (now - lastSave >= std::chrono::milliseconds(500)) {
      SaveRecords(plan, written);
      written.clear();
      lastSave = now;
    }
  };
  const std::vector<Outcome> outcomes = RunJobs(
      plan.jobs, tools, options.jobs, !watching && cli::ProgressLine::Wanted(options.quiet), record);
  if (platform::InterruptRequested()) {
    SaveRecords(plan, written);
    platform::EndInterrupted();
  }

  std::size_t converted = 0, failed = plan.failures.size();
  for (std::size_t i = 0; i < outcomes.size(); ++i) {
    const Outcome& outcome = outcomes[i];
    if (!outcome.started) {
      if (!outcome.ran) continue;
      SaveRecords(plan, written);
      std::fprintf(stderr, "modbatch: %s\n", outcome.message.c_str());
      return cli::kUsageError;
    }
    (outcome.ok ? converted : failed) += 1;
    if (!outcome.ok) failedInputs.insert(plan.jobs[i].shown);
  }
  // The archives, once what goes into them is made.
  for (const PlanFailure& f : plan.failures) failedInputs.insert(f.shown);
  for (PackJob& pack : plan.packs) {
    std::string fault = pack.fault;
    for (const std::string& producer : pack.producers) {
      if (fault.empty() && failedInputs.count(producer) > 0) fault = producer + " failed to convert";
    }
    BuildRecord& record = plan.Record(pack.directory);
    if (fault.empty()) {
      BuildEntry* recorded = record.Find(pack.archive);
      bool refreshed = false;
      const std::string why = options.force || recorded == nullptr
                                  ? std::string("never packed here")
                                  : WhyOutOfDate(pack.wanted, *recorded, refreshed);
      if (refreshed) written.insert(pack.directory.string());
      if (why.empty()) {
        ++plan.upToDate;
        continue;
      }
      std::vector<uint8_t> bytes;
      std::error_code error;
      fs::create_directories(pack.directory, error);
      BuildEntry entry;
      if (!PackBytes(pack.members, bytes, fault)) {
        // fault says why
      } else if (!platform::WriteFileReplacing((pack.directory / pack.archive).string(), bytes)) {
        fault = "cannot write " + pack.archive;
      } else if (StampBuild(pack.wanted, entry)) {
        record.Set(std::move(entry));
        written.insert(pack.directory.string());
        ++converted;
        if (watching && !options.quiet) std::printf("%s: packed\n", pack.shown.c_str());
        continue;
      }
    }
    record.Erase(pack.archive);
    written.insert(pack.directory.string());
    std::fprintf(stderr, "%s: %s\n", pack.shown.c_str(), fault.c_str());
    ++failed;
  }
  SaveRecords(plan, written);
  if (!options.quiet && !watching) {
    std::vector<std::pair<std::size_t, const char*>> counts = {{converted, "converted"},
                                                               {plan.upToDate, "up to date"}};
    if (plan.skippedByRule > 0) counts.push_back({plan.skippedByRule, "skipped"});
    counts.push_back({failed, "failed"});
    std::printf("%s\n", cli::SummaryLine("", counts).c_str());
  }
  std::fflush(stdout);
  return failed > 0 ? cli::kSomeFailed : 0;
}

int RunBatch(const BatchOptions& options) {
  if (!FoldersExist(options.folders)) return cli::kUsageError;
  // The switches after -- are pixmill's: refused once, as pixmill would.
  std::string why;
  if (!options.pixmillSwitches.empty() && !commandLineSwitchesAccepted(options.pixmillSwitches, why)) {
    std::fprintf(stderr, "modbatch: pixmill refuses the switches after --: %s\n", why.c_str());
    return cli::kUsageError;
  }
  const Tools tools = FindTools(options);
  if (options.explain) return ExplainBatch(options, tools);
  if (options.watch) return WatchBatch(options, tools);
  return BuildBatch(options, tools);
}

}  // namespace modbatch
