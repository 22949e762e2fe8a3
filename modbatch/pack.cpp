#include "modbatch/pack.h"

#include <algorithm>
#include <exception>
#include <map>

#include "modbatch/rules.h"
#include "platform/whole_file.h"
#include "trackconv/driver/dat_file.h"
#include "trackconv/driver/dat_writer.h"

namespace modbatch {

std::string PackMember::Name() const { return relative.substr(relative.rfind('/') + 1); }

void OrderMembers(std::vector<PackMember>& members, const std::vector<std::string>& order) {
  auto group = [&](const PackMember& member) {
    for (std::size_t i = 0; i < order.size(); ++i) {
      if (MatchPattern(order[i], member.relative)) return i;
    }
    return order.size();
  };
  std::sort(members.begin(), members.end(), [&](const PackMember& a, const PackMember& b) {
    const std::size_t ga = group(a), gb = group(b);
    if (ga != gb) return ga < gb;
    const std::string la = LowerCase(a.Name()), lb = LowerCase(b.Name());
    if (la != lb) return la < lb;
    return a.relative < b.relative;
  });
}

std::string PackFault(const std::vector<PackMember>& members) {
  if (members.empty()) return "no file matches its members";
  if (members.size() > kMostDatMembers) {
    return "more than " + std::to_string(kMostDatMembers) + " members";
  }
  std::map<std::string, std::string> names;
  for (const PackMember& member : members) {
    const std::string name = member.Name();
    if (name.size() > MOTADatFile::kNameField - 1) {
      return "member " + member.relative + ": the name is longer than 12 characters";
    }
    auto claimed = names.emplace(LowerCase(name), member.relative);
    if (!claimed.second) {
      return "members " + claimed.first->second + " and " + member.relative + " have one name";
    }
  }
  return std::string();
}

bool PackBytes(const std::vector<PackMember>& members, std::vector<uint8_t>& bytes,
               std::string& error) {
  std::vector<std::vector<uint8_t>> contents(members.size());
  std::vector<DatEntry> entries(members.size());
  const uint32_t directoryEnd = 2 + MOTADatFile::kEntrySize * static_cast<uint32_t>(members.size());
  uint64_t offset = directoryEnd;
  for (std::size_t i = 0; i < members.size(); ++i) {
    if (platform::ReadWholeFile(members[i].path.string(), contents[i]) != platform::WholeFile::kRead) {
      error = "cannot read " + members[i].relative;
      return false;
    }
    entries[i].name_field = DatEntry::FieldOf(members[i].Name());
    entries[i].offset = static_cast<uint32_t>(std::min<uint64_t>(offset, 0xFFFFFFFFu));
    entries[i].length = entries[i].length_copy = static_cast<uint32_t>(contents[i].size());
    offset += contents[i].size();
    if (offset > kLargestDatArchive) {
      error = "the archive would reach 4 GiB";
      return false;
    }
  }
  try {
    DatMemorySource source(std::move(contents));
    DatLayout layout(std::move(entries), directoryEnd, {});
    layout.Place(source);
    DatMemorySink sink;
    layout.Write(source, sink);
    bytes = std::move(sink.bytes);
  } catch (const std::exception& failure) {
    error = failure.what();
    return false;
  }
  return true;
}

}  // namespace modbatch
