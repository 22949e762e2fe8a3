#include "millview/model.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <map>
#include <ostream>
#include <streambuf>

#include "millview/tracks.h"
#include "trackconv/foundation/byte_order.h"
#include "trackconv/foundation/errors.h"

// The library's own image code is not needed: models carry no textures.
#define TINYGLTF_IMPLEMENTATION
#define TINYGLTF_NO_STB_IMAGE
#define TINYGLTF_NO_STB_IMAGE_WRITE
#define TINYGLTF_NO_EXTERNAL_IMAGE
#include <tiny_gltf.h>

namespace millview {

namespace {

/// Curves are cut into rows of at most this many degrees, as in the plans.
constexpr double kDegreesPerRow = 3.0;
constexpr int kMaxRowsPerSection = 240;
/// Lateral lines inside a strip become columns of its grid, so that its
/// banking follows them; beyond this many the strip keeps its edges only.
constexpr std::size_t kMaxInnerColumns = 32;
/// A model is refused beyond this many vertices (about 200 MB of buffer;
/// a 5,000-section track with walls has some 400,000).
constexpr std::size_t kMaxVertices = std::size_t(1) << 23;

/// The plans' colours (kKindColours, then the walls' and the centre
/// line's) in linear light, as glTF's colour factors are.
const double kKindLinear[kSurfaceKinds][3] = {
    {0.1529, 0.1529, 0.1529}, {0.0685, 0.2542, 0.0423}, {0.5841, 0.4452, 0.2016},
    {0.2747, 0.5210, 0.1022}, {0.4621, 0.2122, 0.0782}, {0.1144, 0.2122, 0.5210},
    {0.5210, 0.1144, 0.3467}};
const double kWallLinear[3] = {0.0144, 0.0144, 0.0144};
const double kCentreLinear[3] = {0.6308, 0.0144, 0.0144};

/// The geometry of one section as it is made: its vertices, and its
/// triangles by kind (the walls' in the last slot), so that its primitives
/// come in material order without a lookup per vertex.
constexpr int kWallSlot = kSurfaceKinds;
struct SectionGeometry {
  std::vector<float> positions;  ///< x, y, z per vertex
  std::vector<float> normals;
  std::vector<uint32_t> triangles[kSurfaceKinds + 1];
  /// Empties it for the next section, keeping its memory.
  void Clear() {
    positions.clear();
    normals.clear();
    for (std::vector<uint32_t>& t : triangles) t.clear();
  }
};

/// Longitudes of a section's rows: its start, steps of a few degrees or a
/// few metres, and its own end (just short of the next section's start, so
/// that a section ends where its own geometry does).
std::vector<double> Rows(const TrkFile& track, uint32_t i) {
  const double start = track.SectionStart(i), length = track.SectionLength(i);
  double steps = std::ceil(length / kModelMetresPerRow);
  if (track.IsCurve(i)) steps = std::max(steps, std::ceil(std::fabs(track.CurveAngle(i)) / kDegreesPerRow));
  const int n = !(steps >= 1) ? 1 : steps > kMaxRowsPerSection ? kMaxRowsPerSection : static_cast<int>(steps);
  std::vector<double> rows;
  rows.reserve(n + 1);
  for (int c = 0; c < n; ++c) rows.push_back(start + length * c / n);
  const double end = start + length;
  rows.push_back(end > start ? std::nextafter(end, start) : start);
  return rows;
}

/// Smooth normals of the vertices from `first` on: the sum of the faces
/// around each vertex among `indices`, made unit length; straight up where
/// the faces around a vertex have no area.
void AddNormals(const std::vector<float>& p, const uint32_t* indices, std::size_t count, std::size_t first,
                std::vector<float>& n) {
  n.resize(p.size(), 0.0f);
  for (std::size_t t = 0; t + 2 < count; t += 3) {
    const uint32_t a = indices[t] * 3, b = indices[t + 1] * 3, c = indices[t + 2] * 3;
    const float u[3] = {p[b] - p[a], p[b + 1] - p[a + 1], p[b + 2] - p[a + 2]};
    const float v[3] = {p[c] - p[a], p[c + 1] - p[a + 1], p[c + 2] - p[a + 2]};
    const float f[3] = {u[1] * v[2] - u[2] * v[1], u[2] * v[0] - u[0] * v[2], u[0] * v[1] - u[1] * v[0]};
    for (uint32_t corner : {a, b, c})
      for (int k = 0; k < 3; ++k) n[corner + k] += f[k];
  }
  for (std::size_t v = first * 3; v < n.size(); v += 3) {
    const float length = std::sqrt(n[v] * n[v] + n[v + 1] * n[v + 1] + n[v + 2] * n[v + 2]);
    if (length > 0 && std::isfinite(length)) {
      for (int k = 0; k < 3; ++k) n[v + k] /= length;
    } else {
      n[v] = 0.0f, n[v + 1] = 1.0f, n[v + 2] = 0.0f;
    }
  }
}

class Builder {
 public:
  Builder(const TrkFile& track, const std::string& name) : track_(track), finder_(track), name_(name) {}

