// Header tables of the analysis files: keys, order and the exact value texts.
#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>

#include "sdif/infotable.h"
#include "sdif/paramtable.h"
#include "sdif_test_util.h"

namespace {

using Pairs = std::vector<std::pair<std::string, std::string>>;

class UtcClock : public testing::Test {
 protected:
  void SetUp() override {
    const char* tz = std::getenv("TZ");
    had_tz_ = tz != nullptr;
    if (had_tz_) old_tz_ = tz;
    setenv("TZ", "UTC", 1);
    tzset();
  }
  void TearDown() override {
    if (had_tz_) {
      setenv("TZ", old_tz_.c_str(), 1);
    } else {
      unsetenv("TZ");
    }
    tzset();
  }
  bool had_tz_ = false;
  std::string old_tz_;
};

constexpr std::time_t kDec4 = 1733303103;  // Wed Dec  4 09:05:03 2024 UTC

TEST_F(UtcClock, InformationTableHoldsItsKeysInOrder) {
  gengetopt_args_info a = sdiftest::default_args();
  a.input_arg = "../takes/my voice (2).wav";
  EXPECT_EQ(infotable(HeaderFacts(a, 10, "16000_8001_00ff00ff00ff00ff"), "ana", kDec4).Entries(),
            (Pairs{{"Program", "Glotmark"},
                   {"Version", "1.0"},
                   {"UserName", "ana"},
                   {"FileName", "../takes/my voice (2).wav"},
                   {"SoundFingerprint", "16000_8001_00ff00ff00ff00ff"},
                   {"Time", "Wed_Dec__4_09:05:03_2024"},
                   {"WrittenBy", "LumbraLibrary"}}));
}

TEST_F(UtcClock, UserNameAndFileNameEdgeCases) {
  struct Case {
    const char* login;
    std::string input;
    std::string user, file;
  } const cases[] = {
      {nullptr, "a.wav", "unknow", "a.wav"},
      {"", "a.wav", "unknow", "a.wav"},
      {"bob", "caf\xc3\xa9.wav", "bob", "caf\xc3\xa9.wav"},  // UTF-8 kept
      {"bob", "line\nbreak.wav", "bob", "line?break.wav"},   // a table line cannot hold it
      {"bob", "latin\xe9.wav", "bob", "latin?.wav"},         // not UTF-8
      {"bob", "cut\xc3", "bob", "cut?"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.input);
    gengetopt_args_info a = sdiftest::default_args();
    a.input_arg = c.input;
    const SDIFNameValueTable t = infotable(a, c.login, kDec4);
    EXPECT_EQ(t.GetValue("UserName"), c.user);
    EXPECT_EQ(t.GetValue("FileName"), c.file);
  }
  EXPECT_EQ(infotable(sdiftest::default_args(), "x", 1734998400).GetValue("Time"),
            "Tue_Dec_24_00:00:00_2024");
}

TEST(ParamTable, ValuesFollowTheCommandLine) {
  const gengetopt_args_info base = sdiftest::default_args();
  EXPECT_EQ(paramtable(base, true).Entries(), (Pairs{{"External_f0", "No"},
                                                     {"f0_fmin", "50.000000"},
                                                     {"f0_fmax", "1000.000000"},
                                                     {"MethodEpocs", "ener"},
                                                     {"LpcOrder", "None"},
                                                     {"Force_fcmax", "No"},
                                                     {"VoiceThreshold", "0.600000"},
                                                     {"TransThreshold", "0.200000"},
                                                     {"MarkAlpha", "4.000000"},
                                                     {"MarkBeta", "0.050000"},
                                                     {"MarkGamma", "5.000000"}}));

  struct Case {
    const char* why;
    std::function<void(gengetopt_args_info&)> change;
    const char* key;
    const char* value;
  } const cases[] = {
      {"external f0 hides fmin",
       [](auto& a) {
         a.f0_file_given = 1;
         a.fmin_arg = 80;
       },
       "f0_fmin", "None"},
      {"external f0 hides fmax", [](auto& a) { a.f0_file_given = 1; }, "f0_fmax", "None"},
      {"external f0", [](auto& a) { a.f0_file_given = 1; }, "External_f0", "Yes"},
      {"fmin", [](auto& a) { a.fmin_arg = 80.25; }, "f0_fmin", "80.250000"},
      {"frob order",
       [](auto& a) {
         a.method_epocs_arg = "frob";
         a.orderLPC_arg = 12;
       },
       "LpcOrder", "12"},
      {"frob-like text",
       [](auto& a) {
         a.method_epocs_arg = "frobx";
         a.orderLPC_arg = 12;
       },
       "LpcOrder", "None"},
      {"realloc", [](auto& a) { a.method_epocs_arg = "realloc"; }, "MethodEpocs", "realloc"},
      {"forcefc", [](auto& a) { a.forcefc_given = 1; }, "Force_fcmax", "Yes"},
      {"forcefc flag alone does not count", [](auto& a) { a.forcefc_flag = 1; }, "Force_fcmax",
       "No"},
      {"gamma", [](auto& a) { a.gamma_arg = 2; }, "MarkGamma", "2.000000"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.why);
    gengetopt_args_info a = base;
    c.change(a);
    EXPECT_EQ(paramtable(a, true).GetValue(c.key), c.value);
  }
}

TEST(ParamTable, F0FileTableHasNoForceFcmax) {
  const SDIFNameValueTable t = paramtable(sdiftest::default_args(), false);
  EXPECT_FALSE(t.HasName("Force_fcmax"));
  EXPECT_EQ(t.GetNbData(), 10u);
}

}  // namespace
