#include "trackconv/track/xq_trk_file.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "trackconv/foundation/atomic_output.h"
#include "trackconv/foundation/byte_order.h"
#include "trackconv/foundation/errors.h"
#include "support/bytes_through.h"
#include "support/temp_dir.h"
#include "trackconv/track/hand_track.h"

namespace {

class XQTrkFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    path_ = dir_ / "alpha.xq";
    output_ = Handle<SubFile>(new SubFile(path_, true, true));
  }
  void TearDown() override { output_ = Handle<SubFile>(); }

  Handle<SubFile>& Output() { return output_; }

  std::vector<uint8_t> WrittenBytes() { return testing_support::BytesThrough(output_); }

  // Converts `track` and returns the refusal message, or "" when accepted.
  std::string RefusalFor(HandTrack* track) {
    Handle<TrkFile> source(track);
    try {
      XQTrkFile xq(output_, source);
    } catch (const XAssumption& e) {
      return e.what();
    }
    return "";
  }

  std::string Message(const char* text) { return path_ + text; }

  testing_support::TempDir dir_;
  std::string path_;
  Handle<SubFile> output_;
};

// One lateral at 0 so the start points come straight from line 0.
HandTrack* StraightLoop(uint32_t sections) {
  HandTrack* t = new HandTrack;
  t->laterals = {Units(0)};
  for (uint32_t i = 0; i < sections; ++i) {
    HandLine line;
    line.x = Units(static_cast<int32_t>(1000 * i));
    t->Add(false, Units(1000), 1, line);
  }
  return t;
}

std::vector<uint32_t> Types(const XQTrkFile& xq, uint32_t section) {
  const XQSection& s = xq.Sections()[section];
  std::vector<uint32_t> types;
  for (uint32_t k = 0; k < s.surface_count; ++k) types.push_back(xq.Surfaces()[s.first_surface + k].type);
  return types;
}

std::vector<std::pair<int32_t, int32_t>> Lines(const XQTrkFile& xq, uint32_t section) {
  const XQSection& s = xq.Sections()[section];
  std::vector<std::pair<int32_t, int32_t>> lines;
  for (uint32_t k = 0; k < s.surface_count; ++k) {
    const XQSurface& r = xq.Surfaces()[s.first_surface + k];
    lines.emplace_back(r.lateral_at_start, r.lateral_at_end);
  }
  return lines;
}

HandStrip Strip(int32_t from_start, int32_t from_end, int kind, int variant = 0) {
  HandStrip s;
  s.from_start = Units(from_start);
  s.from_end = Units(from_end);
  s.kind = kind;
  s.variant = variant;
  return s;
}

HandWall Wall(int32_t from_start, int32_t from_end, int kind) {
  HandWall w;
  w.from_start = Units(from_start);
  w.from_end = Units(from_end);
  w.kind = kind;
  return w;
}

HandLine Altitude(int32_t start, int32_t cubic, int32_t quadratic, int32_t linear) {
  HandLine l;
  l.start = Units(start);
  l.cubic = Units(cubic);
  l.quadratic = Units(quadratic);
  l.linear = Units(linear);
  return l;
}

