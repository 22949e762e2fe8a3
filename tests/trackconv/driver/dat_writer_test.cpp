#include "trackconv/driver/dat_writer.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "tools/lib/synthetic_dat.h"
#include "trackconv/foundation/byte_order.h"
#include "trackconv/foundation/errors.h"

namespace {

using Bytes = std::vector<uint8_t>;

Bytes Pattern(std::size_t size, uint8_t seed) {
  Bytes bytes(size);
  for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<uint8_t>(seed + i * 7);
  return bytes;
}

// An archive image taken apart the way datpack takes a file apart: the
// directory, each member's bytes, and what nothing covers.
struct Parts {
  std::vector<DatEntry> entries;
  std::vector<DatGap> gaps;
  std::vector<Bytes> members;
  uint32_t directory_end = 0;
};

Parts Split(const Bytes& image) {
  Parts parts;
  const int16_t count = LoadI16(image.data());
  for (int16_t i = 0; i < count; ++i)
    parts.entries.push_back(DecodeDatEntry(image.data() + trackgen::DatEntryOffset(static_cast<uint32_t>(i))));
  parts.directory_end = static_cast<uint32_t>(trackgen::DatEntryOffset(static_cast<uint32_t>(count)));
  for (const DatEntry& entry : parts.entries)
    parts.members.emplace_back(image.begin() + entry.offset, image.begin() + entry.offset + entry.length);
  for (const DatRange& range : UncoveredRanges(parts.entries, parts.directory_end, static_cast<uint32_t>(image.size())))
    parts.gaps.push_back(DatGap{range.start, Bytes(image.begin() + range.start, image.begin() + range.end)});
  return parts;
}

Bytes Rewrite(const Parts& parts, std::vector<Bytes> members) {
  DatMemorySource source(std::move(members));
  DatLayout layout(parts.entries, parts.directory_end, parts.gaps);
  layout.Place(source);
  DatMemorySink sink;
  layout.Write(source, sink);
  EXPECT_EQ(sink.bytes.size(), layout.Size());
  return sink.bytes;
}

// Archives built with `data` as the bytes of their first member.
using Layout = std::function<Bytes(const Bytes& data)>;

struct LayoutCase {
  const char* name;
  Layout build;
};

const LayoutCase kLayouts[] = {
    {"contiguous", [](const Bytes& d) {
       trackgen::DatImageBuilder b;
       b.Place(b.Member("wall.mip", d)).Place(b.Member("alpha.trk", Pattern(40, 1)));
       return b.Build();
     }},
    {"out_of_directory_order", [](const Bytes& d) {
       trackgen::DatImageBuilder b;
       const std::size_t wall = b.Member("wall.mip", d), a = b.Member("a.trk", Pattern(9, 2)),
                         c = b.Member("c.3do", Pattern(30, 3));
       b.Place(c).Place(wall).Place(a);
       return b.Build();
     }},
    {"gaps_and_trailing_bytes", [](const Bytes& d) {
       trackgen::DatImageBuilder b;
       const std::size_t wall = b.Member("wall.mip", d), a = b.Member("a.trk", Pattern(9, 2));
       b.Junk(5).Place(a).Junk(17, 3).Place(wall).Junk(100, 9);
       return b.Build();
     }},
    {"upper_case_and_junk_after_the_nul", [](const Bytes& d) {
       trackgen::DatImageBuilder b;
       b.Place(b.Member("WALL.MIP", d, {0xDE, 0xAD, 0, 7})).Place(b.Member("twelve12.abc", Pattern(3, 4)));
       return b.Build();
     }},
    {"empty_members_around", [](const Bytes& d) {
       trackgen::DatImageBuilder b;
       const std::size_t empty = b.Member("empty.wav", {}), wall = b.Member("wall.mip", d),
                         last = b.Member("last.wav", {});
       b.Place(empty).Place(wall).Place(last).Junk(3);
       return b.Build();
     }},
};

class DatLayoutRoundTrip : public ::testing::TestWithParam<LayoutCase> {};

TEST_P(DatLayoutRoundTrip, UnchangedArchiveComesBackByteForByte) {
  const Bytes image = GetParam().build(Pattern(300, 11));
  const Parts parts = Split(image);
  EXPECT_EQ(Rewrite(parts, parts.members), image);
}

TEST_P(DatLayoutRoundTrip, EditedMemberMovesOnlyWhatFollowsIt) {
  const Parts parts = Split(GetParam().build(Pattern(300, 11)));
  for (std::size_t size : {301u, 1000u, 299u, 1u, 0u}) {
    std::vector<Bytes> members = parts.members;
    std::size_t wall = 0;
    while (parts.entries[wall].Name() != "wall.mip" && parts.entries[wall].Name() != "WALL.MIP") ++wall;
    members[wall] = Pattern(size, 99);
    EXPECT_EQ(Rewrite(parts, members), GetParam().build(Pattern(size, 99))) << size;
  }
}

INSTANTIATE_TEST_SUITE_P(Layouts, DatLayoutRoundTrip, ::testing::ValuesIn(kLayouts),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(DatLayout, SharedBytesComeBackAndMayChangeInPlace) {
  trackgen::DatImageBuilder b;
  const std::size_t whole = b.Member("whole.pbf", Pattern(64, 5));
  b.Share("part.pbf", whole, 16, 8);
  b.Place(b.Member("after.wav", Pattern(10, 6)));
  b.Place(whole);
  const Bytes image = b.Build();
  Parts parts = Split(image);
  EXPECT_EQ(Rewrite(parts, parts.members), image);

  // The same change made to both members is kept.
  std::vector<Bytes> members = parts.members;
  members[0][20] = members[1][4] = 0xEE;
  Bytes expected = image;
  expected[parts.entries[0].offset + 20] = 0xEE;
  EXPECT_EQ(Rewrite(parts, members), expected);
}

TEST(DatLayout, RefusesWhatCannotBePlaced) {
  trackgen::DatImageBuilder shared;
  const std::size_t whole = shared.Member("whole.pbf", Pattern(64, 5));
  shared.Share("part.pbf", whole, 16, 8);
  shared.Place(whole);
  const Parts parts = Split(shared.Build());

  struct Case {
    const char* name;
    std::function<void()> run;
    std::string message;
  };
  const Case cases[] = {
      {"shared member resized", [&] { Rewrite(parts, {Pattern(65, 5), parts.members[1]}); },
       "whole.pbf: shares bytes with part.pbf, so its size cannot change"},
      {"shared bytes disagree",
       [&] {
         Bytes part = parts.members[1];
         part[0] ^= 1;
         Rewrite(parts, {parts.members[0], part});
       },
       "part.pbf: shares bytes with whole.pbf that no longer agree"},
      {"no member", [&] { Rewrite(Parts{{}, {}, {}, 2}, {}); }, "an archive needs at least one member"},
      {"32768 members",
       [&] {
         Parts many;
         many.entries.resize(32768);
         many.directory_end = 2;
         Rewrite(many, std::vector<Bytes>(32768));
       },
       "member 32768 does not fit: an archive holds at most 32767 members"},
      {"4 GiB",
       [&] {
         class Huge : public DatSource {
          public:
           uint32_t Size(std::size_t) override { return 0x80000000u; }
           void Read(std::size_t, uint32_t, uint32_t, uint8_t*) override { ADD_FAILURE() << "read before refusal"; }
         } huge;
         std::vector<DatEntry> two(2);
         two[0].offset = 100;
         two[1].offset = 200;
         two[0].length = two[1].length = 1;
         DatLayout layout(two, 56, {});
         layout.Place(huge);
       },
       "the archive would reach 4 GiB"},
      {"gap over a member",
       [&] { DatLayout layout(parts.entries, parts.directory_end, {DatGap{parts.entries[0].offset + 1, {1, 2}}}); },
       "the kept bytes at offset " + std::to_string(parts.entries[0].offset + 1) +
           " overlap the directory, a member or other kept bytes"},
  };
  for (const Case& c : cases) {
    try {
      c.run();
      ADD_FAILURE() << c.name << ": not refused";
    } catch (const XGeneral& refusal) {
      EXPECT_EQ(refusal.what(), c.message) << c.name;
    }
  }
}

TEST(DatLayout, DeletedBytesCloseUpAndAddedMembersGoLast) {
  trackgen::DatImageBuilder b;
  const std::size_t a = b.Member("a.wav", Pattern(10, 1)), gone = b.Member("gone.wav", Pattern(20, 2)),
                    c = b.Member("c.wav", Pattern(30, 3));
  b.Place(a).Place(gone).Junk(4).Place(c);
  Parts parts = Split(b.Build());

  parts.entries.erase(parts.entries.begin() + 1);
  std::vector<Bytes> members = {parts.members[0], parts.members[2]};
  DatEntry added;
  added.name_field = DatEntry::FieldOf("new.wav");
  added.offset = 9999;
  added.length = 5;
  parts.entries.push_back(added);
  members.push_back(Pattern(5, 4));

  trackgen::DatImageBuilder expected;
  const std::size_t ea = expected.Member("a.wav", Pattern(10, 1)), ec = expected.Member("c.wav", Pattern(30, 3)),
                    en = expected.Member("new.wav", Pattern(5, 4));
  expected.Place(ea).Junk(4).Place(ec).Place(en);
  // The directory ended after three entries; now there are three again.
  EXPECT_EQ(Rewrite(parts, members), expected.Build());
}

}  // namespace
