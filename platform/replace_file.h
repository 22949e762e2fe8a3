#pragma once
// Writing a file and replacing the final one only once it is complete,
// assembled from the pieces of platform/atomic_replace.h in this one place:
// the final name is claimed first, the new content goes to a temporary
// file beside it, and the temporary is renamed over the final name (links
// written through, modes kept, the name's letter case on disk reused). On
// every failure the temporary goes and an existing file stays as it was.
// No call throws.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/native_file.h"

namespace platform {

/// What claiming a final name requires of whatever is already there.
enum class Claim {
  kWritable,      ///< nothing, or a file that can be opened for writing (CanTakeOutput)
  kNotDirectory,  ///< nothing, or anything but a directory
};

/// Claims `final_path` (absolute) and creates the temporary beside it, its
/// name into `temporary` (`size` bytes). False, with nothing created, when
/// the claim or the temporary fails.
bool BeginReplacement(const char* final_path, Claim claim, char* temporary, std::size_t size);
/// The same with strings; the temporary's name, or "" on failure.
std::string BeginReplacement(const std::string& final_path, Claim claim);

/// Renames `temporary` over `final_path`; when that fails the temporary is
/// removed and false answered.
bool FinishReplacement(const char* temporary, const char* final_path);
bool FinishReplacement(const std::string& temporary, const std::string& final_path);

/// One replacement in progress: the claimed final name and its temporary,
/// which goes with the object unless it was committed.
class Replacement {
 public:
  Replacement() = default;
  Replacement(Replacement&& other) noexcept;
  Replacement& operator=(Replacement&& other) noexcept;
  Replacement(const Replacement&) = delete;
  Replacement& operator=(const Replacement&) = delete;
  ~Replacement();

  /// Makes `final_name` absolute, claims it and creates the temporary.
  bool Begin(const std::string& final_name, Claim claim = Claim::kWritable);
  /// Opens the temporary for writing and hands it to `write`, closing it
  /// after; false when it cannot be opened or `write` answers false.
  bool Write(const std::function<bool(NativeFile file)>& write);
  /// Writes `bytes` as the whole content of the temporary.
  bool Write(const std::vector<uint8_t>& bytes);
  /// Puts the temporary in place of the final file.
  bool Commit();
  /// Removes the temporary (also done by the destructor).
  void Abandon();

  const std::string& temporary() const { return temporary_; }

 private:
  std::string final_path_;
  std::string temporary_;
};

/// Writes all of `count` bytes to `file`; false on the first failure.
bool WriteAll(NativeFile file, const uint8_t* bytes, std::size_t count);

/// The whole of it for one file: `final_name` is replaced by what `write`
/// puts in the open temporary, or by `bytes`.
bool WriteFileReplacing(const std::string& final_name,
                        const std::function<bool(NativeFile file)>& write);
bool WriteFileReplacing(const std::string& final_name, const std::vector<uint8_t>& bytes);

}  // namespace platform