// A stadium of two straights and two half circles, the second turning
// with a negative angle, 1000 units long on the straights, radius 500.
// Two laterals (0 and 200 units); lateral 0 lies on line 0.
HandTrack* Stadium() {
  HandTrack* t = new HandTrack;
  t->laterals = {Units(0), Units(200)};

  HandSection& s0 = t->Add(false, Units(1000), 2);
  s0.lines[0] = Altitude(0, 0, 0, 100);
  s0.lines[1] = Altitude(7, 1, 2, 3);
  s0.lines[1].y = Units(200);
  s0.strips = {Strip(-300, -300, 2), Strip(-100, -120, 0, -1), Strip(0, 0, 9, 0), Strip(100, 100, 3)};
  s0.strips[2].is_wall = true;  // skipped, so its unknown kind never matters
  s0.walls = {Wall(100, 100, 2), Wall(-400, -400, 0)};

  HandSection& s1 = t->Add(true, Units(1571), 2);
  s1.centre_x = Units(1000);
  s1.centre_y = Units(500);
  s1.angle = 180.0;
  s1.lines[0] = Altitude(100, 0, 0, 0);
  s1.lines[0].radius = Units(500);
  s1.lines[1] = Altitude(-3, 0, 0, -157);
  s1.lines[1].radius = Units(300);

  HandSection& s2 = t->Add(false, Units(1000), 2);
  s2.heading = -180.0;
  s2.lines[0] = Altitude(100, 0, 0, -60);
  s2.lines[0].x = Units(1000);
  s2.lines[0].y = Units(1000);
  s2.lines[1] = Altitude(0, 5, -4, 1);
  s2.walls = {Wall(500, 450, 4)};

  HandSection& s3 = t->Add(true, Units(1571), 2);
  s3.heading = -180.0;
  s3.centre_x = Units(0);
  s3.centre_y = Units(500);
  s3.angle = -180.0;
  s3.lines[0] = Altitude(40, 0, 0, -40);
  s3.lines[0].radius = Units(500);
  s3.lines[1] = Altitude(12, 0, 0, -5);
  s3.strips = {Strip(-500, -500, 5), Strip(0, 10, 1)};
  return t;
}

void PutWords(std::vector<uint8_t>& out, std::initializer_list<int64_t> words) {
  FieldWriter w(out);
  for (int64_t v : words) w.U32(static_cast<uint32_t>(v));
}

}  // namespace

TEST_F(XQTrkFileTest, StadiumIsWrittenByteForByte) {
  Handle<TrkFile> source(Stadium());
  XQTrkFile xq(Output(), source);
  xq.Write();

  std::vector<uint8_t> expected;
  PutWords(expected, {0x58510000, 1, 1, 0, 4, 2});  // header
  PutWords(expected, {0, 200});                      // laterals
  const std::vector<int64_t> no_surface(40, 0);
  // Section 0: straight after a curve, so it carries the curve's end radial.
  PutWords(expected, {1, 1, 3, 0, 0, 1000, 0, 0, 1000, 0, 0, 500, 0, 500, 0, 0, 0});
  PutWords(expected, {100, 816, -3, 82});
  PutWords(expected, {5, 8, 12, -400, -400, 2, 12, -300, -300, 5, 12, -100, -120,
                      7, 14, 100, 100, 0, 12, 100, 100});
  for (int i = 0; i < 5; ++i) PutWords(expected, {0, 0, 0, 0});
  // Section 1: left half circle about (1000, 500).
  PutWords(expected, {2, 2, 0, 1000, 0, 1000, 1000, 1000, 1571, 1000, 500, 500, 0, -500, 0, 500, 0});
  PutWords(expected, {100, 0, 0, -815});
  PutWords(expected, {0});
  for (int i = 0; i < 10; ++i) PutWords(expected, {0, 0, 0, 0});
  // Section 2: straight after a curve.
  PutWords(expected, {1, 3, 1, 1000, 1000, 0, 1000, 2571, 1000, 0, 0, -500, 0, -500, 0, 0, 0});
  PutWords(expected, {40, -491, 12, 65});
  PutWords(expected, {1, 8, 12, 500, 450});
  for (int i = 0; i < 9; ++i) PutWords(expected, {0, 0, 0, 0});
  // Section 3: negative angle, so a negative radius; it ends at section 0.
  PutWords(expected, {2, 0, 2, 0, 1000, 0, 0, 3571, 1571, 0, 500, -500, 0, 500, 0, -500, 0});
  PutWords(expected, {0, -208, 7, -26});
  PutWords(expected, {2, 2, 12, -500, -500, 5, 12, 0, 10});
  for (int i = 0; i < 8; ++i) PutWords(expected, {0, 0, 0, 0});

  const std::vector<uint8_t> written = WrittenBytes();
  ASSERT_EQ(written.size(), 24u + 4 * 2 + 4 * (232 + 8 * 2));
  ASSERT_EQ(expected.size(), written.size());
  for (std::size_t b = 0; b < expected.size(); b += 4)
    EXPECT_EQ(LoadI32(&written[b]), LoadI32(&expected[b])) << "at offset " << b;
  EXPECT_EQ(written[0], 0x00);
  EXPECT_EQ(written[1], 0x00);
  EXPECT_EQ(written[2], 0x51);
  EXPECT_EQ(written[3], 0x58);
  EXPECT_EQ(xq.FileSize(), written.size());
}

