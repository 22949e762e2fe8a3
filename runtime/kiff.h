#pragma once
// The kiff chunk format: 12-byte headers (id, subType, size), bodies padded
// with 0x20 to four-byte boundaries, containers of chunks nested to any depth.

#include <cstdint>

#include "runtime/file/file.h"
#include "runtime/success.h"

/// A chunk being written: the position of its header.
struct kiffChunk {
  uint32_t start;
};

/// Called with the file at the child's header; consumes header and body.
typedef success (*kiffHandler)(void* context, uint32_t id, uint32_t subType,
                               int32_t size, QuorFile* file);

/// One entry of a parse list: id 0 is the default entry; an entry without
/// handler is a nested container parsed with the same list.
struct kiffParseList {
  uint32_t id;
  kiffHandler handler;
};

/// Containers nest at most this deep (the outermost counts as one) for
/// kiffParseContainer, handlers that parse containers themselves included.
constexpr int kKiffMaxNesting = 64;

success kiffPadChunk(QuorFile* file);
success kiffWriteChunkHeader(QuorFile* file, uint32_t id, uint32_t subType,
                             int32_t size);
success kiffStartChunk(QuorFile* file, kiffChunk* chunk, uint32_t id,
                       uint32_t subType);
success kiffEndChunk(QuorFile* file, kiffChunk* chunk);
success kiffWriteChunk(QuorFile* file, uint32_t id, uint32_t subType,
                       int32_t size, const void* data);
success kiffPeekChunkHeader(uint32_t* id, uint32_t* subType, int32_t* size,
                            QuorFile* file);
success kiffReadChunkHeader(uint32_t* id, uint32_t* subType, int32_t* size,
                            QuorFile* file);
success kiffReadChunk(void* buffer, uint32_t id, uint32_t subType,
                      int32_t size, QuorFile* file);
success kiffParseContainer(void* context, const kiffParseList* list, int count,
                           QuorFile* file);