  /// The point at `longitude` and `lateral` in model coordinates, once as
  /// it is and, when `lift` is not 0, once again `lift` metres higher.
  void Add(std::vector<float>& positions, double longitude, double lateral, double lift = 0.0) {
    vertices_ += lift != 0.0 ? 2 : 1;
    if (vertices_ > kMaxVertices) throw XAssumption(name_ + ": track too large for a model");
    Point3D p = track_.PointAt(longitude, lateral, finder_);
    if (!std::isfinite(p.x) || !std::isfinite(p.y) || !std::isfinite(p.z) || std::fabs(p.x) > 1e9 ||
        std::fabs(p.y) > 1e9 || std::fabs(p.z) > 1e9)
      throw XAssumption(name_ + ": track points out of range");
    float v[3];
    ModelCoordinates(p, v);
    positions.insert(positions.end(), v, v + 3);
    if (lift != 0.0) {
      p.z += lift;
      ModelCoordinates(p, v);
      positions.insert(positions.end(), v, v + 3);
    }
  }

  /// A grid of rows × columns: lateral offsets run linearly from `from`
  /// to `to` (each given at the section's start and end) with the lateral
  /// lines between them as extra columns.
  void Strip(uint32_t i, const std::vector<double>& rows, double from0, double from1, double to0, double to1,
             SectionGeometry& g, int slot) {
    const uint32_t base = static_cast<uint32_t>(g.positions.size() / 3);
    const double start = track_.SectionStart(i), length = track_.SectionLength(i);
    inner_.clear();
    const double low = std::max(from0, from1), high = std::min(to0, to1);
    for (uint32_t j = 0; j < track_.LateralCount(); ++j) {
      const double offset = finder_.LateralOffset(j);
      if (offset > low && offset < high) inner_.push_back(offset);
    }
    if (inner_.size() > kMaxInnerColumns) inner_.clear();
    const uint32_t columns = static_cast<uint32_t>(inner_.size() + 2);
    g.positions.reserve(g.positions.size() + rows.size() * columns * 3);
    for (double l : rows) {
      const double t = length > 0 ? (l - start) / length : 0.0;
      Add(g.positions, l, from0 + (from1 - from0) * t);
      for (double offset : inner_) Add(g.positions, l, offset);
      Add(g.positions, l, to0 + (to1 - to0) * t);
    }
    Grid(g, slot, base, static_cast<uint32_t>(rows.size()), columns);
  }

  /// An upright strip of kModelWallHeight along the line whose lateral
  /// offset runs from `at0` to `at1`.
  void Wall(uint32_t i, const std::vector<double>& rows, double at0, double at1, SectionGeometry& g) {
    const uint32_t base = static_cast<uint32_t>(g.positions.size() / 3);
    const double start = track_.SectionStart(i), length = track_.SectionLength(i);
    g.positions.reserve(g.positions.size() + rows.size() * 6);
    for (double l : rows) {
      const double t = length > 0 ? (l - start) / length : 0.0;
      Add(g.positions, l, at0 + (at1 - at0) * t, kModelWallHeight);
    }
    Grid(g, kWallSlot, base, static_cast<uint32_t>(rows.size()), 2);
  }

 private:
  /// Two triangles per cell, counter-clockwise seen from above when the
  /// columns run from right to left across the direction of travel; then
  /// the normals of the piece's vertices, from its own triangles.
  static void Grid(SectionGeometry& g, int slot, uint32_t base, uint32_t rows, uint32_t columns) {
    std::vector<uint32_t>& indices = g.triangles[slot];
    const std::size_t first = indices.size();
    indices.reserve(first + std::size_t(rows - 1) * (columns - 1) * 6);
    for (uint32_t r = 0; r + 1 < rows; ++r)
      for (uint32_t c = 0; c + 1 < columns; ++c) {
        const uint32_t a = base + r * columns + c, b = a + columns, d = b + 1, e = a + 1;
        indices.insert(indices.end(), {a, b, d, a, d, e});
      }
    AddNormals(g.positions, indices.data() + first, indices.size() - first, base, g.normals);
  }

