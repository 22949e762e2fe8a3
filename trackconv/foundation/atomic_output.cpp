#include "trackconv/foundation/atomic_output.h"

#include "platform/atomic_replace.h"
#include "platform/path.h"
#include "platform/replace_file.h"
#include "platform/same_file.h"
#include "trackconv/foundation/errors.h"

AtomicOutput::AtomicOutput(const std::string& final_name, bool claim_existing,
                           const std::vector<std::string>& inputs)
    : final_name_(final_name) {
  Open(false, claim_existing, inputs);
}

AtomicOutput::AtomicOutput(const std::string& final_name, KnownFree) : final_name_(final_name) {
  Open(true, false, {});
}

void AtomicOutput::Open(bool known_free, bool claim_existing, const std::vector<std::string>& inputs) {
  known_free_ = known_free;
  std::size_t last_component;
  if (!platform::FullPathName(final_name_, final_path_, last_component)) throw XFileOpen(final_name_);
  for (const std::string& input : inputs)
    if (platform::SameFile(final_path_, input)) throw XFileOpen(final_path_);
  // Without `claim_existing` only a directory refuses the name: the file
  // there is replaced, never opened, so it need not be writable. A name
  // known to be free is not asked about at all.
  temporary_path_ = known_free ? platform::CreateTemporaryFileForNew(final_path_)
                               : platform::BeginReplacement(final_path_, claim_existing ? platform::Claim::kWritable
                                                                                        : platform::Claim::kNotDirectory);
  if (temporary_path_.empty()) throw XFileOpen(final_path_);
  try {
    file_ = new SubFile(DiskFile::CreateReplacing(temporary_path_), final_name_);
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
  if (known_free_) {
    if (platform::PlaceNewFile(temporary_path_, final_path_)) return;
    platform::RemoveFile(temporary_path_);
    throw XFileOpen(final_path_);
  }
  if (!platform::FinishReplacement(temporary_path_, final_path_)) throw XFileOpen(final_path_);
}
