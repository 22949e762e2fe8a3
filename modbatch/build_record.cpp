#include "modbatch/build_record.h"

#include <cinttypes>
#include <cstdio>

#include "modbatch/rules.h"
#include "platform/atomic_replace.h"
#include "platform/file_attributes.h"
#include "platform/replace_file.h"
#include "platform/stream.h"
#include "platform/whole_file.h"
#include "rt_version.h"

namespace modbatch {

namespace fs = std::filesystem;

const char BuildRecord::kFileName[] = ".modbatch-record";

namespace {

const char kHeader[] = "modbatch build record 1";

// Fields are separated by tabs; a byte below '!' or a '%' inside one is
// written as %XX, so names and switches with spaces or tabs survive.
std::string Encode(const std::string& field) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string out;
  for (char c : field) {
    const unsigned char u = static_cast<unsigned char>(c);
    if (u <= ' ' || c == '%') {
      out += '%';
      out += kHex[u >> 4];
      out += kHex[u & 15];
    } else {
      out += c;
    }
  }
  return out;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

std::vector<std::string> Fields(const std::string& line) {
  std::vector<std::string> fields(1);
  for (std::size_t i = 0; i < line.size(); ++i) {
    if (line[i] == '\t') {
      fields.emplace_back();
    } else if (line[i] == '%' && i + 2 < line.size() && HexDigit(line[i + 1]) >= 0 &&
               HexDigit(line[i + 2]) >= 0) {
      fields.back() += static_cast<char>(HexDigit(line[i + 1]) * 16 + HexDigit(line[i + 2]));
      i += 2;
    } else {
      fields.back() += line[i];
    }
  }
  return fields;
}

std::string Number(uint64_t value, bool hex) {
  char text[24];
  std::snprintf(text, sizeof text, hex ? "%016" PRIx64 : "%" PRIu64, value);
  return text;
}

bool ParseNumber(const std::string& text, int base, uint64_t& value) {
  if (text.empty() || text.size() > 20) return false;
  value = 0;
  for (char c : text) {
    const int digit = HexDigit(c);
    if (digit < 0 || digit >= base) return false;
    value = value * static_cast<uint64_t>(base) + static_cast<uint64_t>(digit);
  }
  return true;
}

std::string StampLine(char kind, const FileStamp& stamp) {
  return std::string(1, kind) + '\t' + Encode(stamp.name) + '\t' + Number(stamp.size, false) + '\t' +
         (stamp.time < 0 ? "-" + Number(0 - static_cast<uint64_t>(stamp.time), false)
                         : Number(static_cast<uint64_t>(stamp.time), false)) +
         '\t' + Number(stamp.hash, true) + '\n';
}

bool ParseStamp(const std::vector<std::string>& fields, FileStamp& stamp) {
  if (fields.size() != 5) return false;
  stamp.name = fields[1];
  std::string time = fields[3];
  const bool negative = !time.empty() && time[0] == '-';
  if (negative) time.erase(0, 1);
  uint64_t ticks = 0;
  if (!ParseNumber(fields[2], 10, stamp.size) || !ParseNumber(time, 10, ticks) ||
      !ParseNumber(fields[4], 16, stamp.hash)) {
    return false;
  }
  const uint64_t limit = uint64_t{1} << 63;
  if (ticks > (negative ? limit : limit - 1)) return false;
  stamp.time = negative ? static_cast<int64_t>(0 - ticks) : static_cast<int64_t>(ticks);
  return true;
}

// Size and time of a regular file (any letter case, links followed),
// without reading it; false when it is none.
bool Look(const fs::path& path, uint64_t& size, int64_t& time) {
  return platform::RegularFileStatus(path.string(), size, time);
}

bool Stamp(const std::string& name, const fs::path& path, FileStamp& stamp) {
  stamp.name = name;
  return Look(path, stamp.size, stamp.time) && HashFile(path, stamp.hash);
}

// Whether the file at `path` still has the bytes `stamp` recorded; a new
// time with the same bytes goes into the stamp.
bool StillHolds(const fs::path& path, FileStamp& stamp, bool& refreshed) {
  uint64_t size = 0;
  int64_t time = 0;
  if (!Look(path, size, time) || size != stamp.size) return false;
  if (time == stamp.time) return true;
  uint64_t hash = 0;
  if (!HashFile(path, hash) || hash != stamp.hash) return false;
  stamp.time = time;
  refreshed = true;
  return true;
}

}  // namespace

uint64_t HashBytes(const void* data, std::size_t size, uint64_t hash) {
  const unsigned char* bytes = static_cast<const unsigned char*>(data);
  for (std::size_t i = 0; i < size; ++i) {
    hash ^= bytes[i];
    hash *= 0x100000001b3ull;
  }
  return hash;
}

bool HashFile(const fs::path& path, uint64_t& hash) {
  std::FILE* file = platform::OpenStream(path.string().c_str(), "rb");
  if (file == nullptr) return false;
  hash = HashBytes(nullptr, 0);
  char buffer[1 << 16];
  std::size_t read = 0;
  while ((read = std::fread(buffer, 1, sizeof buffer, file)) > 0) hash = HashBytes(buffer, read, hash);
  const bool ok = !std::ferror(file);
  std::fclose(file);
  return ok;
}

std::string ToolIdentity(const std::string& name, const fs::path& program) {
  uint64_t hash = 0;
  if (!HashFile(program, hash)) return std::string();
  return name + " " + RT_VERSION + " " + Number(hash, true);
}

std::string WhyMadeOtherwise(const BuildWanted& wanted, BuildEntry& recorded, bool& refreshed) {
  if (recorded.tool != wanted.tool) return "made by another " + wanted.tool.substr(0, wanted.tool.find(' '));
  if (recorded.switches != wanted.switches) return "made with other switches";
  if (recorded.inputs.size() != wanted.inputs.size()) return "made from other files";
  for (std::size_t i = 0; i < wanted.inputs.size(); ++i) {
    if (recorded.inputs[i].name != wanted.inputs[i].first) return "made from other files";
    if (!StillHolds(wanted.inputs[i].second, recorded.inputs[i], refreshed)) {
      return wanted.inputs[i].first + " changed";
    }
  }
  return std::string();
}

std::string WhyOutOfDate(const BuildWanted& wanted, BuildEntry& recorded, bool& refreshed) {
  const std::string why = WhyMadeOtherwise(wanted, recorded, refreshed);
  if (!why.empty()) return why;
  uint64_t size = 0;
  int64_t time = 0;
  if (!Look(wanted.output, size, time)) return "its output is missing";
  if (!StillHolds(wanted.output, recorded.output, refreshed)) return "its output was changed";
  return std::string();
}

bool StampInputs(const BuildWanted& wanted, BuildEntry& entry) {
  entry.tool = wanted.tool;
  entry.switches = wanted.switches;
  entry.inputs.assign(wanted.inputs.size(), FileStamp());
  for (std::size_t i = 0; i < wanted.inputs.size(); ++i) {
    if (!Stamp(wanted.inputs[i].first, wanted.inputs[i].second, entry.inputs[i])) return false;
  }
  return true;
}

bool StampBuild(const BuildWanted& wanted, BuildEntry& entry) {
  return StampInputs(wanted, entry) &&
         Stamp(wanted.output.filename().string(), wanted.output, entry.output);
}

BuildRecord::BuildRecord(fs::path directory) : directory_(std::move(directory)) {
  std::vector<uint8_t> bytes;
  if (platform::ReadWholeFile((directory_ / kFileName).string(), bytes) != platform::WholeFile::kRead) {
    return;
  }
  Read(std::string(bytes.begin(), bytes.end()));
}

bool BuildRecord::Read(const std::string& text) {
  entries_.clear();
  // Any line that does not parse makes the whole record unknown: every
  // output it spoke for is made again, which is never wrong.
  std::map<std::string, BuildEntry> entries;
  BuildEntry* entry = nullptr;
  std::size_t start = 0;
  bool first = true;
  while (start < text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string::npos) return false;  // cut short
    const std::string line = text.substr(start, end - start);
    start = end + 1;
    if (first) {
      if (line != kHeader) return false;
      first = false;
      continue;
    }
    const std::vector<std::string> fields = Fields(line);
    const std::string& kind = fields[0];
    if (kind == "o") {
      FileStamp output;
      if (!ParseStamp(fields, output)) return false;
      entry = &entries[LowerCase(output.name)];
      *entry = BuildEntry();
      entry->output = output;
    } else if (entry == nullptr) {
      return false;
    } else if (kind == "t" && fields.size() == 2) {
      entry->tool = fields[1];
    } else if (kind == "s") {
      entry->switches.assign(fields.begin() + 1, fields.end());
    } else if (kind == "i") {
      FileStamp input;
      if (!ParseStamp(fields, input)) return false;
      entry->inputs.push_back(input);
    } else {
      return false;
    }
  }
  entries_ = std::move(entries);
  return true;
}

