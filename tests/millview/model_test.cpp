// glTF models of generated tracks: geometry through the track's own
// points, materials for exactly the kinds it holds, the XQ model agreeing
// with its original's, bytes fixed across systems, and the Khronos
// validator's verdict on what the program writes.

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <filesystem>
#include <map>
#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "millview/model.h"
#include "millview/model_page.h"
#include "millview/tracks.h"
#include "millview_test_support.h"
#include "platform/process.h"
#include "platform/shared_files.h"
#include "support/temp_dir.h"
#include "tools/lib/synthetic_dat.h"
#include "tools/lib/synthetic_track.h"
#include "tools/lib/track_formats.h"
#include "trackconv/foundation/byte_order.h"
#include "trackconv/foundation/errors.h"
#include "trackconv/track/xq_trk_file.h"
#include "trackconv/track/xq_trk_reader.h"

#define TINYGLTF_NO_STB_IMAGE
#define TINYGLTF_NO_STB_IMAGE_WRITE
#define TINYGLTF_NO_EXTERNAL_IMAGE
#include <tiny_gltf.h>

namespace {

using testing_support::TempDir;

SyntheticTrackOptions Mota(bool walls, uint32_t seed) {
  SyntheticTrackOptions options;
  options.sections = 20;
  options.laterals = 4;
  options.surfaces = 3;
  options.walls = walls ? 2 : 0;
  options.seed = seed;
  options.surface_styles = MotaSurfaceStyles();
  options.wall_kinds = {0, 1, 2, 5};
  options.thin_walls = true;
  return options;
}

SyntheticTrackOptions Vtr(uint32_t seed) {
  SyntheticTrackOptions options = Mota(false, seed);
  options.surface_styles = ConvertibleSurfaceStyles();
  return options;
}

/// Drops the last `n` sections, so that the track no longer closes.
Handle<TrkFile> Opened(const SyntheticTrackOptions& options, std::size_t n) {
  SyntheticTrack* track = new SyntheticTrack(options);
  const std::size_t keep = track->sections.size() - n;
  track->sections.resize(keep);
  track->lines.resize(keep);
  track->strips.resize(keep);
  track->walls.resize(keep);
  track->track_length = track->sections.back().start + track->sections.back().length;
  return Handle<TrkFile>(track);
}

tinygltf::Model Parse(const std::vector<uint8_t>& glb) {
  tinygltf::Model model;
  tinygltf::TinyGLTF loader;
  std::string error, warning;
  EXPECT_TRUE(loader.LoadBinaryFromMemory(&model, &error, &warning, glb.data(),
                                          static_cast<unsigned>(glb.size())))
      << error;
  return model;
}

std::vector<uint8_t> Model(const TrkFile& track, millview::ModelFacts* facts = nullptr) {
  millview::ModelFacts ignored;
  return millview::TrackModel(track, "test", facts ? *facts : ignored);
}

/// Vertex v of a float VEC3 accessor.
std::array<float, 3> Vertex(const tinygltf::Model& model, int accessor, std::size_t v) {
  const tinygltf::Accessor& a = model.accessors[accessor];
  const tinygltf::BufferView& view = model.bufferViews[a.bufferView];
  const std::size_t stride = view.byteStride ? view.byteStride : 12;
  const uint8_t* p = model.buffers[view.buffer].data.data() + view.byteOffset + a.byteOffset + v * stride;
  std::array<float, 3> out;
  for (int k = 0; k < 3; ++k) {
    const uint32_t bits = LoadU32(p + 4 * k);
    std::memcpy(&out[k], &bits, 4);
  }
  return out;
}

std::array<float, 3> Expected(const TrkFile& track, double longitude, double lateral) {
  float v[3];
  millview::ModelCoordinates(track.PointAt(longitude, lateral), v);
  return {v[0], v[1], v[2]};
}

std::set<std::string> MaterialNames(const tinygltf::Model& model) {
  std::set<std::string> names;
  for (const tinygltf::Material& m : model.materials) names.insert(m.name);
  return names;
}

/// The section's first vertices of each strip lie on PointAt at the
/// section's start, at the strip's from boundary, the lateral lines inside
/// it and its to boundary; walls stand kModelWallHeight on the road.
TEST(MillviewModel, VerticesAreTheTracksOwnPointsInMetresWithYUp) {
  const SyntheticTrack track(Mota(true, 7));
  const tinygltf::Model model = Parse(Model(track));
  ASSERT_EQ(model.scenes.size(), 1u);
  std::size_t sectionsSeen = 0;
  for (const tinygltf::Node& node : model.nodes) {
    if (node.name.compare(0, 8, "section-") != 0) continue;
    const uint32_t i = static_cast<uint32_t>(std::stoul(node.name.substr(8)));
    ++sectionsSeen;
    ASSERT_GE(node.mesh, 0);
    const tinygltf::Mesh& mesh = model.meshes[node.mesh];
    EXPECT_EQ(mesh.name, node.name);
    EXPECT_EQ(mesh.extras.Get("section").GetNumberAsInt(), static_cast<int>(i));
    EXPECT_EQ(mesh.extras.Get("kind").Get<std::string>(), track.IsCurve(i) ? "curve" : "straight");
    EXPECT_EQ(mesh.extras.Get("length_m").GetNumberAsDouble(), track.SectionLength(i));
    // The section's primitives, one per material, share its vertices.
    std::set<std::string> materials, expectedMaterials;
    const int positions = mesh.primitives.at(0).attributes.at("POSITION");
    for (const tinygltf::Primitive& p : mesh.primitives) {
      EXPECT_EQ(p.mode, TINYGLTF_MODE_TRIANGLES);
      EXPECT_EQ(p.attributes.at("POSITION"), positions);
      EXPECT_EQ(model.accessors[p.attributes.at("NORMAL")].count, model.accessors[positions].count);
      materials.insert(model.materials[p.material].name);
    }
    EXPECT_EQ(model.accessors[positions].minValues.size(), 3u);
    std::set<std::array<float, 3>> vertices;
    for (std::size_t v = 0; v < model.accessors[positions].count; ++v) vertices.insert(Vertex(model, positions, v));
    const auto has = [&](const std::array<float, 3>& point) { return vertices.count(point) == 1; };
    const double l = track.SectionStart(i);
    for (uint32_t k = 0; k < track.SurfaceCount(i); ++k) {
      expectedMaterials.insert("kind-" + std::to_string(millview::ShownKind(track.SurfaceKind(i, k))));
      EXPECT_TRUE(has(Expected(track, l, track.SurfaceFromAtStart(i, k)))) << "strip " << k;
      EXPECT_TRUE(has(Expected(track, l, track.SurfaceToAtStart(i, k)))) << "strip " << k;
      for (uint32_t j = 0; j < track.LateralCount(); ++j) {
        const double offset = track.LateralOffset(j);
        if (offset > std::max(track.SurfaceFromAtStart(i, k), track.SurfaceFromAtEnd(i, k)) &&
            offset < std::min(track.SurfaceToAtStart(i, k), track.SurfaceToAtEnd(i, k))) {
          EXPECT_TRUE(has(Expected(track, l, offset))) << "strip " << k << ", lateral line " << j;
        }
      }
    }
    for (uint32_t w = 0; w < track.WallCount(i); ++w) {
      expectedMaterials.insert("wall");
      std::array<float, 3> top = Expected(track, l, track.WallFromAtStart(i, w));
      EXPECT_TRUE(has(top)) << "wall " << w;
      top[1] = static_cast<float>(track.PointAt(l, track.WallFromAtStart(i, w)).z + millview::kModelWallHeight);
      EXPECT_TRUE(has(top)) << "wall " << w << " top";
    }
    EXPECT_EQ(materials, expectedMaterials);
  }
  EXPECT_EQ(sectionsSeen, track.SectionCount());
}

TEST(MillviewModel, MaterialsAreExactlyTheKindsTheTrackHoldsWithTheirVariants) {
  struct Case {
    const char* name;
    SyntheticTrackOptions options;
    bool walls;
  } cases[] = {{"mota with walls", Mota(true, 3), true}, {"vtr plain", Vtr(4), false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const SyntheticTrack track(c.options);
    std::set<std::string> expected = {"centre-line"};
    std::map<int, std::set<int>> variants;
    for (uint32_t i = 0; i < track.SectionCount(); ++i)
      for (uint32_t k = 0; k < track.SurfaceCount(i); ++k) {
        const int kind = millview::ShownKind(track.SurfaceKind(i, k));
        expected.insert("kind-" + std::to_string(kind));
        variants[kind].insert(track.SurfaceVariant(i, k));
      }
    if (c.walls) expected.insert("wall");
    millview::ModelFacts facts;
    const tinygltf::Model model = Parse(Model(track, &facts));
    EXPECT_EQ(MaterialNames(model), expected);
    EXPECT_EQ(facts.walls, c.walls);
    EXPECT_EQ(facts.kinds.size(), variants.size());
    for (const tinygltf::Material& m : model.materials) {
      if (m.name.compare(0, 5, "kind-") != 0) continue;
      const int kind = m.extras.Get("kind").GetNumberAsInt();
      EXPECT_EQ(m.name, "kind-" + std::to_string(kind));
      std::set<int> listed;
      const tinygltf::Value& list = m.extras.Get("variants");
      for (std::size_t n = 0; n < list.ArrayLen(); ++n) listed.insert(list.Get(static_cast<int>(n)).GetNumberAsInt());
      EXPECT_EQ(listed, variants[kind]) << m.name;
    }
    // The centre line starts at the track's start.
    for (const tinygltf::Node& node : model.nodes)
      if (node.name == "centre-line") {
        const tinygltf::Primitive& p = model.meshes[node.mesh].primitives[0];
        EXPECT_EQ(p.mode, TINYGLTF_MODE_LINE_STRIP);
        EXPECT_EQ(Vertex(model, p.attributes.at("POSITION"), 0), Expected(track, 0.0, 0.0));
      }
  }
}

/// Each section's mesh has one primitive per material, in the materials'
/// order (kinds, then the walls), for exactly the kinds of its strips that
/// have a width; the facts count the vertices and triangles the model has.
TEST(MillviewModel, EachSectionHasOnePrimitivePerMaterialInOrderAndTheFactsCountThem) {
  struct Case {
    const char* name;
    Handle<TrkFile> track;
  } cases[] = {
      {"mota closed with walls", Handle<TrkFile>(new SyntheticTrack(Mota(true, 41)))},
      {"vtr closed", Handle<TrkFile>(new SyntheticTrack(Vtr(42)))},
      {"mota open with walls", Opened(Mota(true, 43), 5)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const TrkFile& track = *c.track;
    millview::ModelFacts facts;
    const tinygltf::Model model = Parse(Model(track, &facts));
    std::size_t vertices = 0, triangles = 0;
    for (const tinygltf::Mesh& mesh : model.meshes) {
      const int first = mesh.primitives.empty() ? -1 : mesh.primitives[0].attributes.at("POSITION");
      if (first >= 0) vertices += model.accessors[first].count;
      if (mesh.name == "centre-line") continue;
      const uint32_t i = static_cast<uint32_t>(mesh.extras.Get("section").GetNumberAsInt());
      std::set<std::string> expected;
      for (uint32_t k = 0; k < track.SurfaceCount(i); ++k)
        if (!track.SurfaceIsWall(i, k) && (track.SurfaceFromAtStart(i, k) != track.SurfaceToAtStart(i, k) ||
                                           track.SurfaceFromAtEnd(i, k) != track.SurfaceToAtEnd(i, k)))
          expected.insert("kind-" + std::to_string(millview::ShownKind(track.SurfaceKind(i, k))));
      if (track.WallCount(i) > 0) expected.insert("wall");
      std::set<std::string> names;
      int previous = -1;
      for (const tinygltf::Primitive& p : mesh.primitives) {
        EXPECT_GT(p.material, previous) << mesh.name;
        previous = p.material;
        EXPECT_EQ(p.attributes.at("POSITION"), first) << mesh.name;
        names.insert(model.materials[p.material].name);
        triangles += model.accessors[p.indices].count / 3;
      }
      EXPECT_EQ(names, expected) << mesh.name;
    }
    EXPECT_GT(facts.triangles, 0u);
    EXPECT_EQ(vertices, facts.vertices);
    EXPECT_EQ(triangles, facts.triangles);
  }
}

/// A track as the XQ format can hold it: kinds 0 to 3 only, and strips
/// that meet, the last reaching to the outermost lateral line.
Handle<TrkFile> XqShaped(uint32_t seed) {
  SyntheticTrackOptions options = Mota(true, seed);
  options.surface_styles.clear();
  for (const SurfaceStyle& style : MotaSurfaceStyles())
    if (style.kind <= 3 && style.variant == 0) options.surface_styles.push_back(style);
  SyntheticTrack* track = new SyntheticTrack(options);
  for (auto& strips : track->strips)
    for (std::size_t k = 0; k < strips.size(); ++k) {
      const bool last = k + 1 == strips.size();
      strips[k].to_start = last ? track->lateral_offsets.back() : strips[k + 1].from_start;
      strips[k].to_end = last ? track->lateral_offsets.back() : strips[k + 1].from_end;
    }
  return Handle<TrkFile>(track);
}

/// The XQ file keeps the plan in track units but the altitude only where
/// sections start, deriving the rest: the plans agree to the millimetre
/// everywhere, the altitudes where each section starts.
TEST(MillviewModel, TheXqModelOfATrackAgreesWithItsOriginals) {
  constexpr float kXqRounding = 0.005f;  // metres
  TempDir dir;
  const Handle<TrkFile> original = XqShaped(11);
  {
    Handle<SubFile> out(new SubFile(dir / "x.xq", true, true));
    XQTrkFile(out, original).Write();
  }
  const XQTrkReader xq(Handle<SubFile>(new SubFile(dir / "x.xq", false, false)));
  const tinygltf::Model a = Parse(Model(*original)), b = Parse(Model(xq));
  EXPECT_EQ(MaterialNames(a), MaterialNames(b));
  ASSERT_EQ(a.nodes.size(), b.nodes.size());
  for (std::size_t n = 0; n < a.nodes.size(); ++n) {
    SCOPED_TRACE(a.nodes[n].name);
    ASSERT_EQ(a.nodes[n].name, b.nodes[n].name);
    if (a.nodes[n].mesh < 0) continue;
    const tinygltf::Mesh &ma = a.meshes[a.nodes[n].mesh], &mb = b.meshes[b.nodes[n].mesh];
    const bool section = a.nodes[n].name.compare(0, 8, "section-") == 0;
    if (section) {
      EXPECT_EQ(ma.extras.Get("kind").Get<std::string>(), mb.extras.Get("kind").Get<std::string>());
    }
    ASSERT_EQ(ma.primitives.size(), mb.primitives.size());
    for (std::size_t q = 0; q < ma.primitives.size(); ++q)
      EXPECT_EQ(a.materials[ma.primitives[q].material].name, b.materials[mb.primitives[q].material].name);
    const int xa = ma.primitives[0].attributes.at("POSITION"), xb = mb.primitives[0].attributes.at("POSITION");
    ASSERT_EQ(a.accessors[xa].count, b.accessors[xb].count);
    for (std::size_t v = 0; v < a.accessors[xa].count; ++v) {
      const auto va = Vertex(a, xa, v), vb = Vertex(b, xb, v);
      // The first vertex is the section's start (the centre line's is the
      // track's); there the XQ file keeps the altitude too.
      for (int k = 0; k < 3; ++k) {
        if (k == 1 && v > 0) continue;
        ASSERT_NEAR(va[k], vb[k], kXqRounding) << "vertex " << v << " axis " << k;
      }
    }
  }
}

/// The readers let a track without sections through; its model is a
/// scene with the track's node alone, without a buffer.
TEST(MillviewModel, ATrackWithoutSectionsIsAnEmptyScene) {
  SyntheticTrack* track = new SyntheticTrack(Vtr(5));
  track->sections.clear();
  track->lines.clear();
  track->strips.clear();
  track->walls.clear();
  const Handle<TrkFile> held(track);
  const tinygltf::Model model = Parse(Model(*held));
  ASSERT_EQ(model.nodes.size(), 1u);
  EXPECT_EQ(model.nodes[0].name, "test");
  EXPECT_TRUE(model.buffers.empty());
  EXPECT_TRUE(model.meshes.empty());
}

/// 64-bit FNV-1a: enough to tell two builds' bytes apart.
uint64_t Fingerprint(const std::vector<uint8_t>& bytes) {
  uint64_t h = 14695981039346656037ull;
  for (uint8_t b : bytes) h = (h ^ b) * 1099511628211ull;
  return h;
}

/// The same tracks give the same bytes on every system the programs are
/// built for: the figures were made by the Linux build, and the Windows
/// build's tests (under Wine) compare against them too. After a change to
/// the model's layout, the failure prints the new figures to put here.
TEST(MillviewModel, BytesAreTheSameOnEverySystem) {
  struct Case {
    const char* name;
    Handle<TrkFile> track;
    uint64_t fingerprint;
    std::size_t size;
  } cases[] = {
      {"mota closed with walls", Handle<TrkFile>(new SyntheticTrack(Mota(true, 21))), 3351052352218767747ull, 97048},
      {"vtr closed", Handle<TrkFile>(new SyntheticTrack(Vtr(22))), 6168939608225268049ull, 64360},
      {"mota open", Opened(Mota(true, 23), 4), 7225376474921216951ull, 74816},
  };
  for (const Case& c : cases) {
    const std::vector<uint8_t> bytes = Model(*c.track);
    EXPECT_EQ(Fingerprint(bytes), c.fingerprint) << c.name << ": " << bytes.size() << " bytes";
    EXPECT_EQ(bytes.size(), c.size) << c.name;
  }
}

std::string Node() { return platform::FindOnPath(platform::ExecutableName("node")); }

bool ValidatorInstalled() {
  return !Node().empty() && std::filesystem::is_regular_file(std::string(GLTF_VALIDATOR_DIR) + "/package.json");
}

/// What the program writes for VTR, MOTA and XQ tracks, loose and in an
/// archive, closed and open, with and without walls.
TEST(MillviewModel, TheKhronosValidatorFindsNoErrorsOrWarnings) {
  if (!ValidatorInstalled())
    GTEST_SKIP() << "node or gltf-validator missing (scripts/test.sh installs it in " GLTF_VALIDATOR_DIR ")";
  TempDir dir;
  trackgen::WriteTrack(trackgen::TrackFormat::kVtr, dir / "alpha.trk", Handle<TrkFile>(new SyntheticTrack(Vtr(31))));
  trackgen::WriteTrack(trackgen::TrackFormat::kVtr, dir / "bravo.trk", Opened(Vtr(32), 3));
  const Handle<TrkFile> walled(new SyntheticTrack(Mota(true, 33)));
  trackgen::WriteTrack(trackgen::TrackFormat::kMota, dir / "charlie.trk", walled);
  trackgen::WriteTrack(trackgen::TrackFormat::kMota, dir / "delta.trk", Opened(Mota(true, 34), 5));
  trackgen::WriteTrack(trackgen::TrackFormat::kMota, dir / "echo.trk",
                       Handle<TrkFile>(new SyntheticTrack(Mota(false, 35))));
  trackgen::WriteTrack(trackgen::TrackFormat::kMota, dir / "member.bin", Opened(Mota(false, 36), 2));
  trackgen::WriteDatArchive(dir / "Foxtrot.dat", {{"FOXTROT.TRK", testing_support::ReadBytes(dir / "member.bin")}});
  for (const char* name : {"Golf.xq", "Hotel.xq"}) {
    Handle<SubFile> out(new SubFile(dir / name, true, true));
    XQTrkFile(out, name[0] == 'G' ? walled : Opened(Mota(true, 37), 3)).Write();
  }
  const auto run = millview_test::RunMillview({"-q", "--3d", "."}, dir.path().string());
  ASSERT_EQ(run.exit_status, 0) << run.standard_error;
  std::vector<std::string> arguments = {PROJECT_SOURCE_DIR "/tests/millview/validate_models.js",
                                        GLTF_VALIDATOR_DIR};
  for (const std::string& file : millview_test::FilesBelow(dir.path().string()))
    if (file.size() > 4 && file.compare(file.size() - 4, 4, ".glb") == 0) arguments.push_back(dir / file);
  ASSERT_EQ(arguments.size(), 2u + 8u);
  const auto check = platform::RunProcess(Node(), arguments, dir.path().string());
  std::printf("%s", check.standard_output.c_str());
  EXPECT_EQ(check.exit_status, 0) << check.standard_output << check.standard_error;
}

}  // namespace

namespace {

/// Stand-ins for the three.js files, laid out as the package installs them.
std::string FakeScriptLibrary(const TempDir& dir) {
  for (const char* file : {"three/three.min.js", "three/examples/js/loaders/GLTFLoader.js",
                           "three/examples/js/controls/OrbitControls.js"}) {
    std::filesystem::create_directories(std::filesystem::path(dir / file).parent_path());
    testing_support::WriteText(dir / file, std::string("// ") + file + "\n");
  }
  return dir.path().string();
}

std::string Text(const std::string& path) {
  const std::vector<uint8_t> bytes = testing_support::ReadBytes(path);
  return std::string(bytes.begin(), bytes.end());
}

void WriteTracks(const TempDir& dir) {
  std::filesystem::create_directories(dir.path() / "in" / "sub" / "deep");
  trackgen::WriteTrack(trackgen::TrackFormat::kVtr, dir / "in/alpha.trk", Handle<TrkFile>(new SyntheticTrack(Vtr(41))));
  trackgen::WriteTrack(trackgen::TrackFormat::kMota, dir / "in/sub/bravo.trk",
                       Handle<TrkFile>(new SyntheticTrack(Mota(true, 42))));
  trackgen::WriteTrack(trackgen::TrackFormat::kMota, dir / "in/sub/deep/charlie.trk", Opened(Mota(true, 43), 2));
}

/// With --html every track gets a 3D page that loads the scripts from the
/// gallery's top folder, where one copy of them goes; one job or two make
/// the same bytes.
TEST(MillviewModel, GalleriesShowEachTrackIn3DTheSameWithOneJobOrTwo) {
  TempDir dir;
  WriteTracks(dir);
  platform::SetScriptLibraryFolder(FakeScriptLibrary(dir));
  for (const char* jobs : {"1", "2"}) {
    const auto run = millview_test::RunMillview({"--html", "-q", "-j", jobs, "-o", std::string("out") + jobs + "/view", "in"},
                                                dir.path().string());
    ASSERT_EQ(run.exit_status, 0) << run.standard_error;
    EXPECT_EQ(run.standard_error, "");
  }
  platform::SetScriptLibraryFolder("");
  const std::vector<std::string> files = millview_test::FilesBelow(dir / "out1/view");
  EXPECT_EQ(files, millview_test::FilesBelow(dir / "out2/view"));
  for (const std::string& file : files)
    EXPECT_TRUE(testing_support::ReadBytes(dir / ("out1/view/" + file)) ==
                testing_support::ReadBytes(dir / ("out2/view/" + file)))
        << file;
  for (const char* script : {"three.min.js", "GLTFLoader.js", "OrbitControls.js"})
    EXPECT_NE(std::find(files.begin(), files.end(), script), files.end()) << script;
  const struct {
    const char* page;
    const char* top;
  } pages[] = {{"alpha.trk", ""}, {"sub/bravo.trk", "../"}, {"sub/deep/charlie.trk", "../../"}};
  for (const auto& p : pages) {
    SCOPED_TRACE(p.page);
    const std::string html = Text(dir / (std::string("out1/view/") + p.page + ".3d.html"));
    for (const char* script : {"three.min.js", "GLTFLoader.js", "OrbitControls.js"})
      EXPECT_NE(html.find(std::string("<script src=\"") + p.top + script + "\"></script>"), std::string::npos);
    const std::string glb = Text(dir / (std::string("out1/view/") + p.page + ".glb"));
    const std::vector<uint8_t> model(glb.begin(), glb.end());
    EXPECT_NE(html.find("\"data:model/gltf-binary;base64," + millview::Base64(model) + "\""), std::string::npos);
    const std::string name = std::filesystem::path(p.page).filename().string();
    const std::string gallery = Text(dir / ("out1/view/" + std::filesystem::path(p.page).parent_path().generic_string() +
                                            "/index.html"));
    EXPECT_NE(gallery.find("<a class=\"model\" href=\"" + name + ".3d.html\">"), std::string::npos);
  }
}

TEST(MillviewModel, WithoutThreeJsTheGalleriesGoWithout3DPagesAndSaySoOnce) {
  TempDir dir;
  WriteTracks(dir);
  std::filesystem::create_directories(dir.path() / "empty");
  platform::SetScriptLibraryFolder(dir / "empty");
  const auto run = millview_test::RunMillview({"--html", "-q", "-o", "out", "in"}, dir.path().string());
  platform::SetScriptLibraryFolder("");
  EXPECT_EQ(run.exit_status, 0);
  const std::string expected = "millview: no 3D pages in the galleries: cannot find " +
                               (dir / "empty/three/three.min.js") + " (Debian: libjs-three)\n";
  std::string said = run.standard_error;  // Windows ends its lines with CR LF
  said.erase(std::remove(said.begin(), said.end(), '\r'), said.end());
  EXPECT_EQ(said, expected);
  const std::vector<std::string> files = millview_test::FilesBelow(dir / "out");
  EXPECT_EQ(files, (std::vector<std::string>{"alpha.trk.glb", "alpha.trk.svg", "index.html", "sub/bravo.trk.glb",
                                             "sub/bravo.trk.svg", "sub/deep/charlie.trk.glb",
                                             "sub/deep/charlie.trk.svg", "sub/deep/index.html", "sub/index.html"}));
  EXPECT_EQ(Text(dir / "out/index.html").find("3D view"), std::string::npos);
}

TEST(MillviewModel, Base64IsTheStandardAlphabetWithPadding) {
  const struct {
    const char* bytes;
    const char* text;
  } cases[] = {{"", ""}, {"f", "Zg=="}, {"fo", "Zm8="}, {"foo", "Zm9v"}, {"foob", "Zm9vYg=="},
               {"\xff\xfe\x3e", "//4+"}};
  for (const auto& c : cases)
    EXPECT_EQ(millview::Base64(std::vector<uint8_t>(c.bytes, c.bytes + std::strlen(c.bytes))), c.text) << c.text;
}

}  // namespace
