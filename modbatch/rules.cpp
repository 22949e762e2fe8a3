#include "modbatch/rules.h"

#include <algorithm>


namespace modbatch {

const char kRulesFileName[] = "modbatch.ini";

namespace {

char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\f' || c == '\v'; }

std::string Trim(const std::string& text) {
  std::size_t begin = 0, end = text.size();
  while (begin < end && IsSpace(text[begin])) ++begin;
  while (end > begin && IsSpace(text[end - 1])) --end;
  return text.substr(begin, end - begin);
}

std::vector<std::string> Words(const std::string& text) {
  std::vector<std::string> words;
  std::size_t i = 0;
  while (i < text.size()) {
    while (i < text.size() && IsSpace(text[i])) ++i;
    const std::size_t start = i;
    while (i < text.size() && !IsSpace(text[i])) ++i;
    if (i > start) words.push_back(text.substr(start, i - start));
  }
  return words;
}

std::vector<std::string> Components(const std::string& path) {
  std::vector<std::string> parts(1);
  for (char c : path) {
    if (c == '/') parts.emplace_back();
    else parts.back() += c;
  }
  return parts;
}

// One component against one pattern component; '*' backtracks to the
// latest star only, which is enough for a pattern without classes.
bool MatchComponent(const std::string& pattern, const std::string& name) {
  std::size_t p = 0, n = 0, star = std::string::npos, resume = 0;
  while (n < name.size()) {
    if (p < pattern.size() && pattern[p] == '*') {
      star = p++;
      resume = n;
    } else if (p < pattern.size() && (pattern[p] == '?' || Lower(pattern[p]) == Lower(name[n]))) {
      ++p;
      ++n;
    } else if (star != std::string::npos) {
      p = star + 1;
      n = ++resume;
    } else {
      return false;
    }
  }
  while (p < pattern.size() && pattern[p] == '*') ++p;
  return p == pattern.size();
}

bool MatchComponents(const std::vector<std::string>& pattern, std::size_t p,
                     const std::vector<std::string>& path, std::size_t n) {
  if (p == pattern.size()) return n == path.size();
  if (pattern[p] == "**") {
    for (std::size_t skip = n; skip <= path.size(); ++skip) {
      if (MatchComponents(pattern, p + 1, path, skip)) return true;
    }
    return false;
  }
  return n < path.size() && MatchComponent(pattern[p], path[n]) &&
         MatchComponents(pattern, p + 1, path, n + 1);
}

// A pattern as the matcher takes it ('\' is a separator too), or an
// empty text and the reason it is refused.
std::string NormalPattern(std::string pattern, std::string& why) {
  std::replace(pattern.begin(), pattern.end(), '\\', '/');
  if (pattern.empty()) {
    why = "an empty pattern";
  } else if (pattern[0] == '/' || pattern.find(':') != std::string::npos) {
    why = "pattern '" + pattern + "' is not relative to the rules file's folder";
  } else {
    for (const std::string& part : Components(pattern)) {
      if (part.empty() || part == "." || part == "..") {
        why = "pattern '" + pattern + "' has an empty, '.' or '..' component";
        break;
      }
    }
  }
  return why.empty() ? pattern : std::string();
}

// Why `name` is no plain file name for an output or an archive; empty
// when it is one.
std::string PlainNameFault(const std::string& name) {
  if (name.empty()) return "an empty name";
  if (name == "." || name == "..") return "'" + name + "' is no file name";
  for (char c : name) {
    if (c == '/' || c == '\\' || c == ':' || c == '*' || c == '?' ||
        static_cast<unsigned char>(c) < 0x20) {
      return "'" + name + "' is not a plain file name";
    }
  }
  return std::string();
}

bool YesNo(const std::string& value, bool& out) {
  const std::string lower = LowerCase(value);
  if (lower == "yes" || lower == "true" || lower == "1") out = true;
  else if (lower == "no" || lower == "false" || lower == "0") out = false;
  else return false;
  return true;
}

std::size_t Depth(const std::string& folder) {
  return folder.empty() ? 0 : static_cast<std::size_t>(std::count(folder.begin(), folder.end(), '/')) + 1;
}

class Parser {
 public:
  Parser(const std::string& shown, const SwitchCheck& check, std::vector<RuleFault>& faults)
      : shown_(shown), check_(check), faults_(faults) {}

  void Line(std::string text, int line) {
    line_ = line;
    // A byte-order mark at the start, as Windows editors write one.
    if (line == 1 && text.compare(0, 3, "\xEF\xBB\xBF") == 0) text.erase(0, 3);
    text = Trim(text);
    if (text.empty() || text[0] == ';' || text[0] == '#') return;
    if (text[0] == '[') return Header(text);
    const std::size_t semicolon = text.find(';');
    if (semicolon != std::string::npos) text.erase(semicolon);
    const std::size_t equals = text.find('=');
    if (equals == std::string::npos) {
      return Fault("expected '[section]' or 'key = value', not '" + Trim(text) + "'");
    }
    const std::string key = LowerCase(Trim(text.substr(0, equals)));
    const std::string value = Trim(text.substr(equals + 1));
    if (key.empty()) return Fault("a value without a key");
    if (!inSection_) return Fault("'" + key + "' outside any section");
    if (section_ == nullptr) return;  // its header was refused already
    Key(key, value);
  }

  void Finish() {
    for (const RuleSection& section : file_.sections) {
      if (section.pack && !section.members.given) {
        faults_.push_back({shown_, section.line, "[" + section.header + "] needs a 'members' key"});
      }
    }
  }

  RulesFile file_;

 private:
  void Fault(const std::string& message) { faults_.push_back({shown_, line_, message}); }

