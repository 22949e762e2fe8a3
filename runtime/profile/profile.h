#pragma once
// The options profile: the lines of an INI-style options file, answering
// queries by section and key with a default for every query.

#include <cstdint>
#include <cstdio>

#include "runtime/success.h"

/// One line of an options file (at most 99 characters and a terminator).
struct COption {
  char text[100];
};

/// The process-wide options profile; see ProfilePtr.
class ProgramProfile {
 public:
  ProgramProfile();
  virtual ~ProgramProfile();
  ProgramProfile(const ProgramProfile&) = delete;
  ProgramProfile& operator=(const ProgramProfile&) = delete;

  /// Replaces the lines by those of `fileName`; 0 when it cannot be opened
  /// (the profile is then empty) or memory runs out.
  int Load(const char* fileName);
  /// Replaces the lines by those read from an open text stream (at most 99
  /// characters each, line breaks removed); 0 when memory runs out.
  int LoadStream(std::FILE* stream);
  /// Frees every line; the file name stays.
  void Release();
  /// The option as text in `out` (at most size - 1 characters); the default
  /// when the option is missing (answer 0).
  success GetString(const char* section, const char* key, char* out,
                    const char* defaultText, uint32_t size);
  /// The option as a number; the default when it is missing (answer 0).
  success GetOption(const char* section, const char* key, int32_t* out,
                    int32_t defaultValue);

  /// The options file loaded last (empty before the first Load).
  const char* FileName() const { return fileName_; }
  /// Never set in this system; kept for a profile that is written back.
  bool Modified() const { return modified_ != 0; }

 private:
  struct Line;
  const Line* FindSection(const char* section);
  const Line* FindKey(const char* section, const char* key);

  char fileName_[257];
  Line* lines_;
  const Line* cursor_;
  uint8_t modified_;
};

/// The one process-wide profile.
extern ProgramProfile* const ProfilePtr;

/// GetOption on the process-wide profile.
success ProfileGetOption(const char* section, const char* key, int32_t* out,
                         int32_t defaultValue);
/// GetString on the process-wide profile.
success ProfileGetOption(const char* section, const char* key, char* out,
                         const char* defaultText, uint32_t size);
