#include "datpack/manifest.h"

#include <sstream>

#include "datpack/archive.h"
#include "trackconv/foundation/paths.h"

namespace datpack {

namespace {

constexpr char kFirstLine[] = "datpack manifest 1";
constexpr char kSuffix[] = ".datpack";
constexpr std::size_t kGapLine = 64;

std::string Hex(const uint8_t* bytes, std::size_t count) {
  static const char digits[] = "0123456789abcdef";
  std::string text;
  text.reserve(count * 2);
  for (std::size_t i = 0; i < count; ++i) {
    text += digits[bytes[i] >> 4];
    text += digits[bytes[i] & 15];
  }
  return text;
}

bool ParseHex(const std::string& text, std::vector<uint8_t>& bytes) {
  if (text.size() % 2) return false;
  bytes.clear();
  for (std::size_t i = 0; i < text.size(); i += 2) {
    int value = 0;
    for (std::size_t k = i; k < i + 2; ++k) {
      const char c = text[k];
      int digit = c >= '0' && c <= '9' ? c - '0' : c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
      if (digit < 0) return false;
      value = value * 16 + digit;
    }
    bytes.push_back(static_cast<uint8_t>(value));
  }
  return true;
}

// A decimal number of at most 32 bits.
bool ParseU32(const std::string& text, uint32_t& value) {
  if (text.empty() || text.size() > 10 || text.find_first_not_of("0123456789") != std::string::npos)
    return false;
  const unsigned long long parsed = std::stoull(text);
  if (parsed > 0xFFFFFFFFull) return false;
  value = static_cast<uint32_t>(parsed);
  return true;
}

std::vector<std::string> Words(const std::string& line) {
  std::vector<std::string> words;
  std::istringstream in(line);
  for (std::string word; in >> word;) words.push_back(word);
  return words;
}

}  // namespace

uint32_t Manifest::DirectoryEnd() const {
  return static_cast<uint32_t>(2 + MOTADatFile::kEntrySize * entries.size());
}

std::string ManifestName(const std::string& archive_name) { return archive_name + kSuffix; }

bool IsManifestName(const std::string& name) {
  const std::size_t length = sizeof kSuffix - 1;
  return name.size() > length && CompareNoCase(name.substr(name.size() - length), kSuffix) == 0;
}

std::string FormatManifest(const Manifest& manifest) {
  std::string text = std::string(kFirstLine) + "\narchive " + EscapeName(manifest.archive) + "\n";
  for (const DatEntry& entry : manifest.entries) {
    const std::string name = entry.Name();
    text += "member " + EscapeName(name) + " " + std::to_string(entry.offset) + " " + std::to_string(entry.length);
    const uint8_t* tail = entry.name_field.data() + name.size() + 1;
    const std::size_t tail_size = entry.name_field.size() - name.size() - 1;
    bool zeros = true;
    for (std::size_t i = 0; i < tail_size; ++i) zeros = zeros && tail[i] == 0;
    if (!zeros) text += " " + Hex(tail, tail_size);
    text += "\n";
  }
  for (const DatGap& gap : manifest.gaps) {
    for (std::size_t at = 0; at < gap.bytes.size(); at += kGapLine) {
      const std::size_t count = std::min(kGapLine, gap.bytes.size() - at);
      text += "gap " + std::to_string(gap.offset + at) + " " + Hex(gap.bytes.data() + at, count) + "\n";
    }
  }
  return text;
}

bool ParseManifest(const std::string& text, Manifest& manifest, std::string& error) {
  manifest = Manifest();
  std::istringstream in(text);
  std::string line;
  std::size_t number = 0;
  bool seen_first = false, seen_archive = false;
  auto fail = [&](const std::string& reason) {
    error = "line " + std::to_string(number) + ": " + reason;
    return false;
  };
  while (std::getline(in, line)) {
    ++number;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (!seen_first) {
      if (line != kFirstLine) return fail(std::string("not a datpack manifest (no \"") + kFirstLine + "\")");
      seen_first = true;
      continue;
    }
    const std::vector<std::string> words = Words(line);
    if (words.empty() || words[0][0] == '#') continue;
    if (words[0] == "archive") {
      if (words.size() != 2 || !UnescapeName(words[1], manifest.archive) || manifest.archive.empty())
        return fail("expected: archive NAME");
      if (seen_archive) return fail("a second archive line");
      seen_archive = true;
    } else if (words[0] == "member") {
      DatEntry entry;
      std::string name;
      if ((words.size() != 4 && words.size() != 5) || !UnescapeName(words[1], name) ||
          !ParseU32(words[2], entry.offset) || !ParseU32(words[3], entry.length))
        return fail("expected: member NAME OFFSET LENGTH [TAIL]");
      if (name.size() > MOTADatFile::kNameField - 1) return fail("member name longer than 12 characters");
      if (name.find('\0') != std::string::npos) return fail("member name holds a NUL");
      entry.length_copy = entry.length;
      entry.name_field = DatEntry::FieldOf(name);
      if (words.size() == 5) {
        std::vector<uint8_t> tail;
        const std::size_t tail_size = MOTADatFile::kNameField - name.size() - 1;
        if (!ParseHex(words[4], tail) || tail.size() != tail_size)
          return fail("the tail of " + words[1] + " must be " + std::to_string(tail_size) + " bytes in hex");
        std::copy(tail.begin(), tail.end(), entry.name_field.begin() + static_cast<std::ptrdiff_t>(name.size() + 1));
      }
      manifest.entries.push_back(entry);
    } else if (words[0] == "gap") {
      DatGap gap;
      if (words.size() != 3 || !ParseU32(words[1], gap.offset) || !ParseHex(words[2], gap.bytes) ||
          gap.bytes.empty() || uint64_t{gap.offset} + gap.bytes.size() > kLargestDatArchive)
        return fail("expected: gap OFFSET HEX");
      // Lines that continue one another make one gap.
      if (!manifest.gaps.empty() &&
          uint64_t{manifest.gaps.back().offset} + manifest.gaps.back().bytes.size() == gap.offset) {
        manifest.gaps.back().bytes.insert(manifest.gaps.back().bytes.end(), gap.bytes.begin(), gap.bytes.end());
      } else {
        manifest.gaps.push_back(std::move(gap));
      }
    } else {
      return fail("unknown line \"" + words[0] + "\"");
    }
  }
  // What is missing at the end belongs to no line.
  error = !seen_first ? "the manifest is empty" : !seen_archive ? "no archive line"
          : manifest.entries.empty() ? "no member line" : "";
  return error.empty();
}

}  // namespace datpack
