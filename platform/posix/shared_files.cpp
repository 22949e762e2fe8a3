#include "platform/shared_files.h"

#include <cstdlib>

namespace platform {

const char kScriptLibraryVariable[] = "RT_SCRIPT_LIBRARY_DIR";

// Debian's libjs-* packages install under /usr/share/javascript.
std::vector<std::string> ScriptLibraryFolders(const std::string& library) {
  const char* chosen = std::getenv(kScriptLibraryVariable);
  if (chosen && *chosen) return {std::string(chosen) + "/" + library};
  return {"/usr/share/javascript/" + library};
}

void SetScriptLibraryFolder(const std::string& folder) {
  if (folder.empty())
    unsetenv(kScriptLibraryVariable);
  else
    setenv(kScriptLibraryVariable, folder.c_str(), 1);
}

}  // namespace platform
