#include "psola/psola_main.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <iostream>

#include "psola/analysis_paths.h"
#include "psola/check_marks.h"
#include "psola/ensure_analysis.h"
#include "psola/psola_cmdline.h"
#include "psola/read_pso.h"
#include "psola/read_sound.h"
#include "psola/resynthesize.h"
#include "psola/sound_writer.h"

namespace {

constexpr const char* kProgram = "glotmark-psola";
constexpr double kProgressFromS = 60.0;  // inputs at least this long show progress, seconds

bool same_file(const std::string& a, const std::string& b) {
  struct stat sa {
  }, sb{};
  return stat(a.c_str(), &sa) == 0 && stat(b.c_str(), &sb) == 0 && sa.st_dev == sb.st_dev &&
         sa.st_ino == sb.st_ino;
}

// A progress line on standard error: rewritten in place on a terminal, one line per tenth
// (10 % to 100 %) otherwise.
Progress progress_line(bool show) {
  if (!show) return {};
  const bool tty = isatty(STDERR_FILENO) != 0;
  return [tty, shown = -1](double f) mutable {
    const int tenth = static_cast<int>(std::floor(f * 10.0));
    const int percent = static_cast<int>(std::floor(f * 100.0));
    if (tty) {
      std::cerr << "\r" << kProgram << ": resynthesis " << percent << " %" << std::flush;
      if (f >= 1.0) std::cerr << "\n";
    } else {
      // A block of output can pass more than a tenth: every tenth passed gets its line.
      for (int t = std::max(shown + 1, 1); t <= tenth; ++t) {
        std::cerr << kProgram << ": resynthesis " << t * 10 << " %\n";
      }
    }
    shown = tenth;
  };
}

int run(const PsolaCommand& c) {
  if (file_format_of(c.out) == AF_FILE_UNKNOWN) {
    throw PsolaError("cannot tell the sound format of " + c.out +
                     " from its extension (wav, aiff, aifc, au, caf, flac, sf, ...)");
  }
  if (access(c.in.c_str(), R_OK) != 0) throw PsolaError("cannot read the sound file " + c.in);
  if (same_file(c.in, c.out)) throw PsolaError("OUT is the input sound itself: " + c.out);
  const std::string pso =
      c.analysis.empty() ? ensure_analysis(c.in, c.glotmark_args) : find_pso(c.analysis, c.in);
  const PsoAnalysis a = read_pso(pso);
  const Sound s = read_sound(c.in);
  try {
    check_marks(a, s.x.size(), s.sr);
  } catch (const PsolaError& e) {
    throw PsolaError("the analysis " + pso + " does not fit " + c.in + ": " + e.what());
  }
  SoundWriter out(c.out, s.sr, s.sample_format, s.sample_width);
  const bool show = !c.quiet && static_cast<double>(s.x.size()) >= kProgressFromS * s.sr;
  (void)resynthesize(
      s.x, s.sr, a, c.settings, [&](const double* v, std::size_t n) { out.write(v, n); },
      progress_line(show));
  out.commit();
  if (out.clipped() > 0) {
    std::cerr << kProgram << ": warning: " << out.clipped()
              << " samples exceeded full scale and were clipped in " << c.out << "\n";
  }
  return 0;
}

}  // namespace

int psola_main(int argc, char** argv) {
  try {
    const PsolaCommand c = parse_psola_cmdline(argc, argv);
    if (c.help) {
      std::cout << psola_usage();
      return 0;
    }
    if (c.version) {
      std::cout << kProgram << " 1.2\n";
      return 0;
    }
    return run(c);
  } catch (const PsolaError& e) {
    std::cerr << kProgram << ": " << e.what() << "\n";
  } catch (const std::bad_alloc&) {
    std::cerr << kProgram << ": out of memory\n";
  } catch (const std::exception& e) {
    std::cerr << kProgram << ": " << e.what() << "\n";
  }
  return 1;
}
