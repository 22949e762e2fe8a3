#include "trackconv/foundation/atomic_output.h"

#include "platform/atomic_replace.h"
#include "platform/path.h"
#include "platform/replace_file.h"
#include "trackconv/foundation/errors.h"

AtomicOutput::AtomicOutput(const std::string& final_name, bool claim_existing)
    : final_name_(final_name) {
  std::size_t last_component;
  if (!platform::FullPathName(final_name, final_path_, last_component)) throw XFileOpen(final_name);
  // Without `claim_existing` only a directory refuses the name: the file
  // there is replaced, never opened, so it need not be writable.
  temporary_path_ = platform::BeginReplacement(
      final_path_, claim_existing ? platform::Claim::kWritable : platform::Claim::kNotDirectory);
  if (temporary_path_.empty()) throw XFileOpen(final_path_);
  try {
    file_ = new SubFile(DiskFile::CreateReplacing(temporary_path_), final_name);
  } catch (const std::exception&) {
    platform::RemoveFile(temporary_path_);
    throw XFileOpen(final_path_);
  }
}

AtomicOutput::~AtomicOutput() {
  if (committed_) return;
  file_ = nullptr;  // closes the temporary file before it goes
  platform::RemoveFile(temporary_path_);
}

void AtomicOutput::Commit() {
  file_ = nullptr;
  committed_ = true;
  if (!platform::FinishReplacement(temporary_path_, final_path_)) throw XFileOpen(final_path_);
}
