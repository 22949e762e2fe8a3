#include "runtime/file/file.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <string>
#include <vector>

#include "support/temp_dir.h"

using testing_support::ReadBytes;
using testing_support::TempDir;
using testing_support::WriteBytes;

namespace {

std::vector<uint8_t> Pattern(uint32_t size) {
  std::vector<uint8_t> bytes(size);
  for (uint32_t i = 0; i < size; ++i) bytes[i] = static_cast<uint8_t>(i * 7 + i / 251);
  return bytes;
}

enum Op { kExact, kAtMost, kFromStart, kFromEnd, kFromCurrent };

struct Step {
  Op op;
  int64_t argument;
  success result;
  uint32_t got;       // bytes delivered (reads)
  uint32_t position;  // fileGetCurrentPosition afterwards
};

struct Script {
  const char* name;
  uint32_t size;
  std::vector<Step> steps;
};

// Runs the steps on a buffered file over Pattern(size) and checks every
// result, every delivered byte and the position after each step.
void RunScript(QuorFile* file, const Script& script) {
  const std::vector<uint8_t> content = Pattern(script.size);
  uint32_t position = 0;
  for (std::size_t i = 0; i < script.steps.size(); ++i) {
    const Step& step = script.steps[i];
    SCOPED_TRACE(std::string(script.name) + " step " + std::to_string(i));
    std::vector<uint8_t> buffer(step.op <= kAtMost ? step.argument : 0);
    uint32_t got = 0;
    success result = 0;
    switch (step.op) {
      case kExact:
        result = fileReadExact(file, buffer.data(), static_cast<uint32_t>(step.argument));
        got = result ? static_cast<uint32_t>(step.argument) : 0;
        break;
      case kAtMost:
        result = fileReadAtMost(file, &got, buffer.data(), static_cast<uint32_t>(step.argument));
        break;
      case kFromStart:
        result = fileSeekFromStart(file, static_cast<int32_t>(step.argument));
        break;
      case kFromEnd:
        result = fileSeekFromEnd(file, static_cast<int32_t>(step.argument));
        break;
      case kFromCurrent:
        result = fileSeekFromCurrent(file, static_cast<int32_t>(step.argument));
        break;
    }
    EXPECT_EQ(step.result, result);
    EXPECT_EQ(step.got, got);
    if (result && step.op <= kAtMost) {
      ASSERT_LE(position + got, content.size());
      EXPECT_TRUE(std::equal(buffer.begin(), buffer.begin() + got, content.begin() + position));
    }
    position = fileGetCurrentPosition(file);
    EXPECT_EQ(step.position, position);
  }
}

const std::vector<Script>& Scripts() {
  static const std::vector<Script> scripts = {
      {"empty file", 0,
       {{kExact, 1, 0, 0, 0}, {kAtMost, 10, 1, 0, 0}, {kExact, 0, 1, 0, 0},
        {kFromEnd, 0, 1, 0, 0}, {kFromStart, 0, 1, 0, 0}, {kAtMost, 1, 1, 0, 0}}},
      {"exactly the rest, then one more", 10,
       {{kExact, 10, 1, 10, 10}, {kExact, 1, 0, 0, 10}, {kAtMost, 4, 1, 0, 10}}},
      {"one more than there is", 10, {{kExact, 11, 0, 0, 10}}},
      {"partial reads keep the position", 5000,
       {{kExact, 10, 1, 10, 10}, {kAtMost, 3, 1, 3, 13}, {kExact, 2035, 1, 2035, 2048},
        {kExact, 1, 1, 1, 2049}}},
      {"reads across the buffer boundary", 5000,
       {{kExact, 2000, 1, 2000, 2000}, {kExact, 100, 1, 100, 2100},
        {kAtMost, 4000, 1, 2900, 5000}, {kAtMost, 1, 1, 0, 5000}}},
      {"a large read over several refills", 5000,
       {{kAtMost, 4999, 1, 4999, 4999}, {kExact, 1, 1, 1, 5000}, {kExact, 1, 0, 0, 5000}}},
      {"a whole buffer, then the end", 2048,
       {{kExact, 2048, 1, 2048, 2048}, {kExact, 1, 0, 0, 2048}}},
      {"seeks from the end and back", 5000,
       {{kFromEnd, 0, 1, 0, 5000}, {kFromEnd, 4, 1, 0, 4996}, {kExact, 4, 1, 4, 5000},
        {kFromEnd, 5001, 0, 0, 5000}, {kFromEnd, 5000, 1, 0, 0}, {kExact, 3, 1, 3, 3}}},
      {"seeks from the current position count unread bytes", 5000,
       {{kExact, 100, 1, 100, 100}, {kFromCurrent, 50, 1, 0, 150}, {kExact, 2, 1, 2, 152},
        {kFromCurrent, -152, 1, 0, 0}, {kFromCurrent, -1, 0, 0, 0},
        {kFromCurrent, 4998, 1, 0, 4998}, {kExact, 2, 1, 2, 5000}}},
      {"negative and far seeks fail and stay", 5000,
       {{kExact, 7, 1, 7, 7}, {kFromStart, -1, 0, 0, 7}, {kFromCurrent, INT32_MIN, 0, 0, 7},
        {kExact, 1, 1, 1, 8}}},
  };
  return scripts;
}

class BufferedFileTest : public ::testing::Test {
 protected:
  TempDir dir_;
};

TEST_F(BufferedFileTest, ScriptsOnDiskFiles) {
  for (const Script& script : Scripts()) {
    const std::string path = dir_ / "data.bin";
    WriteBytes(path, Pattern(script.size));
    QuorFile* file = nullptr;
    ASSERT_TRUE(fileOpenRead(&file, path.c_str())) << script.name;
    RunScript(file, script);
    EXPECT_TRUE(fileClose(file));
  }
}

TEST_F(BufferedFileTest, ScriptsOnMemoryFiles) {
  for (const Script& script : Scripts()) {
    // A stream over memory refuses to seek past its end, which no script does.
    const std::vector<uint8_t> content = Pattern(script.size);
    QuorFile* file = nullptr;
    ASSERT_TRUE(fileOpenMemory(&file, content.data(), script.size)) << script.name;
    EXPECT_STREQ("memory", fileName(file));
    RunScript(file, script);
    EXPECT_TRUE(fileClose(file));
  }
}

TEST_F(BufferedFileTest, IsReadOnly) {
  const std::string path = dir_ / "data.bin";
  WriteBytes(path, Pattern(20));
  QuorFile* file = nullptr;
  ASSERT_TRUE(fileOpenRead(&file, path.c_str()));
  EXPECT_FALSE(fileWrite(file, "x", 1));
  EXPECT_FALSE(fileWriteUint32(file, 1));
  EXPECT_EQ(20u, fileSize(file));
  EXPECT_EQ(0u, fileRegistryCount());  // only raw files are registered
  EXPECT_TRUE(fileClose(file));
  EXPECT_EQ(Pattern(20), ReadBytes(path));
}

TEST_F(BufferedFileTest, OpenRefusesWhatIsNoFile) {
  QuorFile* file = nullptr;
  EXPECT_FALSE(fileOpenRead(&file, (dir_ / "missing.bin").c_str()));
  EXPECT_FALSE(fileOpenRead(&file, dir_.path().string().c_str()));
  EXPECT_FALSE(fileOpenModify(&file, dir_.path().string().c_str()));
  EXPECT_FALSE(fileCreate(&file, dir_.path().string().c_str()));
  EXPECT_FALSE(fileOpenModify(&file, (dir_ / "missing.bin").c_str()));
  EXPECT_FALSE(fileOpenRead(&file, ""));
  EXPECT_EQ(nullptr, file);
}

TEST_F(BufferedFileTest, NamesAreFoundRegardlessOfCase) {
  std::filesystem::create_directory(dir_.path() / "Sub");
  WriteBytes(dir_ / "Sub/Alpha.DAT", Pattern(5));
  QuorFile* file = nullptr;
  const std::string asked = dir_ / "SUB/alpha.dat";
  ASSERT_TRUE(fileOpenRead(&file, asked.c_str()));
  EXPECT_STREQ(asked.c_str(), fileName(file));
  EXPECT_EQ(5u, fileSize(file));
  EXPECT_TRUE(fileClose(file));
  ASSERT_TRUE(fileOpenModify(&file, asked.c_str()));
  EXPECT_TRUE(fileClose(file));

  // A created file gets exactly its name, in a directory found in any case.
  ASSERT_TRUE(fileCreate(&file, (dir_ / "sub/NewFile.Bin").c_str()));
  EXPECT_TRUE(fileClose(file));
  EXPECT_EQ((std::vector<std::string>{"Alpha.DAT", "NewFile.Bin"}),
            testing_support::ListNames(dir_.path() / "Sub"));
}

TEST(QuorFileTest, NameKeepsAtMost255Characters) {
  const std::string path(300, 'n');
  QuorRawFile raw(path.c_str());
  EXPECT_EQ(std::string(255, 'n'), raw.Name());
  // The cut name is not the file that was asked for: opening by it fails.
  EXPECT_FALSE(raw.Open(true, 0));
  QuorBufferedFile buffered(path.c_str());
  EXPECT_FALSE(buffered.OpenRead());
}

TEST(QuorFileTest, StreamModes) {
  const struct {
    bool create;
    uint32_t flags;
    const char* mode;
  } cases[] = {
      {true, 0, "w+b"},      {true, 0x4000, "w+t"}, {false, 0, "rb"},
      {false, 0x201, "wb"},  {false, 0x202, "w+b"}, {false, 0x2, "r+b"},
      {false, 0xA, "r+b"},   {false, 0x8, "ab"},    {false, 0x4008, "at"},
      {false, 0x4002, "r+t"}, {false, 0x4000, "rt"},
  };
  for (const auto& c : cases)
    EXPECT_STREQ(c.mode, QuorRawFile::StreamMode(c.create, c.flags)) << std::hex << c.flags;
}

class RawFileTest : public ::testing::Test {
 protected:
  TempDir dir_;
};

TEST_F(RawFileTest, WritesReadsAndSeeks) {
  const std::string path = dir_ / "out.bin";
  QuorFile* file = nullptr;
  ASSERT_TRUE(fileCreate(&file, path.c_str()));
  EXPECT_TRUE(fileWrite(file, "abcdefgh", 8));
  EXPECT_EQ(8u, fileSize(file));
  EXPECT_EQ(8u, fileGetCurrentPosition(file));
  EXPECT_TRUE(fileSeekFromEnd(file, 3));
  char three[4] = {};
  EXPECT_TRUE(fileReadExact(file, three, 3));
  EXPECT_STREQ("fgh", three);
  EXPECT_TRUE(fileWrite(file, "XY", 2));  // reading, then writing at once
  EXPECT_TRUE(fileSeekFromCurrent(file, -4));
  uint32_t got = 0;
  char rest[8] = {};
  EXPECT_TRUE(fileReadAtMost(file, &got, rest, 8));
  EXPECT_EQ(4u, got);
  EXPECT_STREQ("ghXY", rest);
  EXPECT_TRUE(fileReadAtMost(file, &got, rest, 8));
  EXPECT_EQ(0u, got);
  EXPECT_FALSE(fileReadExact(file, rest, 1));
  EXPECT_FALSE(fileSeekFromStart(file, -1));
  EXPECT_FALSE(fileSeekFromEnd(file, 11));
  EXPECT_EQ(10u, fileGetCurrentPosition(file));
  EXPECT_TRUE(fileClose(file));
  EXPECT_EQ(std::vector<uint8_t>({'a', 'b', 'c', 'd', 'e', 'f', 'g', 'h', 'X', 'Y'}),
            ReadBytes(path));

  // Modifying keeps the content; creating empties the file.
  ASSERT_TRUE(fileOpenModify(&file, path.c_str()));
  EXPECT_EQ(10u, fileSize(file));
  EXPECT_TRUE(fileWrite(file, "A", 1));
  EXPECT_TRUE(fileClose(file));
  EXPECT_EQ('A', ReadBytes(path)[0]);
  ASSERT_TRUE(fileCreate(&file, path.c_str()));
  EXPECT_EQ(0u, fileSize(file));
  EXPECT_TRUE(fileClose(file));
}

TEST_F(RawFileTest, ClosedFileRefusesEverything) {
  QuorRawFile file((dir_ / "x.bin").c_str());
  ASSERT_TRUE(file.Open(true, 0));
  EXPECT_TRUE(file.Close());
  EXPECT_TRUE(file.Close());  // closing a closed file succeeds
  uint32_t got = 7;
  char byte;
  EXPECT_FALSE(file.Write("x", 1));
  EXPECT_FALSE(file.ReadExact(&byte, 1));
  EXPECT_FALSE(file.ReadAtMost(&got, &byte, 1));
  EXPECT_EQ(0u, got);
  EXPECT_FALSE(file.SeekFromStart(0));
  EXPECT_EQ(0u, file.Size());
}

TEST_F(RawFileTest, RegistryHoldsTwentyAndFullDoesNotFailOpens) {
  std::vector<QuorFile*> files;
  for (int i = 0; i < 22; ++i) {
    QuorFile* file = nullptr;
    ASSERT_TRUE(fileCreate(&file, (dir_ / ("f" + std::to_string(i))).c_str())) << i;
    files.push_back(file);
  }
  EXPECT_EQ(20u, fileRegistryCount());
  // The first file frees an entry; the 21st, never registered, frees none.
  EXPECT_TRUE(fileClose(files[0]));
  EXPECT_TRUE(fileClose(files[20]));
  EXPECT_EQ(19u, fileRegistryCount());
  QuorFile* again = nullptr;
  ASSERT_TRUE(fileOpenModify(&again, (dir_ / "f0").c_str()));
  EXPECT_EQ(20u, fileRegistryCount());
  EXPECT_TRUE(fileClose(again));
  for (int i = 1; i < 22; ++i) {
    if (i == 20) continue;
    EXPECT_TRUE(fileClose(files[i]));
  }
  EXPECT_EQ(0u, fileRegistryCount());
}

TEST(FileLifecycleTest, BeginTwiceFails) {
  ASSERT_FALSE(fileInitialized());
  ASSERT_TRUE(fileBegin());
  EXPECT_TRUE(fileInitialized());
  EXPECT_FALSE(fileBegin());
  fileEnd();
  EXPECT_FALSE(fileInitialized());
  fileEnd();
  EXPECT_TRUE(fileBegin());
  fileEnd();
}

TEST_F(RawFileTest, TypedValuesAreLittleEndian) {
  const std::string path = dir_ / "typed.bin";
  QuorFile* file = nullptr;
  ASSERT_TRUE(fileCreate(&file, path.c_str()));
  EXPECT_TRUE(fileWriteInt8(file, -2));
  EXPECT_TRUE(fileWriteUint8(file, 0xA5));
  EXPECT_TRUE(fileWriteInt16(file, -2));
  EXPECT_TRUE(fileWriteUint16(file, 0x1234));
  EXPECT_TRUE(fileWriteInt32(file, -0x12345678));
  EXPECT_TRUE(fileWriteUint32(file, 0xDEADBEEF));
  EXPECT_TRUE(fileWriteFloat(file, 1.5f));
  EXPECT_TRUE(fileWriteDouble(file, -2.25));
  EXPECT_TRUE(fileClose(file));
  const std::vector<uint8_t> expected = {
      0xFE, 0xA5, 0xFE, 0xFF, 0x34, 0x12, 0x88, 0xA9, 0xCB, 0xED, 0xEF, 0xBE, 0xAD, 0xDE,
      0x00, 0x00, 0xC0, 0x3F, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x02, 0xC0};
  EXPECT_EQ(expected, ReadBytes(path));

  ASSERT_TRUE(fileOpenRead(&file, path.c_str()));
  int8_t i8;
  uint8_t u8;
  int16_t i16;
  uint16_t u16;
  int32_t i32;
  uint32_t u32;
  float f;
  double d;
  EXPECT_TRUE(fileReadInt8(file, &i8) && fileReadUint8(file, &u8) && fileReadInt16(file, &i16) &&
              fileReadUint16(file, &u16) && fileReadInt32(file, &i32) &&
              fileReadUint32(file, &u32) && fileReadFloat(file, &f) && fileReadDouble(file, &d));
  EXPECT_EQ(-2, i8);
  EXPECT_EQ(0xA5, u8);
  EXPECT_EQ(-2, i16);
  EXPECT_EQ(0x1234, u16);
  EXPECT_EQ(-0x12345678, i32);
  EXPECT_EQ(0xDEADBEEFu, u32);
  EXPECT_EQ(1.5f, f);
  EXPECT_EQ(-2.25, d);
  // A value cut short by the end of the file is no value; the target stays.
  EXPECT_TRUE(fileSeekFromEnd(file, 3));
  u32 = 9;
  EXPECT_FALSE(fileReadUint32(file, &u32));
  EXPECT_EQ(9u, u32);
  EXPECT_TRUE(fileClose(file));
}

TEST_F(RawFileTest, PrintfWritesWholeTextOrNothing) {
  const std::string path = dir_ / "text.txt";
  QuorFile* file = nullptr;
  ASSERT_TRUE(fileCreate(&file, path.c_str()));
  EXPECT_TRUE(filePrintf(file, "%s=%d\n", "levels", 3));
  const std::string longest(1023, 'a');
  EXPECT_TRUE(filePrintf(file, "%s", longest.c_str()));
  EXPECT_FALSE(filePrintf(file, "%s!", longest.c_str()));
  EXPECT_TRUE(fileClose(file));
  const std::vector<uint8_t> bytes = ReadBytes(path);
  EXPECT_EQ("levels=3\n" + longest, std::string(bytes.begin(), bytes.end()));
}

}  // namespace
