#include "millview/archive.h"

#include <exception>

#include "trackconv/driver/dat_file.h"

namespace millview {

std::vector<ArchiveMember> ArchiveMembers(const std::string& path) {
  std::vector<ArchiveMember> members;
  try {
    MOTADatFile archive(path);
    for (uint32_t m = 0; m < archive.MemberCount(); ++m)
      members.push_back(ArchiveMember{m, archive.Member(m)->GetName()});
  } catch (const std::exception&) {
    members.clear();
  }
  return members;
}

bool ReadArchiveMember(const std::string& path, uint32_t index, std::vector<uint8_t>& bytes,
                       std::string& reason) {
  try {
    MOTADatFile archive(path);
    if (index >= archive.MemberCount()) {
      reason = "the archive changed while it was read";
      return false;
    }
    Handle<SubFile> member = archive.Member(index);
    bytes.assign(member->Size(), 0);
    if (!bytes.empty()) member->Read(member->Size(), bytes.data());
    return true;
  } catch (const std::exception& failure) {
    reason = failure.what();
    return false;
  }
}

}  // namespace millview
