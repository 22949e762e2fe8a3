#include "modbatch/plan.h"

#include <algorithm>
#include <cstdint>
#include <limits>
#include <map>
#include <set>
#include <system_error>

#include "cli/walk.h"
#include "modbatch/manifest.h"
#include "platform/file_attributes.h"

namespace modbatch {

namespace fs = std::filesystem;

namespace {

// Modification times as the platform layer gives them: 0 for none.
using Clock = int64_t;

// The time `name` in `directory` (any letter case) was last written, when
// it is a regular file (links followed).
bool FileTime(const fs::path& directory, const std::string& name, Clock& time) {
  return platform::RegularFileTime((directory / name).string(), time);
}

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

bool WantsSrb(const std::vector<std::string>& switches) {
  for (const std::string& s : switches) {
    if (s.size() == 4 && (s[0] == '-' || s[0] == '/') && LowerCase(s.substr(1)) == "srb") return true;
  }
  return false;
}

// A name the tool could take for an option is given with its directory.
std::string AsArgument(const std::string& name) {
  return !name.empty() && (name[0] == '-' || name[0] == '/') ? "./" + name : name;
}

class Planner {
 public:
  explicit Planner(const BatchOptions& options)
      : options_(options), outputExtension_(WantsSrb(options.pixmillSwitches) ? ".srb" : ".mip") {}

  Plan Run() {
    for (const std::string& folder : options_.folders) {
      cli::WalkTree(folder, [&](const cli::Folder& found) { Visit(folder, found); });
    }
    std::stable_sort(plan_.jobs.begin(), plan_.jobs.end(), [](const Job& a, const Job& b) {
      return a.tool == Tool::kTrackconv && b.tool != Tool::kTrackconv;
    });
    return std::move(plan_);
  }

 private:
  struct Entry {
    std::string name;
    Clock time;
  };

  // The regular files of a folder by name (links to files included); the
  // walk itself never enters a link to a directory, so it stays in the tree.
  static std::vector<Entry> Files(const cli::Folder& folder) {
    std::vector<Entry> entries;
    for (const std::string& name : folder.files) {
      Entry entry{name, 0};
      if (FileTime(folder.path, name, entry.time)) entries.push_back(entry);
    }
    return entries;
  }

  void Visit(const std::string& shownRoot, const cli::Folder& folder) {
    const fs::path directory(folder.path);
    std::error_code error;
    const fs::path canonical = fs::weakly_canonical(directory, error);
    // Folders named twice (a folder and one inside it) are planned once.
    if (!visited_.insert(error ? directory : canonical).second) return;
    const std::vector<Entry> entries = Files(folder);
    // The name trackconv sees: the last component of the full path, so
    // that "." and "tracks/Alpha/" name their directories too.
    const std::string trackName = (error ? directory : canonical).filename().string();
    Clock trackTime = std::numeric_limits<Clock>::min();
    bool track = false;
    for (const Entry& entry : entries) {
      const std::string lower = LowerCase(entry.name);
      if (lower == LowerCase(trackName) + ".trk" || lower == LowerCase(trackName) + ".dat") track = true;
      if (HasExtension(lower, kTrackExtensions)) trackTime = std::max(trackTime, entry.time);
    }
    const fs::path relative = fs::path(folder.relative).make_preferred();
    const fs::path shown = relative.empty() ? fs::path(shownRoot) : fs::path(shownRoot) / relative;
    if (track && !trackName.empty()) {
      AddTrack(shown.string(), directory, trackName, trackTime);
    }
    for (const Entry& entry : entries) {
      if (HasExtension(LowerCase(entry.name), kPictureExtensions)) {
        AddPicture((shown / entry.name).string(), directory, relative, entry.name, entry.time);
      }
    }
  }

  // Whether `name` in `directory` exists and is newer than `input`.
  static bool NewerThan(const fs::path& directory, const std::string& name, Clock input) {
    Clock output = 0;
    return FileTime(directory, name, output) && output > input;
  }

  void AddTrack(const std::string& shown, const fs::path& directory, const std::string& name,
                Clock input) {
    Job job;
    job.tool = Tool::kTrackconv;
    job.shown = shown;
    job.workingDirectory = directory;
    job.outputDirectory = directory;
    job.outputName = name + ".xq";
    if (!options_.force && NewerThan(directory, job.outputName, input)) {
      ++plan_.upToDate;
      return;
    }
    plan_.jobs.push_back(std::move(job));
  }

  void AddPicture(const std::string& shown, const fs::path& directory, const fs::path& relative,
                  const std::string& name, Clock input) {
    Job job;
    job.tool = Tool::kPixmill;
    job.shown = shown;
    // pixmill names its output after the input cut at the first '.'.
    job.outputName = name.substr(0, name.find('.')) + outputExtension_;
    if (options_.outputRoot.empty()) {
      job.workingDirectory = directory;
      job.outputDirectory = directory;
      job.arguments.push_back(AsArgument(name));
    } else {
      // Run in the output directory, so that PBF files land there too.
      job.outputDirectory = fs::path(options_.outputRoot) / relative;
      job.workingDirectory = job.outputDirectory;
      job.arguments.push_back(fs::absolute(directory / name).string());
      job.arguments.push_back(AsArgument(job.outputName));
    }
    job.arguments.insert(job.arguments.end(), options_.pixmillSwitches.begin(),
                         options_.pixmillSwitches.end());
    std::error_code error;
    const fs::path output = fs::weakly_canonical(fs::absolute(job.outputDirectory), error) /
                            LowerCase(job.outputName);
    auto claimed = outputs_.emplace(output.string(), shown);
    if (!claimed.second) {
      plan_.failures.push_back({shown, "its output " + job.outputName + " is also made from " +
                                           claimed.first->second});
      return;
    }
    if (!options_.force && NewerThan(job.outputDirectory, job.outputName, input) &&
        Manifest(job.outputDirectory).Matches(job.outputName, options_.pixmillSwitches)) {
      ++plan_.upToDate;
      return;
    }
    plan_.jobs.push_back(std::move(job));
  }

  const SwitchManifest& Manifest(const fs::path& directory) { return plan_.Manifest(directory); }

  const BatchOptions& options_;
  const std::string outputExtension_;
  Plan plan_;
  std::set<fs::path> visited_;
  std::map<std::string, std::string> outputs_;  // output path -> input that claimed it
};

}  // namespace

SwitchManifest& Plan::Manifest(const fs::path& directory) {
  auto found = manifests.find(directory.string());
  if (found == manifests.end()) {
    found = manifests.emplace(directory.string(), SwitchManifest(directory)).first;
  }
  return found->second;
}

Plan MakePlan(const BatchOptions& options) { return Planner(options).Run(); }

}  // namespace modbatch
