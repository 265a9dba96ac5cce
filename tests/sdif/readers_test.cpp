// Readers of the analysis files: shapes read back, time limit, and the messages and statuses of
// missing and malformed files and of broken zone files.
#include <gtest/gtest.h>

#include <filesystem>

#include "sdif/EPCtovector.h"
#include "sdif/FQ0tomatrix.h"
#include "sdif/MRKsegtomatrix.h"
#include "sdif/sdif_signatures.h"
#include "sdif/sdiftomatrix.h"
#include "sdif_test_util.h"

using tessel::TesselMatrix;
using tessel::TesselVector;

namespace {

struct Marker {
  double time;
  SdifSignature matrix;
  double value;
};

// Writes 1MRK frames each holding one 1x1 matrix.
void write_markers(const std::string& path, const std::vector<Marker>& markers) {
  SDIFEntity e;
  ASSERT_TRUE(e.OpenWrite(path));
  for (const auto& m : markers) {
    SDIFFrame f;
    f.SetHeader(k1MRK, 0, m.time);
    SDIFMatrix mat(m.matrix, 1, 1);
    mat.Set(0, 0, m.value);
    f.AddMatrix(mat);
    f.Write(e);
  }
  e.Close();
}

// Writes 1FQ0 frames every 10 ms holding the given f0 values, then optionally garbage.
void write_f0(const std::string& path, const std::vector<double>& f0, bool garbage_after) {
  {
    SDIFEntity e;
    ASSERT_TRUE(e.OpenWrite(path));
    for (std::size_t i = 0; i < f0.size(); ++i) {
      SDIFFrame f;
      f.SetHeader(k1FQ0, 0, 0.01 * static_cast<double>(i));
      SDIFMatrix m(k1FQ0, 1, 1);
      m.Set(0, 0, f0[i]);
      f.AddMatrix(m);
      f.Write(e);
    }
    e.Close();
  }
  if (garbage_after) {
    std::ofstream out(path, std::ios::binary | std::ios::app);
    out << "1FQ0 not a frame header";
  }
}

const std::string kExit = "\n *** Exiting program ***\n";

// The text and status of a failure that must have happened.
std::string failure_text(const Status& read) {
  EXPECT_FALSE(read.ok());
  if (read.ok()) return "";
  EXPECT_EQ(read.error().status, 1);
  return read.error().text;
}

TEST(Readers, MissingFileFailsWithCannotOpenAndLeavesTheOutputAlone) {
  testsupport::ScratchDir dir;
  const std::string path = dir / "absent.sdif";
  TesselMatrix<double> m(3, 2, 7.0);
  TesselVector<double> v(3, 7.0);
  const std::string cannot_open = "\n *** Error ***\n -> cannot open " + path + kExit + "\n";
  EXPECT_EQ(failure_text(sdiftomatrix(path, m, ":1VUV/1VUN")), cannot_open);
  EXPECT_EQ(failure_text(FQ0tomatrix(path, m, ":1FQ0/1FQ0", 10.0)), cannot_open);
  EXPECT_EQ(failure_text(MRKsegtomatrix(path, m, "1MRK", "1BEG", "1END")), cannot_open);
  EXPECT_EQ(failure_text(EPCtovector(path, v, ":1EPC/1ECS")), cannot_open);
  EXPECT_EQ(m.nrows(), 3);
  EXPECT_EQ(m(2, 1), 7.0);
  EXPECT_EQ(v.size(), 3);
}

TEST(Readers, SeveralRowsGiveOneResultRowEachWithTheLastColumn) {
  testsupport::ScratchDir dir;
  const std::string path = dir / "multi.sdif";
  {
    SDIFEntity e;
    ASSERT_TRUE(e.OpenWrite(path));
    SDIFFrame f;
    f.SetHeader(k1FQ0, 0, 0.5);
    SDIFMatrix m(k1FQ0, 2, 3, eFloat8);  // e.g. frequency, confidence, score
    m.Set(0, 2, 210.5);
    m.Set(1, 2, 220.5);
    f.AddMatrix(m);
    f.AddMatrix(SDIFMatrix(SdifStringToSignature("XNOC"), 4, 0));  // no column: nothing
    f.Write(e);
    e.Close();
  }
  TesselMatrix<double> out;
  ASSERT_TRUE(sdiftomatrix(path, out, "").ok());
  ASSERT_EQ(out.nrows(), 2);
  EXPECT_EQ(out(0, 0), 0.5);
  EXPECT_EQ(out(1, 0), 0.5);
  EXPECT_EQ(out(0, 1), 210.5);
  EXPECT_EQ(out(1, 1), 220.5);
}

TEST(Readers, FQ0tomatrixStopsAtTheTimeLimit) {
  testsupport::ScratchDir dir;
  const std::string path = dir / "f0.sdif";
  write_f0(path, {100, 110, 120, 130, 140}, false);
  TesselMatrix<double> out;
  ASSERT_TRUE(FQ0tomatrix(path, out, ":1FQ0/1FQ0", 0.02).ok());
  ASSERT_EQ(out.nrows(), 3);  // 0, 0.01 and 0.02 s
  EXPECT_EQ(out(2, 1), 120.0);
  ASSERT_TRUE(FQ0tomatrix(path, out, ":1FQ0/1FQ0", -1.0).ok());
  EXPECT_EQ(out.nrows(), 0);
}

TEST(Readers, FQ0tomatrixKeepsWhatItReadBeforeAFault) {
  testsupport::ScratchDir dir;
  const std::string path = dir / "f0.sdif";
  write_f0(path, {100, 110}, true);
  const auto o = sdiftest::in_child([&] {
    TesselMatrix<double> out;
    const bool read = FQ0tomatrix(path, out, ":1FQ0/1FQ0", 100.0).ok();
    std::exit(read && out.nrows() == 2 && out(1, 1) == 110.0 ? 0 : 3);
  });
  EXPECT_EQ(o.status, 0);
  EXPECT_EQ(o.out, " Catch other Exception \n -> file : " + path + "\n");
  EXPECT_EQ(o.err.rfind("Exception: " + path + ": at byte ", 0), 0u) << o.err;
}

TEST(Readers, MalformedFilesFailWithTheReadersMessage) {
  testsupport::ScratchDir dir;
  const std::string truncated = dir / "cut.sdif";
  write_f0(truncated, {100, 110}, true);
  const std::string undefined = dir / "undef.sdif";
  {
    // An 1EPC file whose matrix has an unknown data type code.
    TesselVector<double> v(3, 1.0);
    SDIFEntity e;
    ASSERT_TRUE(e.OpenWrite(undefined));
    SDIFFrame f;
    f.SetHeader(k1EPC, 0, 0.0);
    f.AddMatrix(SDIFMatrix(k1ECS, 1, 1));
    f.Write(e);
    e.Close();
    std::fstream io(undefined, std::ios::binary | std::ios::in | std::ios::out);
    io.seekp(-17, std::ios::end);  // low byte of the data type code: 0x0004 becomes 0x0005
    io.put(0x05);
  }
  struct Case {
    const char* reader;
    std::string path;
    std::function<Status(const std::string&)> read;
    const char* caught;
  } const cases[] = {
      {"sdiftomatrix", truncated,
       [](const std::string& p) {
         TesselMatrix<double> m;
         return sdiftomatrix(p, m, ":1FQ0/1FQ0");
       },
       "Catch other Exception"},
      {"EPCtovector", truncated,
       [](const std::string& p) {
         TesselVector<double> v;
         return EPCtovector(p, v, ":1EPC/1ECS");
       },
       "Catch other Exception"},
      {"MRKsegtomatrix", truncated,
       [](const std::string& p) {
         TesselMatrix<double> m;
         return MRKsegtomatrix(p, m, "1MRK", "1BEG", "1END");
       },
       "Catch other Exception"},
      {"EPCtovector", undefined,
       [](const std::string& p) {
         TesselVector<double> v;
         return EPCtovector(p, v, ":1EPC/1ECS");
       },
       "Catch Undefined"},
      {"sdiftomatrix", undefined,
       [](const std::string& p) {
         TesselMatrix<double> m;
         return sdiftomatrix(p, m, "");
       },
       "Catch Undefined"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.reader) + " " + c.path);
    const Status read = c.read(c.path);
    EXPECT_EQ(failure_text(read), std::string("\n *** Error : ") + c.reader + " ***\n -> " +
                                      c.caught + kExit + " -> file : " + c.path + "\n");
    if (!read.ok()) {
      EXPECT_EQ(read.error().diagnostics.rfind("Exception: " + c.path + ": at byte ", 0), 0u)
          << read.error().diagnostics;
    }
  }
}

