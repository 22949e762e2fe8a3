#include "modbatch/plan.h"

#include <algorithm>
#include <system_error>

#include "cli/walk.h"
#include "pixmill/command_line.h"
#include "platform/file_attributes.h"
#include "platform/process.h"
#include "platform/whole_file.h"

namespace modbatch {

namespace fs = std::filesystem;

namespace {

bool HasExtension(const std::string& lowerName, const char* const* extensions) {
  const std::size_t dot = lowerName.rfind('.');
  if (dot == std::string::npos) return false;
  for (const char* const* e = extensions; *e; ++e) {
    if (lowerName.compare(dot, std::string::npos, *e) == 0) return true;
  }
  return false;
}

const char* const kPictureExtensions[] = {".pcx", ".tga", ".png", nullptr};
// The files trackconv reads from a track directory.
const char* const kTrackExtensions[] = {".trk", ".dat", ".3do", ".rpy", ".rpl", nullptr};
// The files that name a track directory's track.
const char* const kTrackFileExtensions[] = {".trk", ".dat", nullptr};
// What the tools write.
const char* const kOutputExtensions[] = {".mip", ".srb", ".pbf", ".xq", nullptr};

bool WantsSrb(const std::vector<std::string>& switches) {
  for (const std::string& s : switches) {
    if (s.size() == 4 && (s[0] == '-' || s[0] == '/') && LowerCase(s.substr(1)) == "srb") return true;
  }
  return false;
}

// pixmill takes any option word that begins with "savepbfs".
bool WantsPbfs(const std::vector<std::string>& switches) {
  for (const std::string& s : switches) {
    if (s.size() >= 9 && (s[0] == '-' || s[0] == '/') && LowerCase(s.substr(1, 8)) == "savepbfs") return true;
  }
  return false;
}

// The first PBF file pixmill writes for an output: its name cut at the
// first '.' and to 7 characters, then the level number from 1. Two outputs
// whose first PBF names agree write every level's PBF over each other.
std::string FirstPbfName(const std::string& outputName) {
  return outputName.substr(0, std::min<std::size_t>(outputName.find('.'), 7)) + "1.pbf";
}

// A name the tool could take for an option is given with its directory.
std::string AsArgument(const std::string& name) {
  return !name.empty() && (name[0] == '-' || name[0] == '/') ? "./" + name : name;
}

std::string CommandLine(const char* tool, const std::vector<std::string>& arguments) {
  std::string line = tool;
  for (const std::string& a : arguments) line += " " + a;
  return line;
}

std::string Join(const std::string& relative, const std::string& name) {
  return relative.empty() ? name : name.empty() ? relative : relative + "/" + name;
}

class Planner {
  struct PendingPack {
    std::string shownRoot;
    std::string relative;  // the rules file's folder
    RuleSection section;
    fs::path directory;    // where the archive goes
  };
  // A file of the walk or an output of the plan.
  struct Found {
    std::string shownRoot;
    std::string relative;
    fs::path path;
    std::string producer;  // the input an output is made from
  };

 public:
  Planner(const BatchOptions& options, const Tools& tools) : options_(options), tools_(tools) {}

  Plan Run() {
    for (const std::string& folder : options_.folders) {
      cli::WalkTree(folder, [&](const cli::Folder& found) { Visit(folder, found, found.relative); });
    }
    return Finish();
  }

