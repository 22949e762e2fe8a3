#pragma once
// Letter case of file names, option words and profile keys: only the ASCII
// letters A-Z fold, whatever the C library's locale says.

inline char LowerAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }
inline char UpperAscii(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

/// Two texts that differ at most in the case of ASCII letters.
inline bool EqualNoCase(const char* a, const char* b) {
  for (; *a && *b; ++a, ++b)
    if (LowerAscii(*a) != LowerAscii(*b)) return false;
  return *a == *b;
}
