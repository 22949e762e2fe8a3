#pragma once
// File names and text escapes shared by millview's writers.

#include <string>

#include "cli/walk.h"

namespace millview {

/// The last component of a path ('/' and, where the system has it, '\').
std::string FileNameOf(const std::string& path);
/// The directory part of a path without its separator ("" for a bare name).
std::string DirectoryOf(const std::string& path);
using cli::JoinPath;
/// The folder `rel` ('/'-separated, "" for the root itself) below `root`.
std::string FolderPath(const std::string& root, const std::string& rel);
/// The extension of a file name in lower case, without the dot.
std::string LowerExtension(const std::string& name);
/// A file name without its extension.
std::string StemOf(const std::string& name);
/// `name` fit to be part of an output's file name: characters that would
/// lead out of the folder or are not allowed in a name become '_'.
std::string SafeNamePart(std::string name);
/// Text with &, <, >, " and ' escaped, for XML and HTML alike.
std::string XmlEscape(const std::string& text);
/// A relative path with each character that is not safe in a link escaped.
std::string UrlOf(const std::string& relativePath);

}  // namespace millview
