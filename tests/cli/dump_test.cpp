// glotmark-dump: the text and CSV views of each kind of analysis file, selections, and the
// reports of missing and malformed files.
#include <gtest/gtest.h>

#include <fstream>

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

TEST(Dump, CsvGivesOneLinePerRowForEachKindOfFile) {
  testsupport::ScratchDir dir;
  struct Case {
    const char* name;
    const char* frame;
    std::vector<const char*> matrices;
    std::vector<std::pair<double, std::vector<std::vector<float>>>> frames;
    std::vector<std::string> args;
    std::string csv;
  } const cases[] = {
      {"f0 track",
       "1FQ0",
       {"1FQ0"},
       {{0, {{120.5f}}}, {0.005, {{121}}}},
       {},
       "0,120.5\n0.005,121\n"},
      {"voicing flags", "1VUV", {"1VUT"}, {{0.1, {{1}}}, {0.2, {{2}}}}, {}, "0.1,1\n0.2,2\n"},
      {"zones", "1MRK", {"1BEG"}, {{0.5, {{0}}}}, {}, "0.5,0\n"},
      {"1PSO with a selection",
       "1PSO",
       {"ITDS", "1PSO"},
       {{0.01, {{8000}, {80, 100, 1, 0.5f, 3000, 80, 0, 0}}}},
       {"::/1PSO"},
       "0.01,80,100,1,0.5,3000,80,0,0\n"},
      {"time selection",
       "1FQ0",
       {"1FQ0"},
       {{0, {{1}}}, {1, {{2}}}, {2, {{3}}}},
       {"::@0.5-1.5"},
       "1,2\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string path = dir / "f.sdif";
    write(path, c.frame, c.matrices, c.frames);
    const auto r = dump({"--csv", path + (c.args.empty() ? "" : c.args[0])});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, c.csv);
  }
}

TEST(Dump, EpochCurveInCsvHasOneLinePerSample) {
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
  const auto r = dump({"--csv", path});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, "0,0.25\n0,1e-07\n0,16777216\n");
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
  EXPECT_EQ(r.out, "0,100\n");
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