  Plan Explain(const std::vector<std::pair<std::string, std::string>>& targets) {
    for (const auto& target : targets) {
      const std::string& root = target.first;
      const std::string& relative = target.second;
      // Names below the current folder are shown as they are given.
      const std::string shownRoot = root == "." ? std::string() : root;
      const std::string path = cli::JoinPath(root, fs::path(relative).make_preferred().string());
      uint32_t attributes = 0;
      if (!platform::GetFileAttributes(path, attributes)) {
        plan_.failures.push_back({path, "no such file or folder"});
        continue;
      }
      const bool folder = (attributes & platform::kAttributeDirectory) != 0;
      // The rules of every folder above the target, outermost first; the
      // walk of a folder reads its own.
      const std::size_t slash = relative.rfind('/');
      const std::string parent =
          folder ? relative : slash == std::string::npos ? std::string() : relative.substr(0, slash);
      std::vector<std::string> chain{""};
      for (std::size_t at = 0; !parent.empty() && at != std::string::npos;) {
        const std::size_t end = parent.find('/', at);
        chain.push_back(parent.substr(0, end));
        at = end == std::string::npos ? end : end + 1;
      }
      if (folder) chain.pop_back();
      for (const std::string& rules : chain) {
        ReadRules(shownRoot, cli::JoinPath(root, fs::path(rules).make_preferred().string()), rules);
      }
      if (folder) {
        cli::WalkTree(path, [&](const cli::Folder& found) {
          Visit(shownRoot, found, Join(relative, found.relative));
        });
        continue;
      }
      const std::string name = relative.substr(slash == std::string::npos ? 0 : slash + 1);
      if (!HasExtension(LowerCase(name), kPictureExtensions)) {
        plan_.failures.push_back({path, "is no picture (.pcx, .tga, .png) and no folder"});
        continue;
      }
      const fs::path shown = ShownFolder(shownRoot, parent);
      AddPicture(shownRoot, (shown / name).string(), fs::path(path).parent_path(), parent, name);
    }
    return Finish();
  }

 private:
  Plan Finish() {
    for (PendingPack& pending : packs_) plan_.packs.push_back(MakePack(pending));
    std::stable_sort(plan_.jobs.begin(), plan_.jobs.end(), [](const Job& a, const Job& b) {
      return a.tool == Tool::kTrackconv && b.tool != Tool::kTrackconv;
    });
    return std::move(plan_);
  }

  static fs::path ShownFolder(const std::string& shownRoot, const std::string& relative) {
    const fs::path below = fs::path(relative).make_preferred();
    return below.empty() ? fs::path(shownRoot) : fs::path(shownRoot) / below;
  }

  // The rules file of `directory`, if it has one, joins the book; every
  // fault is kept for the run to refuse before it converts anything.
  void ReadRules(const std::string& shownRoot, const std::string& directory,
                 const std::string& relative) {
    // Paths explained side by side share their folders' rules.
    if (!rulesRead_.insert(shownRoot + '\n' + relative).second) return;
    const std::string path = cli::JoinPath(directory, kRulesFileName);
    std::vector<uint8_t> bytes;
    const platform::WholeFile read = platform::ReadWholeFile(path, bytes);
    const std::string shown = (ShownFolder(shownRoot, relative) / kRulesFileName).string();
    if (read == platform::WholeFile::kCannotOpen) {
      uint32_t attributes = 0;
      if (!platform::GetFileAttributes(path, attributes)) return;  // none here
      plan_.ruleFaults.push_back({shown, 0, "cannot be read"});
      return;
    }
    if (read == platform::WholeFile::kCannotRead) {
      plan_.ruleFaults.push_back({shown, 0, "cannot be read"});
      return;
    }
    RulesFile rules = ParseRules(std::string(bytes.begin(), bytes.end()), shown, relative,
                                 commandLineSwitchesAccepted, plan_.ruleFaults);
    for (const RuleSection& section : rules.sections) {
      if (!section.pack || !section.members.given) continue;
      PendingPack pending{shownRoot, relative, section, {}};
      pending.directory = options_.outputRoot.empty()
                              ? fs::path(directory)
                              : fs::path(options_.outputRoot) / fs::path(relative).make_preferred();
      packs_.push_back(std::move(pending));
    }
    book_.Add(std::move(rules));
  }

