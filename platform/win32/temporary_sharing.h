#pragma once
// The share mode of a file opened by the layer: the temporaries of outputs
// also share deletion, so that an interruption can remove them while the
// program still holds them open (they go when the last handle closes).

#include <windows.h>

namespace platform {
namespace win32 {

/// Whether `path` names a registered temporary (in any letter case).
bool IsTemporary(const char* path);

/// `share`, with FILE_SHARE_DELETE added when `path` names a registered
/// temporary.
DWORD ShareModeFor(const char* path, DWORD share);

}  // namespace win32
}  // namespace platform
