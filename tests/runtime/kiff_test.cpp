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
constexpr uint32_t kOther = 0x4F544852;  // "OTHR"

void Put32(Bytes& bytes, uint32_t value) {
  for (int i = 0; i < 4; ++i) bytes.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

Bytes Header(uint32_t id, int32_t size, uint32_t subType = 0) {
  Bytes bytes;
  Put32(bytes, id);
  Put32(bytes, subType);
  Put32(bytes, static_cast<uint32_t>(size));
  return bytes;
}

Bytes Body(uint32_t size) {
  Bytes bytes(size);
  for (uint32_t i = 0; i < size; ++i) bytes[i] = static_cast<uint8_t>(i + 1);
  return bytes;
}

Bytes Chunk(uint32_t id, uint32_t size) {
  Bytes bytes = Header(id, static_cast<int32_t>(size));
  Bytes body = Body(size);
  bytes.insert(bytes.end(), body.begin(), body.end());
  while (bytes.size() % 4) bytes.push_back(0x20);
  return bytes;
}

Bytes Container(uint32_t id, const std::vector<Bytes>& children) {
  Bytes body;
  for (const Bytes& child : children) body.insert(body.end(), child.begin(), child.end());
  Bytes bytes = Header(id, static_cast<int32_t>(body.size()));
  bytes.insert(bytes.end(), body.begin(), body.end());
  return bytes;
}

Bytes Join(std::vector<Bytes> parts) {
  Bytes bytes;
  for (const Bytes& part : parts) bytes.insert(bytes.end(), part.begin(), part.end());
  return bytes;
}

std::string Tag(uint32_t id) {
  return {static_cast<char>(id >> 24), static_cast<char>(id >> 16), static_cast<char>(id >> 8),
          static_cast<char>(id)};
}

// Handlers log what they saw into the context, a std::string.
success Consume(void* context, uint32_t id, uint32_t, int32_t size, QuorFile* file) {
  uint32_t readId, subType;
  int32_t readSize;
  if (!kiffReadChunkHeader(&readId, &subType, &readSize, file) || size > 4096) return 0;
  Bytes body(size);
  if (size > 0 && !fileReadExact(file, body.data(), static_cast<uint32_t>(size))) return 0;
  *static_cast<std::string*>(context) += Tag(id) + ":" + std::to_string(size) + " ";
  return body == Body(static_cast<uint32_t>(size));
}

success ConsumeDefault(void* context, uint32_t id, uint32_t subType, int32_t size,
                       QuorFile* file) {
  *static_cast<std::string*>(context) += "*";
  return Consume(context, id, subType, size, file);
}

success HeaderOnly(void*, uint32_t, uint32_t, int32_t, QuorFile* file) {
  uint32_t id, subType;
  int32_t size;
  return kiffReadChunkHeader(&id, &subType, &size, file);
}

success WithPadding(void* context, uint32_t id, uint32_t subType, int32_t size,
                    QuorFile* file) {
  return Consume(context, id, subType, size, file) && fileSeekFromCurrent(file, 4 - size % 4);
}

success Refuse(void* context, uint32_t id, uint32_t subType, int32_t size, QuorFile* file) {
  Consume(context, id, subType, size, file);
  return 0;
}

const kiffParseList kFull[] = {{kData, Consume}, {kList, nullptr}, {0, ConsumeDefault}};
const kiffParseList kNoDefault[] = {{kData, Consume}, {kList, nullptr}, {kData, Refuse}};
const kiffParseList kHeaderOnly[] = {{kData, HeaderOnly}};
const kiffParseList kWithPadding[] = {{kData, WithPadding}};
const kiffParseList kRefuse[] = {{kData, Refuse}};

struct List {
  const kiffParseList* entries;
  int count;
};
template <int N>
List Of(const kiffParseList (&entries)[N]) {
  return {entries, N};
}

// Parses `bytes` from the start over an in-memory file.
success Parse(const Bytes& bytes, List list, std::string* log, uint32_t* position = nullptr) {
  QuorFile* file = nullptr;
  if (!fileOpenMemory(&file, bytes.data(), static_cast<uint32_t>(bytes.size()))) return 0;
  success result = kiffParseContainer(log, list.entries, list.count, file);
  if (position) *position = fileGetCurrentPosition(file);
  fileClose(file);
  return result;
}

TEST(KiffParseTest, Cases) {
  const struct {
    const char* name;
    Bytes bytes;
    List list;
    success result;
    const char* log;
  } cases[] = {
      {"empty container", Container(kForm, {}), Of(kFull), 1, ""},
      {"by id, by default and nested",
       Container(kForm, {Chunk(kData, 5), Chunk(kOther, 3),
                         Container(kList, {Chunk(kData, 0), Chunk(kOther, 8)}), Chunk(kData, 4)}),
       Of(kFull), 1, "DATA:5 *OTHR:3 DATA:0 *OTHR:8 DATA:4 "},
      {"unknown child skipped, first entry wins",
       Container(kForm, {Chunk(kData, 1), Chunk(kOther, 9), Chunk(kData, 2)}), Of(kNoDefault), 1,
       "DATA:1 DATA:2 "},
      {"bytes after the container are left alone",
       Join({Container(kForm, {Chunk(kData, 2)}), Chunk(kData, 1)}), Of(kFull), 1, "DATA:2 "},
      {"child larger than what is left",
       Join({Header(kForm, 12), Header(kData, 4), Body(4)}), Of(kFull), 0, ""},
      {"negative child size", Join({Header(kForm, 12), Header(kData, -12)}), Of(kFull), 0, ""},
      {"negative child size, skipped", Join({Header(kForm, 12), Header(kOther, -12)}),
       Of(kNoDefault), 0, ""},
      {"negative container size", Join({Header(kForm, -4), Chunk(kData, 0)}), Of(kFull), 0, ""},
      {"handler reads only the header", Container(kForm, {Chunk(kData, 5)}), Of(kHeaderOnly), 0,
       ""},
      {"handler reads the padding too", Container(kForm, {Chunk(kData, 5)}), Of(kWithPadding), 0,
       "DATA:5 "},
      {"handler fails", Container(kForm, {Chunk(kData, 4), Chunk(kData, 4)}), Of(kRefuse), 0,
       "DATA:4 "},
      {"container header cut short", Bytes(11, 0), Of(kFull), 0, ""},
      {"child header missing", Header(kForm, 12), Of(kFull), 0, ""},
      {"child header cut short", Join({Header(kForm, 12), Body(8)}), Of(kFull), 0, ""},
      {"child body cut short", Join({Header(kForm, 20), Header(kData, 8), Body(4)}), Of(kFull), 0,
       ""},
      {"less than a header left", Join({Header(kForm, 4), Chunk(kData, 0)}), Of(kFull), 0, ""},
      {"huge sizes, skipped",
       Join({Header(kForm, INT32_MAX), Header(kOther, INT32_MAX - 15), Body(8)}), Of(kNoDefault), 0,
       ""},
      {"huge sizes, read",
       Join({Header(kForm, INT32_MAX), Header(kData, INT32_MAX - 15), Body(8)}), Of(kFull), 0,
       ""},
      {"no list at all skips every child", Container(kForm, {Chunk(kData, 3)}), List{nullptr, 0},
       1, ""},
  };
  for (const auto& c : cases) {
    std::string log;
    EXPECT_EQ(c.result, Parse(c.bytes, c.list, &log)) << c.name;
    EXPECT_EQ(c.log, log) << c.name;
  }
}

TEST(KiffParseTest, EndsAfterTheContainerBody) {
  const Bytes bytes = Join({Container(kForm, {Chunk(kData, 6)}), Chunk(kData, 1)});
  std::string log;
  uint32_t position = 0;
  EXPECT_TRUE(Parse(bytes, Of(kFull), &log, &position));
  EXPECT_EQ(12u + 20u, position);
}

TEST(KiffParseTest, NestingIsLimited) {
  auto nested = [](int depth) {
    Bytes bytes = Container(kList, {Chunk(kData, 2)});
    for (int i = 1; i < depth; ++i) bytes = Container(kList, {bytes});
    return bytes;
  };
  std::string log;
  EXPECT_TRUE(Parse(nested(kKiffMaxNesting), Of(kFull), &log));
  EXPECT_EQ("DATA:2 ", log);
  log.clear();
  EXPECT_FALSE(Parse(nested(kKiffMaxNesting + 1), Of(kFull), &log));
  EXPECT_EQ("", log);
  // The count is given back after a failure: a shallow parse works again.
  EXPECT_TRUE(Parse(nested(2), Of(kFull), &log));
}

class KiffWriteTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(fileCreate(&file_, path_.c_str())); }
  void TearDown() override {
    if (file_) fileClose(file_);
  }
  Bytes Written() {
    EXPECT_TRUE(fileClose(file_));
    file_ = nullptr;
    return testing_support::ReadBytes(path_);
  }

  testing_support::TempDir dir_;
  std::string path_ = dir_ / "out.kif";
  QuorFile* file_ = nullptr;
};

