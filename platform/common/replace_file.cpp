#include "platform/replace_file.h"

#include <utility>

#include "platform/atomic_replace.h"
#include "platform/common/guarded.h"
#include "platform/file_attributes.h"
#include "platform/path.h"

namespace platform {

namespace {

bool Claimed(const char* final_path, Claim claim) {
  if (claim == Claim::kWritable) return CanTakeOutput(final_path);
  uint32_t attributes = 0;
  return !GetFileAttributes(final_path, attributes) || !(attributes & kAttributeDirectory);
}

}  // namespace

bool BeginReplacement(const char* final_path, Claim claim, char* temporary, std::size_t size) {
  return final_path && Claimed(final_path, claim) &&
         CreateTemporaryFileBeside(final_path, temporary, size);
}

std::string BeginReplacement(const std::string& final_path, Claim claim) {
  if (final_path.find('\0') != std::string::npos || !Claimed(final_path.c_str(), claim))
    return std::string();
  return CreateTemporaryFileBeside(final_path);
}

bool FinishReplacement(const char* temporary, const char* final_path) {
  if (ReplaceFileWith(temporary, final_path)) return true;
  RemoveFile(temporary);
  return false;
}

bool FinishReplacement(const std::string& temporary, const std::string& final_path) {
  if (ReplaceFileWith(temporary, final_path)) return true;
  RemoveFile(temporary);
  return false;
}

Replacement::Replacement(Replacement&& other) noexcept
    : final_path_(std::move(other.final_path_)), temporary_(std::move(other.temporary_)) {
  other.temporary_.clear();
}

Replacement& Replacement::operator=(Replacement&& other) noexcept {
  if (this != &other) {
    Abandon();
    final_path_ = std::move(other.final_path_);
    temporary_ = std::move(other.temporary_);
    other.temporary_.clear();
  }
  return *this;
}

Replacement::~Replacement() { Abandon(); }

bool Replacement::Begin(const std::string& final_name, Claim claim) {
  Abandon();
  return Guarded(false, [&] {
    std::size_t last = 0;
    if (!FullPathName(final_name, final_path_, last)) return false;
    temporary_ = BeginReplacement(final_path_, claim);
    return !temporary_.empty();
  });
}

bool Replacement::Write(const std::function<bool(NativeFile file)>& write) {
  if (temporary_.empty()) return false;
  const NativeFile file = OpenFile(temporary_, kGenericWrite, 0, kOpenExisting);
  if (!file.valid()) return false;
  const bool written = Guarded(false, [&] { return write(file); });
  CloseFile(file);
  return written;
}

bool Replacement::Write(const std::vector<uint8_t>& bytes) {
  return Write([&](NativeFile file) { return WriteAll(file, bytes.data(), bytes.size()); });
}

bool Replacement::Commit() {
  if (temporary_.empty()) return false;
  const bool replaced = FinishReplacement(temporary_, final_path_);
  temporary_.clear();
  return replaced;
}

void Replacement::Abandon() {
  if (temporary_.empty()) return;
  RemoveFile(temporary_);
  temporary_.clear();
}

bool WriteAll(NativeFile file, const uint8_t* bytes, std::size_t count) {
  std::size_t written = 0;
  while (written < count) {
    const std::size_t left = count - written;
    uint32_t done = 0;
    if (!WriteFile(file, bytes + written, static_cast<uint32_t>(left < 0x40000000u ? left : 0x40000000u),
                   done) ||
        done == 0)
      return false;
    written += done;
  }
  return true;
}

bool WriteFileReplacing(const std::string& final_name,
                        const std::function<bool(NativeFile file)>& write) {
  Replacement replacement;
  return replacement.Begin(final_name) && replacement.Write(write) && replacement.Commit();
}

bool WriteFileReplacing(const std::string& final_name, const std::vector<uint8_t>& bytes) {
  Replacement replacement;
  return replacement.Begin(final_name) && replacement.Write(bytes) && replacement.Commit();
}

}  // namespace platform
