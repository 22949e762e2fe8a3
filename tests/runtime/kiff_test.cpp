#include "runtime/kiff.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

#include "support/temp_dir.h"

namespace {

using Bytes = std::vector<uint8_t>;

constexpr uint32_t kForm = 0x464F524D;  // "FORM"
constexpr uint32_t kList = 0x4C495354;  // "LIST"
constexpr uint32_t kData = 0x44415441;  // "DATA"
constexpr uint32_t kHead = 0x48454144;  // "HEAD": its handler reads the header only
constexpr uint32_t kOver = 0x4F564552;  // "OVER": its handler reads the padding too
constexpr uint32_t kFail = 0x4641494C;  // "FAIL": its handler fails
constexpr uint32_t kOther = 0x4F544852;  // "OTHR": in no list

Bytes Join(const std::vector<Bytes>& parts) {
  Bytes bytes;
  for (const Bytes& part : parts) bytes.insert(bytes.end(), part.begin(), part.end());
  return bytes;
}

Bytes Header(uint32_t id, int32_t size, uint32_t subType = 0) {
  Bytes bytes;
  for (uint32_t word : {id, subType, static_cast<uint32_t>(size)})
    for (int i = 0; i < 4; ++i) bytes.push_back(static_cast<uint8_t>(word >> (8 * i)));
  return bytes;
}

Bytes Body(uint32_t size) {
  Bytes bytes(size);
  for (uint32_t i = 0; i < size; ++i) bytes[i] = static_cast<uint8_t>(i + 1);
  return bytes;
}

Bytes Chunk(uint32_t id, uint32_t size) {
  Bytes bytes = Join({Header(id, static_cast<int32_t>(size)), Body(size)});
  while (bytes.size() % 4) bytes.push_back(0x20);
  return bytes;
}

Bytes Container(uint32_t id, const std::vector<Bytes>& children) {
  Bytes body = Join(children);
  return Join({Header(id, static_cast<int32_t>(body.size())), body});
}

// Reads the chunk as its id asks and logs "<id>:<size> " (with a leading
// '*' when reached as the default) into the context, a std::string.
success Handle(std::string* log, uint32_t id, int32_t size, QuorFile* file) {
  uint32_t readId, subType;
  int32_t readSize;
  if (!kiffReadChunkHeader(&readId, &subType, &readSize, file)) return 0;
  if (id == kHead) return 1;
  Bytes body(size);
  if (size > 4096 || (size > 0 && !fileReadExact(file, body.data(), size))) return 0;
  *log += std::string{char(id >> 24), char(id >> 16), char(id >> 8), char(id)} + ":" +
          std::to_string(size) + " ";
  if (id == kOver) fileSeekFromCurrent(file, 4 - size % 4);
  return id != kFail && body == Body(size);
}
success Named(void* log, uint32_t id, uint32_t, int32_t size, QuorFile* file) {
  return Handle(static_cast<std::string*>(log), id, size, file);
}
success Default(void* log, uint32_t id, uint32_t, int32_t size, QuorFile* file) {
  *static_cast<std::string*>(log) += "*";
  return Handle(static_cast<std::string*>(log), id, size, file);
}

const kiffParseList kFull[] = {{kData, Named}, {kHead, Named}, {kOver, Named},
                               {kFail, Named}, {kList, nullptr}, {0, Default}};
// Without default; the second DATA entry must never be reached.
const kiffParseList kNoDefault[] = {{kData, Named}, {kList, nullptr}, {kData, Default}};

// Parses `bytes` from the start over an in-memory file.
success Parse(const Bytes& bytes, const kiffParseList* list, int count, std::string* log,
              uint32_t* position = nullptr) {
  QuorFile* file = nullptr;
  if (!fileOpenMemory(&file, bytes.data(), static_cast<uint32_t>(bytes.size()))) return 0;
  success result = kiffParseContainer(log, list, count, file);
  if (position) *position = fileGetCurrentPosition(file);
  EXPECT_TRUE(fileClose(file));
  return result;
}

TEST(KiffParseTest, Cases) {
  const struct {
    const char* name;
    Bytes bytes;
    bool withDefault;
    success result;
    const char* log;
  } cases[] = {
      {"empty container", Container(kForm, {}), true, 1, ""},
      {"by id, by default and nested",
       Container(kForm, {Chunk(kData, 5), Chunk(kOther, 3),
                         Container(kList, {Chunk(kData, 0), Chunk(kOther, 8)}), Chunk(kData, 4)}),
       true, 1, "DATA:5 *OTHR:3 DATA:0 *OTHR:8 DATA:4 "},
      {"unknown child skipped, first entry wins",
       Container(kForm, {Chunk(kData, 1), Chunk(kOther, 9), Chunk(kData, 2)}), false, 1,
       "DATA:1 DATA:2 "},
      {"what follows the container is left alone",
       Join({Container(kForm, {Chunk(kData, 2)}), Chunk(kData, 1)}), true, 1, "DATA:2 "},
      {"child larger than what is left", Join({Header(kForm, 12), Header(kData, 4), Body(4)}), true,
       0, ""},
      {"negative child size", Join({Header(kForm, 12), Header(kData, -12)}), true, 0, ""},
      {"negative child size, skipped", Join({Header(kForm, 12), Header(kOther, -12)}), false, 0, ""},
      {"negative container size", Join({Header(kForm, -4), Chunk(kData, 0)}), true, 0, ""},
      {"handler reads only the header", Container(kForm, {Chunk(kHead, 5)}), true, 0, ""},
      {"handler reads the padding too", Container(kForm, {Chunk(kOver, 5)}), true, 0, "OVER:5 "},
      {"handler fails", Container(kForm, {Chunk(kFail, 4), Chunk(kData, 4)}), true, 0, "FAIL:4 "},
      {"container header cut short", Bytes(11, 0), true, 0, ""},
      {"child header cut short", Join({Header(kForm, 12), Body(8)}), true, 0, ""},
      {"child body cut short", Join({Header(kForm, 20), Header(kData, 8), Body(4)}), true, 0, ""},
      {"less than a header left", Join({Header(kForm, 4), Chunk(kData, 0)}), true, 0, ""},
      {"huge sizes, skipped", Join({Header(kForm, INT32_MAX), Header(kOther, INT32_MAX - 15)}),
       false, 0, ""},
  };
  for (const auto& c : cases) {
    std::string log;
    uint32_t position = 0;
    const success result = c.withDefault ? Parse(c.bytes, kFull, 6, &log, &position)
                                         : Parse(c.bytes, kNoDefault, 3, &log, &position);
    EXPECT_EQ(c.result, result) << c.name;
    EXPECT_EQ(c.log, log) << c.name;
    // A parse that succeeds ends after the container (sizes here fit a byte).
    EXPECT_EQ(result ? 12u + c.bytes[8] : position, position) << c.name;
  }
}

TEST(KiffParseTest, NestingIsLimited) {
  auto nested = [](int depth) {
    Bytes bytes = Container(kList, {Chunk(kData, 2)});
    for (int i = 1; i < depth; ++i) bytes = Container(kList, {bytes});
    return bytes;
  };
  std::string log;
  EXPECT_TRUE(Parse(nested(kKiffMaxNesting), kFull, 6, &log));
  EXPECT_FALSE(Parse(nested(kKiffMaxNesting + 1), kFull, 6, &log));
  EXPECT_TRUE(Parse(nested(2), kFull, 6, &log));  // the count went back down
  EXPECT_EQ("DATA:2 DATA:2 ", log);
}

TEST(KiffWriteTest, PaddedChunksAndContainersParseBack) {
  testing_support::TempDir dir;
  const std::string path = dir / "out.kif";
  QuorFile* file = nullptr;
  ASSERT_TRUE(fileCreate(&file, path.c_str()));
  const Bytes body = Body(64);
  kiffChunk form, list, odd;
  EXPECT_TRUE(kiffStartChunk(file, &form, kForm, 0));
  EXPECT_TRUE(kiffWriteChunk(file, kData, 0, 18, body.data()));
  EXPECT_EQ(12u + 32u, fileGetCurrentPosition(file));  // two bytes of padding
  EXPECT_TRUE(kiffWriteChunk(file, kOther, 7, 64, body.data()));
  EXPECT_TRUE(kiffStartChunk(file, &list, kList, 0));
  EXPECT_TRUE(kiffWriteChunk(file, kData, 0, 0, nullptr));
  EXPECT_FALSE(kiffWriteChunk(file, kData, 0, -1, body.data()));
  EXPECT_TRUE(kiffEndChunk(file, &list));
  EXPECT_TRUE(kiffEndChunk(file, &form));
  EXPECT_TRUE(kiffStartChunk(file, &odd, kOther, 0));
  EXPECT_TRUE(fileWrite(file, "abc", 3));  // a body that is no chunk list
  EXPECT_TRUE(kiffEndChunk(file, &odd));
  kiffChunk ahead{fileGetCurrentPosition(file) + 4};
  EXPECT_FALSE(kiffEndChunk(file, &ahead));  // would end before its own header
  EXPECT_TRUE(fileClose(file));

  const Bytes written = testing_support::ReadBytes(path);
  EXPECT_EQ(Join({Container(kForm, {Chunk(kData, 18), Header(kOther, 64, 7), body,
                                    Container(kList, {Chunk(kData, 0)})}),
                  Header(kOther, 3), {'a', 'b', 'c', 0x20}}),
            written);
  std::string log;
  EXPECT_TRUE(Parse(written, kFull, 6, &log));
  EXPECT_EQ("DATA:18 *OTHR:64 DATA:0 ", log);
}

TEST(KiffReadTest, ReadChunkChecksTheWholeHeader) {
  const Bytes bytes = Join({Chunk(kData, 5), Header(kOther, 4, 3), Body(4)});
  QuorFile* file = nullptr;
  ASSERT_TRUE(fileOpenMemory(&file, bytes.data(), static_cast<uint32_t>(bytes.size())));
  Bytes buffer(5);
  uint32_t id = 0, subType = 0;
  int32_t size = 0;
  EXPECT_TRUE(kiffPeekChunkHeader(&id, &subType, &size, file));
  EXPECT_TRUE(id == kData && size == 5 && fileGetCurrentPosition(file) == 0);
  EXPECT_FALSE(kiffReadChunk(buffer.data(), kData, 0, 6, file) ||
               kiffReadChunk(buffer.data(), kData, 0, 4, file) ||
               kiffReadChunk(buffer.data(), kData, 1, 5, file) ||
               kiffReadChunk(buffer.data(), kOther, 0, 5, file));
  EXPECT_EQ(0u, fileGetCurrentPosition(file));
  EXPECT_TRUE(kiffReadChunk(buffer.data(), kData, 0, 5, file));
  EXPECT_EQ(Body(5), buffer);
  EXPECT_EQ(20u, fileGetCurrentPosition(file));
  EXPECT_TRUE(kiffReadChunk(buffer.data(), kOther, 3, 4, file));
  EXPECT_FALSE(kiffPeekChunkHeader(&id, &subType, &size, file));
  EXPECT_EQ(36u, fileGetCurrentPosition(file));
  EXPECT_TRUE(fileClose(file));
}

}  // namespace
