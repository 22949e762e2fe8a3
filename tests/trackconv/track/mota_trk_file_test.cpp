// The MOTA track file: reading and checking, building from another track,
// writing, and the queries on what was read.

#include "trackconv/track/mota_trk_file.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "support/temp_dir.h"
#include "tests/trackconv/track/scripted_track.h"
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
// a straight whose last wall sits on the outer edge.
Handle<ScriptedTrack> SampleTrack() {
  Handle<ScriptedTrack> track(new ScriptedTrack);
  track->length = U(1500000);
  track->laterals = {U(-98000), U(0), U(98000)};

  ScriptedSection s0;
  s0.start = 0;
  s0.length = U(400000);
  s0.heading = 0;
  s0.words[0] = 0x08080808;
  for (int j = 0; j < 3; ++j) {
    ScriptedLine line;
    line.d = U(1000 + 10 * j);
    line.a = U(30);
    line.b = U(-20);
    line.x = 0;
    line.y = track->laterals[j];
    s0.lines.push_back(line);
  }
  s0.strips = {{U(-90000), U(-90000), U(0), U(0), 0, -4},
               {U(0), U(0), U(90000), U(90000), 1, -3}};
  track->sections.push_back(s0);

  ScriptedSection s1;
  s1.curve = true;
  s1.start = U(400000);
  s1.length = U(500000);
  s1.heading = 0;
  s1.centre_x = U(400000);
  s1.centre_y = U(300000);
  s1.angle = 90;
  s1.words[0] = 0x07070707;
  s1.words[1] = 0x40000000;
  for (int j = 0; j < 3; ++j) {
    ScriptedLine line;
    line.d = U(2000 - 100 * j);
    line.a = U(-7);
    line.b = U(11);
    line.radius = U(300000 - 98000 * (j - 1));
    s1.lines.push_back(line);
  }
  s1.strips = {{U(-80000), U(-85000), U(-10000), U(-10000), 3, -2},
               {U(-10000), U(-10000), U(10000), U(10000), 4, -15},
               {U(10000), U(10000), U(80000), U(85000), 2, 0}};
  s1.walls = {{U(-80000), U(-85000), U(-80000), U(-85000), 1},
              {U(0), U(0), U(500), U(500), 5}};
  track->sections.push_back(s1);

  ScriptedSection s2;
  s2.start = U(900000);
  s2.length = U(600000);
  s2.heading = 90;
  for (int j = 0; j < 3; ++j) {
    ScriptedLine line;
    line.d = U(1500);
    line.x = U(700000);
    line.y = U(-100000 + 98000 * (j - 1));
    s2.lines.push_back(line);
  }
  s2.strips = {{U(-70000), U(-70000), U(70000), U(70000), 5, 0}};
  s2.walls = {{U(70000), U(70000), U(70000), U(70000), 2}};
  track->sections.push_back(s2);
  return track;
}