  // What an archive is packed from: the outputs and files below its rules
  // file's folder that its member patterns match, outputs before files of
  // the same name.
  PackJob MakePack(const PendingPack& pending) {
    PackJob pack;
    pack.archive = pending.section.archive;
    pack.directory = pending.directory;
    pack.shown = options_.outputRoot.empty()
                     ? (ShownFolder(pending.shownRoot, pending.relative) / pack.archive).string()
                     : (pending.directory / pack.archive).string();
    std::map<std::string, std::pair<fs::path, std::string>> found;  // relative -> path, producer
    auto consider = [&](const Found& file, bool output) {
      std::string relative;
      if (file.shownRoot != pending.shownRoot || !RelativeTo(pending.relative, file.relative, relative)) return;
      // Never the archive itself, nor modbatch's own files.
      const std::string name = LowerCase(relative.substr(relative.rfind('/') + 1));
      if (LowerCase(relative) == LowerCase(pack.archive) || name == kRulesFileName ||
          name == BuildRecord::kFileName) {
        return;
      }
      for (const std::string& pattern : pending.section.members.value) {
        if (MatchPattern(pattern, relative)) {
          if (output || found.count(relative) == 0) found[relative] = {file.path, file.producer};
          return;
        }
      }
    };
    for (const Found& file : files_) consider(file, false);
    for (const Found& file : producedOutputs_) consider(file, true);
    for (const auto& [relative, source] : found) {
      pack.members.push_back({relative, source.first});
      if (!source.second.empty()) pack.producers.push_back(source.second);
    }
    OrderMembers(pack.members, pending.section.order.value);
    pack.fault = PackFault(pack.members);
    if (packIdentity_.empty()) packIdentity_ = ToolIdentity("modbatch", platform::CurrentExecutable());
    pack.wanted.tool = packIdentity_;
    for (const PackMember& member : pack.members) {
      pack.wanted.switches.push_back(member.relative);
      pack.wanted.inputs.push_back({member.relative, member.path});
    }
    pack.wanted.output = pack.directory / pack.archive;
    return pack;
  }

  void Visit(const std::string& shownRoot, const cli::Folder& folder, const std::string& relative) {
    const fs::path directory(folder.path);
    std::error_code error;
    const fs::path canonical = fs::weakly_canonical(directory, error);
    // Folders named twice (a folder and one inside it) are planned once.
    if (!visited_.insert(error ? directory : canonical).second) return;
    const std::size_t packsBefore = packs_.size();
    ReadRules(shownRoot, folder.path, relative);
    // The archives packed here are outputs, no track files.
    std::set<std::string> archives;
    for (std::size_t i = packsBefore; i < packs_.size(); ++i) {
      archives.insert(LowerCase(packs_[i].section.archive));
    }
    // The name trackconv sees: the last component of the full path, so
    // that "." and "tracks/Alpha/" name their directories too.
    const std::string trackName = (error ? directory : canonical).filename().string();
    std::vector<std::string> trackFiles;
    bool track = false;
    for (const std::string& name : folder.files) {
      const std::string lower = LowerCase(name);
      files_.push_back({shownRoot, Join(relative, name), directory / name, std::string()});
      if (archives.count(lower) > 0) continue;
      if (lower == LowerCase(trackName) + ".trk" || lower == LowerCase(trackName) + ".dat") track = true;
      if (HasExtension(lower, kTrackExtensions)) trackFiles.push_back(name);
    }
    const fs::path shown = ShownFolder(shownRoot, relative);
    track = track && !trackName.empty();
    if (track) {
      AddTrack(shown.string(), directory, trackName, trackFiles);
    } else {
      NoteOtherTrack(shown.string(), trackName, folder.files, archives);
    }
    for (const std::string& name : folder.files) {
      const std::string lower = LowerCase(name);
      if (HasExtension(lower, kPictureExtensions)) {
        AddPicture(shownRoot, (shown / name).string(), directory, relative, name);
      } else if (!(track && HasExtension(lower, kTrackExtensions)) && lower != kRulesFileName &&
                 lower != BuildRecord::kFileName && archives.count(lower) == 0) {
        plan_.skipped.push_back({(shown / name).string(),
                                 HasExtension(lower, kOutputExtensions) ? "a converted file"
                                 : HasExtension(lower, kTrackExtensions)
                                     ? "not in a track directory"
                                     : "not a picture or a track file"});
      }
    }
  }

