// datpack's verbs on generated archives in scratch folders.

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "datpack/command_line.h"
#include "datpack/verbs.h"
#include "platform/process.h"
#include "support/temp_dir.h"
#include "tools/lib/synthetic_dat.h"

namespace {

using Bytes = std::vector<uint8_t>;
using testing_support::ListNames;
using testing_support::ReadBytes;
using testing_support::TempDir;
using testing_support::WriteBytes;
using trackgen::DatImageBuilder;

Bytes Pattern(std::size_t size, uint8_t seed) {
  Bytes bytes(size);
  for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<uint8_t>(seed + i * 7 + i / 251);
  return bytes;
}

struct Outcome {
  int status = -1;
  std::string out, err;
};

// Runs a datpack command line through the library.
Outcome Datpack(const std::vector<std::string>& arguments) {
  datpack::Options options;
  std::string error;
  Outcome outcome;
  if (datpack::ParseCommandLine(arguments, options, error) != datpack::Request::kRun) {
    outcome.status = datpack::kUsageError;
    outcome.err = error;
    return outcome;
  }
  std::ostringstream out, err;
  outcome.status = datpack::RunVerb(options, out, err);
  outcome.out = out.str();
  outcome.err = err.str();
  return outcome;
}

// Archives built with `data` as the bytes of the member named "wall.mip".
struct ArchiveCase {
  const char* name;
  std::function<Bytes(const Bytes& data)> build;
};

const ArchiveCase kArchives[] = {
    {"one_member", [](const Bytes& d) {
       DatImageBuilder b;
       b.Place(b.Member("wall.mip", d));
       return b.Build();
     }},
    {"out_of_directory_order_with_gaps_and_trailing_bytes", [](const Bytes& d) {
       DatImageBuilder b;
       const std::size_t wall = b.Member("wall.mip", d), trk = b.Member("track.trk", Pattern(77, 1)),
                         cam = b.Member("view.cam", Pattern(5, 2));
       b.Junk(3).Place(cam).Place(wall).Junk(40, 7).Place(trk).Junk(1000, 9);
       return b.Build();
     }},
    {"shared_bytes", [](const Bytes& d) {
       DatImageBuilder b;
       const std::size_t whole = b.Member("whole.pbf", Pattern(90, 3));
       b.Share("part.pbf", whole, 30, 20);
       b.Place(whole).Place(b.Member("wall.mip", d));
       return b.Build();
     }},
    {"upper_case_twelve_characters_and_junk_after_the_nul", [](const Bytes& d) {
       DatImageBuilder b;
       b.Place(b.Member("TWELVE12.3DO", Pattern(12, 4)));
       b.Place(b.Member("wall.mip", d, {0, 0xAB, 0x20, 0xFF}));
       b.Place(b.Member("Empty.WAV", {}));
       return b.Build();
     }},
    {"a_thousand_members", [](const Bytes& d) {
       DatImageBuilder b;
       std::vector<std::size_t> members;
       for (int i = 0; i < 999; ++i)
         members.push_back(b.Member("m" + std::to_string(i) + ".pbf", Pattern(static_cast<std::size_t>(i % 37), static_cast<uint8_t>(i))));
       members.push_back(b.Member("wall.mip", d));
       for (auto it = members.rbegin(); it != members.rend(); ++it) b.Place(*it);
       return b.Build();
     }},
};

class RoundTrip : public ::testing::TestWithParam<ArchiveCase> {};

TEST_P(RoundTrip, UnpackThenPackGivesTheSameBytes) {
  TempDir dir;
  const Bytes image = GetParam().build(Pattern(500, 11));
  WriteBytes(dir / "game.dat", image);
  const Outcome unpacked = Datpack({"unpack", dir / "game.dat", "-q", "-o", dir / "out"});
  ASSERT_EQ(unpacked.status, 0) << unpacked.err;
  EXPECT_EQ(unpacked.out, "");
  const Outcome packed = Datpack({"pack", "-q", dir / "out", "-o", dir / "again.dat"});
  ASSERT_EQ(packed.status, 0) << packed.err;
  EXPECT_EQ(ReadBytes(dir / "again.dat"), image);
  EXPECT_EQ(Datpack({"diff", dir / "game.dat", dir / "again.dat"}).status, 0);
}

TEST_P(RoundTrip, EditedMemberIsTakenAtItsNewSize) {
  for (std::size_t size : {1500u, 20u}) {
    TempDir dir;
    WriteBytes(dir / "game.dat", GetParam().build(Pattern(500, 11)));
    ASSERT_EQ(Datpack({"unpack", dir / "game.dat", "-o", dir / "out"}).status, 0);
    WriteBytes(dir / "out/wall.mip", Pattern(size, 200));
    const Outcome packed = Datpack({"pack", dir / "out", "-o", dir / "edited.dat"});
    ASSERT_EQ(packed.status, 0) << packed.err;
    EXPECT_EQ(ReadBytes(dir / "edited.dat"), GetParam().build(Pattern(size, 200))) << size;
  }
}

INSTANTIATE_TEST_SUITE_P(Archives, RoundTrip, ::testing::ValuesIn(kArchives),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(Unpack, NamesThatCannotBeFilesAreNamedAndSkipped) {
  TempDir dir;
  DatImageBuilder b;
  const char* const refused[] = {"..\\..\\x.mip", "/etc/x", "C:x", "", ".", "..", "a\tb.mip", "con.mip", "a?.mip", "dot."};
  b.Place(b.Member("good.mip", Pattern(10, 1)));
  for (const char* name : refused) b.Place(b.Member(name, Pattern(3, 2)));
  b.Place(b.Member("good.trk", Pattern(10, 3)));
  WriteBytes(dir / "game.dat", b.Build());
  std::filesystem::create_directory(dir.path() / "deep");

  const Outcome outcome = Datpack({"unpack", dir / "game.dat", "-o", dir / "deep/out"});
  EXPECT_EQ(outcome.status, 1);
  EXPECT_EQ(ListNames(dir.path() / "deep/out"), (std::vector<std::string>{"game.dat.datpack", "good.mip", "good.trk"}));
  EXPECT_EQ(ListNames(dir.path() / "deep"), std::vector<std::string>{"out"});
  EXPECT_EQ(ListNames(dir.path()), (std::vector<std::string>{"deep", "game.dat"}));
  const std::string archive = dir / "game.dat";
  EXPECT_EQ(outcome.err,
            archive + ": member ..\\..\\x.mip: the name holds a path separator; not unpacked\n" +
            archive + ": member /etc/x: the name holds a path separator; not unpacked\n" +
            archive + ": member C:x: the name holds a drive colon; not unpacked\n" +
            archive + ": member : the name is empty; not unpacked\n" +
            archive + ": member .: the name is '.'; not unpacked\n" +
            archive + ": member ..: the name is '..'; not unpacked\n" +
            archive + ": member a%09b.mip: the name holds a control character; not unpacked\n" +
            archive + ": member con.mip: the name is a Windows device name; not unpacked\n" +
            archive + ": member a?.mip: the name holds '?', which Windows refuses in names; not unpacked\n" +
            archive + ": member dot.: the name ends in a dot or a space; not unpacked\n");
  EXPECT_EQ(outcome.out, archive + ": 2 of 12 members unpacked into " + (dir / "deep/out") + "\n");
}

TEST(Unpack, NamesDifferingOnlyInCaseCannotShareAFolder) {
  TempDir dir;
  DatImageBuilder b;
  b.Place(b.Member("wall.mip", Pattern(10, 1))).Place(b.Member("WALL.MIP", Pattern(20, 2)));
  WriteBytes(dir / "game.dat", b.Build());
  const Outcome outcome = Datpack({"unpack", "-q", dir / "game.dat", "-o", dir / "out"});
  EXPECT_EQ(outcome.status, 1);
  EXPECT_EQ(outcome.err, (dir / "game.dat") +
                             ": member WALL.MIP: the name is wall.mip but for letter case, and both cannot be "
                             "files in one folder; not unpacked\n");
  EXPECT_EQ(ReadBytes(dir / "out/wall.mip"), Pattern(10, 1));
  // The manifest names a member that has no file: pack refuses it.
  const Outcome packed = Datpack({"pack", dir / "out", "-o", dir / "again.dat"});
  EXPECT_EQ(packed.status, 1);
  EXPECT_EQ(packed.err, (dir / "again.dat") + ": member WALL.MIP: the name is wall.mip but for letter case\n");
  EXPECT_FALSE(std::filesystem::exists(dir.path() / "again.dat"));
}

TEST(Unpack, ChosenMembersAndExistingFiles) {
  TempDir dir;
  DatImageBuilder b;
  b.Place(b.Member("a.mip", Pattern(10, 1))).Place(b.Member("b.trk", Pattern(20, 2)));
  WriteBytes(dir / "game.dat", b.Build());
  const Outcome chosen = Datpack({"unpack", dir / "game.dat", "B.TRK", "nothere", "-o", dir / "out", "-q"});
  EXPECT_EQ(chosen.status, 1);
  EXPECT_EQ(chosen.err, (dir / "game.dat") + ": no member nothere\n");
  EXPECT_EQ(ListNames(dir.path() / "out"), (std::vector<std::string>{"b.trk", "game.dat.datpack"}));

  // The same bytes again are left alone; other bytes need -f.
  EXPECT_EQ(Datpack({"unpack", dir / "game.dat", "-o", dir / "out", "-q"}).status, 0);
  WriteBytes(dir / "out/a.mip", Pattern(3, 3));
  const Outcome refused = Datpack({"unpack", dir / "game.dat", "-o", dir / "out", "-q"});
  EXPECT_EQ(refused.status, 1);
  EXPECT_EQ(refused.err, (dir / "game.dat") + ": member a.mip: " + (dir / "out/a.mip") + " exists (-f replaces it)\n");
  EXPECT_EQ(ReadBytes(dir / "out/a.mip"), Pattern(3, 3));
  EXPECT_EQ(Datpack({"unpack", dir / "game.dat", "-o", dir / "out", "-q", "-f"}).status, 0);
  EXPECT_EQ(ReadBytes(dir / "out/a.mip"), Pattern(10, 1));
}

TEST(Pack, RefusesAManifestItCannotRead) {
  TempDir dir;
  std::filesystem::create_directory(dir.path() / "out");
  WriteBytes(dir / "out/a.mip", Pattern(3, 1));
  const std::string head = "datpack manifest 1\narchive game.dat\n";
  struct Case {
    std::string text;
    std::string reason;
  } cases[] = {
      {"", "the manifest is empty"},
      {"datpack manifest 2\n", "line 1: not a datpack manifest (no \"datpack manifest 1\")"},
      {head, "no member line"},
      {head + "member a.mip 29\n", "line 3: expected: member NAME OFFSET LENGTH [TAIL]"},
      {head + "member a.mip 29 4294967296\n", "line 3: expected: member NAME OFFSET LENGTH [TAIL]"},
      {head + "member thirteen.char 29 3\n", "line 3: member name longer than 12 characters"},
      {head + "member a.mip 29 3 00\n", "line 3: the tail of a.mip must be 7 bytes in hex"},
      {head + "member a.mip 29 3\ngap 5 0g\n", "line 4: expected: gap OFFSET HEX"},
      {head + "member a.mip 29 3\nsize 32\n", "line 4: unknown line \"size\""},
      {head + "member a.mip 29 3\ngap 30 00\n", "the kept bytes at offset 30 overlap the directory, a member or other kept bytes"},
  };
  for (const Case& c : cases) {
    testing_support::WriteText(dir / "out/game.dat.datpack", c.text);
    const Outcome outcome = Datpack({"pack", dir / "out", "-o", dir / "game.dat"});
    EXPECT_EQ(outcome.status, 1) << c.reason;
    EXPECT_EQ(outcome.err, (dir / "out/game.dat.datpack") + ": " + c.reason + "\n");
    EXPECT_FALSE(std::filesystem::exists(dir.path() / "game.dat"));
  }
}

TEST(Pack, NewArchiveOfFilesInTheOrderGiven) {
  TempDir dir;
  WriteBytes(dir / "Wall.MIP", Pattern(30, 1));
  WriteBytes(dir / "track.trk", Pattern(50, 2));
  const Outcome outcome = Datpack({"pack", dir / "new.dat", dir / "track.trk", dir / "Wall.MIP"});
  ASSERT_EQ(outcome.status, 0) << outcome.err;
  EXPECT_EQ(ReadBytes(dir / "new.dat"), trackgen::BuildDatArchive({{"track.trk", Pattern(50, 2)}, {"Wall.MIP", Pattern(30, 1)}}));
  const Outcome again = Datpack({"pack", dir / "new.dat", dir / "track.trk"});
  EXPECT_EQ(again.status, 1);
  EXPECT_EQ(again.err, (dir / "new.dat") + ": exists (-f replaces it)\n");
}

TEST(Pack, RefusesBeforeWritingAnything) {
  TempDir dir;
  WriteBytes(dir / "thirteen.char", Pattern(3, 1));
  WriteBytes(dir / "a.mip", Pattern(3, 1));
  std::filesystem::create_directory(dir.path() / "sub");
  WriteBytes(dir / "sub/A.MIP", Pattern(3, 1));
  // Files that claim their sizes without holding the bytes.
  for (const char* name : {"big1.pbf", "big2.pbf"}) {
    WriteBytes(dir / name, {});
    std::filesystem::resize_file(dir.path() / name, 0x90000000ull);
  }
  std::string many = "datpack manifest 1\narchive many.dat\n";
  for (int i = 0; i < 32768; ++i) many += "member m" + std::to_string(i) + " 0 0\n";
  std::filesystem::create_directory(dir.path() / "many");
  testing_support::WriteText(dir / "many/many.dat.datpack", many);

  const std::string out = dir / "out.dat";
  struct Case {
    const char* name;
    std::vector<std::string> arguments;
    std::string err;
  } cases[] = {
      {"name longer than 12", {"pack", out, dir / "thirteen.char"}, out + ": member thirteen.char: the name is longer than 12 characters\n"},
      {"names differing in case", {"pack", out, dir / "a.mip", dir / "sub/A.MIP"}, out + ": member A.MIP: the name is a.mip but for letter case\n"},
      {"4 GiB", {"pack", out, dir / "big1.pbf", dir / "big2.pbf"}, out + ": the archive would reach 4 GiB\n"},
      {"32768th member", {"pack", dir / "many", "-o", out}, out + ": member 32768 does not fit: an archive holds at most 32767 members\n"},
  };
  for (const Case& c : cases) {
    const Outcome outcome = Datpack(c.arguments);
    EXPECT_EQ(outcome.status, 1) << c.name;
    EXPECT_EQ(outcome.err, c.err) << c.name;
    EXPECT_FALSE(std::filesystem::exists(out)) << c.name;
  }
  EXPECT_EQ(ListNames(dir.path()), (std::vector<std::string>{"a.mip", "big1.pbf", "big2.pbf", "many", "sub", "thirteen.char"}));
}

TEST(Update, AddReplaceDeleteGiveWhatPackWouldMake) {
  TempDir dir;
  auto build = [](std::vector<std::pair<std::string, Bytes>> members, bool trailing) {
    DatImageBuilder b;
    std::vector<std::size_t> index;
    for (auto& [name, data] : members) index.push_back(b.Member(name, data));
    b.Place(index[0]).Junk(6);
    for (std::size_t i = 1; i < index.size(); ++i) {
      b.Place(index[i]);
      if (i == 1 && trailing) b.Junk(9, 3);
    }
    return b.Build();
  };
  WriteBytes(dir / "game.dat", build({{"a.mip", Pattern(10, 1)}, {"b.trk", Pattern(20, 2)}}, true));
  WriteBytes(dir / "c.wav", Pattern(7, 3));
  WriteBytes(dir / "B.TRK", Pattern(33, 4));

  EXPECT_EQ(Datpack({"add", dir / "game.dat", dir / "c.wav", "-q"}).status, 0);
  EXPECT_EQ(ReadBytes(dir / "game.dat"),
            build({{"a.mip", Pattern(10, 1)}, {"b.trk", Pattern(20, 2)}, {"c.wav", Pattern(7, 3)}}, true));
  EXPECT_EQ(Datpack({"replace", dir / "game.dat", dir / "B.TRK", "-q"}).status, 0);
  EXPECT_EQ(ReadBytes(dir / "game.dat"),
            build({{"a.mip", Pattern(10, 1)}, {"b.trk", Pattern(33, 4)}, {"c.wav", Pattern(7, 3)}}, true));
  EXPECT_EQ(Datpack({"delete", dir / "game.dat", "B.trk", "-q"}).status, 0);
  DatImageBuilder expected;
  const std::size_t a = expected.Member("a.mip", Pattern(10, 1)), c = expected.Member("c.wav", Pattern(7, 3));
  expected.Place(a).Junk(6).Junk(9, 3).Place(c);
  EXPECT_EQ(ReadBytes(dir / "game.dat"), expected.Build());

  const Bytes before = ReadBytes(dir / "game.dat");
  struct Case {
    std::vector<std::string> arguments;
    std::string err;
  } refusals[] = {
      {{"add", dir / "game.dat", dir / "c.wav"}, (dir / "game.dat") + ": already holds c.wav (replace puts new bytes in)\n"},
      {{"replace", dir / "game.dat", dir / "B.TRK"}, (dir / "game.dat") + ": no member B.TRK (add puts new members in)\n"},
      {{"delete", dir / "game.dat", "x.mip"}, (dir / "game.dat") + ": no member x.mip\n"},
  };
  for (const Case& c : refusals) {
    const Outcome outcome = Datpack(c.arguments);
    EXPECT_EQ(outcome.status, 1);
    EXPECT_EQ(outcome.err, c.err);
    EXPECT_EQ(ReadBytes(dir / "game.dat"), before);
  }
  EXPECT_EQ(ListNames(dir.path()), (std::vector<std::string>{"B.TRK", "c.wav", "game.dat"}));
}

TEST(Verify, FindsEachFaultOfADamagedArchive) {
  auto good = [] {
    DatImageBuilder b;
    b.Place(b.Member("a.mip", Pattern(10, 1))).Place(b.Member("b.trk", Pattern(20, 2)));
    return b.Build();
  };
  const std::size_t second = trackgen::DatEntryOffset(1);
  struct Case {
    const char* name;
    std::function<void(Bytes&)> damage;
    std::string fault;  // after the archive's name
  } cases[] = {
      {"sound", [](Bytes&) {}, ": ok"},
      {"count", [](Bytes& b) { b[0] = 0; b[1] = 0x80; }, ": MOTA dat file subfile count error"},
      {"cut directory", [](Bytes& b) { b[0] = 9; b.resize(60); }, ": the directory is cut short after 2 of 9 entries"},
      {"type", [&](Bytes& b) { b[second] = 4; }, ": entry 2 b.trk: MOTA dat file subfile type not 5"},
      {"sizes", [&](Bytes& b) { b[second + trackgen::kDatEntryLengthCopy] = 21; }, ": entry 2 b.trk: MOTA dat file subfile size mismatch"},
      {"no NUL", [&](Bytes& b) { std::fill_n(b.begin() + static_cast<long>(second + trackgen::kDatEntryName), 13, 'x'); },
       ": entry 2 xxxxxxxxxxxxx: MOTA dat file subfile name not terminated (a name longer than 12 characters)"},
      {"past the end", [](Bytes& b) { b.resize(b.size() - 1); },
       ": entry 2 b.trk: reaches past the end of the file (offset 66, length 20, file 85 bytes)"},
      {"overlap", [&](Bytes& b) { b[second + trackgen::kDatEntryOffset] = 60; }, ": entry 2 b.trk: overlaps entry 1 a.mip"},
      {"directory", [&](Bytes& b) { b[second + trackgen::kDatEntryOffset] = 30; }, ": entry 2 b.trk: overlaps the directory"},
      {"letter case", [&](Bytes& b) { std::copy_n("A.MIP", 6, b.begin() + static_cast<long>(second + trackgen::kDatEntryName)); },
       ": entry 2 A.MIP: the same name as entry 1 a.mip but for letter case"},
      {"not a file name", [&](Bytes& b) { b[second + trackgen::kDatEntryName + 1] = '/'; }, ": entry 2 b/trk: the name holds a path separator"},
  };
  TempDir dir;
  for (const Case& c : cases) {
    Bytes image = good();
    c.damage(image);
    WriteBytes(dir / "game.dat", image);
    const Outcome outcome = Datpack({"verify", dir / "game.dat"});
    EXPECT_EQ(outcome.out, (dir / "game.dat") + c.fault + "\n") << c.name;
    EXPECT_EQ(outcome.status, std::string(c.name) == "sound" ? 0 : 1) << c.name;
  }
  const Outcome missing = Datpack({"verify", dir / "none.dat"});
  EXPECT_EQ(missing.status, 1);
  EXPECT_EQ(missing.out, "Couldn't open file " + (dir / "none.dat") + "\n");
}

TEST(Diff, AddedRemovedChangedMovedAndOtherBytes) {
  TempDir dir;
  DatImageBuilder a, b;
  a.Place(a.Member("same.mip", Pattern(5, 1))).Place(a.Member("gone.wav", Pattern(5, 2))).Place(a.Member("edit.trk", Pattern(5, 3)));
  const std::size_t edit = b.Member("edit.trk", Pattern(6, 3)), same = b.Member("same.mip", Pattern(5, 1)),
                    added = b.Member("new.wav", {});
  b.Place(same).Place(edit).Place(added);
  WriteBytes(dir / "a.dat", a.Build());
  WriteBytes(dir / "b.dat", b.Build());
  const Outcome outcome = Datpack({"diff", dir / "a.dat", dir / "b.dat"});
  EXPECT_EQ(outcome.status, 1);
  EXPECT_EQ(outcome.out,
            "moved same.mip (entry 1 -> 2, offset 83 -> 83)\n"
            "removed gone.wav\n"
            "changed edit.trk (5 -> 6 bytes)\n"
            "added new.wav\n");

  DatImageBuilder c;
  c.Place(c.Member("same.mip", Pattern(5, 1), {1})).Place(c.Member("gone.wav", Pattern(5, 2))).Place(c.Member("edit.trk", Pattern(5, 3)));
  WriteBytes(dir / "c.dat", c.Build());
  const Outcome tails = Datpack({"diff", dir / "a.dat", dir / "c.dat"});
  EXPECT_EQ(tails.status, 1);
  EXPECT_EQ(tails.out, "the archives differ outside their members (name fields, gaps or trailing bytes)\n");
  EXPECT_EQ(Datpack({"diff", dir / "a.dat", dir / "a.dat"}).status, 0);
  EXPECT_EQ(Datpack({"diff", dir / "a.dat", dir / "none.dat"}).status, 2);
}

TEST(List, PlainLongAndJson) {
  TempDir dir;
  DatImageBuilder b;
  b.Place(b.Member("WALL.MIP", trackgen::BytesOf("123456789"))).Place(b.Member("notes.txt", {}));
  WriteBytes(dir / "game.dat", b.Build());
  EXPECT_EQ(Datpack({"list", dir / "game.dat"}).out,
            "WALL.MIP              9         56\n"
            "notes.txt             0         65\n");
  EXPECT_EQ(Datpack({"list", "-l", dir / "game.dat"}).out,
            "WALL.MIP              9         56 cbf43926 MIP\n"
            "notes.txt             0         65 00000000 -\n");
  EXPECT_EQ(Datpack({"list", dir / "game.dat", "--json", "-l"}).out,
            "{\"archive\": " + testing::PrintToString(dir / "game.dat") +
                ", \"members\": [{\"name\": \"WALL.MIP\", \"size\": 9, \"offset\": 56, \"crc32\": \"cbf43926\", "
                "\"kind\": \"MIP\"}, {\"name\": \"notes.txt\", \"size\": 0, \"offset\": 65, \"crc32\": \"00000000\", "
                "\"kind\": null}]}\n");
  const Outcome refused = Datpack({"list", dir / "none.dat"});
  EXPECT_EQ(refused.status, 1);
  EXPECT_EQ(refused.err, "Couldn't open file " + (dir / "none.dat") + "\n");
}

TEST(CommandLine, OptionsGoBeforeOrAfterNames) {
  struct Case {
    std::vector<std::string> arguments;
    datpack::Request request;
    std::string error;
  } cases[] = {
      {{"-q", "unpack", "x.dat", "-o", "d", "m.mip"}, datpack::Request::kRun, ""},
      {{"list", "--help"}, datpack::Request::kHelp, ""},
      {{"--version"}, datpack::Request::kVersion, ""},
      {{"unpack", "-l", "x.dat"}, datpack::Request::kUsageError, "option -l does not go with unpack"},
      {{"explode", "x.dat"}, datpack::Request::kUsageError, "unknown verb explode"},
      {{"diff", "a.dat"}, datpack::Request::kUsageError, "too few names for diff"},
      {{"list"}, datpack::Request::kUsageError, "no archive given"},
      {{"unpack", "x.dat", "-o"}, datpack::Request::kUsageError, "option -o needs a value"},
      {{"verify", "--", "-odd.dat"}, datpack::Request::kRun, ""},
      {{}, datpack::Request::kUsageError, "no verb given"},
  };
  for (const Case& c : cases) {
    datpack::Options options;
    std::string error;
    EXPECT_EQ(datpack::ParseCommandLine(c.arguments, options, error), c.request) << c.arguments.size();
    EXPECT_EQ(error, c.error);
  }
  datpack::Options options;
  std::string error;
  datpack::ParseCommandLine({"-q", "unpack", "x.dat", "-o", "d", "m.mip"}, options, error);
  EXPECT_EQ(options.names, (std::vector<std::string>{"x.dat", "m.mip"}));
  EXPECT_EQ(options.output, "d");
  EXPECT_TRUE(options.quiet);
}

// A Windows program's text streams end their lines with CR LF.
std::string WithLineFeeds(std::string text) {
  for (std::size_t at = text.find("\r\n"); at != std::string::npos; at = text.find("\r\n", at)) text.erase(at, 1);
  return text;
}

TEST(Program, StatusAndStreams) {
  TempDir dir;
  const platform::ProcessResult version = platform::RunProcess(DATPACK_EXE, {"--version"}, dir.path().string());
  EXPECT_EQ(version.exit_status, 0);
  EXPECT_EQ(version.standard_output.rfind("datpack ", 0), 0u);
  const platform::ProcessResult help = platform::RunProcess(DATPACK_EXE, {"pack", "--help"}, dir.path().string());
  EXPECT_EQ(help.exit_status, 0);
  EXPECT_EQ(WithLineFeeds(help.standard_output), datpack::HelpText("pack"));
  const platform::ProcessResult usage = platform::RunProcess(DATPACK_EXE, {"list", "-f", "x.dat"}, dir.path().string());
  EXPECT_EQ(usage.exit_status, 2);
  EXPECT_EQ(WithLineFeeds(usage.standard_error), "datpack: option -f does not go with list\n" + datpack::UsageLine("list") + "\n");
  const platform::ProcessResult failed = platform::RunProcess(DATPACK_EXE, {"verify", "none.dat"}, dir.path().string());
  EXPECT_EQ(failed.exit_status, 1);
}

}  // namespace
