#pragma once
// The members of a .dat archive that millview converts like loose files.

#include <cstdint>
#include <string>
#include <vector>

namespace millview {

/// One member of an archive, by its place in the directory.
struct ArchiveMember {
  uint32_t index = 0;
  std::string name;  ///< as the archive reader gives it (lower case)
};

/// The members of the archive at `path`, in directory order; empty when
/// the reader refuses the archive (its track job reports why).
std::vector<ArchiveMember> ArchiveMembers(const std::string& path);

/// Reads the bytes of member `index` of the archive at `path`; false with
/// `reason` set when the archive or the member cannot be read.
bool ReadArchiveMember(const std::string& path, uint32_t index, std::vector<uint8_t>& bytes,
                       std::string& reason);

}  // namespace millview
