// glotmark-dump: the text and CSV views of each kind of analysis file, selections, and the
// reports of missing and malformed files.
#include <gtest/gtest.h>

#include <fstream>
#include <tuple>

#include "lumbra/lumbra.h"
#include "run_program.h"

namespace {

SdifSignature sig(const char* s) {
  return SdifStringToSignature(s);
}

// Writes a file of the layout of the analysis files: an information table, the given
// declarations and one frame per (time, values) with one matrix of that many columns.
void write(const std::string& path, const char* frame, const std::vector<const char*>& matrices,
           const std::vector<std::pair<double, std::vector<std::vector<float>>>>& frames,
           bool declare_pso = false) {
  SDIFNameValueTable info;
  info.AddNameValue("Program", "Glotmark");
  info.AddNameValue("FileName", "take 1.wav");
  SDIFEntity e;
  e.AddNVT(info);
  if (declare_pso) {
    e.AddMatrixType("1PSO",
                    "Position, Fundamentalfrequency, VoicingFlag, VoicingCoefficient, "
                    "VoicingCuttingFrequency, Periods, Mod, TransitoireFlag");
    e.AddFrameType("1PSO", "ITDS SamplingRate; 1PSO Glotmark");
  }
  ASSERT_TRUE(e.OpenWrite(path));
  for (const auto& [t, rows] : frames) {
    SDIFFrame f;
    f.SetHeader(sig(frame), 0, t);
    for (std::size_t k = 0; k < matrices.size(); ++k) {
      const auto& values = rows[k];
      SDIFMatrix m(sig(matrices[k]), values.empty() ? 0 : 1, static_cast<int>(values.size()));
      for (std::size_t c = 0; c < values.size(); ++c) m.Set(0, static_cast<int>(c), values[c]);
      f.AddMatrix(m);
    }
    f.Write(e);
  }
  e.Close();
}

testsupport::Result dump(const std::vector<std::string>& args) {
  std::vector<std::string> argv = {testsupport::bin("glotmark-dump")};
  argv.insert(argv.end(), args.begin(), args.end());
  return testsupport::run(argv);
}

TEST(Dump, TextShowsTablesDeclarationsAndFrames) {
  testsupport::ScratchDir dir;
  const std::string path = dir / "v.1PSO.sdif";
  write(path, "1PSO", {"ITDS", "1PSO"},
        {{0.01, {{44100}, {441, 100.5f, 1, 0.75f, 3000, 441, -0.25f, 0}}},
         {0.02, {{44100}, {882, 101, 0, 0.1f, 2500, 441, 0, 1}}}},
        true);
  const auto r = dump({path});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(r.out,
            "file " + path +
                "\n"
                "name-value table 1:\n"
                "  Program = Glotmark\n"
                "  FileName = take 1.wav\n"
                "type declarations:\n"
                "  matrix 1PSO {Position, Fundamentalfrequency, VoicingFlag, VoicingCoefficient, "
                "VoicingCuttingFrequency, Periods, Mod, TransitoireFlag}\n"
                "  frame 1PSO { ITDS SamplingRate; 1PSO Glotmark; }\n"
                "frame 1PSO  time 0.01  stream 0  matrices 2\n"
                "  matrix ITDS  float32  1 x 1\n"
                "    # SamplingRate\n"
                "    44100\n"
                "  matrix 1PSO  float32  1 x 8\n"
                "    # Position Fundamentalfrequency VoicingFlag VoicingCoefficient "
                "VoicingCuttingFrequency Periods Mod TransitoireFlag\n"
                "    441 100.5 1 0.75 3000 441 -0.25 0\n"
                "frame 1PSO  time 0.02  stream 0  matrices 2\n"
                "  matrix ITDS  float32  1 x 1\n"
                "    # SamplingRate\n"
                "    44100\n"
                "  matrix 1PSO  float32  1 x 8\n"
                "    # Position Fundamentalfrequency VoicingFlag VoicingCoefficient "
                "VoicingCuttingFrequency Periods Mod TransitoireFlag\n"
                "    882 101 0 0.1 2500 441 0 1\n"
                "frames 2\n");
}

TEST(Dump, CsvHasAHeaderRowAndOneRowPerFrameForEachKindOfFile) {
  testsupport::ScratchDir dir;
  struct Case {
    const char* name;
    const char* frame;
    std::vector<const char*> matrices;
    std::vector<std::pair<double, std::vector<std::vector<float>>>> frames;
    std::vector<std::string> args;  // options before the file, then the selection last
    std::string csv;
  } const cases[] = {
      {"f0 track",
       "1FQ0",
       {"1FQ0"},
       {{0, {{120.5f}}}, {0.005, {{121}}}},
       {},
       "time_s,Frequency\n0,120.5\n0.005,121\n"},
      {"voicing flags with the meaning of the kinds",
       "1VUV",
       {"1VUT"},
       {{0.1, {{1}}}, {0.2, {{2}}}},
       {},
       "# VoicedUnvoicedTransFlag: 1 voiced, 0 unvoiced, 2 transient\n"
       "time_s,VoicedUnvoicedTransFlag\n0.1,1\n0.2,2\n"},
      {"zones say begin and end",
       "1MRK",
       {},
       {},
       {"zones"},
       "# zones: one begin row and one end row per zone, paired by zone number (from 0)\n"
       "time_s,event,zone\n0.5,begin,0\n0.75,end,0\n0.75,begin,1\n1,end,1\n"},
      {"1PSO: the rate in a comment, not between the rows",
       "1PSO",
       {"ITDS", "1PSO"},
       {{0.01, {{8000}, {80, 100, 1, 0.5f, 3000, 80, 0, 0}}},
        {0.02, {{8000}, {160, 101, 0, 0.25f, 2000, 80, 0, 1}}}},
       {"--no-comments"},
       "time_s,Position,Fundamentalfrequency,VoicingFlag,VoicingCoefficient,"
       "VoicingCuttingFrequency,Periods,Mod,TransitoireFlag\n"
       "0.01,80,100,1,0.5,3000,80,0,0\n0.02,160,101,0,0.25,2000,80,0,1\n"},
      {"columns by name (any case) and number",
       "1PSO",
       {"ITDS", "1PSO"},
       {{0.01, {{8000}, {80, 100, 1, 0.5f, 3000, 80, 0, 0}}}},
       {"--no-comments", "--columns", "fundamentalfrequency,1"},
       "time_s,Fundamentalfrequency,Position\n0.01,100,80\n"},
      {"a column selection keeps the right names",
       "1PSO",
       {"ITDS", "1PSO"},
       {{0.01, {{8000}, {80, 100, 1, 0.5f, 3000, 80, 0, 0}}}},
       {"--no-comments", "::/1PSO.2-3"},
       "time_s,Fundamentalfrequency,VoicingFlag\n0.01,100,1\n"},
      {"a matrix by signature",
       "1PSO",
       {"ITDS", "1PSO"},
       {{0.01, {{8000}, {80, 100, 1, 0.5f, 3000, 80, 0, 0}}}},
       {"--matrix", "ITDS"},
       "time_s,SamplingRate\n0.01,8000\n"},
      {"tab-separated",
       "1FQ0",
       {"1FQ0"},
       {{0.5, {{99.5f}}}},
       {"--tsv"},
       "time_s\tFrequency\n0.5\t99.5\n"},
      {"time selection",
       "1FQ0",
       {"1FQ0"},
       {{0, {{1}}}, {1, {{2}}}, {2, {{3}}}},
       {"::@0.5-1.5"},
       "time_s,Frequency\n1,2\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string path = dir / "f.sdif";
    std::vector<std::string> args = {"--csv"};
    std::string selection;
    if (c.args == std::vector<std::string>{"zones"}) {
      SDIFNameValueTable seg;
      seg.AddNameValue("SegmentType", "Voiced");
      SDIFEntity e;
      ASSERT_TRUE(e.OpenWrite(path));
      const std::tuple<double, const char*, float> rows[] = {
          {0.5, "1BEG", 0}, {0.75, "1END", 0}, {0.75, "1BEG", 1}, {1, "1END", 1}};
      for (const auto& [t, m, zone] : rows) {
        SDIFFrame f;
        f.SetHeader(sig("1MRK"), 0, t);
        SDIFMatrix mat(sig(m), 1, 1);
        mat.Set(0, 0, zone);
        f.AddMatrix(mat);
        f.Write(e);
      }
      e.Close();
    } else {
      write(path, c.frame, c.matrices, c.frames, std::string(c.frame) == "1PSO");
      for (const auto& a : c.args) {
        if (a.rfind("::", 0) == 0) {
          selection = a;
        } else {
          args.push_back(a);
        }
      }
    }
    args.push_back(path + selection);
    const auto r = dump(args);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, c.csv);
  }
}

TEST(Dump, EpochCurveRowsAreSamplesTimedByTheRate) {
  testsupport::ScratchDir dir;
  const std::string path = dir / "v.1ECS.sdif";
  SDIFEntity e;
  ASSERT_TRUE(e.OpenWrite(path));
  SDIFFrame f;
  f.SetHeader(sig("1EPC"), 0, 0.0);
  SDIFMatrix m(sig("1ECS"), 3, 1);
  const double v[] = {0.25, 1e-7, 16777216};
  m.SetCol(0, v);
  f.AddMatrix(m);
  f.Write(e);
  e.Close();
  const auto timed = dump({"--csv", "--rate", "8000", path});
  EXPECT_EQ(timed.status, 0) << timed.err;
  EXPECT_EQ(timed.out,
            "# one row per sample of the sound, time_s = sample / 8000 Hz\n"
            "sample,time_s,EpocsSmallReallocation\n0,0,0.25\n1,0.000125,1e-07\n"
            "2,0.00025,16777216\n");
  // Without a rate and without the sound beside it, the rows are still there and the user is
  // told how to get the times.
  const auto untimed = dump({"--csv", "--no-comments", path});
  EXPECT_EQ(untimed.status, 0);
  EXPECT_EQ(untimed.out, "sample,EpocsSmallReallocation\n0,0.25\n1,1e-07\n2,16777216\n");
  EXPECT_NE(untimed.err.find("give --rate HZ"), std::string::npos) << untimed.err;
}

TEST(Dump, BadFilesAreReportedAndTheOthersStillPrinted) {
  testsupport::ScratchDir dir;
  const std::string good = dir / "good.sdif";
  write(good, "1FQ0", {"1FQ0"}, {{0, {{100}}}});
  const std::string cut = dir / "cut.sdif";
  {
    std::ifstream in(good, std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::ofstream(cut, std::ios::binary) << bytes.substr(0, bytes.size() - 3);
  }
  const std::string absent = dir / "absent.sdif";
  const auto r = dump({"--csv", cut, absent, good});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, "time_s,Frequency\n0,100\n");
  EXPECT_NE(r.err.find("glotmark-dump: " + cut + ": at byte "), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("goes past the end of the file"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("glotmark-dump: cannot open " + absent + ": No such file or directory"),
            std::string::npos)
      << r.err;
}

TEST(Dump, UsageErrors) {
  struct Case {
    std::vector<std::string> args;
    int status;
    const char* err_part;
  } const cases[] = {
      {{}, 1, "no file given"},
      {{"--bogus", "x.sdif"}, 1, "unknown option --bogus"},
      {{"f.sdif::%"}, 1, "selection"},
      {{"--columns", "1", "f.sdif"}, 1, "go with --csv or --tsv"},
      {{"--csv", "--rate", "-3", "f.sdif"}, 1, "not a sampling rate"},
      {{"--csv", "--matrix"}, 1, "needs a value"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.err_part);
    const auto r = dump(c.args);
    EXPECT_EQ(r.status, c.status);
    EXPECT_NE(r.err.find(c.err_part), std::string::npos) << r.err;
  }
  const auto help = dump({"--help"});
  EXPECT_EQ(help.status, 0);
  EXPECT_EQ(help.out.rfind("Usage: glotmark-dump", 0), 0u);
}

}  // namespace
