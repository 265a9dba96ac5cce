// Reuse of earlier results along the whole chain: which files a run writes and which it reads
// back, told apart by its verbose " Writing : " and " Reading : " lines.
#include <glotsynth.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

#include "run_program.h"

namespace {

namespace fs = std::filesystem;

// Step files in chain order, and what a run did with each: W written, R read back, F read back
// under -I --force, '.' untouched, X both written and read (never right).
const char* const kSuffixes[] = {".1FQ0.sdif", ".1ECS.sdif", ".1VUN.sdif", ".1VUF.sdif",
                                 ".1ECL.sdif", ".1VOI.sdif", ".1UVI.sdif", ".1TRA.sdif",
                                 ".1MRK.sdif", ".1VUT.sdif"};

std::string what_was_done(const std::string& out) {
  std::string done;
  for (const char* suffix : kSuffixes) {
    const std::string file = std::string("./PSOv/v") + suffix;
    const bool wrote = out.find(" Writing : " + file + "\n") != std::string::npos;
    const bool read = out.find(" Reading : " + file + " to extract data...") != std::string::npos;
    const bool forced =
        out.find(" Force reading : " + file + " to extract data...") != std::string::npos;
    const int count = (wrote ? 1 : 0) + (read ? 1 : 0) + (forced ? 1 : 0);
    done += count > 1 ? 'X' : wrote ? 'W' : read ? 'R' : forced ? 'F' : '.';
  }
  return done;
}

TEST(GlotmarkReuse, EachStepIsReadBackOnlyWhenItsOwnFilesMatch) {
  testsupport::ScratchDir dir;
  testsupport::install_glotmark(dir.path());
  glotsynth::Options o;
  o.sr = 16000.0;
  const glotsynth::Result sound = glotsynth::synthesize(o);
  ASSERT_TRUE(glotsynth::write_wav(dir / "v.wav", sound.signal, o.sr, glotsynth::Encoding::pcm16));
  // A user's f0 file: the stand-in f0 program writes the same track as in the computed runs.
  ASSERT_EQ(testsupport::run({dir / "bin/harmex", dir / "user.f0.sdif"}).status, 0);

  struct Run {
    std::vector<std::string> words;
    std::string done;     // per step file, in kSuffixes order
    const char* removed;  // step file deleted before the run, or nullptr
    const char* why;
  } const runs[] = {
      {{"-M"}, "WWWWWWWWWW", nullptr, "fresh directory: steps 1 to 7 computed"},
      {{"-M"}, "RRRRRRRRWW", nullptr, "same run again: only the asked step 7 computed"},
      {{"-M", "-v", "0.5"}, "RRRRRWWRWW", nullptr, "new voicing threshold: steps 5 and 7"},
      {{"-S", "-v", "0.5", "-a", "3"}, "RRRRRRRRWW", nullptr, "new alpha: step 7 for the 1PSO"},
      {{"-S", "-v", "0.5", "-a", "3"}, "RRRRRRRRRR", nullptr, "same again: all read back"},
      {{"-M", "-v", "0.5", "-a", "3"},
       "RRWWRRRRWW",
       ".1VUF.sdif",
       "missing 1VUF: both voicing files, not the epochs"},
      {{"-M", "--forcefc", "-v", "0.5", "-a", "3"},
       "RRRRRWWWWW",
       nullptr,
       "--forcefc: zones and marks, not the voicing files"},
      {{"-U", "-o", "12", "--forcefc"},
       "RWWWW.....",
       nullptr,
       "LPC order after the energy method: epochs recomputed"},
      {{"-I", "user.f0.sdif", "-E", "-o", "12", "--forcefc"},
       ".W........",
       nullptr,
       "external f0: the step file is not written"},
      {{"-T", "-o", "12", "--forcefc", "-v", "0.5"},
       "RWRRRWWW..",
       nullptr,
       "after -I: the epochs, stored with External_f0 Yes, are recomputed"},
      {{"-I", "user.f0.sdif", "--force", "-M", "-o", "12", "--forcefc", "-v", "0.5", "-a", "3"},
       ".FFFFFFFWW",
       nullptr,
       "-I --force: matching files are read back"},
      {{"-I", "user.f0.sdif", "-M", "-o", "12", "--forcefc", "-v", "0.5", "-a", "3"},
       ".WWWWWWWWW",
       nullptr,
       "-I without --force: every earlier step recomputed"},
  };
  for (const auto& run : runs) {
    SCOPED_TRACE(run.why);
    if (run.removed != nullptr) {
      ASSERT_TRUE(fs::remove(dir.path() / "PSOv" / (std::string("v") + run.removed)));
    }
    std::vector<std::string> argv = {dir / "bin/glotmark", "-i", "v.wav", "--verbose"};
    argv.insert(argv.end(), run.words.begin(), run.words.end());
    const auto r = testsupport::run(argv, dir.path().string(), {"SFDIR="});
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_EQ(what_was_done(r.out), run.done) << r.out;
    const bool pso = r.out.find("\n Writing 1PSO sdiff file.\n") != std::string::npos;
    EXPECT_EQ(pso, run.words[0] == "-S");
  }
}

}  // namespace
