// Parses arbitrary bytes as a kiff container through the buffered file layer,
// over memory. The parse list has handlers that read in several ways, a
// nested container entry, a handler that parses a container of its own and a
// default entry. A failed parse is a clean refusal; a crash, a sanitizer
// report or a hang is a fault.

#include <cstddef>
#include <cstdint>

#include "runtime/file/file.h"
#include "runtime/kiff.h"

namespace {

constexpr uint32_t kData = 0x44415441;   // "DATA": body read in small pieces
constexpr uint32_t kFixed = 0x46495844;  // "FIXD": an eight-byte record
constexpr uint32_t kTyped = 0x54595044;  // "TYPD": typed values
constexpr uint32_t kList = 0x4C495354;   // "LIST": nested container
constexpr uint32_t kInner = 0x494E4E52;  // "INNR": parsed by its handler

success ReadPieces(void*, uint32_t, uint32_t, int32_t size, QuorFile* file) {
  uint32_t id, subType;
  int32_t stored;
  if (!kiffReadChunkHeader(&id, &subType, &stored, file) || size < 0) return 0;
  uint8_t buffer[97];
  uint32_t left = static_cast<uint32_t>(size);
  while (left > 0) {
    uint32_t got = 0;
    uint32_t want = left < sizeof buffer ? left : sizeof buffer;
    if (!fileReadAtMost(file, &got, buffer, want) || got == 0) return 0;
    left -= got;
  }
  return 1;
}

success ReadFixed(void*, uint32_t id, uint32_t subType, int32_t, QuorFile* file) {
  uint8_t record[8];
  return kiffReadChunk(record, id, subType, sizeof record, file);
}

success ReadTyped(void* context, uint32_t, uint32_t, int32_t size, QuorFile* file) {
  uint32_t id, subType;
  int32_t stored;
  if (!kiffReadChunkHeader(&id, &subType, &stored, file)) return 0;
  uint32_t* sum = static_cast<uint32_t*>(context);
  for (int32_t left = size; left > 0;) {
    int16_t i16;
    uint32_t u32;
    float f;
    double d;
    if (left >= 18 && fileReadInt16(file, &i16) && fileReadUint32(file, &u32) &&
        fileReadFloat(file, &f) && fileReadDouble(file, &d)) {
      *sum += static_cast<uint32_t>(i16) + u32 + (f == f) + (d == d);
      left -= 18;
    } else {
      uint8_t byte;
      if (!fileReadUint8(file, &byte)) return 0;
      *sum += byte;
      left -= 1;
    }
  }
  return 1;
}

success SkipBody(void*, uint32_t, uint32_t, int32_t size, QuorFile* file) {
  uint32_t id, subType;
  int32_t stored;
  return kiffReadChunkHeader(&id, &subType, &stored, file) && fileSeekFromCurrent(file, size);
}

success ParseOwn(void* context, uint32_t, uint32_t, int32_t, QuorFile* file);

const kiffParseList kEntries[] = {
    {kData, ReadPieces}, {kFixed, ReadFixed}, {kTyped, ReadTyped},
    {kList, nullptr},    {kInner, ParseOwn},  {0, SkipBody},
};
constexpr int kCount = sizeof kEntries / sizeof kEntries[0];

success ParseOwn(void* context, uint32_t, uint32_t, int32_t, QuorFile* file) {
  return kiffParseContainer(context, kEntries, kCount, file);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > (1u << 20)) return 0;
  QuorFile* file = nullptr;
  if (!fileOpenMemory(&file, data, static_cast<uint32_t>(size))) return 0;
  uint32_t sum = 0;
  kiffParseContainer(&sum, kEntries, kCount, file);
  // What follows the container may be another one.
  kiffParseContainer(&sum, kEntries, kCount, file);
  fileClose(file);
  return 0;
}
