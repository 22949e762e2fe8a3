#pragma once
// AtomicOutput: an output file that is written under a temporary name in
// the same directory and replaces the final file only when committed. Until
// then an existing file of the final name stays untouched; an uncommitted
// output removes its temporary file. Every message names the final file.

#include <string>

#include "trackconv/foundation/handle.h"
#include "trackconv/foundation/sub_file.h"

class AtomicOutput {
 public:
  /// Creates the temporary file for `final_name` (XFileOpen naming it).
  explicit AtomicOutput(const std::string& final_name);
  ~AtomicOutput();
  AtomicOutput(const AtomicOutput&) = delete;
  AtomicOutput& operator=(const AtomicOutput&) = delete;

  /// The writable file, named after the final file.
  const Handle<SubFile>& File() const { return file_; }
  /// Closes the file and puts it in place of the final file (XFileWrite).
  /// Every other holder of File() must have released it by now.
  void Commit();

 private:
  std::string final_name_;
  std::string temporary_path_;
  Handle<SubFile> file_;
  bool committed_ = false;
};
