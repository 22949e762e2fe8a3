#include "modbatch/plan.h"

#include <algorithm>
#include <map>
#include <set>
#include <system_error>

#include "modbatch/manifest.h"

namespace modbatch {

namespace fs = std::filesystem;

namespace {

// The existing entry of `directory` named `name` in any letter case, as
// spelled on disk; empty when there is none.
std::string FindNoCase(const fs::path& directory, const std::string& name) {
  std::error_code error;
  if (fs::is_regular_file(directory / name, error)) return name;
  const std::string lower = LowerCase(name);
  std::string found;
  for (fs::directory_iterator it(directory, error), end; !error && it != end; it.increment(error)) {
    const std::string candidate = it->path().filename().string();
    // The first match in byte order, as the tools pick one.
    if (LowerCase(candidate) == lower && (found.empty() || candidate < found)) found = candidate;
  }
  return found;
}

using Clock = fs::file_time_type;

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

class Planner {
 public:
  explicit Planner(const BatchOptions& options)
      : options_(options),
        outputExtension_(WantsSrb(options.pixmillSwitches) ? ".srb" : ".mip"),
        pbfs_(!WantsSrb(options.pixmillSwitches) && WantsPbfs(options.pixmillSwitches)) {}

  Plan Run() {
    for (const std::string& folder : options_.folders) Walk(folder, fs::path(folder), fs::path());
    std::stable_sort(plan_.jobs.begin(), plan_.jobs.end(), [](const Job& a, const Job& b) {
      return a.tool == Tool::kTrackconv && b.tool != Tool::kTrackconv;
    });
    return std::move(plan_);
  }

 private:
  struct Entry {
    std::string name;
    bool directory;
    Clock time;
  };

  // The entries of a directory by name; links to directories are no
  // directories here, so the walk never leaves the tree.
  std::vector<Entry> List(const fs::path& directory) {
    std::vector<Entry> entries;
    std::error_code error;
    for (fs::directory_iterator it(directory, error), end; !error && it != end; it.increment(error)) {
      const bool link = it->is_symlink(error);
      Entry entry{it->path().filename().string(), !link && it->is_directory(error), Clock::min()};
      if (!entry.directory) {
        if (!it->is_regular_file(error)) continue;
        entry.time = it->last_write_time(error);
      }
      entries.push_back(entry);
    }
    std::sort(entries.begin(), entries.end(),
              [](const Entry& a, const Entry& b) { return a.name < b.name; });
    return entries;
  }

  void Walk(const std::string& shownRoot, const fs::path& directory, const fs::path& relative) {
    std::error_code error;
    const fs::path canonical = fs::weakly_canonical(directory, error);
    if (!visited_.insert(error ? directory : canonical).second) return;
    const std::vector<Entry> entries = List(directory);
    // The name trackconv sees: the last component of the full path, so
    // that "." and "tracks/Alpha/" name their directories too.
    const std::string trackName = (error ? directory : canonical).filename().string();
    Clock trackTime = Clock::min();
    bool track = false;
    for (const Entry& entry : entries) {
      const std::string lower = LowerCase(entry.name);
      if (entry.directory) continue;
      if (lower == LowerCase(trackName) + ".trk" || lower == LowerCase(trackName) + ".dat") track = true;
      if (HasExtension(lower, kTrackExtensions)) trackTime = std::max(trackTime, entry.time);
    }
    const fs::path shown = relative.empty() ? fs::path(shownRoot) : fs::path(shownRoot) / relative;
    track = track && !trackName.empty();
    if (track) {
      AddTrack(shown.string(), directory, trackName, trackTime);
    } else {
      NoteOtherTrack(shown.string(), trackName, entries);
    }
    for (const Entry& entry : entries) {
      if (entry.directory) continue;
      const std::string lower = LowerCase(entry.name);
      if (HasExtension(lower, kPictureExtensions)) {
        AddPicture((shown / entry.name).string(), directory, relative, entry.name, entry.time);
      } else if (!(track && HasExtension(lower, kTrackExtensions)) && entry.name != SwitchManifest::kFileName) {
        plan_.skipped.push_back({(shown / entry.name).string(),
                                 HasExtension(lower, kOutputExtensions) ? "a converted file"
                                 : HasExtension(lower, kTrackExtensions)
                                     ? "not in a track directory"
                                     : "not a picture or a track file"});
      }
    }
    for (const Entry& entry : entries) {
      if (entry.directory) Walk(shownRoot, directory / entry.name, relative / entry.name);
    }
  }

  // A folder that holds a track under another name than its own is no
  // track directory: trackconv looks for <folder>.trk or <folder>.dat.
  void NoteOtherTrack(const std::string& shown, const std::string& trackName, const std::vector<Entry>& entries) {
    for (const Entry& entry : entries) {
      const std::string lower = LowerCase(entry.name);
      if (entry.directory || !HasExtension(lower, kTrackFileExtensions)) continue;
      plan_.notTracks.push_back({shown, "not a track directory: it holds " + entry.name +
                                            ", but its track would be " + trackName + ".trk or " +
                                            trackName + ".dat"});
      return;
    }
  }

  // Whether `name` in `directory` exists and is newer than `input`.
  static bool NewerThan(const fs::path& directory, const std::string& name, Clock input) {
    const std::string found = FindNoCase(directory, name);
    if (found.empty()) return false;
    std::error_code error;
    const Clock output = fs::last_write_time(directory / found, error);
    return !error && output > input;
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
    if (pbfs_ && !ClaimPbfs(output.parent_path(), job.outputName, shown)) return;
    if (!options_.force && NewerThan(job.outputDirectory, job.outputName, input) &&
        Manifest(job.outputDirectory).Matches(job.outputName, options_.pixmillSwitches)) {
      ++plan_.upToDate;
      return;
    }
    plan_.jobs.push_back(std::move(job));
  }

  // With -savepbfs the PBF files of one output directory must not be made
  // from two pictures; the second one is refused, naming the first.
  bool ClaimPbfs(const fs::path& outputDirectory, const std::string& outputName, const std::string& shown) {
    const std::string pbf = FirstPbfName(outputName);
    auto claimed = outputs_.emplace((outputDirectory / LowerCase(pbf)).string(), shown);
    if (claimed.second) return true;
    plan_.failures.push_back({shown, "its PBF files " + pbf + "... are also made from " + claimed.first->second});
    return false;
  }

  const SwitchManifest& Manifest(const fs::path& directory) {
    auto found = manifests_.find(directory.string());
    if (found == manifests_.end()) {
      found = manifests_.emplace(directory.string(), SwitchManifest(directory)).first;
    }
    return found->second;
  }

  const BatchOptions& options_;
  const std::string outputExtension_;
  const bool pbfs_;
  Plan plan_;
  std::set<fs::path> visited_;
  std::map<std::string, std::string> outputs_;  // output path -> input that claimed it
  std::map<std::string, SwitchManifest> manifests_;
};

}  // namespace

Plan MakePlan(const BatchOptions& options) { return Planner(options).Run(); }

}  // namespace modbatch