TEST_F(XQTrkFileTest, WritingAgainRewritesTheSameBytesFromTheStart) {
  Handle<TrkFile> source(Stadium());
  XQTrkFile xq(Output(), source);
  xq.Write();
  const std::vector<uint8_t> first = WrittenBytes();
  xq.Write();
  EXPECT_EQ(WrittenBytes(), first);
}

TEST_F(XQTrkFileTest, OneSectionTrackClosesOnItself) {
  HandTrack* t = new HandTrack;
  t->laterals = {Units(-50), Units(50)};
  HandLine line;
  line.x = Units(300);
  line.y = Units(-40);
  line.start = Units(25);
  t->Add(false, Units(777), 2, line);
  Handle<TrkFile> source(t);
  XQTrkFile xq(Output(), source);
  xq.Write();

  const XQSection& s = xq.Sections()[0];
  // Lateral 0 lies 50 units left of line 0: the straight shifts it sideways.
  EXPECT_EQ(s.start_x, 300);
  EXPECT_EQ(s.start_y, 10);
  EXPECT_EQ(s.end_x, s.start_x);
  EXPECT_EQ(s.end_y, s.start_y);
  EXPECT_EQ(s.length, 777);
  EXPECT_EQ(xq.Samples()[0].altitude, 25);  // the section's own start

  const std::vector<uint8_t> bytes = WrittenBytes();
  const std::size_t record = 24 + 4 * 2;
  EXPECT_EQ(LoadU32(&bytes[record + 4]), 0u);  // next
  EXPECT_EQ(LoadU32(&bytes[record + 8]), 0u);  // previous
}

TEST_F(XQTrkFileTest, CurvesKeepTheirSignAndHandTheirRadialOn) {
  HandTrack* t = new HandTrack;
  t->laterals = {Units(0)};
  // A right-hand quarter circle about (0, 0) from (0, 1000) to (1000, 0),
  // then two straights.
  // A right-hand curve stores its radius negative.
  HandLine arc;
  arc.radius = Units(-1000);
  HandSection& curve = t->Add(true, Units(1571), 1, arc);
  curve.angle = -90.0;
  curve.heading = 0.0;
  HandLine after;
  after.x = Units(1000);
  t->Add(false, Units(500), 1, after).heading = -90.0;
  HandLine later;
  later.x = Units(1000);
  later.y = Units(-500);
  t->Add(false, Units(500), 1, later).heading = -90.0;
  Handle<TrkFile> source(t);
  XQTrkFile xq(Output(), source);

  const XQSection& c = xq.Sections()[0];
  EXPECT_EQ(c.start_x, 0);
  EXPECT_EQ(c.start_y, 1000);
  EXPECT_EQ(c.end_x, 1000);
  EXPECT_EQ(c.end_y, 0);
  EXPECT_EQ(c.radius, -1000);
  EXPECT_EQ(c.start_radial_y, -1000);
  EXPECT_EQ(c.start_radial_x, 0);
  EXPECT_EQ(c.end_radial_y, 0);
  EXPECT_EQ(c.end_radial_x, 1000);

  const XQSection& first_straight = xq.Sections()[1];
  EXPECT_EQ(first_straight.start_radial_y, 0);
  EXPECT_EQ(first_straight.end_radial_y, 0);
  EXPECT_EQ(first_straight.start_radial_x, 1000);
  EXPECT_EQ(first_straight.end_radial_x, 1000);
  EXPECT_EQ(first_straight.radius, 0);
  EXPECT_EQ(first_straight.centre_x, 0);

  const XQSection& second_straight = xq.Sections()[2];
  EXPECT_EQ(second_straight.start_radial_x, 0);
  EXPECT_EQ(second_straight.end_radial_x, 0);
}

