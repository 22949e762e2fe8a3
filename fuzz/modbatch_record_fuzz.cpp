// Feeds arbitrary bytes to modbatch as the build record of an output
// folder, on in-memory files: a record that reads must write back a text
// that reads as the same record, and a damaged one must know nothing. A
// crash, sanitizer report or record that changes on the way is a fault.
//
// Seeds: fuzz/corpus/modbatch_record/ (records as modbatch writes them, with
// escapes, empty switches and negative times, and one with Windows line ends).

#include <cstddef>
#include <cstdint>
#include <string>

#include "in_memory.h"
#include "modbatch/build_record.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::Put(fuzz::Path("out/.modbatch-record"), data, size);
  modbatch::BuildRecord record(fuzz::Path("out"));
  const std::string text = record.Text();
  modbatch::BuildRecord again(fuzz::Path("out"));
  if (!again.Read(text) || again.Text() != text) __builtin_trap();
  return 0;
}
