#pragma once
// Letter case of file names inside the platform layer: only the ASCII
// letters A-Z fold, as on the systems the game data comes from.

#include <cstddef>
#include <string>

namespace platform {

inline char LowerAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

/// Two names that differ at most in the case of ASCII letters.
inline bool EqualNoCase(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (LowerAscii(a[i]) != LowerAscii(b[i])) return false;
  return true;
}

}  // namespace platform