TEST_F(XQTrkFileTest, RadiusIsTheRoundedMeanOfBothEndDistances) {
  HandTrack* t = new HandTrack;
  t->laterals = {Units(0)};
  // Centre (0, 0); start (0, -300) at distance 300; the next section starts
  // at (400, 1) at distance 400.00125: (300 + 400 + 1) / 2 = 350.
  HandLine arc;
  arc.radius = Units(300);
  t->Add(true, Units(600), 1, arc).angle = 90.0;
  HandLine next;
  next.x = Units(400);
  next.y = Units(1);
  t->Add(false, Units(100), 1, next);
  Handle<TrkFile> source(t);
  XQTrkFile xq(Output(), source);
  EXPECT_EQ(xq.Sections()[0].start_y, -300);
  EXPECT_EQ(xq.Sections()[0].radius, 350);
}

TEST_F(XQTrkFileTest, GradeIsTheEndSlopeAsAnAngle) {
  HandTrack* t = new HandTrack;
  t->laterals = {Units(0), Units(10), Units(20)};
  HandSection& s = t->Add(false, Units(1000), 3);
  s.lines[0] = Altitude(0, 0, 0, 0);            // level
  s.lines[1] = Altitude(0, 0, 0, 1000);         // 45 degrees up
  s.lines[2] = Altitude(0, -100, 0, -700);      // 3a + c = -1000: 45 down
  t->Add(false, Units(1000), 3);
  Handle<TrkFile> source(t);
  XQTrkFile xq(Output(), source);
  EXPECT_EQ(xq.Samples()[0].grade, 0);
  EXPECT_EQ(xq.Samples()[1].grade, 6429);  // 45 * 1000 / 7 = 6428.57
  EXPECT_EQ(xq.Samples()[2].grade, -6429);
}

// ---- Order of a section's records ----

TEST_F(XQTrkFileTest, CrossingLinesKeepTheOrderTheInsertionGives) {
  // (0, 100) and (50, 40) cross, so each comes before the other: the later
  // one moves in front whichever it is.
  HandTrack* t = StraightLoop(2);
  t->sections[0].strips = {Strip(0, 100, 3), Strip(50, 40, 3)};
  t->sections[1].strips = {Strip(50, 40, 3), Strip(0, 100, 3)};
  Handle<TrkFile> source(t);
  XQTrkFile xq(Output(), source);
  using L = std::vector<std::pair<int32_t, int32_t>>;
  EXPECT_EQ(Lines(xq, 0), (L{{50, 40}, {0, 100}}));
  EXPECT_EQ(Lines(xq, 1), (L{{0, 100}, {50, 40}}));
}

TEST_F(XQTrkFileTest, ARecordBeforeTheFirstGoesStraightToTheFront) {
  // After the first two the run is (50,50) (0,100). (40,200) comes before
  // (50,50) but not before (0,100): it still jumps to the front.
  HandTrack* t = StraightLoop(1);
  t->sections[0].strips = {Strip(0, 100, 3), Strip(50, 50, 3), Strip(40, 200, 3)};
  Handle<TrkFile> source(t);
  XQTrkFile xq(Output(), source);
  using L = std::vector<std::pair<int32_t, int32_t>>;
  EXPECT_EQ(Lines(xq, 0), (L{{40, 200}, {50, 50}, {0, 100}}));
}

