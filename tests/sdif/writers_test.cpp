// Writers of the analysis files: tables, declarations, signatures, shapes, times and values,
// refusals and their messages, and the round trip through the matching reader.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>

#include "sdif/EPCtovector.h"
#include "sdif/MRKsegtomatrix.h"
#include "sdif/datato1EPC.h"
#include "sdif/datato1PSO.h"
#include "sdif/datatosdif.h"
#include "sdif/sdif_signatures.h"
#include "sdif/sdiftomatrix.h"
#include "sdif/segmentto1MRK.h"
#include "sdif_test_util.h"

using tessel::TesselMatrix;
using tessel::TesselVector;

namespace {

const char* const kVutTypes =
    "{\n  1MTD 1VUT {VoicedUnvoicedTransFlag}\n  1FTD 1VUV\n    {\n      1VUT "
    "VoicedUnvoicedTransFlag;\n    }\n}\n";
const char* const kEpcTypes =
    "{\n  1MTD 1ECS {EpocsSmallReallocation}\n  1MTD 1ECL {EpocsLongReallocation}\n  1FTD 1EPC\n"
    "    {\n      1ECS EpocsSmallReallocation;\n      1ECL EpocsLongReallocation;\n    }\n}\n";
const char* const kPsoTypes =
    "{\n  1MTD 1PSO {Position, Fundamentalfrequency, VoicingFlag, VoicingCoefficient, "
    "VoicingCuttingFrequency, Periods, Mod, TransitoireFlag}\n  1FTD 1PSO\n    {\n      ITDS "
    "SamplingRate;\n      1PSO Glotmark;\n    }\n}\n";

std::uintmax_t file_size(const std::string& p) {
  return std::filesystem::file_size(p);
}

// Runs fn in a child and returns what it printed; the writer's result must be `code`.
// The text of a failure that must have happened.
std::string failure_text(const Status& written) {
  EXPECT_FALSE(written.ok());
  return written.ok() ? "" : written.error().text;
}

TEST(Datatosdif, TrackFilesOfTheDriver) {
  struct Case {
    SdifSignature frame, matrix;
    const char* types;
  } const cases[] = {
      {k1VUV, k1VUN, ""}, {k1VUV, k1VUF, ""}, {k1VUV, k1VUT, kVutTypes}, {k1MRK, k1PEM, ""}};
  testsupport::ScratchDir dir;
  const TesselVector<double> t = {0.0, 0.01, 0.01, 0.25};
  const TesselVector<double> v = {1.0, 0.5, 2.0, 1234.5};
  for (const auto& c : cases) {
    const std::string name = SdifSignatureToString(c.frame) + "/" + SdifSignatureToString(c.matrix);
    SCOPED_TRACE(name);
    const std::string path = dir / "track.sdif";
    ASSERT_TRUE(datatosdif(t, v, c.frame, c.matrix, path, sdiftest::default_args()).ok());
    EXPECT_TRUE(SdifCheckFileFormat(path));
    const sdiftest::File f = sdiftest::read_file(path);
    ASSERT_EQ(f.tables.size(), 2u);
    EXPECT_EQ(f.tables[0].GetValue("Program"), "Glotmark");
    EXPECT_EQ(f.tables[1].GetValue("MethodEpocs"), "ener");
    EXPECT_EQ(sdiftest::types_text(f), c.types);
    ASSERT_EQ(f.frames.size(), 4u);
    for (int i = 0; i < 4; ++i) {
      const auto& fr = f.frames[i];
      EXPECT_EQ(fr.sig, SdifSignatureToString(c.frame));
      EXPECT_EQ(fr.time, t[i]);
      EXPECT_EQ(fr.stream, 0u);
      ASSERT_EQ(fr.matrices.size(), 1u);
      EXPECT_EQ(fr.matrices[0].sig, SdifSignatureToString(c.matrix));
      EXPECT_EQ(fr.matrices[0].type, eFloat4);
      EXPECT_EQ(fr.matrices[0].values, std::vector<double>{v[i]});
      EXPECT_EQ(fr.matrices[0].rows * 10 + fr.matrices[0].cols, 11);
    }
    // Every track frame takes 48 bytes: 24 of frame header, 16 of matrix header, 4 + 4 padding.
    const std::string empty = dir / "empty.sdif";
    ASSERT_TRUE(datatosdif({}, {}, c.frame, c.matrix, empty, sdiftest::default_args()).ok());
    EXPECT_EQ(file_size(path) - file_size(empty), 4u * 48);
    EXPECT_TRUE(sdiftest::read_file(empty).frames.empty());
  }
}

TEST(Datatosdif, RoundTripThroughSdiftomatrix) {
  testsupport::ScratchDir dir;
  const std::string path = dir / "v.1VUN.sdif";
  TesselVector<double> t(500), v(500);
  for (int i = 0; i < 500; ++i) {
    t[i] = 0.005 * i;
    v[i] = std::sin(0.1 * i) * 3000.0;
  }
  ASSERT_TRUE(datatosdif(t, v, k1VUV, k1VUN, path, sdiftest::default_args()).ok());
  TesselMatrix<double> m;
  ASSERT_TRUE(sdiftomatrix(path, m, ":1VUV/1VUN").ok());
  ASSERT_EQ(m.nrows(), 500);
  ASSERT_EQ(m.ncols(), 2);
  for (int i = 0; i < 500; ++i) {
    EXPECT_EQ(m(i, 0), t[i]);  // times are float64 in the file
    EXPECT_EQ(m(i, 1), static_cast<double>(static_cast<float>(v[i])));
  }
  TesselMatrix<double> other;
  ASSERT_TRUE(sdiftomatrix(path, other, ":1VUV/1VUF").ok());
  EXPECT_EQ(other.nrows(), 0);
  EXPECT_EQ(other.ncols(), 2);
}

TEST(Datatosdif, RowVectorsStillGiveOneFramePerElement) {
  testsupport::ScratchDir dir;
  const std::string path = dir / "row.sdif";
  TesselVector<double> t = {0.1, 0.2, 0.3}, v = {1, 0, 2};
  t.setcol(false);
  v.setcol(false);
  ASSERT_TRUE(datatosdif(t, v, k1VUV, k1VUT, path, sdiftest::default_args()).ok());
  EXPECT_EQ(sdiftest::read_file(path).frames.size(), 3u);
  TesselVector<double> none;
  none.setcol(false);
  ASSERT_TRUE(datatosdif(none, none, k1VUV, k1VUT, path, sdiftest::default_args()).ok());
  EXPECT_TRUE(sdiftest::read_file(path).frames.empty());
}

TEST(Datatosdif, RefusalsWriteNothing) {
  testsupport::ScratchDir dir;
  const std::string path = dir / "x.sdif";
  const auto args = sdiftest::default_args();
  EXPECT_EQ(failure_text(datatosdif({0.0, 1.0}, {1.0}, k1VUV, k1VUN, path, args)),
            "\n *** Error : datatosdif ***" + path +
                "\n     -> wrong size between time vector and datavector\n");
  EXPECT_EQ(failure_text(datatosdif({0.0, 1.0, 0.5}, {1, 2, 3}, k1VUV, k1VUN, path, args)),
            "\n *** Error : datatosdif ***\n -> " + path +
                " : times must be finite and must not decrease\n\n");
  EXPECT_FALSE(datatosdif({0.0, NAN}, {1, 2}, k1VUV, k1VUN, path, args).ok());
  EXPECT_FALSE(std::filesystem::exists(path));

  const std::string nowhere = dir / "missing/x.sdif";
  EXPECT_EQ(failure_text(datatosdif({0.0}, {1.0}, k1VUV, k1VUN, nowhere, args)),
            "\n *** Error ***\n -> cannot create " + nowhere + "\n *** Exiting program ***\n\n");
}

TEST(Datato1EPC, OneFrameAtTimeZeroHoldingTheCurve) {
  testsupport::ScratchDir dir;
  const auto args = sdiftest::default_args();
  for (const SdifSignature sig : {k1ECS, k1ECL}) {
    SCOPED_TRACE(SdifSignatureToString(sig));
    const std::string path = dir / "e.sdif";
    // 2^24 + 1 is the first integer a float32 cannot hold: it comes back as 2^24.
    const TesselVector<double> curve = {0.0, -1.5, 3.25, 16777217.0, 7.0};
    ASSERT_TRUE(datato1EPC(curve, sig, path, args).ok());
    const sdiftest::File f = sdiftest::read_file(path);
    ASSERT_EQ(f.tables.size(), 2u);
    EXPECT_EQ(sdiftest::types_text(f), kEpcTypes);
    ASSERT_EQ(f.frames.size(), 1u);
    EXPECT_EQ(f.frames[0].sig, "1EPC");
    EXPECT_EQ(f.frames[0].time, 0.0);
    ASSERT_EQ(f.frames[0].matrices.size(), 1u);
    const auto& m = f.frames[0].matrices[0];
    EXPECT_EQ(m.sig, SdifSignatureToString(sig));
    EXPECT_EQ(m.type, eFloat4);
    EXPECT_EQ(m.rows, 5);
    EXPECT_EQ(m.cols, 1);
    EXPECT_EQ(m.values, (std::vector<double>{0.0, -1.5, 3.25, 16777216.0, 7.0}));

    TesselVector<double> back;
    ASSERT_TRUE(EPCtovector(path, back, sig == k1ECS ? ":1EPC/1ECS" : ":1EPC/1ECL").ok());
    ASSERT_EQ(back.size(), 5);
    EXPECT_EQ(back[2], 3.25);
    EXPECT_EQ(back[3], 16777216.0);
    TesselVector<double> wrong = {9.0};
    ASSERT_TRUE(EPCtovector(path, wrong, sig == k1ECS ? ":1EPC/1ECL" : ":1EPC/1ECS").ok());
    EXPECT_EQ(wrong.size(), 0);
  }
}

TEST(Datato1EPC, EmptyCurveGivesAZeroRowMatrix) {
  testsupport::ScratchDir dir;
  const std::string path = dir / "e.sdif";
  ASSERT_TRUE(datato1EPC({}, k1ECS, path, sdiftest::default_args()).ok());
  const sdiftest::File f = sdiftest::read_file(path);
  ASSERT_EQ(f.frames.size(), 1u);
  EXPECT_EQ(f.frames[0].matrices.at(0).rows, 0);
  EXPECT_EQ(f.frames[0].matrices.at(0).cols, 1);
}

TEST(Datato1EPC, SizeOfTheFrameFollowsTheCurveLength) {
  testsupport::ScratchDir dir;
  const auto args = sdiftest::default_args();
  // Frame: 24 header + 16 matrix header + 4 n bytes padded to 8.
  for (const int n : {0, 1, 2, 3, 1001}) {
    SCOPED_TRACE(n);
    ASSERT_TRUE(datato1EPC(TesselVector<double>(n, 0.5), k1ECS, dir / "n.sdif", args).ok());
    ASSERT_TRUE(datato1EPC({}, k1ECS, dir / "zero.sdif", args).ok());
    EXPECT_EQ(file_size(dir / "n.sdif") - file_size(dir / "zero.sdif"),
              static_cast<std::uintmax_t>((4 * n + 7) / 8 * 8));
  }
}

TEST(Segmentto1MRK, ZonesBecomeAlternatingBeginAndEndFrames) {
  testsupport::ScratchDir dir;
  const std::string path = dir / "z.1VOI.sdif";
  // The second zone starts where the first ends.
  const TesselMatrix<double> zones = {{0.1, 0.4}, {0.4, 0.9}, {1.5, 2.25}};
  ASSERT_TRUE(segmentto1MRK(zones, path, k1BEG, k1END, "Voiced", sdiftest::default_args()).ok());
  const sdiftest::File f = sdiftest::read_file(path);
  ASSERT_EQ(f.tables.size(), 3u);
  EXPECT_EQ(f.tables[2].Entries(),
            (std::vector<std::pair<std::string, std::string>>{{"SegmentType", "Voiced"}}));
  EXPECT_TRUE(f.types.empty());
  ASSERT_EQ(f.frames.size(), 6u);
  for (int i = 0; i < 6; ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(f.frames[i].sig, "1MRK");
    EXPECT_EQ(f.frames[i].time, zones(i / 2, i % 2));
    ASSERT_EQ(f.frames[i].matrices.size(), 1u);
    EXPECT_EQ(f.frames[i].matrices[0].sig, i % 2 ? "1END" : "1BEG");
    EXPECT_EQ(f.frames[i].matrices[0].values, std::vector<double>{static_cast<double>(i / 2)});
  }
  TesselMatrix<double> back;
  ASSERT_TRUE(MRKsegtomatrix(path, back, "1MRK", "1BEG", "1END").ok());
  ASSERT_EQ(back.nrows(), 3);
  ASSERT_EQ(back.ncols(), 2);
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(back(i, 0), zones(i, 0));
    EXPECT_EQ(back(i, 1), zones(i, 1));
  }
}

