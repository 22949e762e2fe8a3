#include "tools/lib/synthetic_dat.h"

#include <algorithm>
#include <cstring>
#include <fstream>
#include <stdexcept>

#include "trackconv/foundation/byte_order.h"

namespace trackgen {

namespace {
constexpr std::size_t kEntrySize = 27;
constexpr std::size_t kNameField = 13;
}  // namespace

std::size_t DatEntryOffset(uint32_t index) { return 2 + kEntrySize * index; }

std::vector<uint8_t> BuildDatArchive(const std::vector<DatMember>& members) {
  std::vector<uint8_t> image;
  FieldWriter out(image);
  out.I16(static_cast<int16_t>(members.size()));
  uint32_t offset = static_cast<uint32_t>(DatEntryOffset(static_cast<uint32_t>(members.size())));
  for (const DatMember& member : members) {
    const uint32_t length = static_cast<uint32_t>(member.data.size());
    out.U16(5);
    out.U32(length);
    out.U32(length);
    uint8_t name[kNameField] = {};
    std::memcpy(name, member.name.data(), std::min(member.name.size(), kNameField));
    out.Bytes(name, kNameField);
    out.U32(offset);
    offset += length;
  }
  for (const DatMember& member : members) out.Bytes(member.data.data(), member.data.size());
  return image;
}

void WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  file.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  if (!file) throw std::runtime_error("cannot write " + path);
}

void WriteDatArchive(const std::string& path, const std::vector<DatMember>& members) {
  WriteBytes(path, BuildDatArchive(members));
}

std::vector<uint8_t> BytesOf(const std::string& text) {
  return std::vector<uint8_t>(text.begin(), text.end());
}

}  // namespace trackgen
