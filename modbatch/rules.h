#pragma once
// Rules files: a "modbatch.ini" in a folder of a mod says, by name
// pattern, which pixmill switches each picture below it needs, which are
// skipped, which get another output name, and which archives are packed
// from the results.

#include <functional>
#include <string>
#include <vector>

namespace modbatch {

/// `text` with ASCII letters in lower case.
std::string LowerCase(std::string text);

/// The rules file's name in a folder (found in any letter case).
extern const char kRulesFileName[];

/// Whether `path` (components separated by '/') matches `pattern` without
/// regard to ASCII letter case: '?' is one character and '*' any run of
/// characters within one component; "**" as a whole component is any
/// number of components, none included.
bool MatchPattern(const std::string& pattern, const std::string& path);

/// One fault of a rules file.
struct RuleFault {
  std::string file;  ///< as shown to the user
  int line = 0;
  std::string message;
  std::string Text() const;  ///< "file:line: message" (line 0: "file: message")
};

/// A value of one key of one section, with the line that gave it.
template <typename T>
struct Setting {
  bool given = false;
  T value{};
  int line = 0;
};

/// One section: a pattern with its settings, or a pack section naming an
/// archive and its members.
struct RuleSection {
  int line = 0;
  std::string header;  ///< as written between the brackets
  bool pack = false;
  std::string pattern;  ///< picture sections
  std::string archive;  ///< pack sections: the archive's file name
  Setting<std::vector<std::string>> pixmill;
  Setting<bool> skip;
  Setting<std::string> output;
  Setting<std::vector<std::string>> members;  ///< patterns
  Setting<std::vector<std::string>> order;    ///< patterns listed first, in turn
};

/// Asks whether pixmill takes `switches`; when not, `why` says what it refuses.
using SwitchCheck = std::function<bool(const std::vector<std::string>& switches, std::string& why)>;

/// One parsed rules file.
struct RulesFile {
  std::string shown;   ///< the file's name as shown to the user
  std::string folder;  ///< its folder relative to the walk's root ("" for the root), '/'-separated
  std::vector<RuleSection> sections;
};

/// Parses the text of a rules file; each fault goes into `faults` and
/// the faulty line is left out. Switches are checked with `check`.
RulesFile ParseRules(const std::string& text, const std::string& shown, const std::string& folder,
                     const SwitchCheck& check, std::vector<RuleFault>& faults);

/// Where a setting came from: the file, line and section header; an empty
/// file means the command line or the default.
struct RuleSource {
  std::string file;
  int line = 0;
  std::string section;
};

/// What the rules make of one picture.
struct PictureRules {
  std::vector<std::string> switches;
  RuleSource switchesFrom;
  bool skip = false;
  RuleSource skipFrom;
  std::string output;  ///< empty: pixmill's default name
  RuleSource outputFrom;
};

/// The rules files of one walk, outermost first.
class RuleBook {
 public:
  void Add(RulesFile file);

  /// The settings for the picture at `path` (relative to the walk's
  /// root): each key from the deepest file that gives it for a matching
  /// section, within that file from the last matching section;
  /// `defaultSwitches` where no rule gives switches.
  PictureRules ForPicture(const std::string& path,
                          const std::vector<std::string>& defaultSwitches) const;

  const std::vector<RulesFile>& Files() const { return files_; }

 private:
  std::vector<RulesFile> files_;
};

/// `path` relative to `folder` when it lies inside it ('/'-separated
/// relative paths; "" is the root); false when it does not.
bool RelativeTo(const std::string& folder, const std::string& path, std::string& relative);

}  // namespace modbatch
