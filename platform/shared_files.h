#pragma once
// Where files that a program uses but does not build, such as script
// libraries for its HTML pages, are installed on this system.

#include <string>
#include <vector>

namespace platform {

/// Environment variable naming a folder that replaces the usual places:
/// the libraries are looked for in <folder>/<library>.
extern const char kScriptLibraryVariable[];

/// Folders, in the order to look, that may hold the JavaScript library
/// `library` ("three"): with kScriptLibraryVariable set, only its folder;
/// otherwise the system's place for such packages (POSIX:
/// /usr/share/javascript/<library>; Windows: javascript\<library> beside
/// the program).
std::vector<std::string> ScriptLibraryFolders(const std::string& library);

/// Sets kScriptLibraryVariable to `folder` for this process and the
/// programs it starts; "" removes it.
void SetScriptLibraryFolder(const std::string& folder);

}  // namespace platform
