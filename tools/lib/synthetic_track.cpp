#include "tools/lib/synthetic_track.h"

#include <algorithm>
#include <cmath>

#include "trackconv/foundation/errors.h"

namespace {

// splitmix64: tiny, and the same sequence on every compiler and library,
// which the standard distributions do not promise.
class Random {
 public:
  explicit Random(uint64_t seed) : state_(seed) {}
  uint64_t Next() {
    uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
  }
  /// Uniform in [low, high].
  int32_t Between(int32_t low, int32_t high) {
    const uint64_t span = static_cast<uint64_t>(static_cast<int64_t>(high) - low) + 1;
    return static_cast<int32_t>(low + static_cast<int64_t>(Next() % span));
  }
  bool Chance(uint32_t percent) { return Next() % 100 < percent; }

 private:
  uint64_t state_;
};

int32_t Metres(double m) { return LengthToUnits(m); }

// Smallest prime factor; the track repeats a unit of sections that many
// times, each copy turned by a full circle divided by the factor, so the
// copies cancel out and the track closes on itself.
uint32_t SmallestFactor(uint32_t n) {
  for (uint32_t f = 2; f * f <= n; ++f) {
    if (n % f == 0) return f;
  }
  return n;
}

struct Piece {
  int shape;        // 0 straight, 1 left curve, -1 right curve
  int32_t length;   // straights
  int32_t radius;   // curves, centre line
  int32_t turn;     // curves, turn units
};

std::vector<Piece> MakeUnit(Random& random, uint32_t count, int64_t unit_turn,
                            int32_t min_radius) {
  std::vector<Piece> unit(count);
  uint32_t lefts = 0, rights = 0;
  for (Piece& piece : unit) {
    const uint32_t roll = static_cast<uint32_t>(random.Next() % 6);
    piece.shape = roll < 2 ? 0 : roll < 5 ? 1 : -1;
    // Right curves never outnumber left ones, which keeps every left turn
    // well below a full circle.
    if (piece.shape == -1 && rights >= lefts) piece.shape = 0;
    if (piece.shape == 1) ++lefts;
    if (piece.shape == -1) ++rights;
  }
  if (lefts == 0) {
    unit.back().shape = 1;
    lefts = 1;
  }
  int64_t right_total = 0;
  for (Piece& piece : unit) {
    piece.length = Metres(8.0) + random.Between(0, Metres(17.0));
    piece.radius = min_radius + random.Between(0, Metres(40.0));
    if (piece.shape == -1) {
      piece.turn = -TurnToUnits(5.0 + random.Between(0, 15));
      right_total += -static_cast<int64_t>(piece.turn);
    }
  }
  // Left curves share what the unit must turn, by random weights; the last
  // one takes the rounding remainder so the unit turns exactly.
  std::vector<int64_t> weights;
  int64_t weight_total = 0;
  for (Piece& piece : unit) {
    if (piece.shape != 1) continue;
    weights.push_back(random.Between(1, 8));
    weight_total += weights.back();
  }
  const int64_t left_total = unit_turn + right_total;
  int64_t given = 0;
  std::size_t left_index = 0;
  for (Piece& piece : unit) {
    if (piece.shape != 1) continue;
    int64_t share = left_total * weights[left_index] / weight_total;
    if (++left_index == weights.size()) share = left_total - given;
    given += share;
    piece.turn = static_cast<int32_t>(share);
  }
  return unit;
}

}  // namespace

std::vector<SurfaceStyle> AllSurfaceStyles() {
  return {{0, 0}, {0, -4}, {1, 0}, {2, 0}, {3, 0}, {4, 0}, {5, 0}, {6, 0}};
}

std::vector<SurfaceStyle> MotaSurfaceStyles() {
  return {{0, 0}, {0, -8}, {1, 0}, {1, -22}, {2, 0},  {2, -15},
          {3, 0}, {3, -6}, {4, 0}, {4, -15}, {5, 0}, {5, -6}};
}

std::vector<SurfaceStyle> ConvertibleSurfaceStyles() {
  std::vector<SurfaceStyle> styles = AllSurfaceStyles();
  styles.erase(std::remove_if(styles.begin(), styles.end(),
                              [](const SurfaceStyle& style) { return style.kind > 5; }),
               styles.end());
  return styles;
}

