// The options profile.

#include "runtime/profile/profile.h"

#include <climits>
#include <cstdio>
#include <cstring>
#include <new>

#include "platform/stream.h"
#include "runtime/mem.h"
#include "runtime/ascii_case.h"

struct ProgramProfile::Line {
  Line* next;
  COption* option;
};

namespace {

// True when `line` begins with the `length` characters of `text`, ignoring
// the case of ASCII letters. A shorter line never matches.
bool StartsWithNoCase(const char* line, const char* text, std::size_t length) {
  for (std::size_t i = 0; i < length; ++i)
    if (line[i] == '\0' || LowerAscii(line[i]) != LowerAscii(text[i])) return false;
  return true;
}

// Copies at most size - 1 characters and a terminator; nothing when size is 0.
void CopyBounded(char* out, const char* text, uint32_t size) {
  if (!out || size == 0) return;
  std::size_t length = text ? std::strlen(text) : 0;
  if (length > size - 1) length = size - 1;
  if (length) std::memcpy(out, text, length);
  out[length] = '\0';
}

bool IsSpace(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

// Leading whitespace and a sign, then digits up to the first other
// character; 0 without digits. Values beyond 32 bits stop at the limit.
int32_t DecimalValue(const char* text) {
  while (IsSpace(*text)) ++text;
  const bool negative = *text == '-';
  if (*text == '-' || *text == '+') ++text;
  int64_t value = 0;
  for (; *text >= '0' && *text <= '9'; ++text) {
    value = value * 10 + (*text - '0');
    if (value > int64_t{INT32_MAX} + 1) value = int64_t{INT32_MAX} + 1;
  }
  if (negative) return static_cast<int32_t>(-value);
  return static_cast<int32_t>(value > INT32_MAX ? INT32_MAX : value);
}

}  // namespace

ProgramProfile::ProgramProfile() : lines_(nullptr), cursor_(nullptr), modified_(0) {
  fileName_[0] = '\0';
}

ProgramProfile::~ProgramProfile() { Release(); }

int ProgramProfile::Load(const char* fileName) {
  Release();
  if (!fileName || std::strlen(fileName) >= sizeof fileName_) {
    fileName_[0] = '\0';
    return 0;
  }
  std::strcpy(fileName_, fileName);
  std::FILE* stream = platform::OpenStream(fileName, "r");
  if (!stream) return 0;
  const int loaded = LoadStream(stream);
  std::fclose(stream);
  return loaded;
}

int ProgramProfile::LoadStream(std::FILE* stream) {
  Release();
  Line* last = nullptr;
  char text[sizeof(COption::text)];
  while (std::fgets(text, sizeof text, stream)) {
    std::size_t length = std::strlen(text);
    if (length && text[length - 1] == '\n') text[--length] = '\0';
    // Files written on Windows keep their carriage returns outside text mode.
    if (length && text[length - 1] == '\r') text[--length] = '\0';
    void* lineBlock = nullptr;
    void* optionBlock = nullptr;
    if (!_memAlloc(&lineBlock, sizeof(Line)) || !lineBlock) {
      Release();
      return 0;
    }
    if (!_memAlloc(&optionBlock, sizeof(COption)) || !optionBlock) {
      memFree(lineBlock);
      Release();
      return 0;
    }
    COption* option = new (optionBlock) COption;
    std::memcpy(option->text, text, length + 1);
    Line* line = new (lineBlock) Line{nullptr, option};
    if (last)
      last->next = line;
    else
      lines_ = line;
    last = line;
  }
  return 1;
}

void ProgramProfile::Release() {
  while (lines_) {
    Line* next = lines_->next;
    memFree(lines_->option);
    memFree(lines_);
    lines_ = next;
  }
  cursor_ = nullptr;
}

const ProgramProfile::Line* ProgramProfile::FindSection(const char* section) {
  // Lines hold at most 99 characters, so a longer header can match nothing.
  char header[sizeof(COption::text) + 1];
  const int length = std::snprintf(header, sizeof header, "[%s]", section ? section : "");
  if (length < 0 || static_cast<std::size_t>(length) >= sizeof header) return nullptr;
  for (cursor_ = lines_; cursor_; cursor_ = cursor_->next)
    if (StartsWithNoCase(cursor_->option->text, header, static_cast<std::size_t>(length)))
      return cursor_;
  return nullptr;
}

const ProgramProfile::Line* ProgramProfile::FindKey(const char* section, const char* key) {
  if (!key || !FindSection(section)) return nullptr;
  const std::size_t length = std::strlen(key);
  for (cursor_ = cursor_->next; cursor_; cursor_ = cursor_->next) {
    const char* text = cursor_->option->text;
    if (text[0] == '[') return nullptr;
    if (StartsWithNoCase(text, key, length) && text[length] == '=') return cursor_;
  }
  return nullptr;
}

success ProgramProfile::GetString(const char* section, const char* key, char* out,
                                  const char* defaultText, uint32_t size) {
  CopyBounded(out, defaultText, size);
  const Line* line = FindKey(section, key);
  if (!line) return 0;
  char text[sizeof(COption::text)];
  std::memcpy(text, line->option->text, sizeof text);
  if (char* comment = std::strchr(text, ';')) *comment = '\0';
  const char* equals = std::strchr(text, '=');
  if (!equals) return 0;
  CopyBounded(out, equals + 1, size);
  return 1;
}

success ProgramProfile::GetOption(const char* section, const char* key, int32_t* out,
                                  int32_t defaultValue) {
  char defaultText[20];
  std::snprintf(defaultText, sizeof defaultText, "%d", static_cast<int>(defaultValue));
  char value[20];
  const success found = GetString(section, key, value, defaultText, sizeof value);
  if (out) *out = DecimalValue(value);
  return found;
}

namespace {
ProgramProfile theProfile;
}  // namespace

ProgramProfile* const ProfilePtr = &theProfile;

success ProfileGetOption(const char* section, const char* key, int32_t* out,
                         int32_t defaultValue) {
  return ProfilePtr->GetOption(section, key, out, defaultValue);
}

success ProfileGetOption(const char* section, const char* key, char* out,
                         const char* defaultText, uint32_t size) {
  return ProfilePtr->GetString(section, key, out, defaultText, size);
}
