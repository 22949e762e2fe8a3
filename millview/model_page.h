#pragma once
// The 3D page of a track: its model in a WebGL view that the mouse orbits,
// pans and zooms, with the legend of its kinds. The page loads three.js
// (classic scripts) from the gallery's top folder and carries the model
// itself as a data: URL, so that it works opened from the file system.

#include <cstdint>
#include <set>
#include <string>
#include <vector>

#include "millview/model.h"
#include "millview/files.h"

namespace millview {

/// The three.js files a 3D page loads, found where the system installs them.
struct ViewerScripts {
  struct File {
    std::string source;  ///< where it is installed
    std::string name;    ///< its name in the gallery's top folder
  };
  std::vector<File> files;
};

/// Looks for three.min.js, GLTFLoader.js and OrbitControls.js in
/// platform::ScriptLibraryFolders("three"); false with `missing` naming
/// the first file that is in none of them.
bool FindViewerScripts(ViewerScripts& scripts, std::string& missing);

/// Puts one copy of the scripts into each of `folders`, the top folders
/// of galleries with 3D pages; false with `reason` on the first failure.
bool WriteViewerScripts(const ViewerScripts& scripts, const std::set<std::string>& folders,
                        std::string& reason);

/// The name of the 3D page of the plan `plan` ("alpha.trk.svg" gives
/// "alpha.trk.3d.html"), and of its model ("alpha.trk.glb").
std::string ModelPageName(const std::string& plan);
std::string ModelName(const std::string& plan);

/// The page for the model `glb` of the track `title`; `top` leads from the
/// page's folder to the gallery's top folder ("" or "../" repeated).
std::string ModelPage(const std::string& title, const std::string& plan, const std::vector<uint8_t>& glb,
                      const ModelFacts& facts, const std::string& top);

/// `bytes` in base64, as a data: URL carries them.
std::string Base64(const std::vector<uint8_t>& bytes);

}  // namespace millview
