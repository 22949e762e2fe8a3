#pragma once
// Finding a mod's pictures, track directories and rules files and deciding
// which of them need converting.

#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "modbatch/build_record.h"
#include "modbatch/command_line.h"
#include "modbatch/pack.h"
#include "modbatch/rules.h"

namespace modbatch {

enum class Tool { kPixmill, kTrackconv };

/// The programs the conversions run; empty when not found.
struct Tools {
  std::string pixmill;
  std::string trackconv;
};

/// One conversion: a child process of a tool in a working directory.
struct Job {
  Tool tool = Tool::kPixmill;
  std::string shown;                      ///< the input as reported (folder argument joined)
  std::filesystem::path workingDirectory;
  std::vector<std::string> arguments;
  std::filesystem::path outputDirectory;  ///< where the output lands
  std::string outputName;                 ///< as the tool names it
  BuildWanted wanted;                     ///< what its build record entry is made from
  std::string reason;                     ///< why it is converted
};

/// An input that cannot be converted at all, found while planning.
struct PlanFailure {
  std::string shown;
  std::string message;
};

/// What the plan made of one input, for --explain.
struct Explanation {
  std::string shown;
  Tool tool = Tool::kPixmill;
  PictureRules rules;       ///< pictures only
  std::string command;      ///< the tool's command line
  std::string directory;    ///< where it runs
  std::string state;        ///< "up to date", "skipped", or why it is converted
};

/// An archive a rules file asks for, packed once the conversions are done.
struct PackJob {
  std::string shown;                ///< the archive as reported
  std::filesystem::path directory;  ///< where it is written
  std::string archive;              ///< its file name
  std::vector<PackMember> members;  ///< in archive order
  std::vector<std::string> producers;  ///< the inputs whose outputs are members, as shown
  std::string fault;                ///< why it cannot be packed; empty when it can
  BuildWanted wanted;               ///< what its build record entry is made from
};

struct Plan {
  std::vector<Job> jobs;  ///< what needs converting, track directories first
  std::size_t upToDate = 0;
  std::size_t skippedByRule = 0;  ///< pictures a rule skips
  std::vector<PlanFailure> failures;
  std::vector<RuleFault> ruleFaults;  ///< bad rules files: nothing may be converted
  std::vector<Explanation> explanations;
  std::vector<PackJob> packs;
  /// The build records of the output directories, each read once.
  std::map<std::string, BuildRecord> records;
  /// The directories whose records learnt new file times.
  std::set<std::string> refreshed;
  /// Folders that hold a track not named after them, which trackconv
  /// would not take for their track.
  std::vector<PlanFailure> notTracks;
  /// Files that are neither pictures nor files of a track directory.
  std::vector<PlanFailure> skipped;

  /// The build record of `directory`, read when first asked for.
  BuildRecord& Record(const std::filesystem::path& directory);
};

/// Walks the folders (which must exist) and plans the conversions.
Plan MakePlan(const BatchOptions& options, const Tools& tools);

/// Plans only what `--explain` names: each path (a picture, or a folder
/// and everything below it) under the rules of the folder `root` it lies in.
Plan ExplainPlan(const BatchOptions& options, const Tools& tools,
                 const std::vector<std::pair<std::string, std::string>>& rootAndPath);

}  // namespace modbatch
