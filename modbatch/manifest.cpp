#include "modbatch/manifest.h"

#include <cstdint>
#include <vector>

#include "platform/atomic_replace.h"
#include "platform/file_attributes.h"
#include "platform/replace_file.h"
#include "platform/whole_file.h"

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
  std::vector<uint8_t> bytes;
  if (platform::ReadWholeFile((directory_ / kFileName).string(), bytes) != platform::WholeFile::kRead)
    return;
  const std::string text(bytes.begin(), bytes.end());
  for (std::size_t start = 0; start < text.size();) {
    std::size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(start, end - start);
    start = end + 1;
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
  const std::string path = (directory_ / kFileName).string();
  if (entries_.empty()) {
    uint32_t attributes = 0;
    return !platform::GetFileAttributes(path, attributes) || platform::RemoveFile(path);
  }
  std::string text;
  for (const auto& [name, switches] : entries_) {
    text += Escape(name);
    for (const std::string& s : switches) text += '\t' + Escape(s);
    text += '\n';
  }
  // A temporary of its own beside the manifest: runs at once on one folder
  // each put a whole manifest in place, the last one's staying.
  return platform::WriteFileReplacing(path, std::vector<uint8_t>(text.begin(), text.end()));
}

}  // namespace modbatch