  // A folder's canonical form, found once per folder: outputs are told
  // apart by it.
  const fs::path& CanonicalFolder(const fs::path& folder) {
    auto found = canonical_.find(folder.string());
    if (found == canonical_.end()) {
      std::error_code error;
      found = canonical_.emplace(folder.string(), fs::weakly_canonical(fs::absolute(folder), error)).first;
    }
    return found->second;
  }

  const std::string& Identity(Tool tool) {
    std::string& identity = identities_[tool == Tool::kPixmill ? 0 : 1];
    const std::string& program = tool == Tool::kPixmill ? tools_.pixmill : tools_.trackconv;
    if (identity.empty() && !program.empty()) {
      identity = ToolIdentity(tool == Tool::kPixmill ? "pixmill" : "trackconv", program);
    }
    return identity;
  }

  // Up to date by the build record, else queued with the reason.
  void Decide(Job job, Explanation explanation) {
    BuildEntry* recorded = plan_.Record(job.outputDirectory).Find(job.outputName);
    std::string reason = options_.force ? "forced" : "never made here";
    if (!options_.force && recorded != nullptr && !job.wanted.tool.empty()) {
      bool refreshed = false;
      reason = WhyOutOfDate(job.wanted, *recorded, refreshed);
      if (refreshed) plan_.refreshed.insert(job.outputDirectory.string());
    }
    explanation.state = reason.empty() ? "up to date" : "to convert: " + reason;
    plan_.explanations.push_back(std::move(explanation));
    if (reason.empty()) {
      ++plan_.upToDate;
      return;
    }
    job.reason = reason;
    plan_.jobs.push_back(std::move(job));
  }

  // A folder that holds a track under another name than its own is no
  // track directory: trackconv looks for <folder>.trk or <folder>.dat.
  void NoteOtherTrack(const std::string& shown, const std::string& trackName,
                      const std::vector<std::string>& names, const std::set<std::string>& archives) {
    for (const std::string& name : names) {
      const std::string lower = LowerCase(name);
      if (!HasExtension(lower, kTrackFileExtensions) || archives.count(lower) > 0) continue;
      plan_.notTracks.push_back({shown, "not a track directory: it holds " + name +
                                            ", but its track would be " + trackName + ".trk or " +
                                            trackName + ".dat"});
      return;
    }
  }

  void AddTrack(const std::string& shown, const fs::path& directory, const std::string& name,
                const std::vector<std::string>& files) {
    Job job;
    job.tool = Tool::kTrackconv;
    job.shown = shown;
    job.workingDirectory = directory;
    job.outputDirectory = directory;
    job.outputName = name + ".xq";
    job.wanted.tool = Identity(Tool::kTrackconv);
    // Every file trackconv may read for the track is an input of it.
    for (const std::string& file : files) job.wanted.inputs.push_back({file, directory / file});
    job.wanted.output = directory / job.outputName;
    Explanation explanation;
    explanation.shown = shown;
    explanation.tool = Tool::kTrackconv;
    explanation.command = "trackconv";
    explanation.directory = shown.empty() ? std::string(".") : shown;
    Decide(std::move(job), std::move(explanation));
  }

