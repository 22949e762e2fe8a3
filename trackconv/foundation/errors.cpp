#include "trackconv/foundation/errors.h"

namespace {
// Built once before main, as every file error shares them.
const std::string kOpenPrefix = "Couldn't open file ";
const std::string kReadPrefix = "Couldn't read file ";
const std::string kWritePrefix = "Couldn't write file ";
const std::string kSeekPrefix = "Couldn't seek in file ";
}  // namespace

XAssumption::XAssumption(const std::string& message) : std::logic_error(message) {}
XGeneral::XGeneral(const std::string& message) : std::runtime_error(message) {}
XFileOpen::XFileOpen(const std::string& name) : std::runtime_error(kOpenPrefix + name) {}
XFileRead::XFileRead(const std::string& name) : std::runtime_error(kReadPrefix + name) {}
XFileWrite::XFileWrite(const std::string& name) : std::runtime_error(kWritePrefix + name) {}
XFileSeek::XFileSeek(const std::string& name) : std::runtime_error(kSeekPrefix + name) {}