  const TrkFile& track_;
  const SectionFinder finder_;
  const std::string& name_;
  std::size_t vertices_ = 0;
  std::vector<double> inner_;
};

/// The one buffer of the model, with a view each for positions, normals
/// and indices; accessors point into them.
class BufferWriter {
 public:
  explicit BufferWriter(tinygltf::Model& model) : model_(model) {}

  /// The bounds are those of the values as floats.
  int Positions(const std::vector<float>& values, bool bounds) {
    const int accessor = Floats(positions_, values, TINYGLTF_TYPE_VEC3, 0);
    if (bounds && !values.empty()) {
      float low[3] = {values[0], values[1], values[2]}, high[3] = {values[0], values[1], values[2]};
      for (std::size_t v = 3; v < values.size(); v += 3)
        for (int k = 0; k < 3; ++k) {
          low[k] = std::min(low[k], values[v + k]);
          high[k] = std::max(high[k], values[v + k]);
        }
      tinygltf::Accessor& a = model_.accessors[accessor];
      a.minValues.assign(low, low + 3);
      a.maxValues.assign(high, high + 3);
    }
    return accessor;
  }
  int Normals(const std::vector<float>& values) { return Floats(normals_, values, TINYGLTF_TYPE_VEC3, 1); }

  int Indices(const std::vector<uint32_t>& values, uint32_t vertexCount) {
    const bool small = vertexCount <= 0xFFFF;
    tinygltf::Accessor a;
    a.bufferView = 2;
    a.byteOffset = indices_.size();
    a.componentType = small ? TINYGLTF_COMPONENT_TYPE_UNSIGNED_SHORT : TINYGLTF_COMPONENT_TYPE_UNSIGNED_INT;
    a.type = TINYGLTF_TYPE_SCALAR;
    a.count = values.size();
    const std::size_t size = values.size() * (small ? 2 : 4);
    std::size_t at = indices_.size();
    indices_.resize(at + (size + 3) / 4 * 4, 0);
    for (uint32_t v : values) {
      if (small) {
        StoreU16(&indices_[at], static_cast<uint16_t>(v));
        at += 2;
      } else {
        StoreU32(&indices_[at], v);
        at += 4;
      }
    }
    model_.accessors.push_back(std::move(a));
    return static_cast<int>(model_.accessors.size() - 1);
  }

  /// Joins the three parts into buffer 0 and makes their views.
  void Finish() {
    tinygltf::Buffer buffer;
    buffer.data.reserve(positions_.size() + normals_.size() + indices_.size());
    const struct {
      const std::vector<uint8_t>& bytes;
      int target;
      int stride;
    } parts[] = {{positions_, TINYGLTF_TARGET_ARRAY_BUFFER, 12},
                 {normals_, TINYGLTF_TARGET_ARRAY_BUFFER, 12},
                 {indices_, TINYGLTF_TARGET_ELEMENT_ARRAY_BUFFER, 0}};
    for (const auto& part : parts) {
      // Views without data are not allowed: a track without triangles has
      // no normals or indices, and those views come last.
      if (part.bytes.empty()) continue;
      tinygltf::BufferView view;
      view.buffer = 0;
      view.byteOffset = buffer.data.size();
      view.byteLength = part.bytes.size();
      view.byteStride = part.stride;
      view.target = part.target;
      buffer.data.insert(buffer.data.end(), part.bytes.begin(), part.bytes.end());
      model_.bufferViews.push_back(view);
    }
    if (!buffer.data.empty()) model_.buffers.push_back(std::move(buffer));
  }

 private:
  int Floats(std::vector<uint8_t>& out, const std::vector<float>& values, int type, int view) {
    tinygltf::Accessor a;
    a.bufferView = view;
    a.byteOffset = out.size();
    a.componentType = TINYGLTF_COMPONENT_TYPE_FLOAT;
    a.type = type;
    a.count = values.size() / 3;
    std::size_t at = out.size();
    out.resize(at + values.size() * 4);
    for (float value : values) {
      uint32_t bits;
      std::memcpy(&bits, &value, sizeof bits);
      StoreU32(&out[at], bits);
      at += 4;
    }
    model_.accessors.push_back(std::move(a));
    return static_cast<int>(model_.accessors.size() - 1);
  }