  void AddPicture(const std::string& shownRoot, const std::string& shown, const fs::path& directory,
                  const std::string& relative,
                  const std::string& name) {
    Explanation explanation;
    explanation.shown = shown;
    explanation.rules = book_.ForPicture(Join(relative, name), options_.pixmillSwitches);
    const PictureRules& rules = explanation.rules;
    if (rules.skip) {
      ++plan_.skippedByRule;
      explanation.state = "skipped";
      plan_.explanations.push_back(std::move(explanation));
      return;
    }
    Job job;
    job.tool = Tool::kPixmill;
    job.shown = shown;
    const std::string extension = WantsSrb(rules.switches) ? ".srb" : ".mip";
    // pixmill names its output after the input cut at the first '.', and
    // gives a named output without one its extension.
    if (rules.output.empty()) {
      job.outputName = name.substr(0, name.find('.')) + extension;
    } else {
      job.outputName = rules.output.find('.') == std::string::npos ? rules.output + extension : rules.output;
    }
    if (options_.outputRoot.empty()) {
      job.workingDirectory = directory;
      job.outputDirectory = directory;
      job.arguments.push_back(AsArgument(name));
      if (!rules.output.empty()) job.arguments.push_back(AsArgument(job.outputName));
    } else {
      // Run in the output directory, so that PBF files land there too.
      job.outputDirectory = fs::path(options_.outputRoot) / fs::path(relative).make_preferred();
      job.workingDirectory = job.outputDirectory;
      job.arguments.push_back(fs::absolute(directory / name).string());
      job.arguments.push_back(AsArgument(job.outputName));
    }
    job.arguments.insert(job.arguments.end(), rules.switches.begin(), rules.switches.end());
    explanation.command = CommandLine("pixmill", job.arguments);
    const std::string folder = fs::path(shown).parent_path().string();
    explanation.directory = !options_.outputRoot.empty() ? job.workingDirectory.string()
                            : folder.empty()              ? std::string(".")
                                                          : folder;
    std::error_code error;
    const fs::path output = CanonicalFolder(job.outputDirectory) /
                            LowerCase(job.outputName);
    auto claimed = outputs_.emplace(output.string(), shown);
    if (!claimed.second) {
      explanation.state = "fails: its output " + job.outputName + " is also made from " +
                          claimed.first->second;
      plan_.explanations.push_back(std::move(explanation));
      plan_.failures.push_back({shown, "its output " + job.outputName + " is also made from " +
                                           claimed.first->second});
      return;
    }
    // With -savepbfs the PBF files land beside the output.
    if (!WantsSrb(rules.switches) && WantsPbfs(rules.switches) &&
        !ClaimPbfs(output.parent_path(), job.outputName, shown, explanation)) {
      return;
    }
    producedOutputs_.push_back({shownRoot, Join(relative, job.outputName),
                                job.outputDirectory / job.outputName, shown});
    job.wanted.tool = Identity(Tool::kPixmill);
    job.wanted.switches = rules.switches;
    job.wanted.inputs.push_back({name, directory / name});
    job.wanted.output = job.outputDirectory / job.outputName;
    Decide(std::move(job), std::move(explanation));
  }

  // With -savepbfs the PBF files of one output directory must not be made
  // from two pictures; the second one is refused, naming the first.
  bool ClaimPbfs(const fs::path& outputDirectory, const std::string& outputName, const std::string& shown,
                 Explanation& explanation) {
    const std::string pbf = FirstPbfName(outputName);
    auto claimed = outputs_.emplace((outputDirectory / LowerCase(pbf)).string(), shown);
    if (claimed.second) return true;
    const std::string message = "its PBF files " + pbf + "... are also made from " + claimed.first->second;
    explanation.state = "fails: " + message;
    plan_.explanations.push_back(std::move(explanation));
    plan_.failures.push_back({shown, message});
    return false;
  }

  const BatchOptions& options_;
  const Tools& tools_;
  std::vector<PendingPack> packs_;
  std::vector<Found> files_;
  std::vector<Found> producedOutputs_;
  std::string packIdentity_;
  std::set<std::string> rulesRead_;
  std::map<std::string, fs::path> canonical_;  // root and folder of each rules file read
  Plan plan_;
  RuleBook book_;
  std::string identities_[2];
  std::set<fs::path> visited_;
  std::map<std::string, std::string> outputs_;  // output path -> input that claimed it
};

}  // namespace

BuildRecord& Plan::Record(const fs::path& directory) {
  auto found = records.find(directory.string());
  if (found == records.end()) found = records.emplace(directory.string(), BuildRecord(directory)).first;
  return found->second;
}

Plan MakePlan(const BatchOptions& options, const Tools& tools) { return Planner(options, tools).Run(); }

Plan ExplainPlan(const BatchOptions& options, const Tools& tools,
                 const std::vector<std::pair<std::string, std::string>>& rootAndPath) {
  return Planner(options, tools).Explain(rootAndPath);
}

}  // namespace modbatch
