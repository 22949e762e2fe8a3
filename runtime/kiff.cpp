#include "runtime/kiff.h"

namespace {

constexpr uint32_t kHeaderSize = 12;
constexpr int64_t kLargestSeek = 0x7FFFFFFF;

// Bytes of 0x20 that follow a body of `size` bytes.
uint32_t PaddingAfter(uint32_t size) { return (4 - size % 4) % 4; }

success SeekTo(QuorFile* file, int64_t position) {
  if (position < 0 || position > kLargestSeek) return 0;
  return fileSeekFromStart(file, static_cast<int32_t>(position));
}

// How deep kiffParseContainer is nested at the moment, counted across
// handlers that parse containers of their own.
int gNesting = 0;

}  // namespace

success kiffPadChunk(QuorFile* file) {
  static const uint8_t kSpaces[3] = {0x20, 0x20, 0x20};
  uint32_t padding = PaddingAfter(fileGetCurrentPosition(file));
  return padding == 0 ? 1 : fileWrite(file, kSpaces, padding);
}

success kiffWriteChunkHeader(QuorFile* file, uint32_t id, uint32_t subType, int32_t size) {
  return fileWriteUint32(file, id) && fileWriteUint32(file, subType) &&
         fileWriteInt32(file, size);
}

success kiffStartChunk(QuorFile* file, kiffChunk* chunk, uint32_t id, uint32_t subType) {
  chunk->start = fileGetCurrentPosition(file);
  return kiffWriteChunkHeader(file, id, subType, 0);
}

success kiffEndChunk(QuorFile* file, kiffChunk* chunk) {
  int64_t end = fileGetCurrentPosition(file);
  int64_t size = end - chunk->start - kHeaderSize;
  // A chunk ending before its own header ends, or too large for its size
  // word, is a writer's mistake and must not be patched in.
  if (size < 0 || size > kLargestSeek) return 0;
  return SeekTo(file, int64_t{chunk->start} + 8) &&
         fileWriteInt32(file, static_cast<int32_t>(size)) && SeekTo(file, end) &&
         kiffPadChunk(file);
}

success kiffWriteChunk(QuorFile* file, uint32_t id, uint32_t subType, int32_t size,
                       const void* data) {
  if (size < 0) return 0;
  return kiffWriteChunkHeader(file, id, subType, size) &&
         (size == 0 || fileWrite(file, data, static_cast<uint32_t>(size))) && kiffPadChunk(file);
}

success kiffReadChunkHeader(uint32_t* id, uint32_t* subType, int32_t* size, QuorFile* file) {
  uint32_t readId, readSubType;
  int32_t readSize;
  if (!fileReadUint32(file, &readId) || !fileReadUint32(file, &readSubType) ||
      !fileReadInt32(file, &readSize))
    return 0;
  *id = readId;
  *subType = readSubType;
  *size = readSize;
  return 1;
}

success kiffPeekChunkHeader(uint32_t* id, uint32_t* subType, int32_t* size, QuorFile* file) {
  uint32_t start = fileGetCurrentPosition(file);
  uint32_t readId, readSubType;
  int32_t readSize;
  success read = kiffReadChunkHeader(&readId, &readSubType, &readSize, file);
  if (!SeekTo(file, start) || !read) return 0;
  *id = readId;
  *subType = readSubType;
  *size = readSize;
  return 1;
}

success kiffReadChunk(void* buffer, uint32_t id, uint32_t subType, int32_t size,
                      QuorFile* file) {
  uint32_t storedId, storedSubType;
  int32_t storedSize;
  if (!kiffPeekChunkHeader(&storedId, &storedSubType, &storedSize, file) || storedId != id ||
      storedSubType != subType || storedSize != size || size < 0)
    return 0;
  if (!kiffReadChunkHeader(&storedId, &storedSubType, &storedSize, file)) return 0;
  if (size > 0 && !fileReadExact(file, buffer, static_cast<uint32_t>(size))) return 0;
  uint32_t padding = PaddingAfter(static_cast<uint32_t>(size));
  return padding == 0 ? 1 : fileSeekFromCurrent(file, static_cast<int32_t>(padding));
}

namespace {

// The entry for a child: the first with its id, else the first default
// entry, else none.
const kiffParseList* EntryFor(uint32_t id, const kiffParseList* list, int count) {
  for (int i = 0; i < count; ++i)
    if (list[i].id == id) return &list[i];
  for (int i = 0; i < count; ++i)
    if (list[i].id == 0) return &list[i];
  return nullptr;
}

success ParseChildren(void* context, const kiffParseList* list, int count, QuorFile* file) {
  uint32_t id, subType;
  int32_t size;
  if (!kiffReadChunkHeader(&id, &subType, &size, file)) return 0;
  // Sizes are counted wide so that no sum or rounding can wrap.
  int64_t remaining = size;
  if (remaining < 0) return 0;
  while (remaining > 0) {
    int32_t childSize;
    if (!kiffPeekChunkHeader(&id, &subType, &childSize, file)) return 0;
    remaining -= kHeaderSize;
    // A negative size would let the parse stand still or walk backwards.
    if (childSize < 0 || childSize > remaining) return 0;
    int64_t start = fileGetCurrentPosition(file);
    int64_t end = start + kHeaderSize + childSize;

    const kiffParseList* entry = EntryFor(id, list, count);
    success dispatched;
    if (!entry)
      dispatched = SeekTo(file, end);
    else if (entry->handler)
      dispatched = entry->handler(context, id, subType, childSize, file);
    else
      dispatched = kiffParseContainer(context, list, count, file);
    if (!dispatched || fileGetCurrentPosition(file) != end) return 0;

    int64_t padded = childSize;
    uint32_t padding = PaddingAfter(static_cast<uint32_t>(childSize));
    success skipped = padding == 0 || fileSeekFromCurrent(file, static_cast<int32_t>(padding));
    padded += padding;
    if (!skipped) return 0;
    remaining -= padded;
  }
  return 1;
}

}  // namespace

success kiffParseContainer(void* context, const kiffParseList* list, int count,
                           QuorFile* file) {
  if (count < 0 || (count > 0 && !list) || gNesting >= kKiffMaxNesting) return 0;
  ++gNesting;
  success result = ParseChildren(context, list, count, file);
  --gNesting;
  return result;
}
