#include "runtime/file/file.h"

#include <gtest/gtest.h>

#include <climits>
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

// One call on a buffered file: its argument, the expected result, the bytes
// it delivers and the position afterwards.
struct Step {
  Op op;
  int64_t argument;
  success result;
  uint32_t got;
  uint32_t position;
};

struct Script {
  const char* name;
  uint32_t size;
  std::vector<Step> steps;
};

// Memory streams refuse seeks past their end, so no script makes one.
const Script kScripts[] = {
    {"empty file", 0,
     {{kExact, 1, 0, 0, 0}, {kAtMost, 10, 1, 0, 0}, {kExact, 0, 1, 0, 0}, {kFromEnd, 0, 1, 0, 0}}},
    {"exactly the rest, then one more", 10,
     {{kExact, 10, 1, 10, 10}, {kExact, 1, 0, 0, 10}, {kAtMost, 4, 1, 0, 10}}},
    {"one more than there is", 10, {{kExact, 11, 0, 0, 10}}},
    {"partial reads keep the position", 5000,
     {{kExact, 10, 1, 10, 10}, {kAtMost, 3, 1, 3, 13}, {kExact, 2035, 1, 2035, 2048},
      {kExact, 1, 1, 1, 2049}}},
    {"reads across the buffer boundary", 5000,
     {{kExact, 2000, 1, 2000, 2000}, {kExact, 100, 1, 100, 2100}, {kAtMost, 4000, 1, 2900, 5000},
      {kAtMost, 1, 1, 0, 5000}}},
    {"a large read over several refills", 5000,
     {{kAtMost, 4999, 1, 4999, 4999}, {kExact, 1, 1, 1, 5000}, {kExact, 1, 0, 0, 5000}}},
    {"a whole buffer, then the end", 2048, {{kExact, 2048, 1, 2048, 2048}, {kExact, 1, 0, 0, 2048}}},
    {"seeks from the end", 5000,
     {{kFromEnd, 0, 1, 0, 5000}, {kFromEnd, 4, 1, 0, 4996}, {kExact, 4, 1, 4, 5000},
      {kFromEnd, 5001, 0, 0, 5000}, {kFromEnd, 5000, 1, 0, 0}, {kExact, 3, 1, 3, 3}}},
    {"seeks from the current position count unread bytes", 5000,
     {{kExact, 100, 1, 100, 100}, {kFromCurrent, 50, 1, 0, 150}, {kExact, 2, 1, 2, 152},
      {kFromCurrent, -152, 1, 0, 0}, {kFromCurrent, -1, 0, 0, 0}, {kFromCurrent, 4998, 1, 0, 4998},
      {kExact, 2, 1, 2, 5000}}},
    {"negative and far seeks fail and stay", 5000,
     {{kExact, 7, 1, 7, 7}, {kFromStart, -1, 0, 0, 7}, {kFromCurrent, INT32_MIN, 0, 0, 7},
      {kExact, 1, 1, 1, 8}}},
};

void RunScript(QuorFile* file, const Script& script) {
  const std::vector<uint8_t> content = Pattern(script.size);
  uint32_t position = 0;
  for (const Step& step : script.steps) {
    SCOPED_TRACE(std::string(script.name) + ", step " + std::to_string(&step - &script.steps[0]));
    std::vector<uint8_t> buffer(step.op <= kAtMost ? step.argument : 0);
    const int32_t argument = static_cast<int32_t>(step.argument);
    uint32_t got = 0;
    success result = 0;
    switch (step.op) {
      case kExact:
        result = fileReadExact(file, buffer.data(), argument);
        got = result ? argument : 0;
        break;
      case kAtMost: result = fileReadAtMost(file, &got, buffer.data(), argument); break;
      case kFromStart: result = fileSeekFromStart(file, argument); break;
      case kFromEnd: result = fileSeekFromEnd(file, argument); break;
      case kFromCurrent: result = fileSeekFromCurrent(file, argument); break;
    }
    EXPECT_EQ(step.result, result);
    EXPECT_EQ(step.got, got);
    if (got) {
      ASSERT_LE(position + got, content.size());
      EXPECT_TRUE(std::equal(buffer.begin(), buffer.begin() + got, content.begin() + position));
    }
    position = fileGetCurrentPosition(file);
    EXPECT_EQ(step.position, position);
  }
}

