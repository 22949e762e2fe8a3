// Feeds arbitrary text to modbatch's rules file parser, with pixmill's own
// switch check, and asks the rules it reads for a few pictures' settings.
// Every fault must name a line. Any crash or sanitizer report is a fault.
//
// Seeds: fuzz/corpus/modbatch_rules/ (a sound rules file and one with a
// fault of each kind).

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "modbatch/rules.h"
#include "pixmill/command_line.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  std::vector<modbatch::RuleFault> faults;
  modbatch::RuleBook book;
  book.Add(modbatch::ParseRules(text, "modbatch.ini", "", commandLineSwitchesAccepted, faults));
  book.Add(modbatch::ParseRules(text, "tex/modbatch.ini", "tex", commandLineSwitchesAccepted, faults));
  for (const char* path : {"a.tga", "tex/fences/post1.TGA", "x/y/z/glass?.png", ""}) {
    book.ForPicture(path, {"-4"});
  }
  for (const modbatch::RuleFault& fault : faults) {
    if (fault.line < 1 || fault.message.empty()) std::abort();
  }
  return 0;
}