SyntheticTrack::SyntheticTrack(const SyntheticTrackOptions& options)
    : TrkFile(Handle<SubFile>()) {
  Random random(0x5EED0000ull ^ (static_cast<uint64_t>(options.seed) << 17) ^ options.seed);
  const uint32_t section_count = options.sections;
  const uint32_t lateral_count = options.laterals;

  // Lateral lines: evenly spread about the centre line, about 3 m apart.
  const int32_t spacing = Metres(2.5) + random.Between(0, Metres(1.0));
  for (uint32_t j = 0; j < lateral_count; ++j) {
    lateral_offsets.push_back(static_cast<int32_t>(
        (2 * static_cast<int64_t>(j) - (static_cast<int64_t>(lateral_count) - 1)) * spacing / 2));
  }
  const int32_t half_width = lateral_count ? -lateral_offsets.front() : 0;
  const int32_t edge = half_width + Metres(1.0);
  const int32_t min_radius = edge + Metres(15.0);

  // Plan: a unit of sections repeated `copies` times, each copy turned by
  // 360 / copies degrees (2^31 turn units make a full circle).
  std::vector<Piece> pieces;
  if (section_count == 1) {
    // A lone curve must turn a full circle; -360 degrees is the only one
    // the turn integer holds.
    pieces.push_back({-1, 0, min_radius + Metres(20.0), INT32_MIN});
  } else if (section_count > 1) {
    const uint32_t copies = SmallestFactor(section_count);
    const int64_t unit_turn = (int64_t{1} << 31) / copies;
    const std::vector<Piece> unit =
        MakeUnit(random, section_count / copies, unit_turn, min_radius);
    for (uint32_t c = 0; c < copies; ++c) pieces.insert(pieces.end(), unit.begin(), unit.end());
  }

  double x = 0.0, y = 0.0;
  uint32_t heading = static_cast<uint32_t>(random.Next());
  int64_t start = 0;
  const uint32_t named_words[] = {0x07070707u, 0x08080808u, 0x40000000u, 0xCCCCCCCCu};
  for (uint32_t i = 0; i < section_count; ++i) {
    const Piece& piece = pieces[i];
    Section section;
    section.curve = piece.shape != 0;
    section.proximity = random.Chance(30);
    section.start = static_cast<int32_t>(start);
    section.heading = static_cast<int32_t>(heading);
    for (uint32_t& word : section.words) {
      word = random.Chance(50) ? named_words[random.Next() % 4]
                               : static_cast<uint32_t>(random.Next());
    }
    const double h = DegToRad(HeadingFromUnits(section.heading));
    std::vector<Line> section_lines(lateral_count);
    if (!section.curve) {
      section.length = piece.length;
      for (uint32_t j = 0; j < lateral_count; ++j) {
        const double offset = LengthFromUnits(lateral_offsets[j]);
        section_lines[j].position1 = Metres(x - std::sin(h) * offset);
        section_lines[j].position2 = Metres(y + std::cos(h) * offset);
      }
      const double length = LengthFromUnits(section.length);
      x += std::cos(h) * length;
      y += std::sin(h) * length;
    } else {
      section.turn = piece.turn;
      const double radius = LengthFromUnits(piece.radius);
      const double angle = TurnFromUnits(piece.turn);
      const double side = angle > 0 ? 1.0 : -1.0;
      const double cx = x - side * std::sin(h) * radius;
      const double cy = y + side * std::cos(h) * radius;
      section.centre_x = Metres(cx);
      section.centre_y = Metres(cy);
      section.length = LengthToUnits(radius * std::fabs(DegToRad(angle)));
      for (uint32_t j = 0; j < lateral_count; ++j) {
        section_lines[j].position1 = angle > 0 ? piece.radius - lateral_offsets[j]
                                               : -(piece.radius + lateral_offsets[j]);
      }
      const double phi = DegToRad(HeadingFromUnits(section.heading) + angle - side * 90.0);
      x = cx + std::cos(phi) * radius;
      y = cy + std::sin(phi) * radius;
      // A heading integer is a turn integer counted twice as finely.
      heading += 2u * static_cast<uint32_t>(piece.turn);
    }
    start += section.length;
    if (start > INT32_MAX) throw XGeneral("synthetic track longer than a track length can hold");
    sections.push_back(section);
    lines.push_back(section_lines);
  }
  track_length = static_cast<int32_t>(start);

  // Altitude: a few rolling hills along the lap, banked across the track;
  // each section's cubic adds a small random bulge.
  const double waves = 1 + random.Between(0, 3);
  const double phase = random.Between(0, 359);
  for (uint32_t i = 0; i < section_count; ++i) {
    const double lap = track_length ? static_cast<double>(sections[i].start) / track_length : 0.0;
    const int32_t hill = Metres(3.0 * std::sin(2 * Pi * waves * lap + DegToRad(phase)));
    const int32_t bank = random.Between(-4, 4);
    for (uint32_t j = 0; j < lateral_count; ++j) {
      Line& line = lines[i][j];
      line.d = hill + lateral_offsets[j] / 64 * bank;
      line.a = random.Between(-Metres(0.1), Metres(0.1));
      line.b = random.Between(-Metres(0.1), Metres(0.1));
    }
  }
  CloseAltitudes();

  // Strips cover the lateral lines with a metre to spare on each side; the
  // inner boundaries wander a little, and the ends differ from the starts
  // so strips widen and narrow.
  const uint32_t strip_count = options.surfaces;
  uint32_t style_index = 0;
  uint32_t wall_kind_index = 0;
  for (uint32_t i = 0; i < section_count; ++i) {
    std::vector<int32_t> at_start(strip_count + 1), at_end(strip_count + 1);
    const int32_t span = 2 * edge;
    for (uint32_t k = 0; k <= strip_count; ++k) {
      const int32_t even = strip_count ? static_cast<int32_t>(-edge + static_cast<int64_t>(span) * k / strip_count) : -edge;
      const int32_t wobble = strip_count ? span / static_cast<int32_t>(strip_count) / 5 : 0;
      at_start[k] = even + random.Between(-wobble, wobble);
      at_end[k] = even + random.Between(-wobble, wobble);
    }
    std::vector<Strip> section_strips;
    for (uint32_t k = 0; k < strip_count; ++k) {
      Strip strip;
      strip.from_start = at_start[k];
      strip.from_end = at_end[k];
      strip.to_start = at_start[k + 1];
      strip.to_end = at_end[k + 1];
      strip.height = random.Chance(50) ? 0 : random.Between(0, Metres(0.3));
      if (!options.surface_styles.empty()) {
        const SurfaceStyle& style =
            options.surface_styles[style_index++ % options.surface_styles.size()];
        strip.kind = style.kind;
        strip.variant = style.variant;
      }
      section_strips.push_back(strip);
    }
    strips.push_back(section_strips);

    // Walls: the first stands on the inner edge of the strips, the last on
    // the outer edge, any others evenly between.
    std::vector<Wall> section_walls;
    for (uint32_t w = 0; w < options.walls; ++w) {
      Wall wall;
      if (w == 0) {
        wall.from_start = at_start.front();
        wall.from_end = at_end.front();
      } else if (w + 1 == options.walls) {
        wall.from_start = at_start.back();
        wall.from_end = at_end.back();
      } else {
        wall.from_start = wall.from_end = static_cast<int32_t>(
            -edge + static_cast<int64_t>(span) * w / (options.walls - 1));
      }
      const int32_t thickness = options.thin_walls ? 0 : Metres(0.3);
      wall.to_start = wall.from_start + thickness;
      wall.to_end = wall.from_end + thickness;
      wall.height = Metres(1.0) + random.Between(0, Metres(2.0));
      if (!options.wall_kinds.empty()) {
        wall.kind = options.wall_kinds[wall_kind_index++ % options.wall_kinds.size()];
      }
      section_walls.push_back(wall);
    }
    walls.push_back(section_walls);
  }
}

