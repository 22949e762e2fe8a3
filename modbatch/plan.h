#pragma once
// Finding a mod's pictures and track directories and deciding which of
// them need converting.

#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "modbatch/command_line.h"
#include "modbatch/manifest.h"

namespace modbatch {

enum class Tool { kPixmill, kTrackconv };

/// One conversion: a child process of a tool in a working directory.
struct Job {
  Tool tool = Tool::kPixmill;
  std::string shown;                      ///< the input as reported (folder argument joined)
  std::filesystem::path workingDirectory;
  std::vector<std::string> arguments;
  std::filesystem::path outputDirectory;  ///< where the output lands
  std::string outputName;                 ///< as the tool names it
};

/// An input that cannot be converted at all, found while planning.
struct PlanFailure {
  std::string shown;
  std::string message;
};

struct Plan {
  std::vector<Job> jobs;  ///< what needs converting, track directories first
  std::size_t upToDate = 0;
  std::vector<PlanFailure> failures;
  /// The switch manifests of the output directories, each read once.
  std::map<std::string, SwitchManifest> manifests;

  /// The manifest of `directory`, read when first asked for.
  SwitchManifest& Manifest(const std::filesystem::path& directory);
};

/// Walks the folders (which must exist) and plans the conversions.
Plan MakePlan(const BatchOptions& options);

}  // namespace modbatch