TEST(Readers, BrokenZoneFilesFailWithTheirMessage) {
  struct Case {
    const char* why;
    std::vector<Marker> markers;
    std::string message;
  } const cases[] = {
      {"begin as last frame",
       {{0.1, k1BEG, 0}, {0.2, k1END, 0}, {0.3, k1BEG, 1}},
       "\n *** Error : MRKsegtomatrix ***\n -> No 1MRK/1END following a 1MRK/1BEG matix" + kExit},
      {"two begins in a row",
       {{0.1, k1BEG, 0}, {0.2, k1BEG, 1}, {0.3, k1END, 1}},
       "\n *** Error : MRKsegtomatrix ***\n -> No 1MRK/1END following a 1MRK/1BEG matix" + kExit},
      {"zone numbers differ",
       {{0.1, k1BEG, 0}, {0.2, k1END, 1}},
       "\n *** Error : MRKsegtomatrix ***\n -> Wrong ID for 1MRK/1BEG and 1MRK/1END" + kExit},
      {"end without begin",
       {{0.1, k1BEG, 0}, {0.2, k1END, 0}, {0.3, k1END, 1}},
       "\n *** Error :  MRKsegtomatrix ***\n -> Not the same number of 1BEG and 1END matrix\n "
       "*** Exiting program ***\n"},
  };
  testsupport::ScratchDir dir;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.why);
    const std::string path = dir / "zones.sdif";
    write_markers(path, c.markers);
    TesselMatrix<double> m(1, 2, 7.0);
    // The framed text, then the file it is about on a line of its own.
    EXPECT_EQ(failure_text(MRKsegtomatrix(path, m, "1MRK", "1BEG", "1END")),
              c.message + " -> file : " + path + "\n\n");
    EXPECT_EQ(m.nrows(), 1);  // untouched
  }
}

TEST(Readers, ZoneFileOfMarksOnlyReadsAsNoZone) {
  // Frames of other matrices (a pitch-mark file) are not zones.
  testsupport::ScratchDir dir;
  const std::string path = dir / "marks.sdif";
  write_markers(
      path, {{0.1, k1PEM, 4}, {0.2, k1PEM, 4}, {0.3, k1BEG, 0}, {0.4, k1PEM, 4}, {0.5, k1END, 0}});
  TesselMatrix<double> m;
  ASSERT_TRUE(MRKsegtomatrix(path, m, "1MRK", "1BEG", "1END").ok());
  ASSERT_EQ(m.nrows(), 1);
  EXPECT_EQ(m(0, 0), 0.3);
  EXPECT_EQ(m(0, 1), 0.5);
}

}  // namespace
