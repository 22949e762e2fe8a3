#include "millview/names.h"

#include <cstdio>

#include "platform/path.h"

namespace millview {

namespace {

std::size_t LastSeparator(const std::string& path) {
  for (std::size_t n = path.size(); n > 0; --n)
    if (platform::IsSeparator(path[n - 1])) return n - 1;
  return std::string::npos;
}

}  // namespace

std::string FileNameOf(const std::string& path) {
  const std::size_t at = LastSeparator(path);
  return at == std::string::npos ? path : path.substr(at + 1);
}

std::string DirectoryOf(const std::string& path) {
  const std::size_t at = LastSeparator(path);
  if (at == std::string::npos) return std::string();
  return at == 0 ? path.substr(0, 1) : path.substr(0, at);
}

std::string FolderPath(const std::string& root, const std::string& rel) {
  std::string path = root;
  std::size_t begin = 0;
  while (begin < rel.size()) {
    std::size_t end = rel.find('/', begin);
    if (end == std::string::npos) end = rel.size();
    path = JoinPath(path, rel.substr(begin, end - begin));
    begin = end + 1;
  }
  return path;
}

std::string LowerExtension(const std::string& name) {
  const std::size_t dot = name.rfind('.');
  if (dot == std::string::npos || dot == 0) return std::string();
  std::string extension = name.substr(dot + 1);
  for (char& c : extension)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return extension;
}

std::string StemOf(const std::string& name) {
  const std::size_t dot = name.rfind('.');
  return dot == std::string::npos || dot == 0 ? name : name.substr(0, dot);
}

std::string SafeNamePart(std::string name) {
  for (char& c : name)
    if (c == '/' || c == '\\' || c == ':' || static_cast<unsigned char>(c) < 0x20) c = '_';
  return name;
}

std::string XmlEscape(const std::string& text) {
  std::string out;
  for (char c : text) {
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      case '\'': out += "&#39;"; break;
      default:
        // Control characters cannot appear in XML 1.0 at all.
        if (static_cast<unsigned char>(c) < 0x20 && c != '\t' && c != '\n') out += '?';
        else out += c;
    }
  }
  return out;
}

std::string UrlOf(const std::string& relativePath) {
  std::string out;
  for (char c : relativePath) {
    const unsigned char u = static_cast<unsigned char>(c);
    if ((u >= 'a' && u <= 'z') || (u >= 'A' && u <= 'Z') || (u >= '0' && u <= '9') ||
        c == '-' || c == '_' || c == '.' || c == '~' || c == '/') {
      out += c;
    } else if (c == '\\') {
      out += '/';
    } else {
      char code[4];
      std::snprintf(code, sizeof code, "%%%02X", u);
      out += code;
    }
  }
  return out;
}

}  // namespace millview
