// Generated tracks through the MOTA format: what is written reads back with
// the same answers, and what the format carries survives from the source.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/temp_dir.h"
#include "tools/lib/synthetic_track.h"
#include "trackconv/track/mota_trk_file.h"
#include "trackconv/track/vtr_trk_file.h"

namespace {

using testing_support::ReadBytes;
using testing_support::TempDir;
using Bytes = std::vector<uint8_t>;

struct Shape {
  uint32_t sections, laterals, surfaces, walls, seed;
};

const Shape kShapes[] = {
    {1, 1, 1, 0, 1}, {2, 3, 2, 1, 2},  {7, 4, 3, 2, 3},
    {12, 10, 5, 3, 4}, {9, 2, 0, 2, 5}, {16, 5, 4, 4, 6},
};

Handle<SyntheticTrack> Generate(const Shape& shape, bool thin_walls) {
  SyntheticTrackOptions options;
  options.sections = shape.sections;
  options.laterals = shape.laterals;
  options.surfaces = shape.surfaces;
  options.walls = shape.walls;
  options.seed = shape.seed;
  options.surface_styles = MotaSurfaceStyles();
  options.wall_kinds = {0, 1, 2, 3, 4, 5};
  options.thin_walls = thin_walls;
  return Handle<SyntheticTrack>(new SyntheticTrack(options));
}

// Writes a MOTA track built from `source` to `name` and reads it back.
Handle<MOTATrkFile> WriteAndRead(const TempDir& dir, const Handle<TrkFile>& source,
                                 const std::string& name) {
  {
    Handle<SubFile> out(new SubFile(dir / name, true, true));
    MOTATrkFile built(out, source);
    built.Write();
  }
  Handle<SubFile> in(new SubFile(dir / name, false, false));
  return Handle<MOTATrkFile>(new MOTATrkFile(in));
}

int ReadBackKind(int kind) { return kind == 2 ? 4 : kind == 5 ? 3 : kind; }
int ReadBackWallKind(int kind) { return kind == 3 || kind == 4 ? 0 : kind; }

std::string Describe(const Shape& s) {
  return "sections " + std::to_string(s.sections) + " laterals " + std::to_string(s.laterals) +
         " strips " + std::to_string(s.surfaces) + " walls " + std::to_string(s.walls);
}

TEST(MOTAGeneratedTrack, CarriesTheSourceThroughTheFile) {
  TempDir dir;
  for (const Shape& shape : kShapes) {
    SCOPED_TRACE(Describe(shape));
    Handle<SyntheticTrack> source = Generate(shape, true);
    Handle<MOTATrkFile> read = WriteAndRead(dir, source, "carried.trk");

    ASSERT_EQ(read->TrackLength(), source->TrackLength());
    ASSERT_EQ(read->LateralCount(), source->LateralCount());
    for (uint32_t j = 0; j < read->LateralCount(); ++j)
      EXPECT_EQ(read->LateralOffset(j), source->LateralOffset(j));
    ASSERT_EQ(read->SectionCount(), source->SectionCount());
    for (uint32_t i = 0; i < read->SectionCount(); ++i) {
      SCOPED_TRACE("section " + std::to_string(i));
      EXPECT_EQ(read->IsCurve(i), source->IsCurve(i));
      EXPECT_EQ(read->SectionStart(i), source->SectionStart(i));
      EXPECT_EQ(read->SectionLength(i), source->SectionLength(i));
      EXPECT_EQ(read->SectionHeading(i), source->SectionHeading(i));
      EXPECT_EQ(read->SectionWord(i, 0), source->SectionWord(i, 0));
      if (source->IsCurve(i)) {
        EXPECT_EQ(read->CurveCentreX(i), source->CurveCentreX(i));
        EXPECT_EQ(read->CurveCentreY(i), source->CurveCentreY(i));
        EXPECT_EQ(read->CurveAngle(i), source->CurveAngle(i));
        EXPECT_EQ(read->SectionWord(i, 1), source->SectionWord(i, 1));
      }
      for (uint32_t j = 0; j < read->LateralCount(); ++j) {
        EXPECT_EQ(read->AltitudeStart(i, j), source->AltitudeStart(i, j));
        EXPECT_EQ(read->AltitudeLinear(i, j), source->AltitudeLinear(i, j));
        EXPECT_EQ(read->AltitudeQuadratic(i, j), source->AltitudeQuadratic(i, j));
        EXPECT_EQ(read->AltitudeCubic(i, j), source->AltitudeCubic(i, j));
        if (source->IsCurve(i)) {
          EXPECT_EQ(read->LineRadius(i, j), source->LineRadius(i, j));
        } else {
          EXPECT_EQ(read->LineStartX(i, j), source->LineStartX(i, j));
          EXPECT_EQ(read->LineStartY(i, j), source->LineStartY(i, j));
        }
      }
      ASSERT_EQ(read->SurfaceCount(i), source->SurfaceCount(i));
      for (uint32_t k = 0; k < read->SurfaceCount(i); ++k) {
        EXPECT_EQ(read->SurfaceFromAtStart(i, k), source->SurfaceFromAtStart(i, k));
        EXPECT_EQ(read->SurfaceFromAtEnd(i, k), source->SurfaceFromAtEnd(i, k));
        EXPECT_EQ(read->SurfaceToAtStart(i, k), source->SurfaceToAtStart(i, k));
        EXPECT_EQ(read->SurfaceToAtEnd(i, k), source->SurfaceToAtEnd(i, k));
        EXPECT_EQ(read->SurfaceKind(i, k), ReadBackKind(source->SurfaceKind(i, k)));
        EXPECT_EQ(read->SurfaceVariant(i, k), source->SurfaceVariant(i, k));
      }
      // Single-line source walls standing on both edges need no walls of
      // the format's own.
      if (shape.walls >= 2 && shape.surfaces > 0) {
        ASSERT_EQ(read->WallCount(i), source->WallCount(i));
        for (uint32_t w = 0; w < read->WallCount(i); ++w) {
          EXPECT_EQ(read->WallFromAtStart(i, w), source->WallFromAtStart(i, w));
          EXPECT_EQ(read->WallFromAtEnd(i, w), source->WallFromAtEnd(i, w));
          EXPECT_EQ(read->WallKind(i, w), ReadBackWallKind(source->WallKind(i, w)));
        }
      }
    }
  }
}

TEST(MOTAGeneratedTrack, ThickSourceWallsGainTheirFarSide) {
  TempDir dir;
  Handle<SyntheticTrack> source = Generate({5, 3, 3, 3, 8}, false);
  Handle<MOTATrkFile> read = WriteAndRead(dir, source, "thick.trk");
  for (uint32_t i = 0; i < read->SectionCount(); ++i) {
    // Inner edge covered by the first wall; each wall adds its far side;
    // the last wall's far side lies beyond the strips, so the outer edge
    // gets a wall of its own.
    ASSERT_EQ(read->WallCount(i), 7u);
    for (uint32_t w = 0; w < 3; ++w) {
      EXPECT_EQ(read->WallFromAtStart(i, 2 * w), source->WallFromAtStart(i, w));
      EXPECT_EQ(read->WallFromAtStart(i, 2 * w + 1), source->WallToAtStart(i, w));
      EXPECT_EQ(read->WallKind(i, 2 * w + 1), 0);
    }
    EXPECT_EQ(read->WallFromAtEnd(i, 6), source->SurfaceToAtEnd(i, 2));
    EXPECT_EQ(read->SurfaceToAtEnd(i, 2), source->SurfaceToAtEnd(i, 2));
  }
}

TEST(MOTAGeneratedTrack, WriteReadWriteIsByteIdentical) {
  TempDir dir;
  for (const Shape& shape : kShapes) {
    SCOPED_TRACE(Describe(shape));
    for (bool thin : {true, false}) {
      Handle<MOTATrkFile> read = WriteAndRead(dir, Generate(shape, thin), "first.trk");
      const Bytes first = ReadBytes(dir / "first.trk");
      // Through the model into a second file: the same bytes.
      Handle<MOTATrkFile> again = WriteAndRead(dir, read, "second.trk");
      EXPECT_EQ(ReadBytes(dir / "second.trk"), first);
      // And the read track rewriting its own file changes nothing.
      read->Write();
      read = nullptr;  // closed first: Windows shares no file open for writing
      EXPECT_EQ(ReadBytes(dir / "first.trk"), first);
    }
  }
}

// A VTR track through MOTA and back: everything both formats carry comes
// back, so with proximity flags and strip heights (which MOTA lacks) left
// out the second VTR file equals the first byte for byte.
TEST(MOTAGeneratedTrack, VTRThroughMOTAAndBackIsByteIdentical) {
  TempDir dir;
  for (const Shape& shape : kShapes) {
    SCOPED_TRACE(Describe(shape));
    SyntheticTrackOptions options;
    options.sections = shape.sections;
    options.laterals = shape.laterals;
    options.surfaces = shape.surfaces;
    options.walls = shape.walls;
    options.seed = shape.seed;
    // The surface kinds that keep their VTR type code through MOTA.
    options.surface_styles = {{0, 0}, {0, -4}, {1, 0}, {3, 0}, {4, 0}};
    Handle<SyntheticTrack> source(new SyntheticTrack(options));
    for (auto& section : source->sections) section.proximity = false;
    for (auto& strips : source->strips)
      for (auto& strip : strips) strip.height = 0;

    auto vtr_from = [&dir](const Handle<TrkFile>& from, const std::string& name) {
      {
        Handle<SubFile> out(new SubFile(dir / name, true, true));
        VTRTrkFile built(out, from);
        built.Write();
      }
      Handle<SubFile> in(new SubFile(dir / name, false, false));
      return Handle<TrkFile>(new VTRTrkFile(in));
    };
    Handle<TrkFile> vtr = vtr_from(source, "first_vtr.trk");
    Handle<MOTATrkFile> mota = WriteAndRead(dir, vtr, "middle_mota.trk");
    vtr_from(mota, "second_vtr.trk");
    EXPECT_EQ(ReadBytes(dir / "second_vtr.trk"), ReadBytes(dir / "first_vtr.trk"));
  }
}

}  // namespace