TEST_F(KiffWriteTest, ChunksArePaddedWithSpaces) {
  const Bytes body18 = Body(18), body64 = Body(64);
  EXPECT_TRUE(kiffWriteChunk(file_, kData, 0, 18, body18.data()));
  EXPECT_EQ(32u, fileGetCurrentPosition(file_));
  EXPECT_TRUE(kiffWriteChunk(file_, kOther, 7, 64, body64.data()));
  EXPECT_EQ(108u, fileGetCurrentPosition(file_));
  EXPECT_TRUE(kiffWriteChunk(file_, kData, 0, 0, nullptr));
  EXPECT_FALSE(kiffWriteChunk(file_, kData, 0, -1, body18.data()));
  EXPECT_EQ(Join({Chunk(kData, 18), Header(kOther, 64, 7), body64, Header(kData, 0)}), Written());
}

TEST_F(KiffWriteTest, ContainersGetTheirSizesAndParseBack) {
  kiffChunk form, list;
  const Bytes body = Body(5);
  EXPECT_TRUE(kiffStartChunk(file_, &form, kForm, 0));
  EXPECT_TRUE(kiffWriteChunk(file_, kData, 0, 5, body.data()));
  EXPECT_TRUE(kiffStartChunk(file_, &list, kList, 0));
  EXPECT_TRUE(kiffWriteChunk(file_, kData, 0, 0, nullptr));
  EXPECT_TRUE(kiffEndChunk(file_, &list));
  EXPECT_TRUE(kiffEndChunk(file_, &form));
  EXPECT_EQ(12u + 20u + 24u, fileGetCurrentPosition(file_));
  // A chunk that would end before its own header is refused.
  kiffChunk ahead{fileGetCurrentPosition(file_) + 4};
  EXPECT_FALSE(kiffEndChunk(file_, &ahead));
  const Bytes expected = Container(kForm, {Chunk(kData, 5), Container(kList, {Chunk(kData, 0)})});
  const Bytes written = Written();
  EXPECT_EQ(expected, written);
  std::string log;
  EXPECT_TRUE(Parse(written, Of(kFull), &log));
  EXPECT_EQ("DATA:5 DATA:0 ", log);
}

