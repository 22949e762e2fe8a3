#include "trackconv/foundation/atomic_output.h"

#include "platform/atomic_replace.h"
#include "platform/file_attributes.h"
#include "platform/path.h"
#include "trackconv/foundation/errors.h"

namespace {

// The final name can take a finished file: nothing is there, or a file
// that can be opened for writing (when `claim_existing`), as creating it
// in place would open it.
bool CanTakeFinal(const std::string& full_path, bool claim_existing) {
  if (claim_existing) return platform::CanTakeOutput(full_path);
  uint32_t attributes = 0;
  return !platform::GetFileAttributes(full_path, attributes) || !(attributes & platform::kAttributeDirectory);
}

}  // namespace

AtomicOutput::AtomicOutput(const std::string& final_name, bool claim_existing)
    : final_name_(final_name) {
  Open(false, claim_existing);
}

AtomicOutput::AtomicOutput(const std::string& final_name, KnownFree) : final_name_(final_name) { Open(true, false); }

void AtomicOutput::Open(bool known_free, bool claim_existing) {
  known_free_ = known_free;
  std::size_t last_component;
  if (!platform::FullPathName(final_name_, final_path_, last_component)) throw XFileOpen(final_name_);
  if (!known_free && !CanTakeFinal(final_path_, claim_existing)) throw XFileOpen(final_path_);
  temporary_path_ = known_free ? platform::CreateTemporaryFileForNew(final_path_)
                               : platform::CreateTemporaryFileBeside(final_path_);
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
  const bool placed = known_free_ ? platform::PlaceNewFile(temporary_path_, final_path_)
                                  : platform::ReplaceFileWith(temporary_path_, final_path_);
  if (!placed) {
    platform::RemoveFile(temporary_path_);
    throw XFileOpen(final_path_);
  }
}
