#include "trackconv/foundation/atomic_output.h"

#include "platform/atomic_replace.h"
#include "platform/path.h"
#include "trackconv/foundation/errors.h"

AtomicOutput::AtomicOutput(const std::string& final_name) : final_name_(final_name) {
  std::string full;
  std::size_t last_component;
  if (!platform::FullPathName(final_name, full, last_component)) throw XFileOpen(final_name);
  temporary_path_ = platform::CreateTemporaryFileBeside(full);
  if (temporary_path_.empty()) throw XFileOpen(full);
  try {
    file_ = new SubFile(DiskFile::CreateReplacing(temporary_path_), final_name);
  } catch (const std::exception&) {
    platform::RemoveFile(temporary_path_);
    throw XFileOpen(full);
  }
}

AtomicOutput::~AtomicOutput() {
  if (committed_) return;
  file_ = nullptr;  // closes the temporary file before it goes
  platform::RemoveFile(temporary_path_);
}

void AtomicOutput::Commit() {
  file_ = nullptr;
  if (!platform::ReplaceFileWith(temporary_path_, final_name_)) {
    platform::RemoveFile(temporary_path_);
    committed_ = true;
    throw XFileWrite(final_name_);
  }
  committed_ = true;
}
