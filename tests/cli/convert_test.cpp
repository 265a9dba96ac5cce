// glotmark-convert: round trips through each format, the f0 files of other programs imported
// for -I, the Praat and EST files written from an analysis folder, the refusals of files that do
// not parse, and Praat itself opening what we write (skipped where Praat is not installed).
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "glotsynth.h"
#include "lumbra/lumbra.h"
#include "run_program.h"

namespace {

namespace fs = std::filesystem;
using testsupport::slurp;

SdifSignature sig(const char* s) {
  return SdifStringToSignature(s);
}

testsupport::Result convert(const std::vector<std::string>& args) {
  std::vector<std::string> argv = {testsupport::bin("glotmark-convert")};
  argv.insert(argv.end(), args.begin(), args.end());
  return testsupport::run(argv);
}

struct Point {
  double t;
  float f0;
};

// (time, value) of each 1FQ0 frame of a file, the value from the matrix's last column.
std::vector<Point> read_fq0(const std::string& path) {
  SDIFEntity e;
  e.ChangeSelection(":1FQ0/1FQ0");
  EXPECT_TRUE(e.OpenRead(path)) << path;
  std::vector<Point> out;
  SDIFFrame f;
  while (!e.eof()) {
    if (e.ReadNextFrame(f) == 0) continue;
    const SDIFMatrix& m = f.GetMatrix(0);
    out.push_back({f.GetTime(), static_cast<float>(m.GetDouble(0, m.GetNbCols() - 1))});
  }
  return out;
}

void write_fq0(const std::string& path, const std::vector<Point>& points) {
  SDIFEntity e;
  ASSERT_TRUE(e.OpenWrite(path));
  for (const auto& p : points) {
    SDIFFrame f;
    f.SetHeader(sig("1FQ0"), 0, p.t);
    SDIFMatrix m(sig("1FQ0"), 1, 1);
    m.Set(0, 0, static_cast<double>(p.f0));
    f.AddMatrix(m);
    f.Write(e);
  }
  e.Close();
}

// Writes a file of 1x1 matrices: one frame per (time, matrix, value), with the name-value pairs.
void write_frames(const std::string& path, const char* frame,
                  const std::vector<std::tuple<double, const char*, float>>& rows,
                  const std::vector<std::pair<std::string, std::string>>& header = {}) {
  SDIFNameValueTable nvt;
  for (const auto& [k, v] : header) nvt.AddNameValue(k, v);
  SDIFEntity e;
  if (!header.empty()) e.AddNVT(nvt);
  ASSERT_TRUE(e.OpenWrite(path));
  for (const auto& [t, m, v] : rows) {
    SDIFFrame f;
    f.SetHeader(sig(frame), 0, t);
    SDIFMatrix mat(sig(m), 1, 1);
    mat.Set(0, 0, static_cast<double>(v));
    f.AddMatrix(mat);
    f.Write(e);
  }
  e.Close();
}

// Values of a float32 track that do not print short: the round trips must keep every bit.
std::vector<Point> awkward_track() {
  std::vector<Point> p;
  for (int i = 0; i < 40; ++i) {
    p.push_back({i * 0.005, static_cast<float>(100.0 + 37.0 * std::sin(i * 0.7) + 1e-3 / 3)});
  }
  p[7].f0 = std::nextafter(123.456f, 200.0f);
  return p;
}

TEST(Convert, F0RoundTripsKeepEveryFloat) {
  testsupport::ScratchDir dir;
  const std::string orig = dir / "v.1FQ0.sdif";
  const auto track = awkward_track();
  write_fq0(orig, track);
  for (const char* ext : {"PitchTier", "f0", "txt", "csv", "tsv"}) {
    SCOPED_TRACE(ext);
    const std::string mid = dir / (std::string("v.") + ext), back = dir / "back.sdif";
    auto r = convert({orig, mid});
    ASSERT_EQ(r.status, 0) << r.err;
    r = convert({mid, back});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "");
    const auto got = read_fq0(back);
    ASSERT_EQ(got.size(), track.size());
    for (std::size_t i = 0; i < got.size(); ++i) {
      EXPECT_EQ(got[i].t, track[i].t) << i;
      EXPECT_EQ(std::memcmp(&got[i].f0, &track[i].f0, sizeof(float)), 0)
          << i << ": " << got[i].f0 << " vs " << track[i].f0;
    }
  }
}

