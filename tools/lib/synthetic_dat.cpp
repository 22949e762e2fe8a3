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

std::size_t DatImageBuilder::Member(const std::string& name, std::vector<uint8_t> data, std::vector<uint8_t> tail) {
  entries_.push_back(Entry{name, std::move(data), std::move(tail)});
  return entries_.size() - 1;
}

std::size_t DatImageBuilder::Share(const std::string& name, std::size_t of, uint32_t at, uint32_t length) {
  Entry entry;
  entry.name = name;
  entry.shares = static_cast<long>(of);
  entry.at = at;
  entry.length = length;
  entries_.push_back(entry);
  return entries_.size() - 1;
}

DatImageBuilder& DatImageBuilder::Place(std::size_t index) {
  layout_.push_back(static_cast<long>(index));
  seeds_.push_back(0);
  return *this;
}

DatImageBuilder& DatImageBuilder::Junk(std::size_t count, uint8_t seed) {
  layout_.push_back(-static_cast<long>(count) - 1);
  seeds_.push_back(seed);
  return *this;
}

std::vector<uint8_t> DatImageBuilder::Build() const {
  std::vector<uint8_t> data;
  std::vector<uint32_t> offsets(entries_.size(), 0);
  const std::size_t base = DatEntryOffset(static_cast<uint32_t>(entries_.size()));
  for (std::size_t i = 0; i < layout_.size(); ++i) {
    if (layout_[i] >= 0) {
      const Entry& entry = entries_[static_cast<std::size_t>(layout_[i])];
      offsets[static_cast<std::size_t>(layout_[i])] = static_cast<uint32_t>(base + data.size());
      data.insert(data.end(), entry.data.begin(), entry.data.end());
    } else {
      for (long k = 0; k < -layout_[i] - 1; ++k) data.push_back(static_cast<uint8_t>(seeds_[i] + k * 13));
    }
  }
  std::vector<uint8_t> image;
  FieldWriter out(image);
  out.I16(static_cast<int16_t>(entries_.size()));
  for (std::size_t i = 0; i < entries_.size(); ++i) {
    const Entry& entry = entries_[i];
    const bool shared = entry.shares >= 0;
    const uint32_t length = shared ? entry.length : static_cast<uint32_t>(entry.data.size());
    const uint32_t offset = shared ? offsets[static_cast<std::size_t>(entry.shares)] + entry.at : offsets[i];
    out.U16(5);
    out.U32(length);
    out.U32(length);
    uint8_t name[kNameField] = {};
    std::memcpy(name, entry.name.data(), std::min(entry.name.size(), kNameField));
    for (std::size_t k = 0; k < entry.tail.size() && entry.name.size() + 1 + k < kNameField; ++k)
      name[entry.name.size() + 1 + k] = entry.tail[k];
    out.Bytes(name, kNameField);
    out.U32(offset);
  }
  image.insert(image.end(), data.begin(), data.end());
  return image;
}

std::vector<uint8_t> BytesOf(const std::string& text) {
  return std::vector<uint8_t>(text.begin(), text.end());
}

}  // namespace trackgen
