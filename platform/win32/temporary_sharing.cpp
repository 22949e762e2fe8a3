#include "platform/win32/temporary_sharing.h"

#include "platform/common/ascii_case.h"
#include "platform/common/temporaries.h"

namespace platform {
namespace win32 {

namespace {

// The full form of a name, as the system resolves it; false when it has none.
bool Full(const char* path, char (&full)[MAX_PATH]) {
  const DWORD length = GetFullPathNameA(path, MAX_PATH, full, nullptr);
  return length != 0 && length < MAX_PATH;
}

// Two names of one file as the system finds names: full forms that differ
// at most in letter case.
bool SameName(const char* kept, const char* path) {
  char a[MAX_PATH];
  char b[MAX_PATH];
  if (!Full(kept, a) || !Full(path, b)) return false;
  for (int i = 0;; ++i) {
    if (LowerAscii(a[i]) != LowerAscii(b[i])) return false;
    if (a[i] == 0) return true;
  }
}

}  // namespace

bool IsTemporary(const char* path) { return temporaries::Holds(path, SameName); }

DWORD ShareModeFor(const char* path, DWORD share) { return IsTemporary(path) ? share | FILE_SHARE_DELETE : share; }

}  // namespace win32
}  // namespace platform