void SyntheticTrack::CloseAltitudes() {
  const std::size_t count = sections.size();
  for (std::size_t i = 0; i < count; ++i) {
    const std::size_t next = i + 1 < count ? i + 1 : 0;
    for (std::size_t j = 0; j < lines[i].size(); ++j) {
      Line& line = lines[i][j];
      // Computed modulo 2^32 like the formats' own builders, so odd data
      // cannot overflow.
      line.c = static_cast<int32_t>(static_cast<uint32_t>(lines[next][j].d) -
                                    static_cast<uint32_t>(line.d) -
                                    static_cast<uint32_t>(line.a) -
                                    static_cast<uint32_t>(line.b));
    }
  }
}

double SyntheticTrack::TrackLength() const { return LengthFromUnits(track_length); }
uint32_t SyntheticTrack::LateralCount() const { return static_cast<uint32_t>(lateral_offsets.size()); }
double SyntheticTrack::LateralOffset(uint32_t j) const { return LengthFromUnits(lateral_offsets[j]); }
uint32_t SyntheticTrack::SectionCount() const { return static_cast<uint32_t>(sections.size()); }
bool SyntheticTrack::IsCurve(uint32_t i) const { return sections[i].curve; }
bool SyntheticTrack::SectionProximity(uint32_t i) const { return sections[i].proximity; }
double SyntheticTrack::SectionStart(uint32_t i) const { return LengthFromUnits(sections[i].start); }
double SyntheticTrack::SectionLength(uint32_t i) const { return LengthFromUnits(sections[i].length); }
double SyntheticTrack::SectionHeading(uint32_t i) const { return HeadingFromUnits(sections[i].heading); }
double SyntheticTrack::CurveCentreX(uint32_t i) const { return LengthFromUnits(sections[i].centre_x); }
double SyntheticTrack::CurveCentreY(uint32_t i) const { return LengthFromUnits(sections[i].centre_y); }
double SyntheticTrack::CurveAngle(uint32_t i) const { return TurnFromUnits(sections[i].turn); }
uint32_t SyntheticTrack::SectionWordCount(uint32_t i) const { return sections[i].curve ? 2 : 1; }
const char* SyntheticTrack::SectionWordName(uint32_t i, uint32_t m) const {
  return TrkFile::SectionWordName(i, m);
}
uint32_t SyntheticTrack::SectionWord(uint32_t i, uint32_t m) const {
  return m < SectionWordCount(i) ? sections[i].words[m] : 0;
}
double SyntheticTrack::AltitudeStart(uint32_t i, uint32_t j) const { return LengthFromUnits(lines[i][j].d); }
double SyntheticTrack::AltitudeLinear(uint32_t i, uint32_t j) const { return LengthFromUnits(lines[i][j].c); }
double SyntheticTrack::AltitudeQuadratic(uint32_t i, uint32_t j) const { return LengthFromUnits(lines[i][j].b); }
double SyntheticTrack::AltitudeCubic(uint32_t i, uint32_t j) const { return LengthFromUnits(lines[i][j].a); }
double SyntheticTrack::LineStartX(uint32_t i, uint32_t j) const { return LengthFromUnits(lines[i][j].position1); }
double SyntheticTrack::LineStartY(uint32_t i, uint32_t j) const { return LengthFromUnits(lines[i][j].position2); }
double SyntheticTrack::LineRadius(uint32_t i, uint32_t j) const { return LengthFromUnits(lines[i][j].position1); }
uint32_t SyntheticTrack::LineWordCount(uint32_t, uint32_t) const { return 0; }
uint32_t SyntheticTrack::LineWord(uint32_t, uint32_t, uint32_t) const { return 0; }
uint32_t SyntheticTrack::SurfaceCount(uint32_t i) const { return static_cast<uint32_t>(strips[i].size()); }
double SyntheticTrack::SurfaceFromAtStart(uint32_t i, uint32_t k) const { return LengthFromUnits(strips[i][k].from_start); }
double SyntheticTrack::SurfaceFromAtEnd(uint32_t i, uint32_t k) const { return LengthFromUnits(strips[i][k].from_end); }
double SyntheticTrack::SurfaceToAtStart(uint32_t i, uint32_t k) const { return LengthFromUnits(strips[i][k].to_start); }
double SyntheticTrack::SurfaceToAtEnd(uint32_t i, uint32_t k) const { return LengthFromUnits(strips[i][k].to_end); }
double SyntheticTrack::SurfaceHeight(uint32_t i, uint32_t k) const { return LengthFromUnits(strips[i][k].height); }
bool SyntheticTrack::SurfaceIsWall(uint32_t, uint32_t) const { return false; }
int SyntheticTrack::SurfaceKind(uint32_t i, uint32_t k) const { return strips[i][k].kind; }
int SyntheticTrack::SurfaceVariant(uint32_t i, uint32_t k) const { return strips[i][k].variant; }
uint32_t SyntheticTrack::SurfaceWordCount(uint32_t, uint32_t) const { return 0; }
uint32_t SyntheticTrack::SurfaceWord(uint32_t, uint32_t, uint32_t) const { return 0; }
const char* SyntheticTrack::SurfaceWordName(uint32_t, uint32_t, uint32_t) const { return nullptr; }
uint32_t SyntheticTrack::WallCount(uint32_t i) const { return static_cast<uint32_t>(walls[i].size()); }
double SyntheticTrack::WallFromAtStart(uint32_t i, uint32_t w) const { return LengthFromUnits(walls[i][w].from_start); }
double SyntheticTrack::WallFromAtEnd(uint32_t i, uint32_t w) const { return LengthFromUnits(walls[i][w].from_end); }
double SyntheticTrack::WallToAtStart(uint32_t i, uint32_t w) const { return LengthFromUnits(walls[i][w].to_start); }
double SyntheticTrack::WallToAtEnd(uint32_t i, uint32_t w) const { return LengthFromUnits(walls[i][w].to_end); }
double SyntheticTrack::WallHeight(uint32_t i, uint32_t w) const { return LengthFromUnits(walls[i][w].height); }
int SyntheticTrack::WallKind(uint32_t i, uint32_t w) const { return walls[i][w].kind; }
uint32_t SyntheticTrack::WallWordCount(uint32_t, uint32_t) const { return 0; }
uint32_t SyntheticTrack::WallWord(uint32_t, uint32_t, uint32_t) const { return 0; }
const char* SyntheticTrack::WallWordName(uint32_t, uint32_t, uint32_t) const { return nullptr; }
void SyntheticTrack::Write() { throw XGeneral("synthetic track has no file format to write"); }