TEST(BufferedFileTest, ScriptsOnDiskAndInMemory) {
  TempDir dir;
  const std::string path = dir / "data.bin";
  for (const Script& script : kScripts) {
    const std::vector<uint8_t> content = Pattern(script.size);
    WriteBytes(path, content);
    QuorFile* file = nullptr;
    ASSERT_TRUE(fileOpenRead(&file, path.c_str())) << script.name;
    RunScript(file, script);
    EXPECT_FALSE(fileWrite(file, "x", 1));  // read-only
    EXPECT_EQ(script.size, fileSize(file));
    EXPECT_TRUE(fileClose(file));
    ASSERT_TRUE(fileOpenMemory(&file, content.data(), script.size)) << script.name;
    RunScript(file, script);
    EXPECT_TRUE(fileClose(file));
  }
  EXPECT_EQ(Pattern(5000), ReadBytes(path));
  EXPECT_EQ(0u, fileRegistryCount());  // only raw files are registered
}

TEST(FileOpenTest, FindsNamesInAnyCaseAndRefusesWhatIsNoFile) {
  TempDir dir;
  std::filesystem::create_directory(dir.path() / "Sub");
  WriteBytes(dir / "Sub/Alpha.DAT", Pattern(5));
  QuorFile* file = nullptr;
  const std::string asked = dir / "SUB/alpha.dat";
  ASSERT_TRUE(fileOpenRead(&file, asked.c_str()));
  EXPECT_STREQ(asked.c_str(), fileName(file));
  EXPECT_TRUE(fileClose(file));
  ASSERT_TRUE(fileOpenModify(&file, asked.c_str()));
  EXPECT_EQ(5u, fileSize(file));
  EXPECT_TRUE(fileClose(file));
  // A created file gets exactly its name, in a directory found in any case.
  ASSERT_TRUE(fileCreate(&file, (dir / "sub/NewFile.Bin").c_str()));
  EXPECT_TRUE(fileClose(file));
  EXPECT_EQ((std::vector<std::string>{"Alpha.DAT", "NewFile.Bin"}),
            testing_support::ListNames(dir.path() / "Sub"));

  file = nullptr;
  const std::string directory = dir.path().string(), missing = dir / "missing.bin";
  EXPECT_FALSE(fileOpenRead(&file, directory.c_str()) || fileOpenModify(&file, directory.c_str()) ||
               fileCreate(&file, directory.c_str()) || fileOpenRead(&file, missing.c_str()) ||
               fileOpenModify(&file, missing.c_str()) || fileOpenRead(&file, ""));
  EXPECT_EQ(nullptr, file);

  // A name cut to 255 characters is not the file asked for: it never opens.
  QuorBufferedFile longName(std::string(300, 'n').c_str());
  EXPECT_EQ(std::string(255, 'n'), longName.Name());
  EXPECT_FALSE(longName.OpenRead());
}

TEST(FileOpenTest, StreamModes) {
  std::string modes;
  for (uint32_t flags : {0x0u, 0x201u, 0x202u, 0x2u, 0xAu, 0x8u, 0x4008u, 0x4000u})
    modes += std::string(QuorRawFile::StreamMode(false, flags)) + " ";
  EXPECT_EQ("rb wb w+b r+b r+b ab at rt ", modes);  // 0x2 comes before 0xA
  EXPECT_STREQ("w+b", QuorRawFile::StreamMode(true, 0x8));
}

TEST(RawFileTest, WritesReadsAndSeeks) {
  TempDir dir;
  const std::string path = dir / "out.bin";
  QuorFile* file = nullptr;
  ASSERT_TRUE(fileCreate(&file, path.c_str()));
  EXPECT_TRUE(fileWrite(file, "abcdefgh", 8));
  EXPECT_EQ(8u, fileSize(file));
  EXPECT_TRUE(fileSeekFromEnd(file, 3));
  char text[8] = {};
  EXPECT_TRUE(fileReadExact(file, text, 3));
  EXPECT_TRUE(fileWrite(file, "XY", 2));  // reading, then writing at once
  EXPECT_TRUE(fileSeekFromCurrent(file, -4));
  uint32_t got = 0;
  EXPECT_TRUE(fileReadAtMost(file, &got, text + 3, 5));
  EXPECT_EQ("fghghXY", std::string(text, 3 + got));
  EXPECT_TRUE(fileReadAtMost(file, &got, text, 1));
  EXPECT_EQ(0u, got);
  EXPECT_FALSE(fileReadExact(file, text, 1) || fileSeekFromStart(file, -1) ||
               fileSeekFromEnd(file, 11));
  EXPECT_EQ(10u, fileGetCurrentPosition(file));
  EXPECT_TRUE(fileClose(file));
  EXPECT_EQ(std::vector<uint8_t>({'a', 'b', 'c', 'd', 'e', 'f', 'g', 'h', 'X', 'Y'}),
            ReadBytes(path));
  ASSERT_TRUE(fileCreate(&file, path.c_str()));
  EXPECT_EQ(0u, fileSize(file));
  EXPECT_TRUE(fileClose(file));
}

