// glotmark-plot: figures of a generated sound in each format, the time range, and the faults
// it reports (missing analysis, bad range, unknown format) without leaving a file behind.
#include <gtest/gtest.h>

#include <filesystem>

#include "run_program.h"

namespace {

namespace fs = std::filesystem;

// One analysed sound shared by the tests: 0.8 s of voice, noise and voice at 16 kHz.
class Plot : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    dir_ = new testsupport::ScratchDir;
    const auto g = testsupport::run(
        {testsupport::bin("glotsynth"), "--sr=16000", "--seed=5",
         "--segments=s:0.05,v:0.3:110-140:a,u:0.1,v:0.3:150-120:o,s:0.05", *dir_ / "take.wav"});
    ASSERT_EQ(g.status, 0) << g.err;
    const auto a = testsupport::run({testsupport::bin("glotmark"), "-i", "take.wav", "-M"},
                                    dir_->path().string());
    ASSERT_EQ(a.status, 0) << a.out << a.err;
  }
  static void TearDownTestSuite() {
    delete dir_;
    dir_ = nullptr;
  }
  static testsupport::Result plot(std::vector<std::string> args) {
    args.insert(args.begin(), testsupport::bin("glotmark-plot"));
    return testsupport::run(args, dir_->path().string());
  }
  static std::string path(const std::string& rel) { return *dir_ / rel; }
  // Files of the directory whose name starts with prefix.
  static int count_files(const std::string& prefix) {
    int n = 0;
    for (const auto& e : fs::directory_iterator(dir_->path()))
      n += e.path().filename().string().rfind(prefix, 0) == 0;
    return n;
  }
  static testsupport::ScratchDir* dir_;
};

testsupport::ScratchDir* Plot::dir_ = nullptr;

unsigned be32(const std::string& s, std::size_t at) {
  unsigned v = 0;
  for (int i = 0; i < 4; ++i) v = v << 8 | static_cast<unsigned char>(s[at + i]);
  return v;
}

TEST_F(Plot, WritesEachFormatWithTheSizeAsked) {
  struct Case {
    std::string file;
    std::vector<std::string> extra;
    std::string magic;  // first bytes of the file
  };
  const Case cases[] = {
      {"fig.png", {"--width", "100", "--height", "80", "--dpi", "100"}, "\x89PNG\r\n\x1a\n"},
      {"fig.svg", {}, "<?xml"},
      {"fig.PDF", {"--font-size=9"}, "%PDF-"},
  };
  for (const Case& c : cases) {
    std::vector<std::string> args = {"take.wav", "-o", c.file};
    args.insert(args.end(), c.extra.begin(), c.extra.end());
    const auto r = plot(args);
    ASSERT_EQ(r.status, 0) << c.file << ": " << r.err;
    EXPECT_EQ(r.err, "") << c.file;
    const std::string bytes = testsupport::slurp(path(c.file));
    ASSERT_GT(bytes.size(), 1000u) << c.file;
    EXPECT_EQ(bytes.substr(0, c.magic.size()), c.magic) << c.file;
    if (c.file == "fig.svg") {
      EXPECT_NE(bytes.find("<svg"), std::string::npos);
      EXPECT_NE(bytes.find("</svg>"), std::string::npos);  // complete
    }
    if (c.file == "fig.PDF") {
      EXPECT_NE(bytes.rfind("%%EOF"), std::string::npos);
    }
  }
  // 100 x 80 mm at 100 pixels per inch.
  const std::string png = testsupport::slurp(path("fig.png"));
  EXPECT_EQ(png.substr(12, 4), "IHDR");
  EXPECT_EQ(be32(png, 16), 394u);
  EXPECT_EQ(be32(png, 20), 315u);
}

