#include "platform/shared_files.h"

#include <windows.h>

#include <cstdlib>

namespace platform {

const char kScriptLibraryVariable[] = "RT_SCRIPT_LIBRARY_DIR";

// The release zips carry the libraries in a javascript folder beside the
// programs, laid out as Debian installs them.
std::vector<std::string> ScriptLibraryFolders(const std::string& library) {
  const char* chosen = std::getenv(kScriptLibraryVariable);
  if (chosen && *chosen) return {std::string(chosen) + "\\" + library};
  char path[MAX_PATH + 1];
  const DWORD length = GetModuleFileNameA(nullptr, path, sizeof path);
  if (length == 0 || length >= sizeof path) return {};
  std::string folder(path, length);
  const std::size_t slash = folder.find_last_of("\\/");
  folder = slash == std::string::npos ? std::string(".") : folder.substr(0, slash);
  return {folder + "\\javascript\\" + library};
}

}  // namespace platform