  tinygltf::Model& model_;
  std::vector<uint8_t> positions_, normals_, indices_;
};

tinygltf::Material MakeMaterial(const std::string& name, const double (&colour)[3], tinygltf::Value extras) {
  tinygltf::Material m;
  m.name = name;
  m.pbrMetallicRoughness.baseColorFactor = {colour[0], colour[1], colour[2], 1.0};
  m.pbrMetallicRoughness.metallicFactor = 0.0;
  m.pbrMetallicRoughness.roughnessFactor = 0.9;
  // Strips whose edges swap sides face down; both faces are road.
  m.doubleSided = true;
  m.extras = std::move(extras);
  return m;
}

using Object = tinygltf::Value::Object;

/// A stream that appends to a byte vector, so that a model of many
/// megabytes is written once rather than grown and copied.
class ByteSink : public std::streambuf {
 public:
  explicit ByteSink(std::vector<uint8_t>& bytes) : bytes_(bytes) {}

 protected:
  int_type overflow(int_type c) override {
    if (!traits_type::eq_int_type(c, traits_type::eof())) bytes_.push_back(static_cast<uint8_t>(c));
    return traits_type::not_eof(c);
  }
  std::streamsize xsputn(const char* s, std::streamsize n) override {
    bytes_.insert(bytes_.end(), reinterpret_cast<const uint8_t*>(s), reinterpret_cast<const uint8_t*>(s) + n);
    return n;
  }