BuildEntry* BuildRecord::Find(const std::string& output) {
  auto found = entries_.find(LowerCase(output));
  return found == entries_.end() ? nullptr : &found->second;
}

void BuildRecord::Set(BuildEntry entry) {
  const std::string key = LowerCase(entry.output.name);
  entries_[key] = std::move(entry);
}

void BuildRecord::Erase(const std::string& output) { entries_.erase(LowerCase(output)); }

std::string BuildRecord::Text() const {
  std::string text = std::string(kHeader) + '\n';
  for (const auto& [key, entry] : entries_) {
    text += StampLine('o', entry.output);
    text += "t\t" + Encode(entry.tool) + '\n';
    text += "s";
    for (const std::string& s : entry.switches) text += '\t' + Encode(s);
    text += '\n';
    for (const FileStamp& input : entry.inputs) text += StampLine('i', input);
  }
  return text;
}

bool BuildRecord::Save() const {
  const std::string path = (directory_ / kFileName).string();
  if (entries_.empty()) {
    uint32_t attributes = 0;
    return !platform::GetFileAttributes(path, attributes) || platform::RemoveFile(path);
  }
  const std::string text = Text();
  return platform::WriteFileReplacing(path, std::vector<uint8_t>(text.begin(), text.end()));
}

}  // namespace modbatch
