// Feeds arbitrary text to modbatch's two readers: the rules file parser
// (with pixmill's own switch check) and the build record. The first byte
// chooses. A rules file's settings are asked for a few paths; a record that
// reads must write back the text it reads again. Any crash, sanitizer
// report or record that does not come back the same is a fault.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "modbatch/build_record.h"
#include "modbatch/rules.h"
#include "pixmill/command_line.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const std::string text(reinterpret_cast<const char*>(data) + 1, size - 1);
  if (data[0] & 1) {
    modbatch::BuildRecord record("");
    if (record.Read(text)) {
      const std::string written = record.Text();
      modbatch::BuildRecord again("");
      if (!again.Read(written) || again.Text() != written) std::abort();
    }
    return 0;
  }
  std::vector<modbatch::RuleFault> faults;
  modbatch::RuleBook book;
  book.Add(modbatch::ParseRules(text, "modbatch.ini", "", commandLineSwitchesAccepted, faults));
  for (const char* path : {"a.tga", "tex/fences/post1.TGA", "x/y/z/glass?.png", ""}) {
    book.ForPicture(path, {"-4"});
  }
  for (const modbatch::RuleFault& fault : faults) {
    if (fault.line < 1 || fault.message.empty()) std::abort();
  }
  return 0;
}
