// The MOTA track file: reading and checking, building from another track,
// writing, and the queries on what was read.

#include "trackconv/track/mota_trk_file.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "support/temp_dir.h"
#include "tools/lib/synthetic_track.h"
#include "trackconv/foundation/byte_order.h"
#include "trackconv/foundation/errors.h"

namespace {

using testing_support::ReadBytes;
using testing_support::TempDir;
using testing_support::WriteBytes;
using Bytes = std::vector<uint8_t>;

double U(int32_t units) { return LengthFromUnits(units); }

// Three lateral lines; a straight without walls, a curve whose first source
// wall sits on the inner edge and whose second has a separate far side, and
// a straight whose last wall sits on the outer edge. Values in track units.
Handle<SyntheticTrack> SampleTrack() {
  SyntheticTrackOptions options;
  options.sections = 3;
  options.laterals = 3;
  Handle<SyntheticTrack> track(new SyntheticTrack(options));
  track->track_length = 1500000;
  track->lateral_offsets = {-98000, 0, 98000};
  using Section = SyntheticTrack::Section;
  using Line = SyntheticTrack::Line;
  track->sections = {
      Section{false, false, 0, 400000, 0, 0, 0, 0, {0x08080808, 0}},
      Section{true, false, 400000, 500000, 0, 400000, 300000, 0x20000000,  // 90 degrees
              {0x07070707, 0x40000000}},
      Section{false, false, 900000, 600000, 0x40000000, 0, 0, 0, {0, 0}},
  };
  for (int j = 0; j < 3; ++j) {
    track->lines[0][j] = Line{30, -20, 0, 1000 + 10 * j, 0, track->lateral_offsets[j]};
    track->lines[1][j] = Line{-7, 11, 0, 2000 - 100 * j, 300000 - 98000 * (j - 1), 0};
    track->lines[2][j] = Line{0, 0, 0, 1500, 700000, -100000 + 98000 * (j - 1)};
  }
  // from at start, from at end, to at start, to at end, height, kind, variant
  track->strips = {
      {{-90000, -90000, 0, 0, 0, 0, -4}, {0, 0, 90000, 90000, 0, 1, -3}},
      {{-80000, -85000, -10000, -10000, 0, 3, -2},
       {-10000, -10000, 10000, 10000, 0, 4, -15},
       {10000, 10000, 80000, 85000, 0, 2, 0}},
      {{-70000, -70000, 70000, 70000, 0, 5, 0}},
  };
  track->walls = {
      {},
      {{-80000, -85000, -80000, -85000, 0, 1}, {0, 0, 500, 500, 0, 5}},
      {{70000, 70000, 70000, 70000, 0, 2}},
  };
  return track;
}

// Builds a MOTA track from `source` into a new file and writes it.
Bytes BuildAndWrite(const TempDir& dir, const Handle<TrkFile>& source,
                    const std::string& name = "built.trk") {
  {
    Handle<SubFile> out(new SubFile(dir / name, true, true));
    MOTATrkFile built(out, source);
    built.Write();
  }  // closed first: Windows shares no file that is open for writing
  return ReadBytes(dir / name);
}

Handle<MOTATrkFile> ReadTrack(const TempDir& dir, const Bytes& bytes,
                              const std::string& name = "read.trk") {
  WriteBytes(dir / name, bytes);
  Handle<SubFile> in(new SubFile(dir / name, false, false));
  return Handle<MOTATrkFile>(new MOTATrkFile(in));
}

std::string ReadFailure(const TempDir& dir, const Bytes& bytes) {
  try {
    ReadTrack(dir, bytes);
  } catch (const std::exception& e) {
    return e.what();
  }
  return "(no failure)";
}

// Where the blocks and records of a MOTA file lie, found by walking the
// file the way the reader does.
struct Layout {
  uint32_t lateral_count, section_count, surface_bytes;
  uint32_t index_at, lines_at, surfaces_at, sections_at;
  std::vector<uint32_t> section_at;  // each section record
  std::vector<uint32_t> walls_at;    // each section's first wall record