 private:
  std::vector<uint8_t>& bytes_;
};

}  // namespace

std::vector<uint8_t> TrackModel(const TrkFile& track, const std::string& name, ModelFacts& facts) {
  facts = ModelFacts{};
  Builder builder(track, name);
  const uint32_t sections = track.SectionCount();

  tinygltf::Model model;
  model.asset.version = "2.0";
  model.asset.generator = "millview";
  BufferWriter buffer(model);
  // A position and a normal accessor per section and about one index
  // accessor per strip and wall.
  model.accessors.reserve(std::size_t(sections) * (4 + track.LateralCount()) + 1);
  model.meshes.reserve(std::size_t(sections) + 1);
  model.nodes.reserve(std::size_t(sections) + 2);
  tinygltf::Node root;
  root.name = name;
  root.extras = tinygltf::Value(Object{{"track_length_m", tinygltf::Value(track.TrackLength())},
                                       {"sections", tinygltf::Value(static_cast<int>(sections))},
                                       {"units", tinygltf::Value(std::string("metres"))}});
  root.children.reserve(std::size_t(sections) + 1);

  // Geometry and meshes in one pass; which kinds and variants the track
  // holds decides the materials, numbered in kind order (the walls' last),
  // so the primitives hold their kind's slot until the materials exist.
  std::map<int, std::set<int>> variants;  // shown kind -> the strips' variants
  std::vector<float> centre;
  SectionGeometry g;
  for (uint32_t i = 0; i < sections; ++i) {
    const std::vector<double> rows = Rows(track, i);
    for (std::size_t r = 0; r + 1 < rows.size(); ++r) builder.Add(centre, rows[r], 0.0);
    g.Clear();
    for (uint32_t k = 0; k < track.SurfaceCount(i); ++k) {
      if (track.SurfaceIsWall(i, k)) continue;
      const double f0 = track.SurfaceFromAtStart(i, k), f1 = track.SurfaceFromAtEnd(i, k);
      const double t0 = track.SurfaceToAtStart(i, k), t1 = track.SurfaceToAtEnd(i, k);
      if (f0 == t0 && f1 == t1) continue;  // no width: nothing to see
      const int kind = ShownKind(track.SurfaceKind(i, k));
      variants[kind].insert(track.SurfaceVariant(i, k));
      builder.Strip(i, rows, f0, f1, t0, t1, g, kind);
    }
    for (uint32_t w = 0; w < track.WallCount(i); ++w) {
      const double a0 = track.WallFromAtStart(i, w), a1 = track.WallFromAtEnd(i, w);
      const double b0 = track.WallToAtStart(i, w), b1 = track.WallToAtEnd(i, w);
      builder.Wall(i, rows, a0, a1, g);
      if (a0 != b0 || a1 != b1) builder.Wall(i, rows, b0, b1, g);
      facts.walls = true;
    }

    tinygltf::Node node;
    node.name = "section-" + std::to_string(i);
    if (!g.positions.empty()) {
      tinygltf::Mesh mesh;
      mesh.name = node.name;
      mesh.extras = tinygltf::Value(
          Object{{"section", tinygltf::Value(static_cast<int>(i))},
                 {"kind", tinygltf::Value(std::string(track.IsCurve(i) ? "curve" : "straight"))},
                 {"start_m", tinygltf::Value(track.SectionStart(i))},
                 {"length_m", tinygltf::Value(track.SectionLength(i))}});
      // One vertex accessor pair per section, shared by its primitives:
      // one primitive per material, its pieces' triangles together.
      const uint32_t vertexCount = static_cast<uint32_t>(g.positions.size() / 3);
      const int positionAccessor = buffer.Positions(g.positions, true);
      const int normalAccessor = buffer.Normals(g.normals);
      facts.vertices += vertexCount;
      for (int slot = 0; slot <= kWallSlot; ++slot) {
        if (g.triangles[slot].empty()) continue;
        tinygltf::Primitive primitive;
        primitive.mode = TINYGLTF_MODE_TRIANGLES;
        primitive.material = slot;
        primitive.attributes["POSITION"] = positionAccessor;
        primitive.attributes["NORMAL"] = normalAccessor;
        primitive.indices = buffer.Indices(g.triangles[slot], vertexCount);
        facts.triangles += static_cast<uint32_t>(g.triangles[slot].size() / 3);
        mesh.primitives.push_back(std::move(primitive));
      }
      node.mesh = static_cast<int>(model.meshes.size());
      model.meshes.push_back(std::move(mesh));
    }
    root.children.push_back(static_cast<int>(model.nodes.size()));
    model.nodes.push_back(std::move(node));
  }
  // The line ends where the last section does, not at the start again, so
  // that a track that does not close shows its gap.
  // A track without sections (the readers let one through) is a scene
  // without geometry.
  if (sections > 0) builder.Add(centre, Rows(track, sections - 1).back(), 0.0);

  int materialOf[kWallSlot + 1];  // slot -> material index
  for (const auto& kind : variants) {
    tinygltf::Value::Array list;
    for (int v : kind.second) list.push_back(tinygltf::Value(v));
    Object extras{{"kind", tinygltf::Value(kind.first)},
                  {"kind_name", tinygltf::Value(std::string(kKindNames[kind.first]))},
                  {"variants", tinygltf::Value(list)}};
    materialOf[kind.first] = static_cast<int>(model.materials.size());
    model.materials.push_back(
        MakeMaterial("kind-" + std::to_string(kind.first), kKindLinear[kind.first], tinygltf::Value(extras)));
    facts.kinds.insert(kind.first);
  }
  if (facts.walls) {
    materialOf[kWallSlot] = static_cast<int>(model.materials.size());
    model.materials.push_back(MakeMaterial(
        "wall", kWallLinear,
        tinygltf::Value(Object{{"height_m", tinygltf::Value(kModelWallHeight)}})));
  }
  const int centreMaterial = static_cast<int>(model.materials.size());
  model.materials.push_back(MakeMaterial("centre-line", kCentreLinear, tinygltf::Value()));
  for (tinygltf::Mesh& mesh : model.meshes)
    for (tinygltf::Primitive& primitive : mesh.primitives) primitive.material = materialOf[primitive.material];

  if (!centre.empty()) {
    tinygltf::Mesh mesh;
    mesh.name = "centre-line";
    tinygltf::Primitive primitive;
    primitive.mode = TINYGLTF_MODE_LINE_STRIP;
    primitive.material = centreMaterial;
    primitive.attributes["POSITION"] = buffer.Positions(centre, true);
    mesh.primitives.push_back(primitive);
    tinygltf::Node node;
    node.name = "centre-line";
    node.mesh = static_cast<int>(model.meshes.size());
    model.meshes.push_back(std::move(mesh));
    root.children.push_back(static_cast<int>(model.nodes.size()));
    model.nodes.push_back(std::move(node));
    facts.vertices += static_cast<uint32_t>(centre.size() / 3);
  }
  tinygltf::Scene scene;
  scene.name = name;
  scene.nodes.push_back(static_cast<int>(model.nodes.size()));
  model.nodes.push_back(std::move(root));
  model.scenes.push_back(scene);
  model.defaultScene = 0;
  buffer.Finish();

  std::vector<uint8_t> bytes;
  // The buffer and about as much again for the JSON.
  bytes.reserve(2 * (model.buffers.empty() ? 0 : model.buffers[0].data.size()) + 4096);
  ByteSink sink(bytes);
  std::ostream out(&sink);
  tinygltf::TinyGLTF writer;
  if (!writer.WriteGltfSceneToStream(&model, out, false, true) || !out)
    throw XGeneral(name + ": cannot make the model");
  return bytes;
}

}  // namespace millview
