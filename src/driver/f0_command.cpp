// The f0 program's command line.
#include "driver/f0_command.h"

#include <cstdio>

namespace {

constexpr float kMinWindowSeconds = 0.02f;    // shortest analysis window (s), single precision
constexpr double kPeriodsPerWindow = 4.0;     // window spans 4 periods of fmin
constexpr double kAnalysisBandPerFmax = 2.5;  // analysis band (Hz) per Hz of fmax

std::string format2(const char* format, double x) {
  char buffer[512];
  std::snprintf(buffer, sizeof buffer, format, x);
  return buffer;
}

}  // namespace

F0Command f0_command(const std::string& sound_path, double fmin, double fmax, double sr,
                     const std::string& result_file, const std::string& program) {
  const double short_window = kMinWindowSeconds * sr;
  const double period_window = kPeriodsPerWindow * sr / fmin;
  const double window = short_window > period_window ? short_window : period_window;
  const double band = kAnalysisBandPerFmax * fmax;
  const double f0ana = band <= sr ? band : sr;

  F0Command c;
  c.argv = {program,
            "-Af0",
            "-S" + sound_path,
            format2("--f0min=%.2f", fmin),
            format2("--f0max=%.2f", fmax),
            format2("-M%.2f", window),
            format2("--f0ana=%.2f", f0ana),
            result_file};
  c.text = "harmex " + c.argv[1] + " " + c.argv[2] + " " + c.argv[3] + " " + c.argv[4] + "  " +
           c.argv[5] + "  " + c.argv[6] + " " + c.argv[7];
  return c;
}