// Builds a MOTA track from `source` into a new file and writes it.
Bytes BuildAndWrite(const TempDir& dir, const Handle<TrkFile>& source,
                    const std::string& name = "built.trk") {
  Handle<SubFile> out(new SubFile(dir / name, true, true));
  MOTATrkFile built(out, source);
  built.Write();
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

// Every query of the model, compared between two tracks.
void ExpectSameQueries(const TrkFile& x, const TrkFile& y) {
  ASSERT_EQ(x.TrackLength(), y.TrackLength());
  ASSERT_EQ(x.LateralCount(), y.LateralCount());
  for (uint32_t j = 0; j < x.LateralCount(); ++j) EXPECT_EQ(x.LateralOffset(j), y.LateralOffset(j));
  ASSERT_EQ(x.SectionCount(), y.SectionCount());
  for (uint32_t i = 0; i < x.SectionCount(); ++i) {
    SCOPED_TRACE("section " + std::to_string(i));
    EXPECT_EQ(x.IsCurve(i), y.IsCurve(i));
    EXPECT_EQ(x.SectionProximity(i), y.SectionProximity(i));
    EXPECT_EQ(x.SectionStart(i), y.SectionStart(i));
    EXPECT_EQ(x.SectionLength(i), y.SectionLength(i));
    EXPECT_EQ(x.SectionHeading(i), y.SectionHeading(i));
    EXPECT_EQ(x.CurveCentreX(i), y.CurveCentreX(i));
    EXPECT_EQ(x.CurveCentreY(i), y.CurveCentreY(i));
    EXPECT_EQ(x.CurveAngle(i), y.CurveAngle(i));
    ASSERT_EQ(x.SectionWordCount(i), y.SectionWordCount(i));
    for (uint32_t m = 0; m < x.SectionWordCount(i); ++m) {
      EXPECT_EQ(x.SectionWord(i, m), y.SectionWord(i, m));
      EXPECT_EQ(x.SectionWordName(i, m), y.SectionWordName(i, m));
    }
    for (uint32_t j = 0; j < x.LateralCount(); ++j) {
      EXPECT_EQ(x.AltitudeStart(i, j), y.AltitudeStart(i, j));
      EXPECT_EQ(x.AltitudeLinear(i, j), y.AltitudeLinear(i, j));
      EXPECT_EQ(x.AltitudeQuadratic(i, j), y.AltitudeQuadratic(i, j));
      EXPECT_EQ(x.AltitudeCubic(i, j), y.AltitudeCubic(i, j));
      EXPECT_EQ(x.LineStartX(i, j), y.LineStartX(i, j));
      EXPECT_EQ(x.LineStartY(i, j), y.LineStartY(i, j));
      EXPECT_EQ(x.LineRadius(i, j), y.LineRadius(i, j));
      EXPECT_EQ(x.LineWordCount(i, j), y.LineWordCount(i, j));
    }
    ASSERT_EQ(x.SurfaceCount(i), y.SurfaceCount(i));
    for (uint32_t k = 0; k < x.SurfaceCount(i); ++k) {
      EXPECT_EQ(x.SurfaceFromAtStart(i, k), y.SurfaceFromAtStart(i, k));
      EXPECT_EQ(x.SurfaceFromAtEnd(i, k), y.SurfaceFromAtEnd(i, k));
      EXPECT_EQ(x.SurfaceToAtStart(i, k), y.SurfaceToAtStart(i, k));
      EXPECT_EQ(x.SurfaceToAtEnd(i, k), y.SurfaceToAtEnd(i, k));
      EXPECT_EQ(x.SurfaceHeight(i, k), y.SurfaceHeight(i, k));
      EXPECT_EQ(x.SurfaceIsWall(i, k), y.SurfaceIsWall(i, k));
      EXPECT_EQ(x.SurfaceKind(i, k), y.SurfaceKind(i, k));
      EXPECT_EQ(x.SurfaceVariant(i, k), y.SurfaceVariant(i, k));
      EXPECT_EQ(x.SurfaceWordCount(i, k), y.SurfaceWordCount(i, k));
    }
    ASSERT_EQ(x.WallCount(i), y.WallCount(i));
    for (uint32_t w = 0; w < x.WallCount(i); ++w) {
      EXPECT_EQ(x.WallFromAtStart(i, w), y.WallFromAtStart(i, w));
      EXPECT_EQ(x.WallFromAtEnd(i, w), y.WallFromAtEnd(i, w));
      EXPECT_EQ(x.WallToAtStart(i, w), y.WallToAtStart(i, w));
      EXPECT_EQ(x.WallToAtEnd(i, w), y.WallToAtEnd(i, w));
      EXPECT_EQ(x.WallHeight(i, w), y.WallHeight(i, w));
      EXPECT_EQ(x.WallKind(i, w), y.WallKind(i, w));
      EXPECT_EQ(x.WallWordCount(i, w), y.WallWordCount(i, w));
    }
  }
}

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
      {": MOTA trk file too many laterals", [](Bytes& b, const Layout&) { Put(b, 12, 11); }},
      {": MOTA trk file has no laterals", [](Bytes& b, const Layout&) { Put(b, 12, 0); }},
      {": MOTA trk file has no sections", [](Bytes& b, const Layout&) { Put(b, 16, 0); }},
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
      {": MOTA trk file surfaces without closing wall", [](Bytes& b, const Layout& l) { Put(b, l.section_at[2] + 48, 0); }},
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
      {": MOTA trk file too many laterals", [](Bytes& b, const Layout&) { Put(b, 12, 11); Put(b, 16, 0); }},
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
  Handle<MOTATrkFile> reference = ReadTrack(dir_, valid_, "reference.trk");
  Bytes bytes = valid_;
  const Layout layout(valid_);
  Put(bytes, 24, 12345);  // section block size
  for (uint32_t i = 0; i < layout.section_count; ++i) Put(bytes, layout.index_at + 4 * i, 0xDEADBEEF);
  Put(bytes, layout.walls_at[1] + 12, 0);  // wall filler words
  Put(bytes, layout.walls_at[1] + 16, 7);
  Put(bytes, 28 + 4 * 5, 99);  // unused lateral slot
  bytes.push_back(0x55);       // trailing byte
  Handle<MOTATrkFile> track = ReadTrack(dir_, bytes);
  ExpectSameQueries(*reference, *track);
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

TEST_F(MOTATrkFileTest, FixedAnswersAndSectionWords) {
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

  for (uint32_t i = 0; i < track->SectionCount(); ++i) {
    EXPECT_FALSE(track->SectionProximity(i));
    EXPECT_EQ(track->LineWordCount(i, 0), 0u);
    EXPECT_EQ(track->LineWord(i, 0, 0), 0u);
    for (uint32_t k = 0; k < track->SurfaceCount(i); ++k) {
      EXPECT_EQ(track->SurfaceHeight(i, k), 0.0);
      EXPECT_FALSE(track->SurfaceIsWall(i, k));
      EXPECT_EQ(track->SurfaceWordCount(i, k), 0u);
      EXPECT_EQ(track->SurfaceWord(i, k, 0), 0u);
      EXPECT_EQ(track->SurfaceWordName(i, k, 0), nullptr);
    }
    for (uint32_t w = 0; w < track->WallCount(i); ++w) {
      EXPECT_EQ(track->WallToAtStart(i, w), track->WallFromAtStart(i, w));
      EXPECT_EQ(track->WallToAtEnd(i, w), track->WallFromAtEnd(i, w));
      EXPECT_EQ(track->WallHeight(i, w), 1.0);
      EXPECT_EQ(track->WallWordCount(i, w), 0u);
      EXPECT_EQ(track->WallWord(i, w, 0), 0u);
      EXPECT_EQ(track->WallWordName(i, w, 0), nullptr);
    }
  }
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
  Handle<ScriptedTrack> source = SampleTrack();
  source->sections[0].length = U(123);  // ignored: lengths follow from the starts
  for (auto& section : source->sections)
    for (auto& line : section.lines) line.c = U(777777);  // ignored: solved for continuity
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
  Handle<ScriptedTrack> source = SampleTrack();
  source->sections[0].strips.clear();
  source->sections[2].strips.clear();
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
  auto build_failure = [this](const Handle<ScriptedTrack>& source) -> std::string {
    try {
      Handle<SubFile> out(new SubFile(dir_ / "rejected.trk", true, true));
      MOTATrkFile built(out, source);
    } catch (const XAssumption& e) {
      return e.what();
    }
    return "(no failure)";
  };
  Handle<ScriptedTrack> ten = SampleTrack();
  ten->laterals.clear();
  for (int j = 0; j < 10; ++j) ten->laterals.push_back(U(1000 * j));
  for (auto& section : ten->sections) section.lines.resize(10);
  EXPECT_EQ(build_failure(ten), "(no failure)");
  Handle<ScriptedTrack> eleven = ten;
  eleven->laterals.push_back(U(20000));
  for (auto& section : eleven->sections) section.lines.resize(11);
  EXPECT_EQ(build_failure(eleven), "MOTA trk file supports too few laterals");

  Handle<ScriptedTrack> no_laterals = SampleTrack();
  no_laterals->laterals.clear();
  EXPECT_EQ(build_failure(no_laterals), "MOTA trk file has no laterals");
  Handle<ScriptedTrack> no_sections = SampleTrack();
  no_sections->sections.clear();
  EXPECT_EQ(build_failure(no_sections), "MOTA trk file has no sections");
  Handle<ScriptedTrack> odd_surface = SampleTrack();
  odd_surface->sections[1].strips[1].kind = 6;
  EXPECT_EQ(build_failure(odd_surface), "MOTA trk unsupported surface type");
  Handle<ScriptedTrack> odd_wall = SampleTrack();
  odd_wall->sections[2].walls[0].kind = 6;
  EXPECT_EQ(build_failure(odd_wall), "MOTA trk unsupported wall type");
}

// ---------------------------------------------------------------------------
// Round trips

TEST_F(MOTATrkFileTest, ReadingBackAnswersLikeTheBuiltTrack) {
  Handle<SubFile> out(new SubFile(dir_ / "again.trk", true, true));
  MOTATrkFile built(out, SampleTrack());
  built.Write();
  Handle<MOTATrkFile> read = ReadTrack(dir_, ReadBytes(dir_ / "again.trk"));
  ExpectSameQueries(built, *read);
}

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
