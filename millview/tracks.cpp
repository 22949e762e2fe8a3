#include "millview/tracks.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>
#include <sstream>

#include "millview/names.h"
#include "trackconv/driver/dat_file.h"
#include "trackconv/foundation/byte_order.h"
#include "trackconv/foundation/errors.h"
#include "trackconv/track/mota_trk_file.h"
#include "trackconv/track/vtr_trk_file.h"
#include "trackconv/track/xq_trk_reader.h"

namespace millview {

namespace {

constexpr uint32_t kVtrVersion = 3000;
/// Width of the drawing area in SVG pixels.
constexpr double kDrawingSize = 900.0;
constexpr double kMargin = 40.0;
constexpr double kLegendHeight = 60.0;
/// Curves are drawn as chords of at most this many degrees.
constexpr double kDegreesPerChord = 3.0;


Handle<TrkFile> ReadTrk(const Handle<SubFile>& file) {
  uint8_t header[8] = {};
  if (file->Size() >= sizeof header) {
    file->Seek(0);
    file->Read(sizeof header, header);
    file->Seek(0);
  }
  if (LoadU32(header + 4) == kVtrVersion) return Handle<TrkFile>(new VTRTrkFile(file));
  return Handle<TrkFile>(new MOTATrkFile(file));
}

struct Point {
  double x, y;
};

/// Longitudes at which a section is drawn: its start, and chords of a few
/// degrees along a curve.
std::vector<double> SectionSteps(const TrkFile& track, uint32_t i) {
  const double start = track.SectionStart(i), length = track.SectionLength(i);
  int chords = 1;
  if (track.IsCurve(i))
    chords = std::max(1, static_cast<int>(std::ceil(std::fabs(track.CurveAngle(i)) / kDegreesPerChord)));
  chords = std::min(chords, 240);
  std::vector<double> steps;
  for (int c = 0; c < chords; ++c) steps.push_back(start + length * c / chords);
  return steps;
}

/// Where a drawing in metres lands in the SVG.
struct Frame {
  double minX = 0, maxY = 0, scale = 1;
  Point Map(const Point3D& p) const {
    return Point{kMargin + (p.x - minX) * scale, kMargin + (maxY - p.y) * scale};
  }
};

void AppendPoint(std::ostringstream& out, const Point& p, bool first) {
  char text[64];
  std::snprintf(text, sizeof text, "%s%.2f %.2f", first ? "M" : " L", p.x, p.y);
  out << text;
}

std::string PathOf(const std::vector<Point>& points, bool close) {
  std::ostringstream d;
  for (std::size_t n = 0; n < points.size(); ++n) AppendPoint(d, points[n], n == 0);
  if (close) d << " Z";
  return d.str();
}

/// A nice round length near a fifth of `extent`: 1, 2 or 5 times a power of ten.
double ScaleLength(double extent) {
  const double target = extent / 5.0;
  double unit = std::pow(10.0, std::floor(std::log10(target > 0 ? target : 1.0)));
  for (double f : {5.0, 2.0, 1.0})
    if (f * unit <= target) return f * unit;
  return unit;
}

}  // namespace

const char* const kKindColours[kSurfaceKinds] = {"#6d6d6d", "#4a8a3a", "#c9b27c", "#8fbf5a",
                                                 "#b57f4f", "#5f7fbf", "#bf5f9f"};
const char* const kKindNames[kSurfaceKinds] = {"kind 0", "kind 1", "kind 2", "kind 3",
                                               "kind 4", "kind 5", "kind 6"};

int ShownKind(int kind) { return kind < 0 || kind >= kSurfaceKinds ? 0 : kind; }

std::vector<NamedTrack> ReadTracks(const std::string& path, const std::string& extension) {
  std::vector<NamedTrack> tracks;
  if (extension == "dat") {
    MOTADatFile archive(path);
    for (uint32_t m = 0; m < archive.MemberCount(); ++m) {
      Handle<SubFile> member = archive.Member(m);
      if (LowerExtension(member->GetName()) != "trk") continue;
      tracks.push_back(NamedTrack{member->GetName(), StemOf(member->GetName()), ReadTrk(member)});
    }
    return tracks;
  }
  Handle<SubFile> file(new SubFile(path, false, false));
  const std::string name = FileNameOf(path);
  Handle<TrkFile> track =
      extension == "xq" ? Handle<TrkFile>(new XQTrkReader(file)) : ReadTrk(file);
  tracks.push_back(NamedTrack{name, StemOf(name), track});
  return tracks;
}

std::string TrackSvg(const TrkFile& track, const std::string& name, PlanFacts& facts) {
  const SectionFinder finder(track);
  const uint32_t sections = track.SectionCount(), laterals = track.LateralCount();
  const double total = track.TrackLength();
  auto at = [&](double longitude, double lateral) {
    // The end of the track is drawn as the end of its last section, not as
    // the start again, so that a gap in a badly closed track shows.
    if (longitude >= total) longitude = std::nextafter(total, 0.0);
    return track.PointAt(longitude, lateral, finder);
  };

  // Every line in metres first, for the extent.
  std::vector<double> steps;
  for (uint32_t i = 0; i < sections; ++i) {
    const std::vector<double> s = SectionSteps(track, i);
    steps.insert(steps.end(), s.begin(), s.end());
  }
  steps.push_back(total);
  const double inner = laterals ? track.LateralOffset(0) : 0.0;
  const double outer = laterals ? track.LateralOffset(laterals - 1) : 0.0;
  std::vector<std::vector<Point3D>> lines(laterals + 1);
  for (double l : steps) lines[0].push_back(at(l, 0.0));
  for (uint32_t j = 0; j < laterals; ++j)
    for (double l : steps) lines[j + 1].push_back(at(l, track.LateralOffset(j)));

  double minX = HUGE_VAL, maxX = -HUGE_VAL, minY = HUGE_VAL, maxY = -HUGE_VAL;
  for (const auto& line : lines)
    for (const Point3D& p : line) {
      if (!std::isfinite(p.x) || !std::isfinite(p.y) || std::fabs(p.x) > 1e9 || std::fabs(p.y) > 1e9)
        throw XAssumption(name + ": track points out of range");
      minX = std::min(minX, p.x), maxX = std::max(maxX, p.x);
      minY = std::min(minY, p.y), maxY = std::max(maxY, p.y);
    }
  const double extent = std::max({maxX - minX, maxY - minY, 1.0});
  Frame frame{minX, maxY, kDrawingSize / extent};
  const int width = static_cast<int>(std::ceil((maxX - minX) * frame.scale + 2 * kMargin));
  const int height =
      static_cast<int>(std::ceil((maxY - minY) * frame.scale + 2 * kMargin + kLegendHeight));
  facts = PlanFacts{total, sections, maxX - minX, maxY - minY, width, height};

  auto mapped = [&frame](const std::vector<Point3D>& line) {
    std::vector<Point> points;
    for (const Point3D& p : line) points.push_back(frame.Map(p));
    return points;
  };
  // A band between two boundaries whose lateral offsets run linearly along
  // a section: out along one, back along the other.
  auto band = [&](uint32_t i, double from0, double from1, double to0, double to1) {
    const std::vector<double> s = [&] {
      std::vector<double> v = SectionSteps(track, i);
      v.push_back(track.SectionStart(i) + track.SectionLength(i));
      return v;
    }();
    const double start = track.SectionStart(i), length = track.SectionLength(i);
    std::vector<Point3D> edge;
    for (double l : s) {
      const double t = (l - start) / length;
      edge.push_back(at(l, from0 + (from1 - from0) * t));
    }
    for (auto it = s.rbegin(); it != s.rend(); ++it) {
      const double t = (*it - start) / length;
      edge.push_back(at(*it, to0 + (to1 - to0) * t));
    }
    return edge;
  };

  std::ostringstream svg;
  svg << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
      << "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" << width << "\" height=\"" << height
      << "\" viewBox=\"0 0 " << width << ' ' << height << "\">\n"
      << "<title>" << XmlEscape(name) << "</title>\n<style>\n"
      << ".centre{fill:none;stroke:#d02020;stroke-width:1.5}\n"
      << ".lateral{fill:none;stroke:#3050a0;stroke-width:0.6;stroke-opacity:0.7}\n"
      << ".surface{stroke:none;fill-opacity:0.75}\n"
      << ".wall{fill:none;stroke:#202020;stroke-width:2}\n"
      << ".boundary{stroke:#909090;stroke-width:0.5}\n"
      << "text{font-family:sans-serif;font-size:11px;fill:#202020}\n";
  for (int k = 0; k < kSurfaceKinds; ++k) svg << ".kind-" << k << "{fill:" << kKindColours[k] << "}\n";
  svg << "</style>\n<rect width=\"100%\" height=\"100%\" fill=\"#ffffff\"/>\n";

  // Surfaces under everything else, by kind.
  std::map<int, int> kindsHeld;
  bool wallsHeld = false;
  svg << "<g id=\"surfaces\">\n";
  for (uint32_t i = 0; i < sections; ++i)
    for (uint32_t k = 0; k < track.SurfaceCount(i); ++k) {
      if (track.SurfaceIsWall(i, k)) continue;
      const int kind = ShownKind(track.SurfaceKind(i, k));
      ++kindsHeld[kind];
      svg << "<path class=\"surface kind-" << kind << "\" d=\""
          << PathOf(mapped(band(i, track.SurfaceFromAtStart(i, k), track.SurfaceFromAtEnd(i, k),
                                track.SurfaceToAtStart(i, k), track.SurfaceToAtEnd(i, k))),
                    true)
          << "\"/>\n";
    }
  svg << "</g>\n<g id=\"lateral-lines\">\n";
  for (uint32_t j = 0; j < laterals; ++j)
    svg << "<path class=\"lateral\" d=\"" << PathOf(mapped(lines[j + 1]), false) << "\"/>\n";
  svg << "</g>\n<g id=\"walls\">\n";
  for (uint32_t i = 0; i < sections; ++i)
    for (uint32_t w = 0; w < track.WallCount(i); ++w) {
      wallsHeld = true;
      const double a0 = track.WallFromAtStart(i, w), a1 = track.WallFromAtEnd(i, w);
      const double b0 = track.WallToAtStart(i, w), b1 = track.WallToAtEnd(i, w);
      std::vector<Point3D> edge = band(i, a0, a1, b0, b1);
      const bool thin = a0 == b0 && a1 == b1;
      if (thin) edge.resize(edge.size() / 2);
      svg << "<path class=\"wall\" d=\"" << PathOf(mapped(edge), !thin) << "\"/>\n";
    }
  svg << "</g>\n<g id=\"sections\">\n";
  for (uint32_t i = 0; i < sections; ++i) {
    const double l = track.SectionStart(i);
    const Point a = frame.Map(at(l, inner)), b = frame.Map(at(l, outer));
    char text[160];
    std::snprintf(text, sizeof text, "<line class=\"boundary\" x1=\"%.2f\" y1=\"%.2f\" x2=\"%.2f\" y2=\"%.2f\"/>\n",
                  a.x, a.y, b.x, b.y);
    svg << text;
    if (i % 10 == 0) {
      std::snprintf(text, sizeof text, "<text class=\"section-number\" x=\"%.2f\" y=\"%.2f\">%u</text>\n",
                    b.x + 3, b.y - 3, i);
      svg << text;
    }
  }
  const std::vector<Point> centre = mapped(lines[0]);
  const Point first = centre.front(), last = centre.back();
  const bool closed = std::hypot(first.x - last.x, first.y - last.y) < 1.0;
  svg << "</g>\n<path id=\"centre-line\" class=\"centre\" d=\"" << PathOf(centre, closed)
      << "\"/>\n";

  // Name, scale bar and legend along the bottom.
  const double base = height - kLegendHeight + 10;
  svg << "<text id=\"track-name\" x=\"" << kMargin << "\" y=\"24\" style=\"font-size:16px\">"
      << XmlEscape(name) << "</text>\n";
  const double bar = ScaleLength(extent);
  char text[320];
  std::snprintf(text, sizeof text,
                "<g id=\"scale-bar\"><line x1=\"%.2f\" y1=\"%.2f\" x2=\"%.2f\" y2=\"%.2f\" "
                "stroke=\"#202020\" stroke-width=\"3\"/><text x=\"%.2f\" y=\"%.2f\">%g m</text></g>\n",
                kMargin, base, kMargin + bar * frame.scale, base, kMargin, base + 16, bar);
  svg << text << "<g id=\"legend\">\n";
  double x = kMargin + bar * frame.scale + 40;
  for (const auto& kind : kindsHeld) {
    std::snprintf(text, sizeof text,
                  "<rect class=\"surface kind-%d\" x=\"%.0f\" y=\"%.0f\" width=\"14\" height=\"14\"/>"
                  "<text x=\"%.0f\" y=\"%.0f\">%s</text>\n",
                  kind.first, x, base - 10, x + 18, base + 1, kKindNames[kind.first]);
    svg << text;
    x += 80;
  }
  if (wallsHeld) {
    std::snprintf(text, sizeof text,
                  "<line class=\"wall\" x1=\"%.0f\" y1=\"%.0f\" x2=\"%.0f\" y2=\"%.0f\"/>"
                  "<text x=\"%.0f\" y=\"%.0f\">wall</text>\n",
                  x, base - 3, x + 14, base - 3, x + 18, base + 1);
    svg << text;
  }
  svg << "</g>\n</svg>\n";
  return svg.str();
}

}  // namespace millview