TEST(Segmentto1MRK, EmptyZoneTableWritesAndReadsBack) {
  testsupport::ScratchDir dir;
  const std::string path = dir / "z.1TRA.sdif";
  ASSERT_TRUE(segmentto1MRK(TesselMatrix<double>(0, 2), path, k1BEG, k1END, "Transient",
                            sdiftest::default_args())
                  .ok());
  const sdiftest::File f = sdiftest::read_file(path);
  EXPECT_EQ(f.tables.size(), 3u);
  EXPECT_TRUE(f.frames.empty());
  TesselMatrix<double> back(4, 2, 1.0);
  ASSERT_TRUE(MRKsegtomatrix(path, back, "1MRK", "1BEG", "1END").ok());
  EXPECT_EQ(back.nrows(), 0);
}

TEST(Segmentto1MRK, OverlappingOrReversedZonesAreRefused) {
  testsupport::ScratchDir dir;
  const std::string path = dir / "z.sdif";
  const auto args = sdiftest::default_args();
  for (const TesselMatrix<double>& zones :
       {TesselMatrix<double>{{0.1, 0.5}, {0.4, 0.9}}, TesselMatrix<double>{{0.5, 0.1}}}) {
    EXPECT_EQ(failure_text(segmentto1MRK(zones, path, k1BEG, k1END, "Voiced", args)),
              "\n *** Error : segmentto1MRK ***\n -> " + path +
                  " : times must be finite and must not decrease\n\n");
  }
  EXPECT_FALSE(segmentto1MRK(TesselMatrix<double>(2, 1), path, k1BEG, k1END, "Voiced", args).ok());
  EXPECT_FALSE(std::filesystem::exists(path));
}