TEST_F(KiffWriteTest, ContainerWithOddSizeIsPaddedAfterItsEnd) {
  kiffChunk form;
  EXPECT_TRUE(kiffStartChunk(file_, &form, kForm, 0));
  EXPECT_TRUE(fileWrite(file_, "abc", 3));  // a body that is no chunk list
  EXPECT_TRUE(kiffEndChunk(file_, &form));
  EXPECT_EQ(Join({Header(kForm, 3), Bytes{'a', 'b', 'c', 0x20}}), Written());
}

TEST(KiffReadTest, ReadChunkChecksTheWholeHeader) {
  const Bytes bytes = Join({Chunk(kData, 5), Header(kOther, 4, 3), Body(4)});
  QuorFile* file = nullptr;
  ASSERT_TRUE(fileOpenMemory(&file, bytes.data(), static_cast<uint32_t>(bytes.size())));
  Bytes buffer(8);
  uint32_t id = 0, subType = 0;
  int32_t size = 0;
  EXPECT_TRUE(kiffPeekChunkHeader(&id, &subType, &size, file));
  EXPECT_EQ(kData, id);
  EXPECT_EQ(5, size);
  EXPECT_EQ(0u, fileGetCurrentPosition(file));
  EXPECT_FALSE(kiffReadChunk(buffer.data(), kData, 0, 6, file));
  EXPECT_FALSE(kiffReadChunk(buffer.data(), kData, 0, 4, file));
  EXPECT_FALSE(kiffReadChunk(buffer.data(), kData, 1, 5, file));
  EXPECT_FALSE(kiffReadChunk(buffer.data(), kOther, 0, 5, file));
  EXPECT_EQ(0u, fileGetCurrentPosition(file));
  EXPECT_TRUE(kiffReadChunk(buffer.data(), kData, 0, 5, file));
  EXPECT_EQ(Body(5), Bytes(buffer.begin(), buffer.begin() + 5));
  EXPECT_EQ(20u, fileGetCurrentPosition(file));
  EXPECT_FALSE(kiffReadChunk(buffer.data(), kOther, 0, 4, file));
  EXPECT_TRUE(kiffReadChunk(buffer.data(), kOther, 3, 4, file));
  EXPECT_EQ(36u, fileGetCurrentPosition(file));
  EXPECT_FALSE(kiffPeekChunkHeader(&id, &subType, &size, file));
  EXPECT_EQ(36u, fileGetCurrentPosition(file));
  EXPECT_TRUE(fileClose(file));
}

}  // namespace
