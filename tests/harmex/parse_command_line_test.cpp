// The command line: the driver's form, its variants, and everything that must be refused.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "harmex/harmex.h"

namespace {

harmex::Request parse(std::vector<std::string> args) {
  args.insert(args.begin(), "harmex");
  std::vector<const char*> argv;
  for (const auto& a : args) argv.push_back(a.c_str());
  return harmex::parse_command_line(static_cast<int>(argv.size()), argv.data());
}

TEST(ParseCommandLine, TakesTheDriversCommandInAnyOrder) {
  struct Case {
    std::vector<std::string> args;
  } cases[] = {
      {{"-Af0", "-S/data/a b.wav", "--f0min=50.00", "--f0max=1000.00", "-M3528.00",
        "--f0ana=2500.00", "out.sdif.tmp"}},
      {{"out.sdif.tmp", "--f0ana=2500", "-M", "3528", "--f0max", "1000", "--f0min", "50", "-S",
        "/data/a b.wav", "-A", "f0"}},
      {{"-M3528.00", "-S/data/a b.wav", "-Af0", "--f0ana=2500.00", "--f0max=1000.00",
        "--f0min=50.00", "--", "out.sdif.tmp"}},
  };
  for (const Case& c : cases) {
    const harmex::Request r = parse(c.args);
    EXPECT_EQ(r.sound_path, "/data/a b.wav");
    EXPECT_EQ(r.output_path, "out.sdif.tmp");
    EXPECT_EQ(r.options.f0min_hz, 50.0);
    EXPECT_EQ(r.options.f0max_hz, 1000.0);
    EXPECT_EQ(r.options.window_samples, 3528.0);
    EXPECT_EQ(r.options.f0ana_hz, 2500.0);
    EXPECT_FALSE(r.help);
  }
  const harmex::Request defaults = parse({"-Af0", "-Sx.wav", "y.sdif"});
  EXPECT_EQ(defaults.options.f0min_hz, 50.0);
  EXPECT_EQ(defaults.options.f0max_hz, 1000.0);
  EXPECT_EQ(defaults.options.window_samples, 0.0);  // chosen from f0min and the rate
  EXPECT_EQ(defaults.options.f0ana_hz, 0.0);        // chosen from f0max and the rate
  EXPECT_TRUE(parse({"--help"}).help);
}

// Malformed command lines get the usage after the message; a value out of its range gets the
// message alone.
TEST(ParseCommandLine, RefusesAnythingElseWithAMessage) {
  struct Case {
    std::vector<std::string> args;
    std::string says;
    bool malformed = true;
  } cases[] = {
      {{}, "missing -Af0"},
      {{"-Sx.wav", "y.sdif"}, "missing -Af0"},
      {{"-Apitch", "-Sx.wav", "y.sdif"}, "unknown analysis 'pitch'"},
      {{"-Af0", "y.sdif"}, "missing -S"},
      {{"-Af0", "-Sx.wav"}, "missing the output"},
      // What a sound path with a blank turns into through the shell.
      {{"-Af0", "-S/data/a", "b.wav", "y.sdif"}, "expected one output file path, got 2"},
      {{"-Af0", "-Sx.wav", "--f0min=abc", "y.sdif"}, "--f0min needs a number, not 'abc'"},
      {{"-Af0", "-Sx.wav", "--f0min=50Hz", "y.sdif"}, "--f0min needs a number"},
      {{"-Af0", "-Sx.wav", "--f0max=nan", "y.sdif"}, "--f0max needs a number"},
      {{"-Af0", "-Sx.wav", "--f0min=300", "--f0max=200", "y.sdif"}, "above --f0min", false},
      {{"-Af0", "-Sx.wav", "--f0min=5", "y.sdif"}, "at least 10 Hz", false},
      {{"-Af0", "-Sx.wav", "-M0", "y.sdif"}, "-M must be", false},
      {{"-Af0", "-Sx.wav", "--f0ana=-1", "y.sdif"}, "--f0ana must be", false},
      {{"-Af0", "-Sx.wav", "--f0min=50", "--f0min=60", "y.sdif"}, "--f0min given more than once"},
      {{"-Af0", "-Sx.wav", "-Sz.wav", "y.sdif"}, "-S given more than once"},
      {{"-Af0", "-Sx.wav", "--f0minimum=50", "y.sdif"}, "unknown option '--f0minimum=50'"},
      {{"-Af0", "-Sx.wav", "-v", "y.sdif"}, "unknown option '-v'"},
      {{"-Af0", "-Sx.wav", "y.sdif", "--f0max"}, "--f0max needs a value"},
      {{"-Af0", "-S", "", "y.sdif"}, "-S needs a sound file path"},
  };
  for (const Case& c : cases) {
    std::string joined;
    for (const auto& a : c.args) joined += a + " ";
    SCOPED_TRACE(joined);
    try {
      (void)parse(c.args);
      ADD_FAILURE() << "accepted";
    } catch (const harmex::UsageError& e) {
      EXPECT_NE(e.message.find(c.says), std::string::npos) << e.message;
      EXPECT_EQ(e.malformed, c.malformed);
    }
  }
}

}  // namespace