// Other programs' f0 files: unvoiced frames are filled from their voiced neighbours.
TEST(Convert, ImportsTheF0FilesOfOtherPrograms) {
  testsupport::ScratchDir dir;
  const std::vector<Point> filled = {
      {0.01, 100}, {0.02, 100}, {0.03, 110}, {0.04, 120}, {0.05, 120}};
  struct Case {
    const char* name;
    const char* file;
    std::string text;
  } const cases[] = {
      {"EST f0 track with unvoiced frames (flag 0, f0 -1)", "a.f0",
       "EST_File Track\nDataType ascii\nNumFrames 5\nNumChannels 1\nNumAuxChannels 0\n"
       "EqualSpace 1\nBreaksPresent true\nCommentChar ;\nChannel_0 F0\nEST_Header_End\n"
       "0.01 0 -1\n0.020000 1 100.000000\n0.03 0 0\n0.04 1 120\n0.05 0 -1\n"},
      {"EST track, f0 as the second channel", "b.est",
       "EST_File Track\nDataType ascii\nNumFrames 5\nNumChannels 2\nChannel_0 prob_voice\n"
       "Channel_1 F0\nEST_Header_End\n0.01 1 0 0\n0.02 1 1 100\n0.03 1 0 0\n0.04 1 1 120\n"
       "0.05 1 0 0\n"},
      {"Praat PitchTier, short text", "c.PitchTier",
       "File type = \"ooTextFile\"\nObject class = \"PitchTier\"\n\n0\n0.06\n3\n0.01\n100\n0.02\n"
       "100\n0.04\n120\n"},
      {"Praat Pitch, long text, unvoiced as frequency 0", "d.Pitch",
       "File type = \"ooTextFile\"\nObject class = \"Pitch 1\"\n\nxmin = 0 \nxmax = 0.06 \n"
       "nx = 5 \ndx = 0.01 \nx1 = 0.01 \nceiling = 600 \nmaxnCandidates = 2 \nframes []: \n"
       "    frames [1]:\n        intensity = 0.1 \n        nCandidates = 1 \n"
       "        candidates []: \n            candidates [1]:\n                frequency = 0 \n"
       "                strength = 0.3 \n"
       "    frames [2]:\n        intensity = 0.9 \n        nCandidates = 2 \n"
       "        candidates []: \n            candidates [1]:\n                frequency = 100 \n"
       "                strength = 0.9 \n            candidates [2]:\n"
       "                frequency = 50 \n                strength = 0.4 \n"
       "    frames [3]:\n        intensity = 0.1 \n        nCandidates = 1 \n"
       "        candidates []: \n            candidates [1]:\n                frequency = 0 \n"
       "                strength = 0.3 \n"
       "    frames [4]:\n        intensity = 0.9 \n        nCandidates = 1 \n"
       "        candidates []: \n            candidates [1]:\n                frequency = 120 \n"
       "                strength = 0.9 \n"
       "    frames [5]:\n        intensity = 0.1 \n        nCandidates = 1 \n"
       "        candidates []: \n            candidates [1]:\n                frequency = 700 \n"
       "                strength = 0.3 \n"},
      {"two columns with a header row and Praat's --undefined--", "e.txt",
       "Time_s   F0_Hz\n0.01 --undefined--\n# a comment\n0.02\t100\n0.03,0\n0.04 120\n"
       "0.05 --undefined--\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string in = dir / c.file, out = dir / "out.sdif";
    std::ofstream(in, std::ios::binary) << c.text;
    const auto r = convert({in, out});
    ASSERT_EQ(r.status, 0) << r.err;
    auto got = read_fq0(out);
    // The PitchTier holds only voiced points: no frames at the unvoiced times.
    const bool tier = std::string(c.file).ends_with("PitchTier");
    const std::vector<Point> want =
        tier ? std::vector<Point>{{0.01, 100}, {0.02, 100}, {0.04, 120}} : filled;
    ASSERT_EQ(got.size(), want.size());
    for (std::size_t i = 0; i < got.size(); ++i) {
      EXPECT_NEAR(got[i].t, want[i].t, 1e-12) << i;
      EXPECT_FLOAT_EQ(got[i].f0, want[i].f0) << i;
    }
  }
}

// An f0 track of another program, converted, is the f0 the analysis runs with: the same 1PSO as
// with the equivalent 1FQ0 file written directly.
TEST(Convert, ImportedEstTrackGivesTheRunTheSameF0) {
  testsupport::ScratchDir dir;
  glotsynth::Options o;
  o.sr = 16000;
  o.segments = glotsynth::parse_segments("s:0.05,v:0.3:120-150,u:0.08,v:0.3:140-110,s:0.05");
  const auto synth = glotsynth::synthesize(o);
  ASSERT_TRUE(glotsynth::write_wav(dir / "v.wav", synth.signal, o.sr, glotsynth::Encoding::pcm16));
  std::ostringstream est;
  std::vector<Point> direct;
  est << "EST_File Track\nDataType ascii\nNumFrames " << synth.f0_t.size()
      << "\nNumChannels 1\nEqualSpace 1\nBreaksPresent true\nChannel_0 F0\nEST_Header_End\n";
  est.precision(17);  // the tracker's values exactly as the 1FQ0 file below holds them
  double last_voiced = 0;
  for (std::size_t i = 0; i < synth.f0_t.size(); ++i) {
    const bool voiced = synth.f0_hz[i] > 0;
    const float f0 = static_cast<float>(synth.f0_hz[i]);
    if (voiced) last_voiced = f0;
    est << synth.f0_t[i] << " " << (voiced ? 1 : 0) << " " << (voiced ? f0 : -1.0f) << "\n";
    direct.push_back({synth.f0_t[i], voiced ? f0 : 0.0f});
  }
  // The unvoiced frames as the converter fills them: held at the ends, linear inside.
  std::size_t first = 0;
  while (direct[first].f0 == 0) ++first;
  for (std::size_t i = 0; i < first; ++i) direct[i].f0 = direct[first].f0;
  for (std::size_t i = first; i < direct.size(); ++i) {
    if (direct[i].f0 != 0) continue;  // f0 is 0 only where the tracker said unvoiced
    std::size_t j = i;
    while (j < direct.size() && direct[j].f0 == 0) ++j;
    for (std::size_t k = i; k < j; ++k) {
      direct[k].f0 =
          j == direct.size()
              ? static_cast<float>(last_voiced)
              : static_cast<float>(direct[i - 1].f0 + (direct[j].f0 - direct[i - 1].f0) *
                                                          (direct[k].t - direct[i - 1].t) /
                                                          (direct[j].t - direct[i - 1].t));
    }
    i = j;
  }
  { std::ofstream(dir / "tracker.f0") << est.str(); }
  write_fq0(dir / "direct.sdif", direct);
  ASSERT_EQ(convert({dir / "tracker.f0", dir / "imported.sdif"}).status, 0);
  std::string pso[2];
  for (int k = 0; k < 2; ++k) {
    const std::string f0 = dir / (k == 0 ? "imported.sdif" : "direct.sdif");
    const auto r = testsupport::run({testsupport::bin("glotmark"), "-i", "v.wav", "-S", "-I", f0},
                                    dir.path().string());
    ASSERT_EQ(r.status, 0) << r.out;
    pso[k] =
        testsupport::run({testsupport::bin("glotmark-dump"), "--csv", dir / "PSOv/v.1PSO.sdif"})
            .out;
    fs::remove_all(dir / "PSOv");
  }
  EXPECT_GT(pso[0].size(), 1000u);
  EXPECT_EQ(pso[0], pso[1]);
}

// An analysis folder with zones that touch, a gap, and marks of the three kinds.
struct Folder {
  testsupport::ScratchDir dir;
  std::string pso = dir / "PSOv";
  Folder() {
    fs::create_directories(pso);
    const auto zones = [&](const char* name, const char* kind,
                           const std::vector<std::pair<double, double>>& z) {
      std::vector<std::tuple<double, const char*, float>> rows;
      for (std::size_t i = 0; i < z.size(); ++i) {
        rows.emplace_back(z[i].first, "1BEG", static_cast<float>(i));
        rows.emplace_back(z[i].second, "1END", static_cast<float>(i));
      }
      write_frames(pso + "/v." + name + ".sdif", "1MRK", rows,
                   {{"FileName", "v.wav"}, {"SegmentType", kind}});
    };
    zones("1VOI", "Voiced", {{0.1, 0.3}, {0.3, 0.5}});
    zones("1UVI", "Unvoiced", {{0.0, 0.1}, {0.5, 0.6}});
    zones("1TRA", "Transient", {});
    write_frames(pso + "/v.1VUT.sdif", "1VUV",
                 {{0.05, "1VUT", 0}, {0.15, "1VUT", 1}, {0.2, "1VUT", 2}, {0.25, "1VUT", 1}});
    write_frames(pso + "/v.1MRK.sdif", "1MRK",
                 {{0.05, "1PEM", 4}, {0.15, "1PEM", 4}, {0.2, "1PEM", 4}, {0.25, "1PEM", 4}});
  }
};

TEST(Convert, PraatAndEstFilesOfAnAnalysisFolder) {
  Folder f;
  const std::string tg = f.dir / "v.TextGrid";
  ASSERT_EQ(convert({f.pso, tg, "--duration", "0.8"}).status, 0);
  const std::string grid = slurp(tg);
  // Touching voiced zones stay two intervals; the gaps are empty intervals up to the end.
  const char* voiced_tier =
      "        name = \"voiced\" \n        xmin = 0 \n        xmax = 0.8 \n"
      "        intervals: size = 4 \n        intervals [1]:\n            xmin = 0 \n"
      "            xmax = 0.1 \n            text = \"\" \n        intervals [2]:\n"
      "            xmin = 0.1 \n            xmax = 0.3 \n            text = \"V\" \n"
      "        intervals [3]:\n            xmin = 0.3 \n            xmax = 0.5 \n"
      "            text = \"V\" \n        intervals [4]:\n            xmin = 0.5 \n"
      "            xmax = 0.8 \n            text = \"\" \n";
  EXPECT_NE(grid.find(voiced_tier), std::string::npos) << grid;
  EXPECT_NE(grid.find("size = 4 \n"), std::string::npos);  // voiced, unvoiced, transient, marks
  EXPECT_NE(grid.find("name = \"transient\" \n        xmin = 0 \n        xmax = 0.8 \n"
                      "        intervals: size = 1 \n"),
            std::string::npos);
  EXPECT_NE(grid.find("points [3]:\n            number = 0.2 \n            mark = \"T\" \n"),
            std::string::npos);

  struct Case {
    std::vector<std::string> args;
    std::string want;
  } const cases[] = {
      {{f.pso + "/v.1VUT.sdif", f.dir / "v.PointProcess", "--duration", "0.8"},
       "File type = \"ooTextFile\"\nObject class = \"PointProcess\"\n\nxmin = 0 \nxmax = 0.8 \n"
       "nt = 2 \nt []: \n    t [1] = 0.15 \n    t [2] = 0.25 \n"},
      {{f.pso + "/v.1MRK.sdif", f.dir / "all.PointProcess", "--all-marks", "--duration=1"},
       "File type = \"ooTextFile\"\nObject class = \"PointProcess\"\n\nxmin = 0 \nxmax = 1 \n"
       "nt = 4 \nt []: \n    t [1] = 0.05 \n    t [2] = 0.15 \n    t [3] = 0.2 \n"
       "    t [4] = 0.25 \n"},
      {{f.pso + "/v.1MRK.sdif", f.dir / "v.pm"},  // kinds from the 1VUT file beside it
       "EST_File Track\nDataType ascii\nNumFrames 2\nNumChannels 0\nNumAuxChannels 0\n"
       "EqualSpace 0\nBreaksPresent true\nCommentChar ;\nEST_Header_End\n0.15 1\n0.25 1\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.args[1]);
    const auto r = convert(c.args);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(slurp(c.args[1]), c.want);
  }
  // Without the 1VUT file the kinds of 1MRK marks are unknown: only --all-marks goes.
  fs::remove(f.pso + "/v.1VUT.sdif");
  const auto r = convert({f.pso + "/v.1MRK.sdif", f.dir / "x.PointProcess"});
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("give --all-marks"), std::string::npos) << r.err;
  EXPECT_FALSE(fs::exists(f.dir / "x.PointProcess"));
}

TEST(Convert, FilesThatDoNotParseAreRefusedWithFileAndLine) {
  testsupport::ScratchDir dir;
  write_fq0(dir / "v.1FQ0.sdif", awkward_track());
  struct Case {
    const char* file;
    std::string text;  // empty: the file is not written
    std::string out;
    std::string message;
  } const cases[] = {
      {"a.PitchTier",
       "File type = \"ooTextFile\"\nObject class = \"PitchTier\"\n\nxmin = 0 \nxmax = 1 \n"
       "points: size = 2 \npoints [1]:\n    number = 0.1 \n    value = 1x0 \n",
       "o.sdif", "a.PitchTier:9: cannot read \"1x0\" as a number"},
      {"b.PitchTier",
       "File type = \"ooTextFile\"\nObject class = \"PitchTier\"\n\nxmin = 0 \nxmax = 1 \n"
       "points: size = 2 \npoints [1]:\n    number = 0.1 \n    value = 100 \n",
       "o.sdif", "b.PitchTier:9: the file ends before the time of a point"},
      {"c.f0",
       "EST_File Track\nDataType ascii\nNumFrames 3\nNumChannels 1\nEST_Header_End\n"
       "0 1 100\n0.01 1 100\n",
       "o.sdif", "c.f0: the header says NumFrames 3 but the file holds 2 frames"},
      {"d.f0", "EST_File Track\nDataType binary\nNumChannels 1\nEST_Header_End\n", "o.sdif",
       "d.f0: EST data type binary is not read"},
      {"e.f0", "EST_File Track\nNumChannels 1\nEST_Header_End\n0 1 100\n0.01 1\n", "o.sdif",
       "e.f0:5: expected the time, the flag and 1 channel(s), found 2 value(s)"},
      {"f.txt", "0 100\n0.01 101\n0.01 102\n", "o.sdif",
       "f.txt:3: time 0.01 s does not come after the previous one"},
      {"g.txt", "time f0\n0 100\n0.01 abc\n", "o.sdif",
       "g.txt:3: expected two numbers, time (s) and f0 (Hz), found \"0.01 abc\""},
      {"h.Pitch", "ooBinaryFile\x05Pitch", "o.sdif", "a binary Praat file"},
      {"v.1FQ0.sdif", "", "o.PointProcess", "marks come from a 1VUT or 1MRK file"},
      {"v.1FQ0.sdif", "", "o.wav", "cannot tell the format of"},
      {"none.f0", "", "o.sdif", "cannot open"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.file);
    if (!c.text.empty()) std::ofstream(dir / c.file, std::ios::binary) << c.text;
    const std::string out = dir / c.out;
    { std::ofstream(out) << "kept"; }
    const auto r = convert({dir / c.file, out});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
    EXPECT_EQ(r.err.rfind("glotmark-convert: ", 0), 0u) << r.err;
    EXPECT_EQ(slurp(out), "kept");  // nothing half-written over an existing file
  }
  for (const auto& p : fs::directory_iterator(dir.path())) {
    EXPECT_EQ(p.path().string().find(".sdif."), std::string::npos) << p.path();  // no debris
  }
}

// ---------------------------------------------------------------------------------------------
// Praat reads what we write, and we read what Praat writes.

std::string praat_path() {
  for (const char* p : {"/usr/bin/praat", "/usr/local/bin/praat"}) {
    if (fs::exists(p)) return p;
  }
  return {};
}

TEST(ConvertWithPraat, PraatOpensOurFilesAndWeReadPraats) {
  const std::string praat = praat_path();
  if (praat.empty()) GTEST_SKIP() << "Praat is not installed: the files are not opened in Praat";
  Folder f;
  write_fq0(f.pso + "/v.1FQ0.sdif", awkward_track());
  for (const auto& [in, out] :
       std::vector<std::pair<std::string, std::string>>{{f.pso, "v.TextGrid"},
                                                        {f.pso + "/v.1VUT.sdif", "v.PointProcess"},
                                                        {f.pso + "/v.1FQ0.sdif", "v.PitchTier"}}) {
    const auto r = convert({in, f.dir / out});
    ASSERT_EQ(r.status, 0) << r.err;
  }
  const std::string script = f.dir / "check.praat";
  std::ofstream(script)
      << "tg = Read from file: \"v.TextGrid\"\n"
         "tiers = Get number of tiers\n"
         "intervals = Get number of intervals: 1\n"
         "points = Get number of points: 4\n"
         "label$ = Get label of point: 4, 3\n"
         "appendInfoLine: tiers, \" \", intervals, \" \", points, \" \", label$\n"
         "pp = Read from file: \"v.PointProcess\"\n"
         "points = Get number of points\n"
         "t = Get time from index: 2\n"
         "appendInfoLine: points, \" \", fixed$ (t, 6)\n"
         "pt = Read from file: \"v.PitchTier\"\n"
         "points = Get number of points\n"
         "f0 = Get value at index: 8\n"
         "appendInfoLine: points, \" \", fixed$ (f0, 6)\n"
         "s = Create Sound from formula: \"s\", 1, 0, 0.5, 16000, \"sin(2*pi*200*x)\"\n"
         "p = To Pitch: 0.01, 75, 600\n"
         "Save as text file: \"praat.Pitch\"\n"
         "selectObject: p\n"
         "t = Down to PitchTier\n"
         "Save as short text file: \"praat.PitchTier\"\n";
  const auto r = testsupport::run({praat, "--run", script}, f.dir.path().string());
  ASSERT_EQ(r.status, 0) << r.out << r.err;
  // Praat holds the text of the float as a double: the same float to 32 bits.
  const std::string head = "4 4 4 T\n2 0.250000\n40 ";
  ASSERT_EQ(r.out.substr(0, head.size()), head) << r.out;
  EXPECT_EQ(static_cast<float>(std::stod(r.out.substr(head.size()))), awkward_track()[7].f0);
  for (const char* praats : {"praat.Pitch", "praat.PitchTier"}) {
    SCOPED_TRACE(praats);
    const auto c = convert({f.dir / praats, f.dir / "p.sdif"});
    ASSERT_EQ(c.status, 0) << c.err;
    const auto got = read_fq0(f.dir / "p.sdif");
    ASSERT_GT(got.size(), 30u);
    for (const auto& p : got) EXPECT_NEAR(p.f0, 200.0, 0.5) << p.t;
  }
}

}  // namespace
