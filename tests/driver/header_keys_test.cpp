// The header keys: what a writer stores is what the reuse test compares, at any value.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

#include "driver/reuse.h"
#include "run_program.h"
#include "sdif/datatosdif.h"
#include "sdif/header_keys.h"
#include "sdif/sdif_signatures.h"

namespace {

constexpr unsigned kEveryGroup = kKeyEveryStep | kKeyF0File | kKeyForceFcmax | kKeyVoiceThreshold |
                                 kKeyTransThreshold | kKeyMarkParameters;

// A checked record with every number of the header set to x.
gengetopt_args_info record_of(double x, const char* method) {
  gengetopt_args_info a;
  a.input_arg = "voice.wav";
  a.input_given = 1;
  a.fmin_arg = a.fmax_arg = x;
  a.voice_threshold_arg = a.trans_threshold_arg = x;
  a.alpha_arg = a.beta_arg = a.gamma_arg = x;
  a.method_epocs_arg = method;
  a.orderLPC_arg = 10;
  return a;
}

// Writes a one-frame track with the header of facts and reads its header back.
StoredHeader written_header(const std::string& path, const HeaderFacts& facts) {
  const tessel::TesselVector<double> t{0.0}, v{1.0};
  EXPECT_TRUE(datatosdif(t, v, k1VUV, k1VUN, path, facts).ok());
  StoredHeader h;
  EXPECT_TRUE(read_stored_header(path, h));
  return h;
}

TEST(HeaderKeys, TextWrittenIsTextComparedAtAwkwardValues) {
  testsupport::ScratchDir dir;
  const std::string path = dir / "track.sdif";
  const double awkward[] = {
      1e300,          -1e300,    std::numeric_limits<double>::max(), -0.0, 0.1, 1e-7,
      0.0078125,  // 2^-7: exactly half-way at the sixth decimal
      2.5000005,  // half-way as written, not as stored
      123456.0000005, 0.9999995,
  };
  for (const double x : awkward) {
    for (const char* method : {"ener", "frob"}) {
      SCOPED_TRACE(std::to_string(x) + " " + method);
      const gengetopt_args_info a = record_of(x, method);
      const HeaderFacts facts(a, 7, "16000_8000_0123456789abcdef");
      const StoredHeader h = written_header(path, facts);
      for (const HeaderKey& key : header_keys()) {
        if (std::string(key.name) == "Time") continue;  // the clock moved on
        EXPECT_EQ(stored_value(h, key.name), key.value(facts)) << key.name;
      }
      EXPECT_FALSE(header_differs(h, facts, ReuseKeys{kEveryGroup, nullptr}));
      EXPECT_FALSE(f0_must_recompute(path, facts));
      // Any change the text shows is seen.
      gengetopt_args_info moved = a;
      moved.gamma_arg = x + 1e-5 * (std::fabs(x) > 1 ? std::fabs(x) : 1);
      EXPECT_TRUE(header_differs(h, HeaderFacts(moved, 7, facts.fingerprint), kReuseMarks));
    }
  }
}

// Results of another sound are recomputed by every step, whatever else the header says: the
// External_f0 gate that keeps files of unknown origin applies only to the same sound.
TEST(HeaderKeys, AnotherOrNoSoundFingerprintIsRecomputed) {
  testsupport::ScratchDir dir;
  const gengetopt_args_info a = record_of(0.5, "ener");
  const std::string path = dir / "track.sdif";
  const StoredHeader h = written_header(path, HeaderFacts(a, 10, "16000_8000_0123456789abcdef"));
  StoredHeader no_gate = h;  // External_f0 neither "Yes" nor "No": kept without comparing
  std::erase_if(no_gate, [](const auto& kv) { return kv.first == "External_f0"; });
  StoredHeader no_print = h;
  std::erase_if(no_print, [](const auto& kv) { return kv.first == "SoundFingerprint"; });
  struct Case {
    const StoredHeader* stored;
    const char* now;
    bool differs;
    const char* why;
  } const cases[] = {
      {&h, "16000_8000_0123456789abcdef", false, "same sound"},
      {&h, "16000_8000_0123456789abcdee", true, "one sample changed"},
      {&h, "44100_8000_0123456789abcdef", true, "another rate"},
      {&no_gate, "16000_8000_0123456789abcdef", false, "no gate, same sound"},
      {&no_gate, "16000_4000_0123456789abcdef", true, "no gate, shorter sound"},
      {&no_print, "16000_8000_0123456789abcdef", true, "a file of before fingerprints"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.why);
    const HeaderFacts now(a, 10, c.now);
    EXPECT_EQ(header_differs(*c.stored, now, kReuseMarks), c.differs);
    EXPECT_EQ(header_differs(*c.stored, now, kReuseEpochs), c.differs);
  }
  EXPECT_FALSE(f0_must_recompute(path, HeaderFacts(a, 10, "16000_8000_0123456789abcdef")));
  EXPECT_TRUE(f0_must_recompute(path, HeaderFacts(a, 10, "16000_8001_0123456789abcdef")));
}

TEST(HeaderKeys, LpcOrderStoredIsTheOrderUsed) {
  testsupport::ScratchDir dir;
  const gengetopt_args_info a = record_of(0.5, "frob");  // the record asks for order 10
  const StoredHeader h = written_header(dir / "e.sdif", HeaderFacts(a, 6));
  EXPECT_EQ(stored_value(h, "LpcOrder"), "6");
  EXPECT_FALSE(header_differs(h, HeaderFacts(a, 6), kReuseEpochs));
  EXPECT_TRUE(header_differs(h, HeaderFacts(a), kReuseEpochs));
}

TEST(HeaderKeys, EveryKeyOnceInFileOrder) {
  const char* expected[] = {"Program",          "Version",        "UserName",       "FileName",
                            "SoundFingerprint", "Time",           "WrittenBy",      "External_f0",
                            "f0_fmin",          "f0_fmax",        "MethodEpocs",    "LpcOrder",
                            "Force_fcmax",      "VoiceThreshold", "TransThreshold", "MarkAlpha",
                            "MarkBeta",         "MarkGamma"};
  ASSERT_EQ(header_keys().size(), std::size(expected));
  for (std::size_t i = 0; i < std::size(expected); ++i) {
    EXPECT_STREQ(header_keys()[i].name, expected[i]);
    EXPECT_EQ(find_header_key(expected[i]), &header_keys()[i]);
  }
  EXPECT_EQ(find_header_key("SegmentType"), nullptr);  // a table of its own
}

TEST(HeaderKeys, NumbersAreNeverCut) {
  EXPECT_EQ(header_number(50.0), "50.000000");
  EXPECT_EQ(header_number(-0.0), "-0.000000");
  EXPECT_EQ(header_number(1e300).size(), 308u);
  EXPECT_EQ(header_number(std::numeric_limits<double>::max()).size(), 316u);
}

}  // namespace