  void Header(const std::string& text) {
    inSection_ = true;
    section_ = nullptr;
    if (text.back() != ']') return Fault("a section header ends with ']'");
    RuleSection section;
    section.line = line_;
    section.header = Trim(text.substr(1, text.size() - 2));
    const std::vector<std::string> words = Words(section.header);
    std::string why;
    if (!words.empty() && LowerCase(words[0]) == "pack") {
      section.pack = true;
      if (words.size() != 2) return Fault("a pack section names one archive: [pack NAME.dat]");
      section.archive = words[1];
      why = PlainNameFault(section.archive);
      if (!why.empty()) return Fault("archive " + why);
      for (const RuleSection& other : file_.sections) {
        if (other.pack && LowerCase(other.archive) == LowerCase(section.archive)) {
          return Fault("archive " + section.archive + " is packed on line " +
                       std::to_string(other.line) + " already");
        }
      }
    } else {
      section.pattern = NormalPattern(section.header, why);
      if (!why.empty()) return Fault(why);
    }
    file_.sections.push_back(std::move(section));
    section_ = &file_.sections.back();
  }

  template <typename T>
  bool Claim(Setting<T>& setting, const std::string& key) {
    if (setting.given) {
      Fault("'" + key + "' is given twice in [" + section_->header + "] (first on line " +
            std::to_string(setting.line) + ")");
      return false;
    }
    setting.given = true;
    setting.line = line_;
    return true;
  }

  void Key(const std::string& key, const std::string& value) {
    const bool pictureKey = key == "pixmill" || key == "skip" || key == "output";
    const bool packKey = key == "members" || key == "order";
    if (!pictureKey && !packKey) return Fault("unknown key '" + key + "'");
    if (section_->pack && pictureKey) {
      return Fault("'" + key + "' has no meaning in a pack section");
    }
    if (!section_->pack && packKey) {
      return Fault("'" + key + "' belongs in a [pack NAME.dat] section");
    }
    if (key == "pixmill") {
      std::vector<std::string> switches = Words(value);
      std::string why;
      if (check_ && !check_(switches, why)) return Fault("pixmill refuses '" + value + "': " + why);
      if (Claim(section_->pixmill, key)) section_->pixmill.value = std::move(switches);
    } else if (key == "skip") {
      bool skip = false;
      if (!YesNo(value, skip)) return Fault("skip is yes or no, not '" + value + "'");
      if (Claim(section_->skip, key)) section_->skip.value = skip;
    } else if (key == "output") {
      const std::string why = PlainNameFault(value);
      if (!why.empty()) return Fault("output " + why);
      if (Claim(section_->output, key)) section_->output.value = value;
    } else {
      Setting<std::vector<std::string>>& setting = key == "members" ? section_->members : section_->order;
      if (!Claim(setting, key)) return;
      for (const std::string& word : Words(value)) {
        std::string why;
        setting.value.push_back(NormalPattern(word, why));
        if (!why.empty()) return Fault(why);
      }
      if (setting.value.empty()) return Fault("'" + key + "' lists no pattern");
    }
  }

  const std::string& shown_;
  const SwitchCheck& check_;
  std::vector<RuleFault>& faults_;
  int line_ = 0;
  bool inSection_ = false;
  RuleSection* section_ = nullptr;
};

}  // namespace

std::string LowerCase(std::string text) {
  for (char& c : text) c = Lower(c);
  return text;
}

bool MatchPattern(const std::string& pattern, const std::string& path) {
  return MatchComponents(Components(pattern), 0, Components(path), 0);
}

std::string RuleFault::Text() const {
  return line > 0 ? file + ":" + std::to_string(line) + ": " + message : file + ": " + message;
}

RulesFile ParseRules(const std::string& text, const std::string& shown, const std::string& folder,
                     const SwitchCheck& check, std::vector<RuleFault>& faults) {
  Parser parser(shown, check, faults);
  int line = 0;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    parser.Line(text.substr(start, end - start), ++line);
    start = end + 1;
  }
  parser.Finish();
  parser.file_.shown = shown;
  parser.file_.folder = folder;
  return std::move(parser.file_);
}

bool RelativeTo(const std::string& folder, const std::string& path, std::string& relative) {
  if (folder.empty()) {
    relative = path;
    return true;
  }
  if (path.size() <= folder.size() + 1 || path.compare(0, folder.size(), folder) != 0 ||
      path[folder.size()] != '/') {
    return false;
  }
  relative = path.substr(folder.size() + 1);
  return true;
}

void RuleBook::Add(RulesFile file) {
  // Outer files first, so that walking them in turn lets deeper ones win.
  const std::size_t depth = Depth(file.folder);
  auto at = std::upper_bound(files_.begin(), files_.end(), depth,
                             [](std::size_t d, const RulesFile& f) { return d < Depth(f.folder); });
  files_.insert(at, std::move(file));
}

PictureRules RuleBook::ForPicture(const std::string& path,
                                  const std::vector<std::string>& defaultSwitches) const {
  PictureRules rules;
  rules.switches = defaultSwitches;
  for (const RulesFile& file : files_) {
    std::string relative;
    if (!RelativeTo(file.folder, path, relative)) continue;
    for (const RuleSection& section : file.sections) {
      if (section.pack || !MatchPattern(section.pattern, relative)) continue;
      if (section.pixmill.given) {
        rules.switches = section.pixmill.value;
        rules.switchesFrom = {file.shown, section.pixmill.line, section.header};
      }
      if (section.skip.given) {
        rules.skip = section.skip.value;
        rules.skipFrom = {file.shown, section.skip.line, section.header};
      }
      if (section.output.given) {
        rules.output = section.output.value;
        rules.outputFrom = {file.shown, section.output.line, section.header};
      }
    }
  }
  return rules;
}

}  // namespace modbatch
