#include "runtime/profile/profile.h"

#include <gtest/gtest.h>

#include <string>

#include "runtime/mem.h"
#include "support/temp_dir.h"

namespace {

using testing_support::TempDir;
using testing_support::WriteText;

struct Query {
  const char* name;
  const char* text;  // the options file; none: a 99-character line, then B=3
  const char* section;
  const char* key;
  int answer;
  const char* value;  // GetString's out, default "dflt"
  int32_t number;     // GetOption's out, default 77
};

const Query kQueries[] = {
    {"plain", "[Profile]\nPoolSize=1024\n", "Profile", "PoolSize", 1, "1024", 1024},
    {"key in other case", "[Profile]\npoolsize=1024\n", "Profile", "POOLSIZE", 1, "1024", 1024},
    {"section in other case", "[PROFILE]\nPoolSize=5\n", "profile", "PoolSize", 1, "5", 5},
    {"header prefix matches", "[Profile] old\nPoolSize=5\n", "Profile", "PoolSize", 1, "5", 5},
    {"comment cut", "[Profile]\nPoolSize=1024 ; comment\n", "Profile", "PoolSize", 1, "1024 ", 1024},
    {"empty value", "[Profile]\nPoolSize=\n", "Profile", "PoolSize", 1, "", 0},
    {"comment only value", "[Profile]\nPoolSize=;x\n", "Profile", "PoolSize", 1, "", 0},
    {"space before equals", "[Profile]\nPoolSize = 1024\n", "Profile", "PoolSize", 0, "dflt", 77},
    {"leading space in key", "[Profile]\n PoolSize=1\n", "Profile", "PoolSize", 0, "dflt", 77},
    {"value spaces kept", "[Profile]\nName=  a b  \n", "Profile", "Name", 1, "  a b  ", 0},
    {"number with spaces and sign", "[Profile]\nN=  -42x\n", "Profile", "N", 1, "  -42x", -42},
    {"number beyond 32 bits", "[Profile]\nN=99999999999\n", "Profile", "N", 1, "99999999999", INT32_MAX},
    {"before any section", "PoolSize=1\n[Profile]\nOther=2\n", "Profile", "PoolSize", 0, "dflt", 77},
    {"first of repeated sections", "[Profile]\nA=1\n[Profile]\nB=2\n", "Profile", "B", 0, "dflt", 77},
    {"repeated key takes first", "[Profile]\nA=1\nA=2\n", "Profile", "A", 1, "1", 1},
    {"stops at next section", "[Profile]\n[Other]\nA=1\n", "Profile", "A", 0, "dflt", 77},
    {"other section", "[Other]\nA=1\n[Profile]\nA=2\n", "Other", "A", 1, "1", 1},
    {"longer key no match", "[Profile]\nPoolSizeX=1\n", "Profile", "PoolSize", 0, "dflt", 77},
    {"missing section", "[Profile]\nA=1\n", "Nothing", "A", 0, "dflt", 77},
    {"semicolon before equals", "[Profile]\nA;b=1\n", "Profile", "A;b", 0, "dflt", 77},
    {"windows line ends", "[Profile]\r\nA=7\r\n", "Profile", "A", 1, "7", 7},
    {"no final line break", "[Profile]\nA=8", "Profile", "A", 1, "8", 8},
    // A line longer than 99 characters goes on as a line of its own.
    {"long line split", nullptr,
     "Profile", "B", 1, "3", 3},
};

class ProfileQuery : public ::testing::TestWithParam<Query> {};

TEST_P(ProfileQuery, AnswersFromTheFile) {
  const Query& q = GetParam();
  TempDir dir;
  std::string text = q.text ? q.text : "[Profile]\nA=" + std::string(97, 'x') + "B=3\n";
  WriteText(dir / "options.ini", text);
  ProgramProfile profile;
  ASSERT_EQ(profile.Load((dir / "options.ini").c_str()), 1);
  char value[64] = "?";
  EXPECT_EQ(profile.GetString(q.section, q.key, value, "dflt", sizeof value), q.answer);
  EXPECT_STREQ(value, q.value);
  int32_t number = -1;
  EXPECT_EQ(profile.GetOption(q.section, q.key, &number, 77), q.answer);
  EXPECT_EQ(number, q.answer ? q.number : 77);
}

INSTANTIATE_TEST_SUITE_P(Rules, ProfileQuery, ::testing::ValuesIn(kQueries),
                         [](const auto& info) {
                           std::string name = info.param.name;
                           for (char& c : name)
                             if (!isalnum(static_cast<unsigned char>(c))) c = '_';
                           return name;
                         });

TEST(Profile, MissingFileAndEmptyProfileAnswerDefaults) {
  ProgramProfile profile;
  EXPECT_EQ(profile.Load("no such options file.ini"), 0);
  EXPECT_STREQ(profile.FileName(), "no such options file.ini");
  char value[8];
  EXPECT_EQ(profile.GetString("Profile", "A", value, "d", sizeof value), 0);
  EXPECT_STREQ(value, "d");
  int32_t number = 0;
  EXPECT_EQ(profile.GetOption("Profile", "A", &number, -5), 0);
  EXPECT_EQ(number, -5);
  EXPECT_EQ(profile.GetOption("Profile", "A", nullptr, 1), 0);
  // A name that does not fit the 256-character slot is refused.
  EXPECT_EQ(profile.Load(std::string(300, 'n').c_str()), 0);
  EXPECT_STREQ(profile.FileName(), "");
}

TEST(Profile, CallerBufferIsNeverOverrun) {
  TempDir dir;
  WriteText(dir / "o.ini", "[Profile]\nA=" + std::string(97, 'v') + "\n");
  ProgramProfile profile;
  ASSERT_EQ(profile.Load((dir / "o.ini").c_str()), 1);
  char buffer[8];
  memset(buffer, '#', sizeof buffer);
  EXPECT_EQ(profile.GetString("Profile", "A", buffer, "default text", 0), 1);
  EXPECT_EQ(std::string(buffer, sizeof buffer), "########");
  EXPECT_EQ(profile.GetString("Profile", "A", buffer, "default text", 4), 1);
  EXPECT_EQ(std::string(buffer, 5), std::string("vvv\0#", 5));
  EXPECT_EQ(profile.GetString("Profile", "B", buffer, "default text", 4), 0);
  EXPECT_STREQ(buffer, "def");
  // A header that cannot fit a line finds nothing.
  EXPECT_EQ(profile.GetString(std::string(200, 'P').c_str(), "A", buffer, "", 4), 0);
}

TEST(Profile, LinesComeFromTheMemoryManagerAndGoBackOnRelease) {
  TempDir dir;
  WriteText(dir / "o.ini", "[Profile]\nA=1\nB=2\n");
  const uint32_t before = memDirectBytes();
  {
    ProgramProfile profile;
    ASSERT_EQ(profile.Load((dir / "o.ini").c_str()), 1);
    EXPECT_GT(memDirectBytes(), before);
    ASSERT_EQ(memBegin(), 1);
    // Loaded again inside the bracket: the old direct blocks go back and the
    // new lines come from a pool.
    ASSERT_EQ(profile.Load((dir / "o.ini").c_str()), 1);
    EXPECT_EQ(memDirectBytes(), before);
    EXPECT_GT(memBytesInUse(), 0u);
    profile.Release();
    EXPECT_EQ(memBytesInUse(), 0u);
    int32_t number = 0;
    EXPECT_EQ(profile.GetOption("Profile", "A", &number, 9), 0);
    EXPECT_EQ(number, 9);
    memEnd();
  }
  EXPECT_EQ(memDirectBytes(), before);
}

TEST(Profile, ProcessWideInstanceAnswersBothQueries) {
  TempDir dir;
  WriteText(dir / "o.ini", "[profile]\nErrorDevice=F\nPoolSize=4096\n");
  ASSERT_EQ(ProfilePtr->Load((dir / "o.ini").c_str()), 1);
  int32_t number = 0;
  EXPECT_EQ(ProfileGetOption("Profile", "PoolSize", &number, 1), 1);
  EXPECT_EQ(number, 4096);
  char device[2];
  EXPECT_EQ(ProfileGetOption("Profile", "ErrorDevice", device, "C", sizeof device), 1);
  EXPECT_STREQ(device, "F");
  ProfilePtr->Release();
  EXPECT_EQ(ProfileGetOption("Profile", "PoolSize", &number, 1), 0);
}

}  // namespace
