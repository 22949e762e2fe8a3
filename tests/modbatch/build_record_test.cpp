// The build record: what it keeps, what survives a damaged file, and
// which change of an input, switch, tool or output makes a conversion
// out of date.

#include "modbatch/build_record.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <string>

#include "support/temp_dir.h"

namespace {

namespace fs = std::filesystem;
using modbatch::BuildEntry;
using modbatch::BuildRecord;
using modbatch::BuildWanted;
using testing_support::ReadBytes;
using testing_support::TempDir;
using testing_support::WriteText;

TEST(BuildRecord, KeepsEveryFieldAcrossSaveAndLoad) {
  TempDir dir;
  BuildEntry entry;
  entry.tool = "pixmill 1.2 00ff";
  entry.switches = {"-rgb", "1", "2 3", "\t%", ""};
  entry.inputs = {{"tex/a b.tga", 10, -5, 0x0123456789abcdefull}, {"100%\n.trk", 0, 7, 1}};
  entry.output = {"A.MIP", 99, 123456789012345ll, ~0ull};
  {
    BuildRecord record(dir.path());
    record.Set(entry);
    BuildEntry other = entry;
    other.switches.clear();
    other.output.name = "b.srb";
    record.Set(other);
    ASSERT_TRUE(record.Save());
  }
  BuildRecord again(dir.path());
  ASSERT_NE(again.Find("a.mip"), nullptr);
  EXPECT_EQ(*again.Find("a.mip"), entry);
  ASSERT_NE(again.Find("B.SRB"), nullptr);
  EXPECT_TRUE(again.Find("B.SRB")->switches.empty());
  // No temporary is left beside it.
  EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 1);

  again.Erase("A.mip");
  again.Erase("b.srb");
  ASSERT_TRUE(again.Save());
  EXPECT_FALSE(fs::exists(dir.path() / BuildRecord::kFileName));
}

TEST(BuildRecord, ADamagedRecordKnowsNothing) {
  const char* const texts[] = {
      "",
      "modbatch build record 2\n",
      "modbatch build record 1\no\ta.mip\t1\t2\t0000000000000003\nt\tx\n",  // fine
      "modbatch build record 1\no\ta.mip\t1\t2\t0000000000000003\nt\tx",    // cut short
      "modbatch build record 1\nt\tx\n",                                    // no output first
      "modbatch build record 1\no\ta.mip\tone\t2\t3\n",
      "modbatch build record 1\no\ta.mip\t1\t2\t3\nq\n",
  };
  for (const char* text : texts) {
    TempDir dir;
    WriteText((dir.path() / BuildRecord::kFileName).string(), text);
    BuildRecord record(dir.path());
    EXPECT_EQ(record.Find("a.mip") != nullptr, text == texts[2]) << text;
  }
}

// A conversion as the planner would describe it: one input, one output.
struct Build {
  TempDir dir;
  BuildWanted wanted;
  BuildEntry entry;

  Build() {
    WriteText((dir.path() / "wall.tga").string(), "picture bytes");
    WriteText((dir.path() / "wall.mip").string(), "mip bytes");
    wanted.tool = "pixmill 1 abc";
    wanted.switches = {"-tile"};
    wanted.inputs = {{"wall.tga", dir.path() / "wall.tga"}};
    wanted.output = dir.path() / "wall.mip";
    EXPECT_TRUE(modbatch::StampBuild(wanted, entry));
  }

  void Touch(const char* name) {
    const fs::path path = dir.path() / name;
    fs::last_write_time(path, fs::last_write_time(path) + std::chrono::hours(1));
  }
};

TEST(BuildRecord, OutOfDateByContentNotByTime) {
  struct Case {
    const char* name;
    std::function<void(Build&)> change;
    const char* why;
    bool refreshed;
  };
  const Case cases[] = {
      {"nothing", [](Build&) {}, "", false},
      {"touched input", [](Build& b) { b.Touch("wall.tga"); }, "", true},
      {"touched output", [](Build& b) { b.Touch("wall.mip"); }, "", true},
      {"input copied over itself",
       [](Build& b) {
         WriteText((b.dir.path() / "wall.tga").string(), "picture bytes");
         b.Touch("wall.tga");
       },
       "", true},
      {"edited input, same size",
       [](Build& b) {
         WriteText((b.dir.path() / "wall.tga").string(), "picture BYTES");
         b.Touch("wall.tga");
       },
       "wall.tga changed", false},
      {"edited input", [](Build& b) { WriteText((b.dir.path() / "wall.tga").string(), "x"); },
       "wall.tga changed", false},
      {"deleted input", [](Build& b) { fs::remove(b.dir.path() / "wall.tga"); }, "wall.tga changed",
       false},
      {"other switches", [](Build& b) { b.wanted.switches = {"-tile", "-transp"}; },
       "made with other switches", false},
      {"other tool", [](Build& b) { b.wanted.tool = "pixmill 1 abd"; }, "made by another pixmill",
       false},
      {"another input", [](Build& b) { b.wanted.inputs.push_back({"wall.pbf", b.wanted.output}); },
       "made from other files", false},
      {"deleted output", [](Build& b) { fs::remove(b.wanted.output); }, "its output is missing",
       false},
      {"edited output",
       [](Build& b) {
         WriteText(b.wanted.output.string(), "MIP bytes");
         b.Touch("wall.mip");
       },
       "its output was changed", false},
  };
  for (const Case& c : cases) {
    Build build;
    c.change(build);
    bool refreshed = false;
    BuildEntry recorded = build.entry;
    EXPECT_EQ(modbatch::WhyOutOfDate(build.wanted, recorded, refreshed), c.why) << c.name;
    EXPECT_EQ(refreshed, c.refreshed) << c.name;
    if (c.refreshed) {
      // The new times are kept: the next look needs no reading.
      bool again = false;
      EXPECT_EQ(modbatch::WhyOutOfDate(build.wanted, recorded, again), "") << c.name;
      EXPECT_FALSE(again) << c.name;
    }
  }
}

TEST(BuildRecord, ToolIdentityFollowsTheProgramsBytes) {
  TempDir dir;
  const fs::path program = dir.path() / "tool";
  WriteText(program.string(), "one");
  const std::string first = modbatch::ToolIdentity("pixmill", program);
  EXPECT_EQ(first.compare(0, 8, "pixmill "), 0);
  WriteText(program.string(), "two");
  EXPECT_NE(modbatch::ToolIdentity("pixmill", program), first);
  EXPECT_EQ(modbatch::ToolIdentity("pixmill", dir.path() / "none"), "");
}

}  // namespace
