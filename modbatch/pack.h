#pragma once
// Archives packed from a mod's outputs and files, as a rules file's
// [pack NAME.dat] sections ask.

#include <filesystem>
#include <string>
#include <vector>

#include "modbatch/build_record.h"

namespace modbatch {

/// One member of an archive to pack.
struct PackMember {
  std::string relative;  ///< below the rules file's folder, '/'-separated
  std::filesystem::path path;
  /// The name in the archive: the file's own name.
  std::string Name() const;
};

/// Puts `members` in archive order: those matching the first `order`
/// pattern first, then the second's, and so on, then the rest; within
/// each group by name without regard to letter case (then byte-wise).
void OrderMembers(std::vector<PackMember>& members, const std::vector<std::string>& order);

/// Why `members` cannot be one archive (a name too long for the
/// directory, two names alike but for letter case, too many members),
/// or "" when they can.
std::string PackFault(const std::vector<PackMember>& members);

/// The archive of `members` in their order, laid out by the archive
/// writer: the directory, then each member right after the one before.
/// False with `error` when a member cannot be read or the archive would
/// not fit the format.
bool PackBytes(const std::vector<PackMember>& members, std::vector<uint8_t>& bytes,
               std::string& error);

}  // namespace modbatch
