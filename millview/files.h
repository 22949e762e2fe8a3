#pragma once
// Reading inputs, making folders and writing outputs that appear only
// when complete.

#include <cstdint>
#include <string>
#include <vector>

namespace millview {

/// The whole content of a file; false with `reason` when it cannot be read.
bool ReadWholeFile(const std::string& path, std::vector<uint8_t>& bytes, std::string& reason);

/// Whether `path` is an existing directory.
bool IsFolder(const std::string& path);
/// Whether `path` exists at all.
bool Exists(const std::string& path);

/// Makes `path` and its missing parents; safe to call from several threads.
bool MakeFolders(const std::string& path);

/// One output: its final path and its bytes.
struct Output {
  std::string path;
  std::vector<uint8_t> bytes;
};

/// Writes every output under a temporary name beside it and puts them in
/// place only when all were written; on failure none is left behind and
/// `reason` names the output. An output that is the file `input` itself
/// (through a link, say) is refused before anything is written.
bool WriteOutputs(const std::vector<Output>& outputs, const std::string& input, std::string& reason);

}  // namespace millview
