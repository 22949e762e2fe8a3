#include "modbatch/manifest.h"

#include <fstream>
#include <system_error>

namespace modbatch {

namespace fs = std::filesystem;

const char SwitchManifest::kFileName[] = ".modbatch-switches";

std::string LowerCase(std::string text) {
  for (char& c : text) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return text;
}

namespace {

// One line per output: its name, then each switch, separated by tabs;
// tabs, line ends and backslashes inside them are escaped.
std::string Escape(const std::string& text) {
  std::string out;
  for (char c : text) {
    if (c == '\\') out += "\\\\";
    else if (c == '\t') out += "\\t";
    else if (c == '\n') out += "\\n";
    else if (c == '\r') out += "\\r";
    else out += c;
  }
  return out;
}

std::vector<std::string> SplitLine(const std::string& line) {
  std::vector<std::string> fields(1);
  for (std::size_t i = 0; i < line.size(); ++i) {
    const char c = line[i];
    if (c == '\t') {
      fields.emplace_back();
    } else if (c == '\\' && i + 1 < line.size()) {
      const char e = line[++i];
      fields.back() += e == 't' ? '\t' : e == 'n' ? '\n' : e == 'r' ? '\r' : e;
    } else {
      fields.back() += c;
    }
  }
  return fields;
}

}  // namespace

SwitchManifest::SwitchManifest(fs::path directory) : directory_(std::move(directory)) {
  std::ifstream in(directory_ / kFileName, std::ios::binary);
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty()) continue;
    std::vector<std::string> fields = SplitLine(line);
    entries_[LowerCase(fields[0])].assign(fields.begin() + 1, fields.end());
  }
}

bool SwitchManifest::Matches(const std::string& output,
                             const std::vector<std::string>& switches) const {
  auto found = entries_.find(LowerCase(output));
  return found != entries_.end() && found->second == switches;
}

void SwitchManifest::Set(const std::string& output, const std::vector<std::string>& switches) {
  entries_[LowerCase(output)] = switches;
}

void SwitchManifest::Erase(const std::string& output) { entries_.erase(LowerCase(output)); }

bool SwitchManifest::Save() const {
  std::error_code error;
  const fs::path path = directory_ / kFileName;
  if (entries_.empty()) {
    fs::remove(path, error);
    return !error;
  }
  const fs::path temporary = directory_ / ".modbatch-switches.new";
  {
    std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
    for (const auto& [name, switches] : entries_) {
      out << Escape(name);
      for (const std::string& s : switches) out << '\t' << Escape(s);
      out << '\n';
    }
    if (!out.flush()) return false;
  }
  fs::rename(temporary, path, error);
  return !error;
}

}  // namespace modbatch
