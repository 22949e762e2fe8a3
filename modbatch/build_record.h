#pragma once
// The build record of an output folder: for each output, the bytes of
// every input it was made from, the switches, the tool, and the output's
// own bytes, so that a conversion is up to date by content. File times
// only save reading a file whose size and time are those recorded.

#include <cstdint>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

namespace modbatch {

/// 64-bit FNV-1a of `size` bytes, continuing from `hash`.
uint64_t HashBytes(const void* data, std::size_t size, uint64_t hash = 0xcbf29ce484222325ull);

/// The hash of a file's bytes; false when it cannot be read.
bool HashFile(const std::filesystem::path& path, uint64_t& hash);

/// A file as a build saw it.
struct FileStamp {
  std::string name;  ///< inputs: as the planner names them; outputs: the file name
  uint64_t size = 0;
  int64_t time = 0;  ///< the file time's ticks
  uint64_t hash = 0;
  bool operator==(const FileStamp& other) const {
    return name == other.name && size == other.size && time == other.time && hash == other.hash;
  }
};

/// What made one output.
struct BuildEntry {
  std::string tool;  ///< the tool's identity (ToolIdentity)
  std::vector<std::string> switches;
  std::vector<FileStamp> inputs;
  FileStamp output;
  bool operator==(const BuildEntry& other) const {
    return tool == other.tool && switches == other.switches && inputs == other.inputs &&
           output == other.output;
  }
};

/// What a conversion is to be made from now.
struct BuildWanted {
  std::string tool;
  std::vector<std::string> switches;
  /// Each input's name in the record and its path.
  std::vector<std::pair<std::string, std::filesystem::path>> inputs;
  std::filesystem::path output;
};

/// A tool's identity: its name, the suite's version and its bytes' hash;
/// empty when the program cannot be read.
std::string ToolIdentity(const std::string& name, const std::filesystem::path& program);

/// Why `recorded` does not describe what `wanted` would make now, or an
/// empty text when the output is up to date. Where only a file's time
/// changed and its bytes are those recorded, `recorded` takes the new
/// time and `refreshed` is set.
std::string WhyOutOfDate(const BuildWanted& wanted, BuildEntry& recorded, bool& refreshed);

/// Why `recorded` was made from other inputs, switches or tool than
/// `wanted` names, or "" when it was made from these; times as above.
std::string WhyMadeOtherwise(const BuildWanted& wanted, BuildEntry& recorded, bool& refreshed);

/// The tool, switches and input stamps of `wanted` as they are now (no
/// output); false when an input cannot be read.
bool StampInputs(const BuildWanted& wanted, BuildEntry& entry);

/// The entry for what a finished conversion made; false when an input or
/// the output cannot be read.
bool StampBuild(const BuildWanted& wanted, BuildEntry& entry);

/// The build record of one output folder.
class BuildRecord {
 public:
  /// The record's file name inside an output folder.
  static const char kFileName[];

  /// Reads the record of `directory`; a missing or damaged one is empty.
  explicit BuildRecord(std::filesystem::path directory);

  /// The entry of `output` (a name in the folder, any letter case), or null.
  BuildEntry* Find(const std::string& output);
  /// Keeps `entry` under its output's name.
  void Set(BuildEntry entry);
  void Erase(const std::string& output);

  /// Writes the record as every output is written (a temporary beside it
  /// renamed over it); removes it when no entry is left. False on failure.
  bool Save() const;

  /// The record's text, as Save writes it.
  std::string Text() const;

  /// Takes the entries of a record's text; a damaged text (any line that
  /// does not parse, or a last line cut short) leaves the record empty and
  /// answers false.
  bool Read(const std::string& text);

 private:
  std::filesystem::path directory_;
  std::map<std::string, BuildEntry> entries_;  // by lower-case output name
};

}  // namespace modbatch