TEST_F(XQTrkFileTest, ARecordStopsBehindTheFirstItDoesNotComeBefore) {
  HandTrack* t = StraightLoop(1);
  t->sections[0].strips = {Strip(0, 0, 3), Strip(10, 200, 3), Strip(20, 100, 3), Strip(30, 300, 3)};
  Handle<TrkFile> source(t);
  XQTrkFile xq(Output(), source);
  using L = std::vector<std::pair<int32_t, int32_t>>;
  EXPECT_EQ(Lines(xq, 0), (L{{0, 0}, {20, 100}, {10, 200}, {30, 300}}));
}

TEST_F(XQTrkFileTest, WallsGoInFrontOfSurfacesAndEarlierWallsOnTheSameLine) {
  HandTrack* t = StraightLoop(2);
  t->sections[0].strips = {Strip(5, 5, 3), Strip(5, 5, 2), Strip(-5, -5, 1)};
  t->sections[0].walls = {Wall(5, 5, 0), Wall(5, 5, 1)};
  // Surfaces on one line keep their order.
  t->sections[1].strips = {Strip(7, 7, 2), Strip(7, 7, 3), Strip(7, 7, 1)};
  Handle<TrkFile> source(t);
  XQTrkFile xq(Output(), source);
  EXPECT_EQ(Types(xq, 0), (std::vector<uint32_t>{5, 7, 8, 0, 2}));
  EXPECT_EQ(Types(xq, 1), (std::vector<uint32_t>{2, 0, 5}));
}

// ---- Surface and wall tables, the limit of ten ----

TEST_F(XQTrkFileTest, SurfaceAndWallKindsMapToTypesAndFlags) {
  HandTrack* t = StraightLoop(2);
  t->sections[0].strips = {Strip(0, 0, 0, 0), Strip(1, 1, 0, -1), Strip(2, 2, 1, -2), Strip(3, 3, 2),
                           Strip(4, 4, 3), Strip(5, 5, 4), Strip(6, 6, 5, -1)};
  for (int kind = 0; kind <= 5; ++kind) t->sections[1].walls.push_back(Wall(10 * kind, 10 * kind, kind));
  Handle<TrkFile> source(t);
  XQTrkFile xq(Output(), source);
  EXPECT_EQ(Types(xq, 0), (std::vector<uint32_t>{6, 5, 5, 2, 0, 2, 2}));
  for (uint32_t k = 0; k < 7; ++k) EXPECT_EQ(xq.Surfaces()[k].flags, 12u);
  EXPECT_EQ(Types(xq, 1), (std::vector<uint32_t>{8, 7, 7, 8, 8, 7}));
  std::vector<uint32_t> flags;
  for (uint32_t k = 7; k < 13; ++k) flags.push_back(xq.Surfaces()[k].flags);
  EXPECT_EQ(flags, (std::vector<uint32_t>{12, 12, 14, 12, 12, 14}));
}

TEST_F(XQTrkFileTest, UnknownKindsAreRefusedNamingTheOutput) {
  for (int kind : {6, -1, 100}) {
    HandTrack* t = StraightLoop(2);
    t->sections[1].strips = {Strip(0, 0, kind)};
    EXPECT_EQ(RefusalFor(t), Message(": XQ trk unsupported surface type")) << kind;
    t = StraightLoop(2);
    t->sections[1].walls = {Wall(0, 0, kind)};
    EXPECT_EQ(RefusalFor(t), Message(": XQ trk unsupported wall type")) << kind;
  }
}

