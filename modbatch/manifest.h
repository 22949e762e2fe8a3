#pragma once
// The switches each picture output was made with, kept in a small text
// file beside the outputs, so a change of switches rebuilds them.

#include <filesystem>
#include <map>
#include <string>
#include <vector>

namespace modbatch {

/// The manifest of one output directory.
class SwitchManifest {
 public:
  /// The manifest's file name inside an output directory.
  static const char kFileName[];

  /// Reads the manifest of `directory`; a missing or unreadable one is empty.
  explicit SwitchManifest(std::filesystem::path directory);

  /// Whether `output` (a name in the directory, any letter case) was last
  /// made with exactly `switches`.
  bool Matches(const std::string& output, const std::vector<std::string>& switches) const;
  void Set(const std::string& output, const std::vector<std::string>& switches);
  void Erase(const std::string& output);

  /// Writes the manifest back (a temporary file renamed over it; removed
  /// when no entry is left); false when that fails.
  bool Save() const;

 private:
  std::filesystem::path directory_;
  std::map<std::string, std::vector<std::string>> entries_;  // by lower-case name
};

/// `text` with ASCII letters in lower case.
std::string LowerCase(std::string text);

}  // namespace modbatch
