// Feeds arbitrary text to the options profile's loader and queries it, with
// the lines kept either in direct blocks or in the memory manager's pools.
// The last line of the input, when it reads "?section|key", adds a query of
// its own. Any crash or sanitizer report is a fault; so is a pool that no
// longer adds up after loading and releasing.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/stream.h"
#include "runtime/mem.h"
#include "runtime/profile/profile.h"

namespace {

void Query(ProgramProfile& profile, const char* section, const char* key) {
  static const uint32_t kSizes[] = {0, 1, 2, 20, 100, 200};
  for (uint32_t size : kSizes) {
    char* out = static_cast<char*>(std::malloc(size ? size : 1));
    profile.GetString(section, key, size ? out : nullptr, "default", size);
    if (size && std::strlen(out) >= size) std::abort();
    std::free(out);
  }
  int32_t number = 0;
  profile.GetOption(section, key, &number, 42);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  if (size > (1u << 16)) return 0;
  std::FILE* stream = platform::OpenMemoryStream(data, static_cast<uint32_t>(size));
  if (!stream) return 0;
  const bool pooled = size > 0 && (data[0] & 1);
  if (pooled && !memBegin()) std::abort();

  ProgramProfile profile;
  profile.LoadStream(stream);
  std::fclose(stream);
  if (pooled && !memCheckPools()) std::abort();

  Query(profile, "Profile", "PoolSize");
  Query(profile, "profile", "ErrorDevice");
  Query(profile, "", "");
  Query(profile, "Profile", "");
  const std::string text(reinterpret_cast<const char*>(data), size);
  const std::size_t last = text.rfind('?');
  if (last != std::string::npos) {
    const std::string query = text.substr(last + 1, 300);
    const std::size_t bar = query.find('|');
    const std::string section = query.substr(0, bar);
    const std::string key = bar == std::string::npos ? "" : query.substr(bar + 1);
    Query(profile, section.c_str(), key.c_str());
  }

  profile.Release();
  if (pooled) {
    if (memBytesInUse() != 0 || !memCheckPools()) std::abort();
    memEnd();
  }
  return 0;
}