TEST(RawFileTest, RegistryHoldsTwentyAndFullDoesNotFailOpens) {
  TempDir dir;
  std::vector<QuorFile*> files(22);
  for (int i = 0; i < 22; ++i)
    ASSERT_TRUE(fileCreate(&files[i], (dir / ("f" + std::to_string(i))).c_str())) << i;
  EXPECT_EQ(20u, fileRegistryCount());
  // The first file frees an entry; the 21st, never registered, frees none.
  EXPECT_TRUE(fileClose(files[0]) && fileClose(files[20]));
  EXPECT_EQ(19u, fileRegistryCount());
  ASSERT_TRUE(fileOpenModify(&files[0], (dir / "f0").c_str()));
  EXPECT_EQ(20u, fileRegistryCount());
  files.erase(files.begin() + 20);
  for (QuorFile* file : files) EXPECT_TRUE(fileClose(file));
  EXPECT_EQ(0u, fileRegistryCount());
}

TEST(FileLifecycleTest, BeginTwiceFails) {
  const bool wasInitialized = fileInitialized();  // by other tests' set-up
  fileEnd();
  ASSERT_TRUE(fileBegin());
  EXPECT_TRUE(fileInitialized());
  EXPECT_FALSE(fileBegin());
  fileEnd();
  EXPECT_FALSE(fileInitialized());
  EXPECT_TRUE(fileBegin());
  if (!wasInitialized) fileEnd();
}

TEST(RawFileTest, TypedValuesAreLittleEndianAndPrintfAllOrNothing) {
  TempDir dir;
  const std::string path = dir / "typed.bin";
  const std::string longest(1023, 'a');
  QuorFile* file = nullptr;
  ASSERT_TRUE(fileCreate(&file, path.c_str()));
  EXPECT_TRUE(fileWriteInt8(file, -2) && fileWriteUint8(file, 0xA5) && fileWriteInt16(file, -2) &&
              fileWriteUint16(file, 0x1234) && fileWriteInt32(file, -0x12345678) &&
              fileWriteUint32(file, 0xDEADBEEF) && fileWriteFloat(file, 1.5f) &&
              fileWriteDouble(file, -2.25));
  EXPECT_TRUE(filePrintf(file, "%s=%d", "n", 3) && filePrintf(file, "%s", longest.c_str()));
  EXPECT_FALSE(filePrintf(file, "%s!", longest.c_str()));  // would be cut: nothing written
  EXPECT_TRUE(fileClose(file));
  std::vector<uint8_t> expected = {0xFE, 0xA5, 0xFE, 0xFF, 0x34, 0x12, 0x88, 0xA9, 0xCB,
                                   0xED, 0xEF, 0xBE, 0xAD, 0xDE, 0x00, 0x00, 0xC0, 0x3F,
                                   0,    0,    0,    0,    0,    0,    0x02, 0xC0, 'n',
                                   '=',  '3'};
  expected.insert(expected.end(), longest.begin(), longest.end());
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
  EXPECT_TRUE(i8 == -2 && u8 == 0xA5 && i16 == -2 && u16 == 0x1234 && i32 == -0x12345678 &&
              u32 == 0xDEADBEEF && f == 1.5f && d == -2.25);
  // A value cut short by the end of the file is no value; the target stays.
  EXPECT_TRUE(fileSeekFromEnd(file, 3));
  EXPECT_FALSE(fileReadUint32(file, &u32));
  EXPECT_EQ(0xDEADBEEFu, u32);
  EXPECT_TRUE(fileClose(file));
}

}  // namespace
