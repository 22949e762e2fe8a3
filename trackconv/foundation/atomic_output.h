#pragma once
// AtomicOutput: an output file that is written under a temporary name in
// the same directory and replaces the final file only when committed. Until
// then an existing file of the final name stays untouched; an uncommitted
// output removes its temporary file. Every message names the final file.

#include <string>
#include <vector>

#include "trackconv/foundation/handle.h"
#include "trackconv/foundation/sub_file.h"

class AtomicOutput {
 public:
  /// Creates the temporary file for `final_name`. Fails with XFileOpen
  /// naming the final file's full path when that name is taken by a
  /// directory or, with `claim_existing`, by a file that cannot be opened
  /// for writing (another program holding it, say): a run learns before
  /// any work that its result could not be put in place. The same failure
  /// when the final name reaches one of `inputs`, the files the result is
  /// made from (through a link, say), which must never be replaced by it.
  explicit AtomicOutput(const std::string& final_name, bool claim_existing = true,
                        const std::vector<std::string>& inputs = {});
  /// The same for a caller that has just seen no file of that name in any
  /// letter case (a folder it listed itself): the final name is not asked
  /// again, which spares a search of a large folder per file, and Commit
  /// fails rather than replace a file that appeared there meanwhile.
  struct KnownFree {};
  AtomicOutput(const std::string& final_name, KnownFree);
  ~AtomicOutput();
  AtomicOutput(const AtomicOutput&) = delete;
  AtomicOutput& operator=(const AtomicOutput&) = delete;

  /// The writable file, named after the final file.
  const Handle<SubFile>& File() const { return file_; }
  /// Closes the file and puts it in place of the final file, which is
  /// found regardless of letter case like any existing file (XFileOpen
  /// naming the final file's full path). Every other holder of File() must
  /// have released it by now.
  void Commit();

 private:
  void Open(bool known_free, bool claim_existing, const std::vector<std::string>& inputs);

  std::string final_name_;
  std::string final_path_;
  std::string temporary_path_;
  Handle<SubFile> file_;
  bool committed_ = false;
  bool known_free_ = false;
};
