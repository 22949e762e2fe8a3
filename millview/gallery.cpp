#include "millview/gallery.h"

#include <algorithm>
#include <set>
#include <sstream>

#include "millview/files.h"
#include "millview/names.h"

namespace millview {

namespace {

const char kStyle[] =
    "body{font-family:sans-serif;margin:1.5em;background:#f4f4f4;color:#202020}\n"
    "h1{font-size:1.4em}h2{font-size:1.1em;margin-top:1.5em}\n"
    ".grid{display:flex;flex-wrap:wrap;gap:1em}\n"
    "figure{margin:0;padding:.6em;background:#fff;border:1px solid #ccc;max-width:420px}\n"
    "figure img{display:block;max-width:400px;height:auto;"
    "background:repeating-conic-gradient(#ddd 0% 25%,#fff 0% 50%) 0 0/16px 16px}\n"
    "img.texture{image-rendering:pixelated}\n"
    "figcaption{font-size:.85em;margin-top:.4em}\n"
    "ul.folders{list-style:none;padding:0}ul.folders li{margin:.2em 0}\n";

std::string ParentOf(const std::string& rel) {
  const std::size_t slash = rel.rfind('/');
  return slash == std::string::npos ? std::string() : rel.substr(0, slash);
}

std::string LastOf(const std::string& rel) {
  const std::size_t slash = rel.rfind('/');
  return slash == std::string::npos ? rel : rel.substr(slash + 1);
}

void Figure(std::ostringstream& html, const GalleryItem& item) {
  const std::string css = item.kind == GalleryItem::kPlan ? "plan" : "texture";
  // Small pictures are shown enlarged by a whole factor, pixels kept sharp.
  const int longest = item.width > item.height ? item.width : item.height;
  const int zoom = item.kind != GalleryItem::kPlan && longest > 0 && longest < 128 ? 128 / longest : 1;
  html << "<figure><a href=\"" << UrlOf(item.kind == GalleryItem::kTexture && !item.sheet.empty()
                                             ? item.sheet
                                             : item.image)
       << "\"><img class=\"" << css << "\" src=\"" << UrlOf(item.image) << "\" alt=\""
       << XmlEscape(item.source) << "\" width=\"" << item.width * zoom << "\" height=\""
       << item.height * zoom << "\"></a>\n<figcaption><strong>" << XmlEscape(item.source) << "</strong><br>"
       << item.width << " x " << item.height << (item.kind == GalleryItem::kPlan ? " px plan" : " pixels");
  if (item.kind == GalleryItem::kTexture)
    html << ", " << (item.levels.empty() ? std::string("levels in the sheet")
                                          : std::to_string(item.levels.size()) + " levels");
  if (!item.details.empty()) html << "<br>" << XmlEscape(item.details);
  if (!item.levels.empty()) {
    html << "<br>levels:";
    for (std::size_t i = 0; i < item.levels.size(); ++i)
      html << " <a href=\"" << UrlOf(item.levels[i]) << "\">" << i << "</a>";
  }
  if (!item.sheet.empty()) html << "<br><a href=\"" << UrlOf(item.sheet) << "\">sheet</a>";
  if (!item.modelPage.empty())
    html << "<br><a class=\"model\" href=\"" << UrlOf(item.modelPage) << "\">3D view</a>";
  html << "</figcaption></figure>\n";
}

}  // namespace

void Galleries::AddFolder(const std::string& root, const std::string& rel) {
  auto& tree = trees_[root];
  for (std::string r = rel;; r = ParentOf(r)) {
    tree[r];
    if (r.empty()) break;
  }
}

void Galleries::Add(const std::string& root, const std::string& rel, const GalleryItem& item) {
  AddFolder(root, rel);
  trees_[root][rel].push_back(item);
}

std::string Galleries::Page(const std::string& title, bool up,
                            const std::vector<std::string>& folders,
                            const std::vector<GalleryItem>& items) {
  std::ostringstream html;
  html << "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n<title>"
       << XmlEscape(title) << "</title>\n<style>\n" << kStyle << "</style>\n</head>\n<body>\n<h1>"
       << XmlEscape(title) << "</h1>\n";
  if (up) html << "<p><a class=\"up\" href=\"../index.html\">up one folder</a></p>\n";
  if (!folders.empty()) {
    html << "<h2>Folders</h2>\n<ul class=\"folders\">\n";
    for (const std::string& folder : folders)
      html << "<li><a href=\"" << UrlOf(folder) << "/index.html\">" << XmlEscape(folder)
           << "/</a></li>\n";
    html << "</ul>\n";
  }
  const struct {
    GalleryItem::Kind kind;
    const char* heading;
  } sections[] = {{GalleryItem::kTexture, "Textures"},
                  {GalleryItem::kPicture, "Pictures"},
                  {GalleryItem::kPlan, "Track plans"}};
  for (const auto& section : sections) {
    bool any = false;
    for (const GalleryItem& item : items) {
      if (item.kind != section.kind || !item.group.empty()) continue;
      if (!any) html << "<h2>" << section.heading << "</h2>\n<div class=\"grid\">\n";
      any = true;
      Figure(html, item);
    }
    if (any) html << "</div>\n";
  }
  // The members of each archive under the archive's name, in its order.
  std::vector<std::string> groups;
  for (const GalleryItem& item : items)
    if (!item.group.empty() && std::find(groups.begin(), groups.end(), item.group) == groups.end())
      groups.push_back(item.group);
  for (const std::string& group : groups) {
    html << "<h2 class=\"archive\">" << XmlEscape(group) << "</h2>\n<div class=\"grid\">\n";
    for (const GalleryItem& item : items)
      if (item.group == group) Figure(html, item);
    html << "</div>\n";
  }
  if (folders.empty() && items.empty()) html << "<p>Nothing converted here.</p>\n";
  html << "</body>\n</html>\n";
  return html.str();
}

bool Galleries::Write(std::string& reason) const {
  for (const auto& tree : trees_) {
    for (const auto& folder : tree.second) {
      std::set<std::string> children;
      for (const auto& other : tree.second)
        if (!other.first.empty() && ParentOf(other.first) == folder.first)
          children.insert(LastOf(other.first));
      std::vector<GalleryItem> items = folder.second;
      const std::string title =
          "millview: " + (folder.first.empty() ? FileNameOf(tree.first) : folder.first);
      const std::string page = Page(title, !folder.first.empty(),
                                    std::vector<std::string>(children.begin(), children.end()), items);
      const std::string dir = FolderPath(tree.first, folder.first);
      if (!MakeFolders(dir)) {
        reason = "cannot make the folder " + dir;
        return false;
      }
      if (!WriteOutputs({Output{JoinPath(dir, "index.html"),
                                std::vector<uint8_t>(page.begin(), page.end())}},
                        std::string(), reason))
        return false;
    }
  }
  return true;
}

}  // namespace millview
