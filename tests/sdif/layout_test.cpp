// The files of every writer checked byte by byte by a small reader written here from the format
// rules alone (independent of the library that wrote them).
#include <gtest/gtest.h>

#include <cstring>
#include <fstream>

#include "sdif/datato1EPC.h"
#include "sdif/datato1PSO.h"
#include "sdif/datatosdif.h"
#include "sdif/sdif_signatures.h"
#include "sdif/segmentto1MRK.h"
#include "sdif_test_util.h"

namespace {

using Bytes = std::vector<unsigned char>;

std::uint32_t be32(const Bytes& b, std::size_t at) {
  return std::uint32_t{b[at]} << 24 | std::uint32_t{b[at + 1]} << 16 |
         std::uint32_t{b[at + 2]} << 8 | b[at + 3];
}

double be64(const Bytes& b, std::size_t at) {
  const std::uint64_t u = std::uint64_t{be32(b, at)} << 32 | be32(b, at + 4);
  double d;
  std::memcpy(&d, &u, 8);
  return d;
}

std::string text(const Bytes& b, std::size_t at, std::size_t n) {
  return std::string(reinterpret_cast<const char*>(b.data() + at), n);
}

// Walks the file and describes it: "NVT <text>|" per table frame, "TYP <text>|" for the
// declarations, "<frame>@<time>[<matrix> <rows>x<cols> <values...>]|" per data frame. Records a
// test failure for any rule the file breaks.
std::string walk(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  const Bytes b((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  std::string out;
  if (b.size() < 16 || text(b, 0, 4) != "SDIF" || be32(b, 4) != 8 || be32(b, 8) != 3 ||
      be32(b, 12) != 1) {
    ADD_FAILURE() << "file header";
    return out;
  }
  std::size_t at = 16;
  bool data_seen = false;
  double last_time = -1e300;
  while (at < b.size()) {
    if (b.size() - at < 24) {
      ADD_FAILURE() << "truncated frame header at " << at;
      break;
    }
    const std::string fsig = text(b, at, 4);
    const std::uint32_t size = be32(b, at + 4);
    const double time = be64(b, at + 8);
    const std::uint32_t stream = be32(b, at + 16);
    const std::uint32_t count = be32(b, at + 20);
    const std::size_t end = at + 8 + size;
    if (size < 16 || size % 8 != 0 || end > b.size() || size > 0x7fffffffu) {
      ADD_FAILURE() << "frame size " << size << " at " << at;
      break;
    }
    const bool header = fsig == "1NVT" || fsig == "1TYP";
    if (header) {
      EXPECT_FALSE(data_seen) << "header frame after data";
      EXPECT_EQ(time, 0.0);
      EXPECT_EQ(stream, fsig == "1NVT" ? 0xFFFFFFFDu : 0xFFFFFFFEu);
      EXPECT_EQ(count, 1u);
    } else {
      EXPECT_GE(time, last_time) << "time order";
      EXPECT_EQ(stream, 0u);
      data_seen = true;
      last_time = time;
      out += fsig + "@" + std::to_string(time);
    }
    std::size_t m = at + 24;
    for (std::uint32_t k = 0; k < count; ++k) {
      const std::string msig = text(b, m, 4);
      const std::uint32_t type = be32(b, m + 4), rows = be32(b, m + 8), cols = be32(b, m + 12);
      const std::size_t esize = type & 0xff;
      const std::size_t data = static_cast<std::size_t>(rows) * cols * esize;
      const std::size_t padded = (data + 7) / 8 * 8;
      EXPECT_LE(m + 16 + padded, end) << "matrix past its frame";
      for (std::size_t p = m + 16 + data; p < m + 16 + padded; ++p) EXPECT_EQ(b[p], 0) << "padding";
      if (header) {
        EXPECT_EQ(msig, fsig);
        EXPECT_EQ(type, 0x0301u);
        EXPECT_EQ(cols, 1u);
        out += fsig.substr(1) + " " + text(b, m + 16, rows) + "|";
      } else {
        EXPECT_EQ(type, 4u) << "float32";
        out += "[" + msig + " " + std::to_string(rows) + "x" + std::to_string(cols);
        for (std::size_t e = 0; e < data / 4 && e < 8; ++e) {
          const std::uint32_t u = be32(b, m + 16 + 4 * e);
          float f;
          std::memcpy(&f, &u, 4);
          char buf[32];
          std::snprintf(buf, sizeof buf, " %g", f);
          out += buf;
        }
        out += "]";
      }
      m += 16 + padded;
    }
    EXPECT_EQ(m, end) << "matrices fill their frame exactly";
    if (!header) out += "|";
    at = end;
  }
  return out;
}

// The two tables every writer puts first, as the walk shows them (user and time vary).
std::string tables_prefix(const std::string& walked) {
  const auto second = walked.find("NVT External_f0\t");
  return second == std::string::npos ? "" : walked.substr(0, second);
}

TEST(Layout, EveryWriterProducesStandardFrames) {
  testsupport::ScratchDir dir;
  const gengetopt_args_info args = sdiftest::default_args();
  const std::string params =
      "NVT External_f0\tNo\nf0_fmin\t50.000000\nf0_fmax\t1000.000000\nMethodEpocs\tener\n"
      "LpcOrder\tNone\nForce_fcmax\tNo\nVoiceThreshold\t0.600000\nTransThreshold\t0.200000\n"
      "MarkAlpha\t4.000000\nMarkBeta\t0.050000\nMarkGamma\t5.000000\n|";
  struct Case {
    const char* name;
    std::function<Status(const std::string&)> write;
    std::string after_info;  // everything after the information table
  } const cases[] = {
      {"voicing flags",
       [&](const std::string& p) {
         return datatosdif({0.5, 0.75}, {1, 2}, k1VUV, k1VUT, p, args);
       },
       params + "TYP {\n  1MTD 1VUT {VoicedUnvoicedTransFlag}\n  1FTD 1VUV\n    {\n      1VUT "
                "VoicedUnvoicedTransFlag;\n    }\n}\n|"
                "1VUV@0.500000[1VUT 1x1 1]|1VUV@0.750000[1VUT 1x1 2]|"},
      {"pitch marks",
       [&](const std::string& p) { return datatosdif({0.1}, {4}, k1MRK, k1PEM, p, args); },
       params + "1MRK@0.100000[1PEM 1x1 4]|"},
      {"epochs",
       [&](const std::string& p) {
         return datato1EPC({0.5, 1, 1.5}, k1ECS, p, args);
       },
       params + "TYP {\n  1MTD 1ECS {EpocsSmallReallocation}\n  1MTD 1ECL {EpocsLongReallocation}\n"
                "  1FTD 1EPC\n    {\n      1ECS EpocsSmallReallocation;\n      1ECL "
                "EpocsLongReallocation;\n    }\n}\n|"
                "1EPC@0.000000[1ECS 3x1 0.5 1 1.5]|"},
      {"zones",
       [&](const std::string& p) {
         return segmentto1MRK(tessel::TesselMatrix<double>{{0.25, 0.5}}, p, k1BEG, k1END,
                              "Unvoiced", args);
       },
       params + "NVT SegmentType\tUnvoiced\n|1MRK@0.250000[1BEG 1x1 0]|1MRK@0.500000[1END 1x1 0]|"},
      {"1PSO",
       [&](const std::string& p) {
         return datato1PSO(p, 16000, {0.125}, {2000}, {150}, {1}, {0.75}, {4000}, {106}, {0.5}, {0},
                           args);
       },
       params +
           "TYP {\n  1MTD 1PSO {Position, Fundamentalfrequency, VoicingFlag, VoicingCoefficient, "
           "VoicingCuttingFrequency, Periods, Mod, TransitoireFlag}\n  1FTD 1PSO\n    {\n      "
           "ITDS SamplingRate;\n      1PSO Glotmark;\n    }\n}\n|"
           "1PSO@0.125000[ITDS 1x1 16000][1PSO 1x8 2000 150 1 0.75 4000 106 0.5 0]|"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string path = dir / "f.sdif";
    ASSERT_TRUE(c.write(path).ok());
    const std::string walked = walk(path);
    const std::string info = tables_prefix(walked);
    EXPECT_EQ(info.rfind("NVT Program\tGlotmark\nVersion\t1.0\nUserName\t", 0), 0u) << walked;
    EXPECT_NE(info.find("\nFileName\tvoice.wav\nSoundFingerprint\t\nTime\t"), std::string::npos)
        << walked;
    EXPECT_EQ(info.substr(info.size() - std::strlen("\nWrittenBy\tLumbraLibrary\n|")),
              "\nWrittenBy\tLumbraLibrary\n|");
    EXPECT_EQ(walked.substr(info.size()), c.after_info);
  }
}

}  // namespace
