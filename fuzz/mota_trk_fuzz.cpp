// Feeds arbitrary bytes to the MOTA track reader. Whatever it accepts must
// answer every query, write a file it accepts again, rewrite that file
// byte for byte, and rebuild through the model into a readable file.
//
// Seeds: fuzz/corpus/mota/, made by fuzz/make_mota_seeds.sh from generated
// tracks.

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <typeinfo>
#include <vector>

#include "trackconv/foundation/errors.h"
#include "trackconv/track/mota_trk_file.h"

namespace {

// A private scratch directory for the files of one run, removed at exit.
class Scratch {
 public:
  Scratch() {
    std::random_device entropy;
    path_ = std::filesystem::temp_directory_path() / ("mota_fuzz_" + std::to_string(entropy()));
    std::filesystem::create_directories(path_);
  }
  ~Scratch() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  std::string operator/(const char* name) const { return (path_ / name).string(); }

 private:
  std::filesystem::path path_;
};

const Scratch& ScratchDirectory() {
  static const Scratch scratch;
  return scratch;
}

void Store(const std::string& path, const uint8_t* data, size_t size) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
}

std::vector<uint8_t> Load(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

[[noreturn]] void Finding(const char* what) {
  std::fprintf(stderr, "finding: %s\n", what);
  std::abort();
}

// Only these two kinds of failure are allowed to leave the reader.
void ExpectCleanFailure(const std::exception& e) {
  if (typeid(e) == typeid(XAssumption) || typeid(e) == typeid(XFileRead)) return;
  std::fprintf(stderr, "%s: %s\n", typeid(e).name(), e.what());
  Finding("unexpected exception type");
}

volatile double sink;

void AskEverything(const TrkFile& t) {
  double sum = t.TrackLength();
  for (uint32_t j = 0; j < t.LateralCount(); ++j) sum += t.LateralOffset(j);
  for (uint32_t i = 0; i < t.SectionCount(); ++i) {
    sum += t.IsCurve(i) + t.SectionProximity(i) + t.SectionStart(i) + t.SectionLength(i) +
           t.SectionHeading(i) + t.CurveCentreX(i) + t.CurveCentreY(i) + t.CurveAngle(i);
    for (uint32_t m = 0; m < t.SectionWordCount(i) + 1; ++m)
      sum += t.SectionWord(i, m) + (t.SectionWordName(i, m) != nullptr);
    for (uint32_t j = 0; j < t.LateralCount(); ++j) {
      sum += t.AltitudeStart(i, j) + t.AltitudeLinear(i, j) + t.AltitudeQuadratic(i, j) +
             t.AltitudeCubic(i, j) + t.LineStartX(i, j) + t.LineStartY(i, j) +
             t.LineRadius(i, j) + t.LineWordCount(i, j);
    }
    for (uint32_t k = 0; k < t.SurfaceCount(i); ++k) {
      sum += t.SurfaceFromAtStart(i, k) + t.SurfaceFromAtEnd(i, k) + t.SurfaceToAtStart(i, k) +
             t.SurfaceToAtEnd(i, k) + t.SurfaceHeight(i, k) + t.SurfaceIsWall(i, k) +
             t.SurfaceWordCount(i, k);
      try {
        sum += t.SurfaceKind(i, k) + t.SurfaceVariant(i, k);
      } catch (const XAssumption&) {
      }
    }
    for (uint32_t w = 0; w < t.WallCount(i); ++w) {
      sum += t.WallFromAtStart(i, w) + t.WallFromAtEnd(i, w) + t.WallToAtStart(i, w) +
             t.WallToAtEnd(i, w) + t.WallHeight(i, w) + t.WallWordCount(i, w);
      try {
        sum += t.WallKind(i, w);
      } catch (const XAssumption&) {
      }
    }
  }
  try {
    Point3D p = t.PointAt(t.TrackLength() / 2, t.LateralOffset(0) - 1.0);
    sum += p.x + p.y + p.z + t.SectionAt(0.0);
  } catch (const XAssumption&) {
  }
  sink = sum;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string input = ScratchDirectory() / "input.trk";
  const std::string rebuilt = ScratchDirectory() / "rebuilt.trk";
  Store(input, data, size);

  Handle<MOTATrkFile> track;
  try {
    Handle<SubFile> file(new SubFile(input, false, false));
    track = new MOTATrkFile(file);
  } catch (const std::exception& e) {
    ExpectCleanFailure(e);
    return 0;
  }
  AskEverything(*track);

  // The writer's output is always acceptable to the reader, and stable.
  track->Write();
  const std::vector<uint8_t> written = Load(input);
  try {
    Handle<SubFile> file(new SubFile(input, false, false));
    Handle<MOTATrkFile> again(new MOTATrkFile(file));
    again->Write();
  } catch (const std::exception& e) {
    std::fprintf(stderr, "%s\n", e.what());
    Finding("a written file was refused");
  }
  if (Load(input) != written) Finding("rewriting changed the file");

  // Rebuilding through the model may refuse surface or wall values the
  // format's table lacks, but what it builds must read back.
  try {
    Handle<SubFile> out(new SubFile(rebuilt, true, true));
    MOTATrkFile copy(out, track);
    copy.Write();
  } catch (const XAssumption&) {
    return 0;
  }
  try {
    Handle<SubFile> file(new SubFile(rebuilt, false, false));
    MOTATrkFile reread(file);
    AskEverything(reread);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "%s\n", e.what());
    Finding("a rebuilt file was refused");
  }
  return 0;
}
