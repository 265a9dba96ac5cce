// Parsing and checking of command lines, in process.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "driver/check_cmdline.h"
#include "driver/cmdline.h"

namespace {

gengetopt_args_info parse(std::vector<std::string> words) {
  words.insert(words.begin(), "glotmark");
  std::vector<char*> argv;
  for (auto& w : words) argv.push_back(w.data());
  argv.push_back(nullptr);
  gengetopt_args_info args;
  EXPECT_EQ(cmdline_parser(static_cast<int>(words.size()), argv.data(), &args), 0);
  return args;
}

struct Checked {
  int status;
  std::string out;
  gengetopt_args_info args;
  CheckedOptions opts;
};

Checked check(const std::vector<std::string>& words) {
  Checked c{0, "", parse(words), {}};
  std::ostringstream out;
  c.status = check_cmdline(c.args, c.opts, out);
  c.out = out.str();
  return c;
}

TEST(CmdlineParser, StoresValuesCountersAndExtraArguments) {
  const auto a = parse({"-i", "dir/a b.wav", "-f", "80.5", "--fmax=900", "-e", "frob", "-o", "12x",
                        "--forcefc", "-S", "extra1", "extra2", "-v", "junk"});
  EXPECT_EQ(a.input_arg, "dir/a b.wav");
  EXPECT_EQ(a.input_given, 1u);
  EXPECT_DOUBLE_EQ(a.fmin_arg, 80.5);
  EXPECT_DOUBLE_EQ(a.fmax_arg, 900.0);
  EXPECT_EQ(a.method_epocs_arg, "frob");
  EXPECT_EQ(a.orderLPC_arg, 12);  // atoi reads the leading digits
  EXPECT_EQ(a.forcefc_flag, 1);
  EXPECT_EQ(a.forcefc_given, 1u);
  EXPECT_EQ(a.PSO_file_flag, 1);
  EXPECT_EQ(a.voice_threshold_given, 1u);
  EXPECT_EQ(a.voice_threshold_arg, 0.0);  // strtod of a non-number
  EXPECT_EQ(a.f0_given, 0u);
  EXPECT_EQ(a.voice_given, 0u);
  EXPECT_EQ(a.inputs_num, 2u);
  EXPECT_EQ(a.inputs, (std::vector<std::string>{"extra1", "extra2"}));
}

TEST(CmdlineParser, SecondParseStartsFromAClearRecord) {
  (void)parse({"-i", "a.wav", "-O", "--verbose"});
  const auto a = parse({"-i", "b.wav", "-E"});
  EXPECT_EQ(a.input_arg, "b.wav");
  EXPECT_EQ(a.f0_given, 0u);
  EXPECT_EQ(a.verbose_flag, 0);
  EXPECT_EQ(a.epocs_given, 1u);
}

TEST(CheckCmdline, RefusalsInOrder) {
  struct Case {
    std::vector<std::string> words;
    const char* message;
  } const cases[] = {
      {{"-O", "-I", "f.sdif"},
       "\n *** Conflict! Must choose between calculating f0 or using an external file ***\n"},
      {{"-E", "-e", "Frob"}, "\n *** Method error! ***\n"},
      {{"-E", "-e", "frob "}, "\n *** Method error! ***\n"},
      {{"-E", "-o", "0"}, "\n *** LPC order must be > 0! ***\n"},
      {{"-E", "-o", "-3"}, "\n *** LPC order must be > 0! ***\n"},
      {{"-E", "-o", "abc"}, "\n *** LPC order must be > 0! ***\n"},
      {{"-T", "-v", "0"}, "\n *** Voice treshold error. Must be betwen ]0,1[.\n"},
      {{"-T", "-v", "1"}, "\n *** Voice treshold error. Must be betwen ]0,1[.\n"},
      {{"-T", "-t", "1"}, "\n *** Transitoires treshold error. Must be betwen ]0,1[.\n"},
      {{"-T", "-t", "-0.5"}, "\n *** Transitoires treshold error. Must be betwen ]0,1[.\n"},
      {{"-M", "-a", "2"}, "\n *** Alpha must be > 2. \n"},
      {{"-M", "-b", "0"}, "\n *** Beta must be > 0. \n"},
      {{"-M", "-g", "-1"}, "\n *** Gamma must be > 0. \n"},
      {{"-M", "-g", "nan"}, "\n *** Gamma must be > 0. \n"},
      {{"-f", "80", "-v", "0.5", "-a", "3"},
       "\n *** Must give at least one flag for the different step of the analyse ('-O', '-E', "
       "'-U' ('--voice' , '--thres'), '-T', '-M', '-S') or parameters.\n"},
      // The earlier check wins when two fail.
      {{"-O", "-I", "f.sdif", "-e", "bad"},
       "\n *** Conflict! Must choose between calculating f0 or using an external file ***\n"},
      {{"-e", "bad", "-o", "0"}, "\n *** Method error! ***\n"},
  };
  for (const auto& c : cases) {
    std::vector<std::string> words = {"-i", "a.wav"};
    words.insert(words.end(), c.words.begin(), c.words.end());
    SCOPED_TRACE(::testing::PrintToString(words));
    const auto r = check(words);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, std::string(c.message) + "\n");
  }
}