TEST_F(XQTrkFileTest, TenRecordsFitAndTheEleventhIsRefused) {
  auto full = [] {
    HandTrack* t = StraightLoop(1);
    for (int k = 0; k < 6; ++k) t->sections[0].strips.push_back(Strip(k, k, 3));
    for (int w = 0; w < 4; ++w) t->sections[0].walls.push_back(Wall(w, w, 1));
    return t;
  };
  EXPECT_EQ(RefusalFor(full()), "");

  HandTrack* walls_skipped = full();
  HandStrip wall_strip = Strip(0, 0, 99);
  wall_strip.is_wall = true;
  walls_skipped->sections[0].strips.push_back(wall_strip);
  EXPECT_EQ(RefusalFor(walls_skipped), "");

  HandTrack* extra_wall = full();
  extra_wall->sections[0].walls.push_back(Wall(9, 9, 1));
  EXPECT_EQ(RefusalFor(extra_wall), Message(": XQ trk file supports too few surfaces"));

  HandTrack* extra_surface = full();
  extra_surface->sections[0].walls.pop_back();
  extra_surface->sections[0].strips.push_back(Strip(9, 9, 3));
  extra_surface->sections[0].strips.push_back(Strip(9, 9, 3));
  EXPECT_EQ(RefusalFor(extra_surface), Message(": XQ trk file supports too few surfaces"));

  // The kind is mapped before the count is tested.
  HandTrack* bad_wall = full();
  bad_wall->sections[0].walls.push_back(Wall(9, 9, 6));
  EXPECT_EQ(RefusalFor(bad_wall), Message(": XQ trk unsupported wall type"));
  HandTrack* bad_surface = full();
  bad_surface->sections[0].walls.clear();
  for (int k = 0; k < 4; ++k) bad_surface->sections[0].strips.push_back(Strip(k, k, 3));
  bad_surface->sections[0].strips.push_back(Strip(9, 9, 7));
  EXPECT_EQ(RefusalFor(bad_surface), Message(": XQ trk unsupported surface type"));
}

// ---- Input that cannot be expressed ----

TEST_F(XQTrkFileTest, ValuesBeyondThirtyTwoBitsAreRefused) {
  const std::string out_of_range = Message(": XQ trk value out of range");
  HandTrack* wide = StraightLoop(1);
  wide->laterals = {Units(0), 1e9};
  wide->sections[0].lines.resize(2);
  EXPECT_EQ(RefusalFor(wide), out_of_range);

  HandTrack* nan_altitude = StraightLoop(2);
  nan_altitude->sections[1].lines[0].start = std::numeric_limits<double>::quiet_NaN();
  EXPECT_EQ(RefusalFor(nan_altitude), out_of_range);

  HandTrack* nan_slope = StraightLoop(2);
  nan_slope->sections[0].lines[0].linear = std::numeric_limits<double>::quiet_NaN();
  EXPECT_EQ(RefusalFor(nan_slope), out_of_range);

  HandTrack* inf_strip = StraightLoop(1);
  inf_strip->sections[0].strips = {Strip(0, 0, 3)};
  inf_strip->sections[0].strips[0].from_end = -std::numeric_limits<double>::infinity();
  EXPECT_EQ(RefusalFor(inf_strip), out_of_range);

  // Each point fits, but the radial from the centre to the end does not.
  HandTrack* far_centre = new HandTrack;
  far_centre->laterals = {Units(0)};
  HandLine arc;
  arc.radius = Units(1000);
  HandSection& c = far_centre->Add(true, Units(100), 1, arc);
  c.angle = 10;
  c.centre_y = Units(2000000000);
  HandLine far;
  far.y = Units(-1000000000);
  far_centre->Add(false, Units(100), 1, far);
  EXPECT_EQ(RefusalFor(far_centre), out_of_range);
}

TEST_F(XQTrkFileTest, ATrackWithoutSectionsIsItsHeaderAndLateralsAlone) {
  HandTrack* empty = new HandTrack;
  empty->laterals = {Units(-5), Units(7)};
  Handle<TrkFile> source(empty);
  XQTrkFile xq(Output(), source);
  xq.Write();
  std::vector<uint8_t> expected;
  PutWords(expected, {0x58510000, 1, 1, 0, 0, 2, -5, 7});
  EXPECT_EQ(WrittenBytes(), expected);
}

TEST_F(XQTrkFileTest, SectionsWithoutLateralLinesAreRefused) {
  // A section's start point is placed on the lateral lines.
  HandTrack* flat = new HandTrack;
  flat->Add(false, Units(100), 0);
  EXPECT_EQ(RefusalFor(flat), Message(": XQ trk file needs at least one lateral"));
}