// A range inside the sound draws; one past its end is cut to the end; the others are refused.
TEST_F(Plot, TimeRange) {
  struct Case {
    std::vector<std::string> range;
    int status;
    std::string message;
  };
  const Case cases[] = {
      {{"--from", "0.2", "--to", "0.45"}, 0, ""},
      {{"--from=0.6", "--to=30"}, 0, ""},
      {{"--from", "-0.1"}, 1, "bad time range: --from -0.1 is before 0"},
      {{"--from", "0.5", "--to", "0.5"}, 1, "bad time range: --to 0.5 is not after --from 0.5"},
      {{"--from", "2"}, 1, "bad time range: --from 2 is not before the end of the sound"},
      {{"--from", "abc"}, 1, "--from wants a time in seconds, not 'abc'"},
  };
  for (const Case& c : cases) {
    fs::remove(path("range.png"));
    std::vector<std::string> args = {"take.wav", "-o", "range.png"};
    args.insert(args.end(), c.range.begin(), c.range.end());
    const auto r = plot(args);
    EXPECT_EQ(r.status, c.status) << c.range[1] << ": " << r.err;
    EXPECT_EQ(fs::exists(path("range.png")), c.status == 0) << c.range[1];
    if (!c.message.empty()) {
      EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
    }
  }
  // A narrower range is drawn from fewer points: the figures differ.
  ASSERT_EQ(plot({"take.wav", "-o", "all.svg"}).status, 0);
  ASSERT_EQ(plot({"take.wav", "--from", "0.3", "--to", "0.32", "-o", "part.svg"}).status, 0);
  EXPECT_NE(testsupport::slurp(path("all.svg")), testsupport::slurp(path("part.svg")));
  EXPECT_EQ(count_files(".glotmark-plot-"), 0);
}

TEST_F(Plot, FaultsSayWhatIsWrongAndWriteNothing) {
  fs::copy_file(path("take.wav"), path("fresh.wav"), fs::copy_options::overwrite_existing);
  struct Case {
    std::vector<std::string> args;
    std::string message;
  };
  const Case cases[] = {
      {{"fresh.wav", "-o", "f.png"},
       "no analysis of fresh.wav in ./PSOfresh/; make it with: glotmark -i fresh.wav -M"},
      {{"take.wav", "-o", "f.jpg"},
       "cannot tell the format of f.jpg: give a .png, .svg or .pdf file"},
      {{"take.wav", "-o", "no-such-dir/f.png"}, "cannot write no-such-dir/f.png"},
      {{"missing.wav", "-o", "f.png"}, "cannot find the sound missing.wav"},
      {{"take.wav"}, "no figure given"},
      {{"take.wav", "-o", "f.png", "--panels", "sound,pitch"}, "--panels wants"},
      {{"take.wav", "-o", "f.png", "--bogus"}, "unknown option --bogus"},
  };
  for (const Case& c : cases) {
    const auto r = plot(c.args);
    EXPECT_EQ(r.status, 1) << c.message;
    EXPECT_NE(r.err.find("glotmark-plot: " + c.message), std::string::npos) << r.err;
  }
  EXPECT_FALSE(fs::exists(path("f.png")));
  EXPECT_FALSE(fs::exists(path("f.jpg")));
  EXPECT_EQ(count_files(".glotmark-plot-"), 0);
}

// Without the marks file the figure is drawn with a warning saying how to make them; a panel
// asked for by name whose file is missing is an error.
TEST_F(Plot, MissingPartsOfTheAnalysis) {
  const std::string vut = path("PSOtake/take.1VUT.sdif");
  fs::rename(vut, vut + ".away");
  const auto r = plot({"take.wav", "-o", "nomarks.png"});
  fs::rename(vut + ".away", vut);
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.err.find("warning: no pitch marks (./PSOtake/take.1VUT.sdif is missing); make it "
                       "with: glotmark -i take.wav -M"),
            std::string::npos)
      << r.err;
  EXPECT_TRUE(fs::exists(path("nomarks.png")));

  const std::string fq0 = path("PSOtake/take.1FQ0.sdif");
  fs::rename(fq0, fq0 + ".away");
  const auto asked = plot({"take.wav", "-o", "f0.png", "--panels", "sound,f0"});
  const auto others = plot({"take.wav", "-o", "ep.png", "--panels", "sound,epochs"});
  fs::rename(fq0 + ".away", fq0);
  EXPECT_EQ(asked.status, 1);
  EXPECT_NE(asked.err.find("no f0 track for take.wav"), std::string::npos) << asked.err;
  EXPECT_NE(asked.err.find("make it with: glotmark -i take.wav -O"), std::string::npos);
  EXPECT_EQ(others.status, 0) << others.err;
}

TEST_F(Plot, HelpAndVersion) {
  const auto h = plot({"--help"});
  EXPECT_EQ(h.status, 0);
  EXPECT_NE(h.out.find("Usage: glotmark-plot"), std::string::npos);
  const auto v = plot({"--version"});
  EXPECT_EQ(v.status, 0);
  EXPECT_EQ(v.out, std::string("glotmark-plot ") + GLOTMARK_VERSION + "\n");
}

}  // namespace