TEST(CheckCmdline, VerboseBannerComesFirst) {
  const auto r = check({"-i", "a.wav", "--verbose", "-e", "bad"});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, "\n *********** Glotmark ************* \n\n\n *** Method error! ***\n\n");
  EXPECT_TRUE(r.opts.verbose);
}

TEST(CheckCmdline, ForceWithoutExternalF0IsDroppedWithAWarning) {
  const auto r = check({"-i", "a.wav", "-O", "--force"});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, "\n *** Warning : --force flag useless ***\n\n");
  EXPECT_EQ(r.args.force_given, 0u);

  const auto kept = check({"-i", "a.wav", "-I", "f.sdif", "--force"});
  EXPECT_EQ(kept.status, 0);
  EXPECT_EQ(kept.out, "");
  EXPECT_EQ(kept.args.force_given, 1u);
}

TEST(CheckCmdline, DefaultsFilledOnlyWhereAbsent) {
  const auto d = check({"-i", "a.wav", "-S"});
  ASSERT_EQ(d.status, 0);
  EXPECT_EQ(d.args.fmin_arg, 50.0);
  EXPECT_EQ(d.args.fmax_arg, 1000.0);
  EXPECT_EQ(d.args.voice_threshold_arg, 0.6);
  EXPECT_EQ(d.args.trans_threshold_arg, 0.2);
  EXPECT_EQ(d.args.alpha_arg, 4.0);
  EXPECT_EQ(d.args.beta_arg, 0.05);
  EXPECT_DOUBLE_EQ(d.args.gamma_arg, 5.0);
  EXPECT_EQ(d.opts.cutoff_cap_hz, 6000.0);

  const auto given = check({"-i", "a.wav", "-S", "-f", "70", "-F", "400", "-v", "0.3", "-t", "0.9",
                            "-a", "2.5", "-b", "0.02", "--forcefc"});
  ASSERT_EQ(given.status, 0);
  EXPECT_EQ(given.args.fmin_arg, 70.0);
  EXPECT_EQ(given.args.fmax_arg, 400.0);
  EXPECT_EQ(given.args.voice_threshold_arg, 0.3);
  EXPECT_EQ(given.args.trans_threshold_arg, 0.9);
  EXPECT_EQ(given.args.alpha_arg, 2.5);
  EXPECT_DOUBLE_EQ(given.args.gamma_arg, 2.0);  // 100 times the given beta
  EXPECT_FALSE(given.opts.cutoff_cap_hz.has_value());

  const auto gamma = check({"-i", "a.wav", "-S", "-b", "0.02", "-g", "7"});
  ASSERT_EQ(gamma.status, 0);
  EXPECT_EQ(gamma.args.gamma_arg, 7.0);
}

TEST(CheckCmdline, EpochMethodAndOrder) {
  struct Case {
    std::vector<std::string> words;
    EpochMethod method;
    int order;                // driver's order
    const char* method_text;  // method_epocs_arg afterwards
    int record_order;         // orderLPC_arg afterwards
  } const cases[] = {
      {{}, EpochMethod::ener, -1, "ener", 0},
      {{"-o", "12"}, EpochMethod::frob, 12, "frob", 12},
      {{"-e", "realloc"}, EpochMethod::realloc, -1, "realloc", 0},
      {{"-e", "realloc", "-o", "7"}, EpochMethod::realloc, -1, "realloc", 7},
      {{"-e", "frob", "-o", "7"}, EpochMethod::frob, 7, "frob", 7},
      {{"-e", "frob"}, EpochMethod::frob, -1, "frob", 10},
      {{"-e", "ener"}, EpochMethod::ener, -1, "ener", 0},
      {{"-e", "ener", "-o", "7"}, EpochMethod::ener, -1, "ener", 7},
  };
  for (const auto& c : cases) {
    std::vector<std::string> words = {"-i", "a.wav", "-E"};
    words.insert(words.end(), c.words.begin(), c.words.end());
    SCOPED_TRACE(::testing::PrintToString(words));
    const auto r = check(words);
    ASSERT_EQ(r.status, 0);
    EXPECT_EQ(r.opts.method, c.method);
    EXPECT_EQ(r.opts.lpc_order, c.order);
    EXPECT_EQ(r.args.method_epocs_arg, c.method_text);
    EXPECT_EQ(r.args.orderLPC_arg, c.record_order);
  }
}

TEST(CheckCmdline, VoicingAndTransientRequests) {
  struct Case {
    std::vector<std::string> words;
    bool voicing, transients;
  } const cases[] = {
      {{"-U"}, true, true},
      {{"--voice"}, true, false},
      {{"--trans"}, false, true},
      {{"-U", "--voice"}, false, false},
      {{"-U", "--trans"}, false, false},
      {{"--voice", "--trans"}, false, false},
      {{"-U", "--voice", "--trans"}, false, false},
      {{"-S"}, false, false},
  };
  for (const auto& c : cases) {
    std::vector<std::string> words = {"-i", "a.wav"};
    words.insert(words.end(), c.words.begin(), c.words.end());
    SCOPED_TRACE(::testing::PrintToString(words));
    const auto r = check(words);
    ASSERT_EQ(r.status, 0);  // any of them counts as a step flag
    EXPECT_EQ(r.opts.voicing_requested, c.voicing);
    EXPECT_EQ(r.opts.transients_requested, c.transients);
  }
}

}  // namespace