namespace {
// Claims more laterals than a 32-bit file can hold, without holding them.
class HugeTrack : public HandTrack {
 public:
  uint32_t LateralCount() const override { return 0x40000000u; }
};
}  // namespace

TEST_F(XQTrkFileTest, WritingWithoutAnOutputFileIsRefused) {
  Handle<TrkFile> source(Stadium());
  XQTrkFile xq(Handle<SubFile>(), source);
  EXPECT_THROW(xq.Write(), XAssumption);
}

TEST_F(XQTrkFileTest, TracksTooLargeForTheFormatAreRefusedBeforeAnythingIsRead) {
  HugeTrack* t = new HugeTrack;
  t->Add(false, Units(100), 0);
  EXPECT_EQ(RefusalFor(t), Message(": XQ trk file too large"));
}

namespace {
class ThrowingTrack : public HandTrack {
 public:
  int SurfaceKind(uint32_t, uint32_t) const override { throw XAssumption("beta.trk: code"); }
};
}  // namespace

TEST_F(XQTrkFileTest, ErrorsOfTheSourcePassThroughUnchanged) {
  ThrowingTrack* t = new ThrowingTrack;
  t->laterals = {Units(0)};
  t->Add(false, Units(100), 1).strips = {Strip(0, 0, 3)};
  EXPECT_EQ(RefusalFor(t), "beta.trk: code");
}

// ---- Queries answered from the integer form ----

TEST_F(XQTrkFileTest, QueriesAnswerFromTheStoredIntegers) {
  Handle<TrkFile> source(Stadium());
  XQTrkFile xq(Output(), source);
  EXPECT_EQ(LengthToUnits(xq.TrackLength()), 5142);
  EXPECT_EQ(LengthToUnits(xq.SectionStart(2)), 2571);
  EXPECT_EQ(LengthToUnits(xq.CurveCentreX(1)), 1000);
  EXPECT_EQ(LengthToUnits(xq.SurfaceFromAtStart(0, 1)), -300);
  // No record carries the query bit, so no strip or wall is reported, and
  // asking past that finds nothing instead of reading beyond the run.
  EXPECT_EQ(xq.SurfaceCount(0), 0u);
  // A boundary ends where the run's next record begins; the last one has
  // no wall to end at.
  EXPECT_EQ(LengthToUnits(xq.SurfaceToAtStart(0, 0)), -300);
  EXPECT_EQ(LengthToUnits(xq.SurfaceToAtEnd(0, 0)), -300);
  EXPECT_EQ(xq.SurfaceToAtStart(0, 4), 0.0);
  EXPECT_EQ(xq.SurfaceToAtEnd(0, 4), 0.0);
  EXPECT_EQ(xq.WallFromAtEnd(0, 3), 0.0);
  EXPECT_EQ(xq.SurfaceFromAtStart(0, 10), 0.0);
}

// ---- Through the atomic output the driver writes with ----

TEST(XQTrkFileOutputTest, ARefusalNamesTheFinalFileAndLeavesTheOldOneAlone) {
  testing_support::TempDir dir;
  testing_support::ScopedCurrentDirectory here(dir.path());
  testing_support::WriteText(dir / "alpha.xq", "older output");
  HandTrack* t = StraightLoop(2);
  t->sections[1].walls = {Wall(0, 0, 6)};
  Handle<TrkFile> source(t);
  std::string message;
  try {
    AtomicOutput output("alpha.xq");
    XQTrkFile xq(output.File(), source);
  } catch (const XAssumption& e) {
    message = e.what();
  }
  EXPECT_EQ(message, "alpha.xq: XQ trk unsupported wall type");
  EXPECT_EQ(testing_support::ListNames(dir.path()), std::vector<std::string>{"alpha.xq"});
  const std::vector<uint8_t> old = testing_support::ReadBytes(dir / "alpha.xq");
  EXPECT_EQ(std::string(old.begin(), old.end()), "older output");
}
