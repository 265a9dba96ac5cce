// The f0 program's command line.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "driver/f0_command.h"

namespace {

TEST(F0Command, TextAndArgumentsOfTheDefaults) {
  const auto c = f0_command("/snd/my voice;x.wav", 50.0, 1000.0, 44100.0, "out/v.1FQ0.sdif.tmp",
                            "/bin/dir/harmex");
  EXPECT_EQ(c.text,
            "harmex -Af0 -S/snd/my voice;x.wav --f0min=50.00 --f0max=1000.00  -M3528.00  "
            "--f0ana=2500.00 out/v.1FQ0.sdif.tmp");
  const std::vector<std::string> argv = {
      "/bin/dir/harmex", "-Af0",      "-S/snd/my voice;x.wav", "--f0min=50.00",
      "--f0max=1000.00", "-M3528.00", "--f0ana=2500.00",       "out/v.1FQ0.sdif.tmp"};
  EXPECT_EQ(c.argv, argv);
}

TEST(F0Command, WindowAndAnalysisBand) {
  struct Case {
    double fmin, fmax, sr;
    const char* window;
    const char* band;
  } const cases[] = {
      {50, 1000, 44100, "-M3528.00", "--f0ana=2500.00"},    // 4 sr / fmin wins
      {500, 1000, 44100, "-M882.00", "--f0ana=2500.00"},    // 0.02 sr wins (single precision)
      {50, 1000, 22050, "-M1764.00", "--f0ana=2500.00"},    // 2.5 fmax below sr
      {50, 10000, 22050, "-M1764.00", "--f0ana=22050.00"},  // capped at sr
      {80, 8820, 22050, "-M1102.50", "--f0ana=22050.00"},   // 2.5 fmax equal to sr
      {70.125, 333.333, 16000, "-M912.66", "--f0ana=833.33"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.fmin) + " " + std::to_string(c.fmax) + " " +
                 std::to_string(c.sr));
    const auto cmd = f0_command("s.wav", c.fmin, c.fmax, c.sr, "f", "harmex");
    EXPECT_EQ(cmd.argv[5], c.window);
    EXPECT_EQ(cmd.argv[6], c.band);
  }
}

TEST(F0Command, SinglePrecisionFactorOfTheShortWindow) {
  // 0.02f is 0.019999999552965164: at 1e8 Hz the factor shows in the second decimal (a double
  // 0.02 would print 2000000.00).
  const auto cmd = f0_command("s.wav", 1e9, 1e9, 1e8, "f", "harmex");
  EXPECT_EQ(cmd.argv[5], "-M1999999.96");
}

}  // namespace
