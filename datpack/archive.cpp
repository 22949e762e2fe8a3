#include "datpack/archive.h"

#include <algorithm>
#include <zlib.h>

#include "platform/path.h"
#include "trackconv/foundation/paths.h"

namespace datpack {

namespace {

// The size of the archive file itself, from the file every member shares.
uint32_t FileSizeOf(const MOTADatFile& dat) { return dat.Member(0)->GetDiskFile()->Size(); }

bool IsDeviceName(const std::string& name) {
  // Windows opens these devices whatever extension follows.
  std::string stem = ToLower(name.substr(0, name.find('.')));
  while (!stem.empty() && stem.back() == ' ') stem.pop_back();
  if (stem == "con" || stem == "prn" || stem == "aux" || stem == "nul") return true;
  return stem.size() == 4 && (stem.compare(0, 3, "com") == 0 || stem.compare(0, 3, "lpt") == 0) &&
         stem[3] >= '0' && stem[3] <= '9';
}

const char kHex[] = "0123456789abcdef";

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

Archive::Archive(const std::string& archive_path) : path(archive_path), dat(archive_path), size(FileSizeOf(dat)) {}

uint32_t Archive::DirectoryEnd() const {
  return static_cast<uint32_t>(2 + MOTADatFile::kEntrySize * entries().size());
}

bool Archive::Inside(std::size_t index) const {
  const DatEntry& entry = entries()[index];
  return uint64_t{entry.offset} + entry.length <= size || entry.length == 0;
}

std::vector<DatGap> Archive::ReadGaps() const {
  std::vector<DatGap> gaps;
  Handle<DiskFile> file = dat.Member(0)->GetDiskFile();
  for (const DatRange& range : UncoveredRanges(entries(), DirectoryEnd(), size)) {
    DatGap gap;
    gap.offset = range.start;
    gap.bytes.resize(range.end - range.start);
    file->Seek(gap.offset);
    file->Read(static_cast<uint32_t>(gap.bytes.size()), gap.bytes.data());
    gaps.push_back(std::move(gap));
  }
  return gaps;
}

void Archive::Read(std::size_t index, uint32_t position, uint32_t count, uint8_t* out) const {
  Handle<SubFile> member = dat.Member(static_cast<uint32_t>(index));
  member->Seek(position);
  member->Read(count, out);
}

std::string NameFault(const std::string& name) {
  if (name.empty()) return "the name is empty";
  if (name == "." || name == "..") return "the name is '" + name + "'";
  for (unsigned char c : name) {
    if (c == '/' || c == '\\') return "the name holds a path separator";
    if (c == ':') return "the name holds a drive colon";
    if (c < 0x20 || c == 0x7F) return "the name holds a control character";
    if (c == '<' || c == '>' || c == '"' || c == '|' || c == '?' || c == '*')
      return std::string("the name holds '") + static_cast<char>(c) + "', which Windows refuses in names";
  }
  if (name.back() == '.' || name.back() == ' ') return "the name ends in a dot or a space";
  if (IsDeviceName(name)) return "the name is a Windows device name";
  return std::string();
}

std::string EscapeName(const std::string& name) {
  std::string text;
  for (unsigned char c : name) {
    if (c > 0x20 && c < 0x7F && c != '%') {
      text += static_cast<char>(c);
    } else {
      text += '%';
      text += kHex[c >> 4];
      text += kHex[c & 15];
    }
  }
  return text;
}

bool UnescapeName(const std::string& text, std::string& name) {
  name.clear();
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '%') {
      name += text[i];
      continue;
    }
    if (i + 2 >= text.size()) return false;
    const int high = HexValue(text[i + 1]), low = HexValue(text[i + 2]);
    if (high < 0 || low < 0) return false;
    name += static_cast<char>(high * 16 + low);
    i += 2;
  }
  return true;
}

std::string LastComponent(const std::string& path) {
  std::size_t start = path.size();
  while (start > 0 && !platform::IsSeparator(path[start - 1])) --start;
  return path.substr(start);
}

uint32_t MemberCrc(const Archive& archive, std::size_t index) {
  const uint32_t length = archive.entries()[index].length;
  std::vector<uint8_t> buffer(std::min<uint32_t>(length, 1u << 20));
  uLong crc = crc32(0L, Z_NULL, 0);
  for (uint32_t done = 0; done < length;) {
    const uint32_t count = std::min<uint32_t>(length - done, static_cast<uint32_t>(buffer.size()));
    archive.Read(index, done, count, buffer.data());
    crc = crc32(crc, buffer.data(), count);
    done += count;
  }
  return static_cast<uint32_t>(crc);
}

}  // namespace datpack