  explicit Layout(const Bytes& b) {
    lateral_count = LoadU32(&b[12]);
    section_count = LoadU32(&b[16]);
    surface_bytes = LoadU32(&b[20]);
    index_at = 68;
    lines_at = index_at + 4 * section_count;
    surfaces_at = lines_at + 32 * lateral_count * section_count;
    sections_at = surfaces_at + surface_bytes;
    uint32_t at = sections_at;
    for (uint32_t i = 0; i < section_count; ++i) {
      section_at.push_back(at);
      walls_at.push_back(at + 52);
      at += 52 + 20 * LoadU32(&b[at + 48]);
    }
  }
  uint32_t Line(uint32_t i, uint32_t j) const { return lines_at + 32 * (i * lateral_count + j); }
};

void Put(Bytes& b, uint32_t offset, uint32_t value) { StoreU32(&b[offset], value); }
void Add(Bytes& b, uint32_t offset, int32_t delta) {
  StoreU32(&b[offset], LoadU32(&b[offset]) + static_cast<uint32_t>(delta));
}

class MOTATrkFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    valid_ = BuildAndWrite(dir_, SampleTrack());
    name_ = dir_ / "read.trk";
  }
  std::string Fails(const std::function<void(Bytes&, const Layout&)>& corrupt) {
    Bytes bytes = valid_;
    corrupt(bytes, Layout(valid_));
    return ReadFailure(dir_, bytes);
  }

  TempDir dir_;
  Bytes valid_;
  std::string name_;
};

// ---------------------------------------------------------------------------
// Reader checks

