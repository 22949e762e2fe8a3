#pragma once
// The index.html galleries of the output folders: plain HTML and CSS,
// relative links only, nothing fetched from anywhere.

#include <map>
#include <string>
#include <vector>

namespace millview {

/// One converted file as a gallery shows it.
struct GalleryItem {
  enum Kind { kTexture, kPicture, kPlan };
  Kind kind = kTexture;
  std::string source;               ///< the input's file name
  std::string image;                ///< the picture shown (level 0, PNG or SVG)
  std::vector<std::string> levels;  ///< textures: one PNG per level
  std::string sheet;                ///< textures: the sheet, if written
  int width = 0, height = 0;        ///< of the picture shown
  bool sprite = false;
  std::string details;              ///< sprite size and centre, plan facts
  std::string group;                ///< the archive it came from, or ""
  std::string modelPage;           ///< plans: the 3D page, if written
};

class Galleries {
 public:
  /// Makes sure the folder `rel` ('/'-separated, "" for the root) of the
  /// tree at `root` gets a gallery, even if it holds nothing itself.
  void AddFolder(const std::string& root, const std::string& rel);
  void Add(const std::string& root, const std::string& rel, const GalleryItem& item);
  /// Writes every folder's index.html; false with `reason` on the first
  /// that cannot be written.
  bool Write(std::string& reason) const;

 private:
  /// The page of one folder.
  static std::string Page(const std::string& title, bool up, const std::vector<std::string>& folders,
                          const std::vector<GalleryItem>& items);

  std::map<std::string, std::map<std::string, std::vector<GalleryItem>>> trees_;
};

}  // namespace millview
