// Full -S runs on a small synthetic voice: the 1MRK, 1VUT and 1PSO files against a computation
// made here from the other analysis files, and the reuse of the marks by later runs.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "marks/markpositioning.h"
#include "run_program.h"

namespace {

namespace fs = std::filesystem;
using testsupport::Result;
using testsupport::slurp;

// --- A reader of the SDIF files written by the program, independent of the project's own.
struct Matrix {
  std::string sig;
  int rows = 0, cols = 0;
  std::vector<double> data;  // row by row; numeric matrices only
};
struct Frame {
  std::string sig;
  double time = 0.0;
  std::vector<Matrix> matrices;
};

std::uint32_t be32(const std::string& d, std::size_t p) {
  return (std::uint32_t(std::uint8_t(d[p])) << 24) | (std::uint32_t(std::uint8_t(d[p + 1])) << 16) |
         (std::uint32_t(std::uint8_t(d[p + 2])) << 8) | std::uint32_t(std::uint8_t(d[p + 3]));
}
std::uint64_t be64(const std::string& d, std::size_t p) {
  return (std::uint64_t(be32(d, p)) << 32) | be32(d, p + 4);
}

// Every frame after the file header; header frames (text matrices) keep no data.
std::vector<Frame> read_sdif(const std::string& path) {
  const std::string d = slurp(path);
  std::vector<Frame> frames;
  if (d.size() < 16 || d.compare(0, 4, "SDIF") != 0) {
    ADD_FAILURE() << path << " is not an SDIF file";
    return frames;
  }
  std::size_t p = 16;
  while (p + 24 <= d.size()) {
    Frame f;
    f.sig = d.substr(p, 4);
    const std::size_t size = be32(d, p + 4);
    const std::uint64_t bits = be64(d, p + 8);
    std::memcpy(&f.time, &bits, 8);
    const std::uint32_t count = be32(d, p + 20);
    std::size_t q = p + 24;
    for (std::uint32_t m = 0; m < count; ++m) {
      Matrix x;
      x.sig = d.substr(q, 4);
      const std::uint32_t type = be32(d, q + 4);
      x.rows = static_cast<int>(be32(d, q + 8));
      x.cols = static_cast<int>(be32(d, q + 12));
      const std::size_t bytes = (type & 0xffu) * std::size_t(x.rows) * std::size_t(x.cols);
      for (std::size_t i = 0; type == 0x0004 && i < bytes; i += 4) {
        const std::uint32_t b = be32(d, q + 16 + i);
        float v;
        std::memcpy(&v, &b, 4);
        x.data.push_back(v);
      }
      for (std::size_t i = 0; type == 0x0008 && i < bytes; i += 8) {
        const std::uint64_t b = be64(d, q + 16 + i);
        double v;
        std::memcpy(&v, &b, 8);
        x.data.push_back(v);
      }
      f.matrices.push_back(x);
      q += 16 + bytes + (8 - bytes % 8) % 8;
    }
    if (f.sig != "1NVT" && f.sig != "1TYP" && f.sig != "1IDS") frames.push_back(f);
    p += 8 + size;
  }
  return frames;
}

// A track file: (frame time, element of the last column) per matrix row.
struct Track {
  std::vector<double> t, v;
};
Track read_track(const std::string& path) {
  Track k;
  for (const Frame& f : read_sdif(path)) {
    for (const Matrix& m : f.matrices) {
      for (int r = 0; r < m.rows; ++r) {
        k.t.push_back(f.time);
        k.v.push_back(m.data.at(static_cast<std::size_t>(r) * m.cols + m.cols - 1));
      }
    }
  }
  return k;
}

tessel::TesselMatrix<double> matrix(const Track& k) {
  tessel::TesselMatrix<double> m(static_cast<long>(k.t.size()), 2, 0.0);
  for (std::size_t r = 0; r < k.t.size(); ++r) {
    m(r, 0) = k.t[r];
    m(r, 1) = k.v[r];
  }
  return m;
}
tessel::TesselMatrix<double> matrix(const std::vector<std::pair<double, double>>& rows) {
  Track k;
  for (const auto& [a, b] : rows) k.t.push_back(a), k.v.push_back(b);
  return matrix(k);
}

// A segment file: (begin, end) pairs.
std::vector<std::pair<double, double>> read_zones(const std::string& path) {
  std::vector<std::pair<double, double>> z;
  for (const Frame& f : read_sdif(path)) {
    if (f.matrices.at(0).sig == "1BEG") {
      z.emplace_back(f.time, f.time);
    } else {
      z.back().second = f.time;
    }
  }
  return z;
}

// --- The computations the files must agree with.

// Break-point value: first value before, last value after, linear in between.
double breakpoint(const Track& k, double t) {
  const std::size_t n = k.t.size();
  if (t <= k.t[0]) return k.v[0];
  if (t >= k.t[n - 1]) return k.v[n - 1];
  const std::size_t r = std::upper_bound(k.t.begin(), k.t.end(), t) - k.t.begin() - 1;
  if (t == k.t[r]) return k.v[r];
  return k.v[r] + (k.v[r + 1] - k.v[r]) * ((t - k.t[r]) / (k.t[r + 1] - k.t[r]));
}

bool near_float(double a, double b) {
  return std::fabs(a - b) <= 2e-6 * std::max(1.0, std::fabs(b));
}

constexpr double kSr = 22050.0;  // Hz
constexpr double kVoiceThreshold = 0.6;

class MarksRun : public testing::Test {
 protected:
  void SetUp() override {
    // Two voiced stretches around a fricative, then a plosive burst.
    const Result g = testsupport::run({testsupport::bin("glotsynth"), "--sr=22050", "--seed=3",
                                       "--segments=s:0.05,v:0.4:110-150:a-e,u:0.1,"
                                       "v:0.35:170-130:i-o,s:0.05,b:0.03,v:0.3:120-100:o-u,s:0.05",
                                       dir_ / "v.wav"});
    ASSERT_EQ(g.status, 0) << g.err;
  }
  Result glotmark(std::vector<std::string> words) {
    words.insert(words.begin(), {testsupport::bin("glotmark"), "-i", "v.wav"});
    return testsupport::run(words, dir_.path().string(), {"SFDIR="});
  }
  std::string file(const std::string& suffix) const { return dir_ / ("PSOv/v" + suffix); }
  std::map<std::string, fs::file_time_type> stamps() const {
    std::map<std::string, fs::file_time_type> s;
    for (const auto& e : fs::directory_iterator(dir_ / "PSOv"))
      s[e.path().string()] = e.last_write_time();
    return s;
  }