TEST_F(MOTATrkFileTest, EachCheckFailsWithItsOwnMessage) {
  struct Case {
    const char* text;
    std::function<void(Bytes&, const Layout&)> corrupt;
  };
  const std::vector<Case> cases = {
      // The id's characters in reading order are the wrong byte order.
      {": MOTA trk file id not TRAK", [](Bytes& b, const Layout&) { b[0] = 'T'; b[1] = 'R'; b[2] = 'A'; b[3] = 'K'; }},
      {": MOTA trk file type not 1", [](Bytes& b, const Layout&) { Put(b, 4, 3000); }},
      {": MOTA trk file has too many laterals", [](Bytes& b, const Layout&) { Put(b, 12, 11); }},
      {": MOTA trk file altitude delta 4 error", [](Bytes& b, const Layout& l) { Add(b, l.Line(1, 2) + 16, 3); }},
      {": MOTA trk file altitude delta 5 error", [](Bytes& b, const Layout& l) { Add(b, l.Line(2, 0) + 20, -3); }},
      {": MOTA trk file unknown section type", [](Bytes& b, const Layout& l) { Put(b, l.section_at[1], 3); }},
      {": MOTA trk file unknown section type", [](Bytes& b, const Layout& l) { Put(b, l.section_at[0], 0); }},
      {": MOTA trk file pieces index error", [](Bytes& b, const Layout& l) { Add(b, l.section_at[1] + 36, 1); }},
      {": MOTA trk file section start error", [](Bytes& b, const Layout& l) { Add(b, l.section_at[2] + 4, 1); }},
      // A wrong length shows at the start of the next section.
      {": MOTA trk file section start error", [](Bytes& b, const Layout& l) { Add(b, l.section_at[0] + 8, -1); }},
      {": MOTA trk file surface start error", [](Bytes& b, const Layout& l) { Add(b, l.section_at[1] + 44, 1); }},
      {": MOTA trk file surface start error", [](Bytes& b, const Layout& l) { Add(b, l.section_at[0] + 40, 1); }},
      {": MOTA trk file total length error", [](Bytes& b, const Layout&) { Add(b, 8, 1); }},
      {": MOTA trk file total length error", [](Bytes& b, const Layout& l) { Add(b, l.section_at[2] + 8, 1); }},
      {": MOTA trk file total surface length error", [](Bytes& b, const Layout& l) { Add(b, l.section_at[2] + 40, 1); }},
      // A strip count that only a 32-bit total would wrap back into range.
      {": MOTA trk file total surface length error", [](Bytes& b, const Layout& l) { Add(b, l.section_at[2] + 40, 0x40000000); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(Fails(c.corrupt), name_ + c.text);
  }
}

TEST_F(MOTATrkFileTest, TheFirstFailingCheckInFileOrderWins) {
  struct Case {
    const char* text;
    std::function<void(Bytes&, const Layout&)> corrupt;
  };
  const std::vector<Case> cases = {
      {": MOTA trk file id not TRAK", [](Bytes& b, const Layout&) { Put(b, 0, 0); Put(b, 4, 2); Put(b, 12, 11); }},
      {": MOTA trk file type not 1", [](Bytes& b, const Layout&) { Put(b, 4, 2); Put(b, 12, 11); }},
      {": MOTA trk file type not 1", [](Bytes& b, const Layout& l) { Put(b, 4, 2); Put(b, l.section_at[0], 7); }},
      {": MOTA trk file has too many laterals", [](Bytes& b, const Layout&) { Put(b, 12, 11); Put(b, 16, 0); }},
      {": MOTA trk file altitude delta 4 error", [](Bytes& b, const Layout& l) { Add(b, l.Line(1, 1) + 16, 9); Add(b, l.Line(1, 1) + 20, 9); }},
      {": MOTA trk file altitude delta 5 error", [](Bytes& b, const Layout& l) { Add(b, l.Line(0, 2) + 20, 9); Add(b, l.Line(1, 0) + 16, 9); }},
      {": MOTA trk file altitude delta 4 error", [](Bytes& b, const Layout& l) { Add(b, l.Line(2, 2) + 16, 9); Put(b, l.section_at[0], 9); }},
      {": MOTA trk file unknown section type", [](Bytes& b, const Layout& l) { Put(b, l.section_at[1], 9); Add(b, l.section_at[1] + 36, 1); }},
      {": MOTA trk file pieces index error", [](Bytes& b, const Layout& l) { Add(b, l.section_at[1] + 36, 1); Add(b, l.section_at[1] + 4, 1); }},
      {": MOTA trk file section start error", [](Bytes& b, const Layout& l) { Add(b, l.section_at[1] + 4, 1); Add(b, l.section_at[1] + 44, 1); }},
      {": MOTA trk file surface start error", [](Bytes& b, const Layout& l) { Add(b, l.section_at[1] + 44, 1); Put(b, l.section_at[1] + 48, 0); }},
      {": MOTA trk file surface start error", [](Bytes& b, const Layout& l) { Add(b, l.section_at[1] + 44, 1); Put(b, l.section_at[2], 5); }},
      {": MOTA trk file total length error", [](Bytes& b, const Layout& l) { Add(b, 8, 1); Add(b, l.section_at[2] + 40, 1); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(Fails(c.corrupt), name_ + c.text);
  }
}

TEST_F(MOTATrkFileTest, DerivativeWordsMayBeOffByTwo) {
  const uint32_t line = Layout(valid_).Line(1, 1);
  for (uint32_t field : {16u, 20u}) {
    for (int32_t delta : {-2, -1, 1, 2}) {
      Bytes bytes = valid_;
      Add(bytes, line + field, delta);
      EXPECT_NO_THROW(ReadTrack(dir_, bytes)) << field << " " << delta;
    }
    for (int32_t delta : {-3, 3}) {
      Bytes bytes = valid_;
      Add(bytes, line + field, delta);
      EXPECT_EQ(ReadFailure(dir_, bytes),
                name_ + (field == 16 ? ": MOTA trk file altitude delta 4 error"
                                     : ": MOTA trk file altitude delta 5 error"));
    }
  }
}

TEST_F(MOTATrkFileTest, DerivativeWordsCompareInTheStoredWidth) {
  // a large enough for 3a to wrap: the writer stores the wrapped value and
  // the reader must accept its own output.
  Bytes bytes = valid_;
  const uint32_t line = Layout(valid_).Line(0, 0);
  Put(bytes, line, 0x7FFFFFFF);
  Put(bytes, line + 16, 0x7FFFFFFFu * 3u);
  Put(bytes, line + 4, 0x80000000u);
  Put(bytes, line + 20, 0);
  EXPECT_NO_THROW(ReadTrack(dir_, bytes));
}

TEST_F(MOTATrkFileTest, UncheckedFieldsAreIgnored) {
  Bytes bytes = valid_;
  const Layout layout(valid_);
  Put(bytes, 24, 12345);  // section block size
  for (uint32_t i = 0; i < layout.section_count; ++i) Put(bytes, layout.index_at + 4 * i, 0xDEADBEEF);
  Put(bytes, layout.walls_at[1] + 12, 0);  // wall filler words
  Put(bytes, layout.walls_at[1] + 16, 7);
  Put(bytes, 28 + 4 * 5, 99);  // unused lateral slot
  bytes.push_back(0x55);       // trailing byte
  // Nothing of it reaches the track: rebuilt, it is the untouched file.
  EXPECT_EQ(BuildAndWrite(dir_, ReadTrack(dir_, bytes), "rebuilt.trk"), valid_);
}

TEST_F(MOTATrkFileTest, TruncationAtEveryBlockBoundaryIsAReadFailure) {
  const Layout layout(valid_);
  std::vector<uint32_t> boundaries = {0, 4, 67, layout.index_at, layout.lines_at,
                                      layout.surfaces_at, layout.sections_at};
  for (uint32_t i = 0; i < layout.section_count; ++i) {
    boundaries.push_back(layout.section_at[i] + 51);
    boundaries.push_back(layout.walls_at[i]);
    uint32_t walls = LoadU32(&valid_[layout.section_at[i] + 48]);
    for (uint32_t w = 1; w <= walls; ++w) boundaries.push_back(layout.walls_at[i] + 20 * w - 1);
  }
  for (uint32_t size : boundaries) {
    if (size >= valid_.size()) continue;
    SCOPED_TRACE(size);
    Bytes bytes(valid_.begin(), valid_.begin() + size);
    EXPECT_EQ(ReadFailure(dir_, bytes), "Couldn't read file " + name_);
  }
}

TEST_F(MOTATrkFileTest, HugeCountsFailWithoutReadingPastTheEnd) {
  const Layout layout(valid_);
  const std::string read_failure = "Couldn't read file " + name_;
  EXPECT_EQ(Fails([](Bytes& b, const Layout&) { Put(b, 16, 0xFFFFFFFF); }), read_failure);
  EXPECT_EQ(Fails([](Bytes& b, const Layout&) { Put(b, 16, 0x40000000); }), read_failure);
  EXPECT_EQ(Fails([](Bytes& b, const Layout&) { Put(b, 20, 0xFFFFFFF0); }), read_failure);
  EXPECT_EQ(Fails([](Bytes& b, const Layout& l) { Put(b, l.section_at[1] + 48, 0xFFFFFFFF); }), read_failure);
  EXPECT_EQ(Fails([](Bytes& b, const Layout& l) { Put(b, l.section_at[0] + 48, 0x0CCCCCCD); }), read_failure);
}

// ---------------------------------------------------------------------------
// Queries on a track that was read

TEST_F(MOTATrkFileTest, SurfaceValuesMapToKindsAndVariants) {
  const Layout layout(valid_);
  struct Expect { uint32_t value; int kind, variant; };
  for (Expect e : {Expect{0, 3, -6}, {6, 3, 0}, {7, 4, -15}, {22, 4, 0}, {23, 1, -22},
                   {45, 1, 0}, {46, 0, -8}, {54, 0, 0}}) {
    Bytes bytes = valid_;
    Put(bytes, layout.surfaces_at + 8, e.value);
    Handle<MOTATrkFile> track = ReadTrack(dir_, bytes);
    EXPECT_EQ(track->SurfaceKind(0, 0), e.kind) << e.value;
    EXPECT_EQ(track->SurfaceVariant(0, 0), e.variant) << e.value;
  }
  for (uint32_t value : {55u, 0xFFFFFFFFu}) {
    Bytes bytes = valid_;
    Put(bytes, layout.surfaces_at + 8, value);
    Handle<MOTATrkFile> track = ReadTrack(dir_, bytes);  // values are checked when asked for
    try {
      track->SurfaceKind(0, 0);
      ADD_FAILURE() << "kind of " << value;
    } catch (const XAssumption& e) {
      EXPECT_STREQ(e.what(), "MOTA trk file unknown surface");
    }
    try {
      track->SurfaceVariant(0, 0);
      ADD_FAILURE() << "variant of " << value;
    } catch (const XAssumption& e) {
      EXPECT_STREQ(e.what(), "MOTA trk file unknown surface");
    }
  }
}

TEST_F(MOTATrkFileTest, WallValuesMapToKinds) {
  const Layout layout(valid_);
  for (auto [value, kind] : {std::pair<uint32_t, int>{0, 0}, {2, 2}, {4, 1}, {6, 5}}) {
    Bytes bytes = valid_;
    Put(bytes, layout.walls_at[0], value);
    EXPECT_EQ(ReadTrack(dir_, bytes)->WallKind(0, 0), kind) << value;
  }
  for (uint32_t value : {1u, 3u, 8u, 0xFFFFFFFFu}) {
    Bytes bytes = valid_;
    Put(bytes, layout.walls_at[0], value);
    Handle<MOTATrkFile> track = ReadTrack(dir_, bytes);
    try {
      track->WallKind(0, 0);
      ADD_FAILURE() << value;
    } catch (const XAssumption& e) {
      EXPECT_STREQ(e.what(), "MOTA trk file unknown wall");
    }
  }
}

TEST_F(MOTATrkFileTest, StripsEndAtTheNextStripAndTheLastAtTheLastWall) {
  Bytes bytes = valid_;
  const Layout layout(valid_);
  // Move the curve's last wall so that it is not where the source had it.
  Put(bytes, layout.walls_at[1] + 20 * 3 + 4, static_cast<uint32_t>(86000));
  Put(bytes, layout.walls_at[1] + 20 * 3 + 8, static_cast<uint32_t>(87000));
  Handle<MOTATrkFile> track = ReadTrack(dir_, bytes);
  ASSERT_EQ(track->SurfaceCount(1), 3u);
  ASSERT_EQ(track->WallCount(1), 4u);
  EXPECT_EQ(track->SurfaceToAtStart(1, 0), track->SurfaceFromAtStart(1, 1));
  EXPECT_EQ(track->SurfaceToAtEnd(1, 1), track->SurfaceFromAtEnd(1, 2));
  EXPECT_EQ(track->SurfaceToAtStart(1, 2), U(86000));
  EXPECT_EQ(track->SurfaceToAtEnd(1, 2), U(87000));
  EXPECT_EQ(track->WallToAtStart(1, 3), U(86000));
  EXPECT_EQ(track->WallToAtEnd(1, 3), U(87000));
}

TEST_F(MOTATrkFileTest, SectionWordsAndWallLines) {
  Bytes bytes = valid_;
  const Layout layout(valid_);
  Put(bytes, layout.section_at[0] + 28, 0x11111111);  // a straight's sin h90 word
  Put(bytes, layout.section_at[0] + 32, 0x40000000);
  Handle<MOTATrkFile> track = ReadTrack(dir_, bytes);

  // A straight has one raw word, whatever index it is asked with.
  EXPECT_EQ(track->SectionWordCount(0), 1u);
  for (uint32_t m : {0u, 1u, 7u}) EXPECT_EQ(track->SectionWord(0, m), 0x40000000u);
  EXPECT_STREQ(track->SectionWordName(0, 0), "0x40000000");
  EXPECT_EQ(track->SectionWordCount(1), 2u);
  EXPECT_EQ(track->SectionWord(1, 0), 0x07070707u);
  EXPECT_EQ(track->SectionWord(1, 1), 0x40000000u);
  EXPECT_EQ(track->SectionWord(1, 2), 0u);
  EXPECT_STREQ(track->SectionWordName(1, 0), "0x07070707");
  EXPECT_EQ(track->SectionWordName(2, 0), nullptr);

  // A wall is a single line.
  EXPECT_EQ(track->WallToAtStart(1, 1), track->WallFromAtStart(1, 1));
  EXPECT_EQ(track->WallToAtEnd(1, 0), track->WallFromAtEnd(1, 0));
}

// ---------------------------------------------------------------------------
// Building and writing

TEST_F(MOTATrkFileTest, WritesTheFileLayout) {
  const Bytes& b = valid_;
  const Layout layout(b);
  EXPECT_EQ(b[0], 0x4B);
  EXPECT_EQ(b[3], 0x54);
  EXPECT_EQ(LoadU32(&b[4]), 1u);
  EXPECT_EQ(LoadI32(&b[8]), 1500000);
  EXPECT_EQ(layout.lateral_count, 3u);
  EXPECT_EQ(layout.section_count, 3u);
  EXPECT_EQ(layout.surface_bytes, 12u * 6);
  // Walls: 2 (none in the source), 4 (inner covered, far side, outer),
  // 2 (inner, outer covered).
  EXPECT_EQ(LoadU32(&b[24]), 52u * 3 + 20u * 8);
  EXPECT_EQ(LoadI32(&b[28]), -98000);
  EXPECT_EQ(LoadI32(&b[36]), 98000);
  for (uint32_t j = 3; j < 10; ++j) EXPECT_EQ(LoadU32(&b[28 + 4 * j]), 0u);
  // The section index holds true offsets, walls included.
  EXPECT_EQ(LoadU32(&b[68]), 0u);
  EXPECT_EQ(LoadU32(&b[72]), 52u + 40);
  EXPECT_EQ(LoadU32(&b[76]), 52u + 40 + 52 + 80);
  EXPECT_EQ(b.size(), layout.section_at[2] + 52 + 40);
  // Derivative words.
  const uint32_t line = layout.Line(1, 0);
  EXPECT_EQ(LoadI32(&b[line + 16]), 3 * LoadI32(&b[line]));
  EXPECT_EQ(LoadI32(&b[line + 20]), 2 * LoadI32(&b[line + 4]));
  // Section record fields and the filler of every wall.
  const uint32_t s1 = layout.section_at[1];
  EXPECT_EQ(LoadU32(&b[s1]), 2u);
  EXPECT_EQ(LoadI32(&b[s1 + 4]), 400000);
  EXPECT_EQ(LoadI32(&b[s1 + 8]), 500000);
  EXPECT_EQ(LoadI32(&b[s1 + 16]), 400000);
  EXPECT_EQ(LoadI32(&b[s1 + 20]), 300000);
  EXPECT_EQ(LoadU32(&b[s1 + 24]), 0x20000000u);  // 90 degrees of 720
  EXPECT_EQ(LoadU32(&b[s1 + 28]), 0x07070707u);
  EXPECT_EQ(LoadU32(&b[s1 + 32]), 0x40000000u);
  EXPECT_EQ(LoadU32(&b[s1 + 36]), 3u);
  EXPECT_EQ(LoadU32(&b[s1 + 40]), 3u);
  EXPECT_EQ(LoadU32(&b[s1 + 44]), 2u);
  EXPECT_EQ(LoadU32(&b[s1 + 48]), 4u);
  for (uint32_t w = 0; w < 4; ++w) {
    EXPECT_EQ(LoadU32(&b[s1 + 52 + 20 * w + 12]), 0xCCCCCCCCu);
    EXPECT_EQ(LoadU32(&b[s1 + 52 + 20 * w + 16]), 0xCCCCCCCCu);
  }
}

TEST_F(MOTATrkFileTest, StraightsStoreTruncatedDirectionWords) {
  const Layout layout(valid_);
  const uint32_t s0 = layout.section_at[0];  // heading 0
  EXPECT_EQ(LoadI32(&valid_[s0 + 16]), 1073741824);
  EXPECT_EQ(LoadI32(&valid_[s0 + 20]), 0);
  EXPECT_EQ(LoadI32(&valid_[s0 + 24]), 0);  // cos 90 degrees is not a tiny negative
  EXPECT_EQ(LoadI32(&valid_[s0 + 28]), 1073741824);
  EXPECT_EQ(LoadU32(&valid_[s0 + 32]), 0x08080808u);
  const uint32_t s2 = layout.section_at[2];  // heading 90
  EXPECT_EQ(LoadI32(&valid_[s2 + 12]), 0x40000000);
  EXPECT_EQ(LoadI32(&valid_[s2 + 16]), 0);
  EXPECT_EQ(LoadI32(&valid_[s2 + 20]), 1073741824);
  EXPECT_EQ(LoadI32(&valid_[s2 + 24]), -1073741824);
  EXPECT_EQ(LoadI32(&valid_[s2 + 28]), 0);
}

TEST_F(MOTATrkFileTest, BuildingTakesLengthsFromStartsAndClosesTheAltitudes) {
  Handle<SyntheticTrack> source = SampleTrack();
  source->sections[0].length = 123;  // ignored: lengths follow from the starts
  for (auto& section_lines : source->lines)
    for (auto& line : section_lines) line.c = 777777;  // ignored: solved for continuity
  Handle<SubFile> out(new SubFile(dir_ / "built2.trk", true, true));
  MOTATrkFile built(out, source);
  EXPECT_EQ(built.SectionLength(0), U(400000));
  EXPECT_EQ(built.SectionLength(1), U(500000));
  EXPECT_EQ(built.SectionLength(2), U(600000));
  const uint32_t n = built.SectionCount();
  for (uint32_t i = 0; i < n; ++i) {
    for (uint32_t j = 0; j < built.LateralCount(); ++j) {
      int64_t end = int64_t{LengthToUnits(built.AltitudeCubic(i, j))} +
                    LengthToUnits(built.AltitudeQuadratic(i, j)) +
                    LengthToUnits(built.AltitudeLinear(i, j)) +
                    LengthToUnits(built.AltitudeStart(i, j));
      EXPECT_EQ(end, LengthToUnits(built.AltitudeStart((i + 1) % n, j))) << i << " " << j;
    }
  }
  EXPECT_EQ(built.AltitudeCubic(0, 1), U(30));
  EXPECT_EQ(built.AltitudeQuadratic(1, 2), U(11));
  EXPECT_EQ(built.LineRadius(1, 0), U(398000));
  EXPECT_EQ(built.LineStartY(2, 2), U(-2000));
}

TEST_F(MOTATrkFileTest, BuildingMapsSurfaceKindsToValues) {
  Handle<MOTATrkFile> track = ReadTrack(dir_, valid_);
  // kind/variant in the source → kind/variant read back
  EXPECT_EQ(track->SurfaceKind(0, 0), 0);
  EXPECT_EQ(track->SurfaceVariant(0, 0), -4);
  EXPECT_EQ(track->SurfaceKind(0, 1), 1);
  EXPECT_EQ(track->SurfaceVariant(0, 1), -3);
  EXPECT_EQ(track->SurfaceKind(1, 0), 3);
  EXPECT_EQ(track->SurfaceVariant(1, 0), -2);
  EXPECT_EQ(track->SurfaceKind(1, 1), 4);
  EXPECT_EQ(track->SurfaceVariant(1, 1), -15);
  EXPECT_EQ(track->SurfaceKind(1, 2), 4);  // kind 2 shares the values of kind 4
  EXPECT_EQ(track->SurfaceKind(2, 0), 3);  // kind 5 shares the values of kind 3

  EXPECT_EQ(MOTATrkFile::SurfaceValueFor(0, 0), 54u);
  EXPECT_EQ(MOTATrkFile::SurfaceValueFor(0, -8), 46u);
  EXPECT_EQ(MOTATrkFile::SurfaceValueFor(1, 0), 45u);
  EXPECT_EQ(MOTATrkFile::SurfaceValueFor(2, -1), 21u);
  EXPECT_EQ(MOTATrkFile::SurfaceValueFor(5, -6), 0u);
  // Kinds without values, and variants that would leave the value table.
  for (auto [kind, variant] : {std::pair<int, int>{6, 0}, {-1, 0}, {7, 0}, {3, -7}, {0, 1}, {1, -100}}) {
    try {
      MOTATrkFile::SurfaceValueFor(kind, variant);
      ADD_FAILURE() << kind << " " << variant;
    } catch (const XAssumption& e) {
      EXPECT_STREQ(e.what(), "MOTA trk unsupported surface type");
    }
  }
}

TEST_F(MOTATrkFileTest, BuildingPlacesInnerSourceAndOuterWalls) {
  Handle<MOTATrkFile> track = ReadTrack(dir_, valid_);
  // No source walls: one at the first strip's from boundary and one at the
  // last strip's to boundary.
  ASSERT_EQ(track->WallCount(0), 2u);
  EXPECT_EQ(track->WallFromAtStart(0, 0), U(-90000));
  EXPECT_EQ(track->WallFromAtStart(0, 1), U(90000));
  EXPECT_EQ(track->WallKind(0, 0), 0);
  EXPECT_EQ(track->WallKind(0, 1), 0);
  // Inner edge already walled by the source (kind 1 → value 4); the second
  // source wall (kind 5 → value 6) has a separate far side; then the outer.
  ASSERT_EQ(track->WallCount(1), 4u);
  EXPECT_EQ(track->WallFromAtStart(1, 0), U(-80000));
  EXPECT_EQ(track->WallFromAtEnd(1, 0), U(-85000));
  EXPECT_EQ(track->WallKind(1, 0), 1);
  EXPECT_EQ(track->WallFromAtStart(1, 1), U(0));
  EXPECT_EQ(track->WallKind(1, 1), 5);
  EXPECT_EQ(track->WallFromAtStart(1, 2), U(500));
  EXPECT_EQ(track->WallKind(1, 2), 0);
  EXPECT_EQ(track->WallFromAtStart(1, 3), U(80000));
  EXPECT_EQ(track->WallFromAtEnd(1, 3), U(85000));
  // Outer edge already walled by the source's last wall (kind 2 → value 2).
  ASSERT_EQ(track->WallCount(2), 2u);
  EXPECT_EQ(track->WallFromAtStart(2, 0), U(-70000));
  EXPECT_EQ(track->WallKind(2, 1), 2);

  EXPECT_EQ(MOTATrkFile::WallValueFor(3), 0u);
  EXPECT_EQ(MOTATrkFile::WallValueFor(4), 0u);
  for (int kind : {6, -1, 9}) {
    try {
      MOTATrkFile::WallValueFor(kind);
      ADD_FAILURE() << kind;
    } catch (const XAssumption& e) {
      EXPECT_STREQ(e.what(), "MOTA trk unsupported wall type");
    }
  }
}

TEST_F(MOTATrkFileTest, ASectionWithoutStripsKeepsOnlyItsSourceWalls) {
  Handle<SyntheticTrack> source = SampleTrack();
  source->strips[0].clear();
  source->strips[2].clear();
  Bytes bytes = BuildAndWrite(dir_, source, "nostrips.trk");
  Handle<MOTATrkFile> track = ReadTrack(dir_, bytes);
  EXPECT_EQ(track->SurfaceCount(0), 0u);
  EXPECT_EQ(track->WallCount(0), 0u);
  EXPECT_EQ(track->SurfaceCount(1), 3u);
  EXPECT_EQ(track->SurfaceFromAtStart(1, 0), U(-80000));
  ASSERT_EQ(track->WallCount(2), 1u);
  EXPECT_EQ(track->WallFromAtStart(2, 0), U(70000));
}

TEST_F(MOTATrkFileTest, BuildingRejectsWhatTheFormatCannotHold) {
  auto build_failure = [this](const Handle<SyntheticTrack>& source) -> std::string {
    try {
      Handle<SubFile> out(new SubFile(dir_ / "rejected.trk", true, true));
      MOTATrkFile built(out, source);
    } catch (const XAssumption& e) {
      return e.what();
    }
    return "(no failure)";
  };
  Handle<SyntheticTrack> ten = SampleTrack();
  ten->lateral_offsets.clear();
  for (int j = 0; j < 10; ++j) ten->lateral_offsets.push_back(1000 * j);
  for (auto& section_lines : ten->lines) section_lines.resize(10);
  EXPECT_EQ(build_failure(ten), "(no failure)");
  Handle<SyntheticTrack> eleven = ten;
  eleven->lateral_offsets.push_back(20000);
  for (auto& section_lines : eleven->lines) section_lines.resize(11);
  EXPECT_EQ(build_failure(eleven), "MOTA trk file supports too few laterals");

  // Sections that add up to nothing cannot carry a length.
  Handle<SyntheticTrack> no_sections = SampleTrack();
  no_sections->sections.clear();
  EXPECT_EQ(build_failure(no_sections), "MOTA trk file needs at least one section");
  Handle<SyntheticTrack> odd_surface = SampleTrack();
  odd_surface->strips[1][1].kind = 6;
  EXPECT_EQ(build_failure(odd_surface), "MOTA trk unsupported surface type");
  Handle<SyntheticTrack> odd_wall = SampleTrack();
  odd_wall->walls[2][0].kind = 6;
  EXPECT_EQ(build_failure(odd_wall), "MOTA trk unsupported wall type");
}

// ---------------------------------------------------------------------------
// Tracks the checks accept though they lack lines, sections or walls

TEST_F(MOTATrkFileTest, TracksWithoutLateralsOrSectionsReadAndWriteBack) {
  // No lateral lines: the builder makes one, the reader takes it, and it
  // writes back byte for byte.
  Handle<SyntheticTrack> no_laterals = SampleTrack();
  no_laterals->lateral_offsets.clear();
  for (auto& section_lines : no_laterals->lines) section_lines.clear();
  const Bytes without_lines = BuildAndWrite(dir_, no_laterals);
  Handle<MOTATrkFile> read = ReadTrack(dir_, without_lines);
  EXPECT_EQ(read->LateralCount(), 0u);
  EXPECT_EQ(read->SectionCount(), 3u);
  EXPECT_EQ(BuildAndWrite(dir_, read, "again.trk"), without_lines);

  // No sections: a header and nothing else, with length 0 and no strips.
  Bytes empty(valid_.begin(), valid_.begin() + 68);
  StoreU32(&empty[8], 0);
  StoreU32(&empty[16], 0);
  StoreU32(&empty[20], 0);
  StoreU32(&empty[24], 0);
  Handle<MOTATrkFile> nothing = ReadTrack(dir_, empty);
  EXPECT_EQ(nothing->SectionCount(), 0u);
  EXPECT_EQ(nothing->LateralCount(), 3u);
  EXPECT_EQ(BuildAndWrite(dir_, nothing, "empty.trk"), empty);
  // A length the sections do not add up to is still refused.
  StoreU32(&empty[8], 5);
  EXPECT_EQ(ReadFailure(dir_, empty), name_ + ": MOTA trk file total length error");
}

TEST_F(MOTATrkFileTest, ASectionWithStripsButNoWallsIsRead) {
  // The last section loses its wall; its record now ends the file, and the
  // wall record left behind it is never read.
  Bytes bytes = valid_;
  const Layout layout(valid_);
  Put(bytes, layout.section_at[2] + 48, 0);
  Handle<MOTATrkFile> track = ReadTrack(dir_, bytes);
  ASSERT_EQ(track->WallCount(2), 0u);
  ASSERT_EQ(track->SurfaceCount(2), 1u);
  // The last strip ends on its own from boundary instead of a wall.
  EXPECT_EQ(track->SurfaceToAtStart(2, 0), U(-70000));
  EXPECT_EQ(track->SurfaceToAtEnd(2, 0), U(-70000));
  // Rebuilding walls it off at both edges again.
  Handle<MOTATrkFile> rebuilt = ReadTrack(dir_, BuildAndWrite(dir_, track), "rebuilt.trk");
  EXPECT_EQ(rebuilt->WallCount(2), 2u);
}

// ---------------------------------------------------------------------------
// Round trips

TEST_F(MOTATrkFileTest, RewritingAReadTrackReproducesTheFile) {
  // Write what was read back over its own file.
  WriteBytes(dir_ / "same.trk", valid_);
  {
    Handle<SubFile> file(new SubFile(dir_ / "same.trk", false, false));
    MOTATrkFile track(file);
    track.Write();
    track.Write();  // each Write starts again from offset 0
  }
  EXPECT_EQ(ReadBytes(dir_ / "same.trk"), valid_);
  // Rebuilding from the read track through the model gives the same bytes.
  Handle<TrkFile> read = ReadTrack(dir_, valid_);
  EXPECT_EQ(BuildAndWrite(dir_, read, "rebuilt.trk"), valid_);
}

}  // namespace
