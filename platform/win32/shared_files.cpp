#include "platform/shared_files.h"

#include <cstdlib>

#include "platform/process.h"

namespace platform {

const char kScriptLibraryVariable[] = "RT_SCRIPT_LIBRARY_DIR";

// The release zips carry the libraries in a javascript folder beside the
// programs, laid out as Debian installs them.
std::vector<std::string> ScriptLibraryFolders(const std::string& library) {
  const char* chosen = std::getenv(kScriptLibraryVariable);
  if (chosen && *chosen) return {std::string(chosen) + "\\" + library};
  const std::string program = CurrentExecutable();
  const std::size_t slash = program.find_last_of("\\/");
  if (slash == std::string::npos) return {};
  return {program.substr(0, slash) + "\\javascript\\" + library};
}

// An empty value removes the variable.
void SetScriptLibraryFolder(const std::string& folder) { _putenv_s(kScriptLibraryVariable, folder.c_str()); }

}  // namespace platform