  // The f0 track of the 1FQ0 file cleaned as the chain cleans it, and its median.
  Track cleaned_f0(double& median) const {
    Track f0 = read_track(file(".1FQ0.sdif"));
    for (double& v : f0.v) v = v > 2000.0 ? 150.0 : v;
    for (double& v : f0.v) v = v < 20.0 ? 150.0 : v;
    std::vector<double> sorted = f0.v;
    std::sort(sorted.begin(), sorted.end());
    const std::size_t h = sorted.size() / 2;
    median = sorted.size() % 2 ? sorted[h] : 0.5 * (sorted[h - 1] + sorted[h]);
    return f0;
  }

  testsupport::ScratchDir dir_;
};

TEST_F(MarksRun, FilesAgreeWithTheOtherAnalysisFiles) {
  const Result r = glotmark({"-S", "--verbose"});
  ASSERT_EQ(r.status, 0) << r.out;
  EXPECT_NE(r.out.find(" -> All files will be stored in the directory : ./PSOv/"),
            std::string::npos);

  const auto mrk = read_sdif(file(".1MRK.sdif"));
  const Track kinds = read_track(file(".1VUT.sdif"));
  const auto pso = read_sdif(file(".1PSO.sdif"));
  ASSERT_GT(mrk.size(), 50u);
  ASSERT_EQ(kinds.t.size(), mrk.size());
  ASSERT_EQ(pso.size(), mrk.size());

  // The inputs of the marks and of the 1PSO columns, as the files hold them.
  double median = 0.0;
  const Track f0 = cleaned_f0(median);
  const Track coef = read_track(file(".1VUN.sdif"));
  const Track cutoff = read_track(file(".1VUF.sdif"));
  const auto transients = read_zones(file(".1TRA.sdif"));
  // The mark positioning reads the coefficient at frame position sr * t - 1 samples.
  Track coef_at_position = coef;
  for (double& t : coef_at_position.t) t = (kSr * t - 1.0) / kSr;

  const std::size_t n = mrk.size();
  std::map<double, int> kind_count;
  for (std::size_t i = 0; i < n; ++i) {
    SCOPED_TRACE("mark " + std::to_string(i));
    const double t = mrk[i].time;
    ASSERT_EQ(mrk[i].matrices.at(0).sig, "1PEM");
    EXPECT_EQ(mrk[i].matrices.at(0).data.at(0), 4.0);
    if (i > 0) {
      EXPECT_GT(t, mrk[i - 1].time);
    }
    EXPECT_EQ(kinds.t[i], t);
    EXPECT_EQ(pso[i].time, t);
    const double k = kinds.v[i];
    ++kind_count[k];

    // Kind: 2 inside a transient zone, else 1 when the coefficient is above the threshold.
    const bool in_transient = std::any_of(transients.begin(), transients.end(),
                                          [&](auto z) { return z.first <= t && t <= z.second; });
    const double c = breakpoint(coef_at_position, t);
    if (in_transient) {
      EXPECT_EQ(k, 2.0);
    } else if (std::fabs(c - kVoiceThreshold) > 1e-5) {
      EXPECT_EQ(k, c > kVoiceThreshold ? 1.0 : 0.0) << "coefficient " << c;
    }

    // The 1PSO frame: sampling rate, then the eight columns.
    ASSERT_EQ(pso[i].matrices.size(), 2u);
    EXPECT_EQ(pso[i].matrices[0].sig, "ITDS");
    EXPECT_EQ(pso[i].matrices[0].data.at(0), kSr);
    const std::vector<double>& col = pso[i].matrices[1].data;
    ASSERT_EQ(col.size(), 8u);
    const double f = breakpoint(f0, t);
    const double before = i > 0 ? t - mrk[i - 1].time : INFINITY;
    const double after = i + 1 < n ? mrk[i + 1].time - t : INFINITY;
    EXPECT_EQ(col[0], static_cast<float>(kSr * t)) << "position";
    EXPECT_TRUE(near_float(col[1], f)) << "f0 " << col[1] << " " << f;
    EXPECT_EQ(col[2], k == 1.0 ? 1.0 : 0.0) << "voicing flag";
    EXPECT_TRUE(near_float(col[3], breakpoint(coef, t))) << "coefficient";
    EXPECT_TRUE(near_float(col[4], breakpoint(cutoff, t))) << "cut-off";
    EXPECT_EQ(col[5], static_cast<float>(kSr * std::min(before, after))) << "periods";
    EXPECT_TRUE(near_float(col[6], f / median - 1.0)) << "mod";
    EXPECT_EQ(col[7], k == 2.0 ? 1.0 : 0.0) << "transient flag";
  }
  // The sound has voiced and unvoiced stretches and a burst; every kind is one of the three.
  EXPECT_GT(kind_count[1.0], 20);
  EXPECT_GT(kind_count[0.0], 0);
  EXPECT_GT(kind_count[2.0], 0);
  EXPECT_EQ(kind_count[0.0] + kind_count[1.0] + kind_count[2.0], static_cast<int>(n));
}

TEST_F(MarksRun, MarksAreThoseOfTheAnalysisFiles) {
  // The second run reads steps 1 to 6 back and places the marks with other weights: the same
  // computation on the files' contents must give the marks and kinds of the 1MRK and 1VUT files.
  ASSERT_EQ(glotmark({"-S"}).status, 0);
  const Result r = glotmark({"-S", "-a", "5", "-b", "0.2", "-g", "3", "-v", "0.5"});
  ASSERT_EQ(r.status, 0) << r.out;

  double median = 0.0;
  const Track f0 = cleaned_f0(median);
  const Frame ecs = read_sdif(file(".1ECS.sdif")).at(0);
  tessel::TesselVector<double> curve(static_cast<long>(ecs.matrices.at(0).data.size()), 0.0);
  for (int i = 0; i < curve.size(); ++i) curve[i] = ecs.matrices[0].data[i];
  const Track coef = read_track(file(".1VUN.sdif"));
  tessel::TesselVector<tessel::cplx<double>> voicing(static_cast<long>(coef.t.size()));
  for (int i = 0; i < voicing.size(); ++i) voicing[i] = {kSr * coef.t[i] - 1.0, coef.v[i]};
  tessel::TesselMatrix<double> marked, noise;
  const auto expected =
      markpositioning(curve, kSr, matrix(f0), matrix(read_zones(file(".1VOI.sdif"))),
                      matrix(read_zones(file(".1TRA.sdif"))), median, 5.0, 0.2, 3.0, voicing, 0.5,
                      marked, noise)
          .value();

  const Track kinds = read_track(file(".1VUT.sdif"));
  ASSERT_EQ(kinds.t.size(), static_cast<std::size_t>(expected.size()));
  for (int i = 0; i < expected.size(); ++i) {
    EXPECT_EQ(kinds.t[i], expected[i].re) << "mark " << i;
    EXPECT_EQ(kinds.v[i], expected[i].im) << "mark " << i;
  }
}

TEST_F(MarksRun, SecondRunWritesOnlyThe1PSOFile) {
  ASSERT_EQ(glotmark({"-S"}).status, 0);
  const auto before = stamps();
  const auto first_pso = read_sdif(file(".1PSO.sdif"));

  const Result r = glotmark({"-S", "--verbose"});
  ASSERT_EQ(r.status, 0) << r.out;
  EXPECT_EQ(r.out.find(" Writing : "), std::string::npos) << r.out;
  EXPECT_EQ(r.out.find("Mark positionning"), std::string::npos);
  EXPECT_NE(r.out.find(" Reading : ./PSOv/v.1MRK.sdif to extract data...\n"), std::string::npos);
  EXPECT_NE(r.out.find(" Reading : ./PSOv/v.1VUT.sdif to extract data...\n"), std::string::npos);
  EXPECT_NE(r.out.find("\n Writing 1PSO sdiff file.\n"), std::string::npos);
  const auto after = stamps();
  for (const auto& [path, stamp] : before) {
    if (path.ends_with(".1PSO.sdif") || path.ends_with("history")) continue;
    EXPECT_EQ(after.at(path), stamp) << path << " was written again";
  }

  // The marks read back give the same 1PSO frames as the marks just computed.
  const auto again = read_sdif(file(".1PSO.sdif"));
  ASSERT_EQ(again.size(), first_pso.size());
  for (std::size_t i = 0; i < again.size(); ++i) {
    EXPECT_EQ(again[i].time, first_pso[i].time);
    for (int c = 0; c < 8; ++c) {
      EXPECT_TRUE(near_float(again[i].matrices[1].data[c], first_pso[i].matrices[1].data[c]))
          << "frame " << i << " column " << c;
    }
  }
}

TEST_F(MarksRun, NewAlphaRecomputesOnlyTheMarksAndThe1PSOFile) {
  ASSERT_EQ(glotmark({"-S"}).status, 0);
  const auto before = stamps();
  const Result r = glotmark({"-S", "-a", "6", "--verbose"});
  ASSERT_EQ(r.status, 0) << r.out;
  EXPECT_NE(r.out.find("\nMark positionning of the analyse.\n -> alpha : 6\n"), std::string::npos);
  EXPECT_NE(r.out.find(" Writing : ./PSOv/v.1MRK.sdif\n"), std::string::npos);
  EXPECT_NE(r.out.find(" Writing : ./PSOv/v.1VUT.sdif\n"), std::string::npos);
  const auto after = stamps();
  for (const auto& [path, stamp] : before) {
    const bool rewritten = path.ends_with(".1MRK.sdif") || path.ends_with(".1VUT.sdif") ||
                           path.ends_with(".1PSO.sdif") || path.ends_with("history");
    if (!rewritten) {
      EXPECT_EQ(after.at(path), stamp) << path << " was written again";
    }
  }
  EXPECT_NE(slurp(file(".1MRK.sdif")).find("MarkAlpha\t6.000000\n"), std::string::npos);
}

TEST_F(MarksRun, A1PSOFileThatCannotBeCreatedFailsTheRun) {
  // A directory in the way of the 1PSO file.
  fs::create_directories(file(".1PSO.sdif"));
  const Result r = glotmark({"-S"});
  EXPECT_EQ(r.status, 1) << r.out;
  EXPECT_NE(r.out.find("cannot create"), std::string::npos) << r.out;
  EXPECT_TRUE(fs::exists(file(".1VUT.sdif")));
  EXPECT_TRUE(fs::exists(dir_ / "PSOv/history"));
}

}  // namespace