struct PsoColumns {
  TesselVector<double> t, pos, f0, vflag, vcoef, fc, periods, mod, trflag;
};

PsoColumns pso_columns(int n) {
  PsoColumns c;
  for (auto* v : {&c.t, &c.pos, &c.f0, &c.vflag, &c.vcoef, &c.fc, &c.periods, &c.mod, &c.trflag}) {
    v->resize(n);
  }
  for (int i = 0; i < n; ++i) {
    c.t[i] = 0.01 * i;
    c.pos[i] = 441.0 * i;
    c.f0[i] = 100 + i;
    c.vflag[i] = i % 2;
    c.vcoef[i] = 0.125 * i;
    c.fc[i] = 3000 + i;
    c.periods[i] = 441;
    c.mod[i] = -0.5 + i;
    c.trflag[i] = i == 1;
  }
  return c;
}

TEST(Datato1PSO, OneFramePerMarkWithSamplingRateAndEightParameters) {
  testsupport::ScratchDir dir;
  const std::string path = dir / "p.1PSO.sdif";
  const PsoColumns c = pso_columns(3);
  ASSERT_TRUE(datato1PSO(path, 44100.0, c.t, c.pos, c.f0, c.vflag, c.vcoef, c.fc, c.periods, c.mod,
                         c.trflag, sdiftest::default_args())
                  .ok());
  const sdiftest::File f = sdiftest::read_file(path);
  ASSERT_EQ(f.tables.size(), 2u);
  EXPECT_TRUE(f.tables[1].HasName("Force_fcmax"));
  EXPECT_EQ(sdiftest::types_text(f), kPsoTypes);
  ASSERT_EQ(f.frames.size(), 3u);
  for (int i = 0; i < 3; ++i) {
    SCOPED_TRACE(i);
    const auto& fr = f.frames[i];
    EXPECT_EQ(fr.sig, "1PSO");
    EXPECT_EQ(fr.time, c.t[i]);
    ASSERT_EQ(fr.matrices.size(), 2u);
    EXPECT_EQ(fr.matrices[0].sig, "ITDS");
    EXPECT_EQ(fr.matrices[0].values, std::vector<double>{44100.0});
    EXPECT_EQ(fr.matrices[1].sig, "1PSO");
    EXPECT_EQ(fr.matrices[1].type, eFloat4);
    EXPECT_EQ(fr.matrices[1].rows, 1);
    EXPECT_EQ(fr.matrices[1].cols, 8);
    EXPECT_EQ(fr.matrices[1].values,
              (std::vector<double>{c.pos[i], c.f0[i], c.vflag[i], c.vcoef[i], c.fc[i], c.periods[i],
                                   c.mod[i], c.trflag[i]}));
  }
  // Each 1PSO frame takes 96 bytes: 24 + (16 + 8) + (16 + 32).
  const PsoColumns none = pso_columns(0);
  const std::string empty = dir / "empty.sdif";
  ASSERT_TRUE(datato1PSO(empty, 44100.0, none.t, none.pos, none.f0, none.vflag, none.vcoef, none.fc,
                         none.periods, none.mod, none.trflag, sdiftest::default_args())
                  .ok());
  EXPECT_EQ(file_size(path) - file_size(empty), 3u * 96);
  const sdiftest::File e = sdiftest::read_file(empty);
  EXPECT_TRUE(e.frames.empty());
  EXPECT_EQ(sdiftest::types_text(e), kPsoTypes);
}

TEST(Datato1PSO, UnequalVectorsAreRefused) {
  testsupport::ScratchDir dir;
  const std::string path = dir / "p.sdif";
  const auto args = sdiftest::default_args();
  for (int which = 0; which < 8; ++which) {
    SCOPED_TRACE(which);
    PsoColumns c = pso_columns(4);
    TesselVector<double>* cols[] = {&c.pos, &c.f0,      &c.vflag, &c.vcoef,
                                    &c.fc,  &c.periods, &c.mod,   &c.trflag};
    cols[which]->resize(3);
    EXPECT_EQ(failure_text(datato1PSO(path, 8000, c.t, c.pos, c.f0, c.vflag, c.vcoef, c.fc,
                                      c.periods, c.mod, c.trflag, args)),
              "\n *** Error : datato1PSO *** " + path + "\n -> wrong size between vectors\n\n");
  }
  EXPECT_FALSE(std::filesystem::exists(path));
}

}  // namespace
