// The glotmark program's command line: help, version, parser refusals and checks.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "run_program.h"

namespace {

using testsupport::bin;
using testsupport::run;

std::vector<std::string> glotmark(std::vector<std::string> words) {
  words.insert(words.begin(), bin("glotmark"));
  return words;
}

const char* const kOptionLines[] = {
    "   -h         --help                    Print help and exit",
    "   -V         --version                 Print version and exit",
    "   -iSTRING   --input=STRING            Input file",
    "   -O         --f0                      f0 calcul (default=off)",
    "   -ISTRING   --f0-file=STRING          force reading a sdiff 1FQ0/1FQ0 file",
    "   -fDOUBLE   --fmin=DOUBLE             minimal frequency (default = 50 hz)",
    "   -FDOUBLE   --fmax=DOUBLE             maximal frequency (default = 1000hz)",
    "              --force                   Force reading all sdiff files of each step of "
    "glotmark while using an external f0 sdiff file (default=off)",
    "   -E         --epocs                   Epocs calcul (default=off)",
    "   -eSTRING   --method-epocs=STRING     method for the epocs : realloc, frob or ener (by "
    "default)",
    "   -oINT      --orderLPC=INT            Lpc Order (only for frobenius method)",
    "   -U         --v-u-tr                  Voice, UnVoice and transients calcul (default=off)",
    "              --voice                   Only Voice/UnVoice calcul (default=off)",
    "              --forcefc                 Force maximum voiced cut off frequency to (sampling "
    "rate)/2 (default=off)",
    "              --trans                   Only transients calcul (default=off)",
    "   -T         --threshold               Calcul voice, unvoice and transients aeras with "
    "threshold (default=off)",
    "   -vDOUBLE   --voice-threshold=DOUBLE  Voiced/unvoiced threshold (default = 0.6)",
    "   -tDOUBLE   --trans-threshold=DOUBLE  Transient threshold (default = 0.2)",
    "   -M         --mark-positionning       Mark positionning (default=off)",
    "   -aDOUBLE   --alpha=DOUBLE            Alpha for mark positionning (default = 4)",
    "   -bDOUBLE   --beta=DOUBLE             Beta for mark positionning (default = 0.05)",
    "   -gDOUBLE   --gamma=DOUBLE            Gamma for mark positionning (default = 100*beta)",
    "   -S         --PSO-file                Create the 1PSO sdif file (default=off)",
    "              --verbose                 Verbose (default=off)",
};

TEST(GlotmarkCmdline, Version) {
  const auto r = run(glotmark({"-V"}));
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, "glotmark 1.2\n");
  EXPECT_EQ(r.err, "");
}

TEST(GlotmarkCmdline, HelpActsWhenMet) {
  // -h alone (no missing-input message), after -i, and before an option that would be refused.
  for (const auto& words :
       {std::vector<std::string>{"-h"}, std::vector<std::string>{"-i", "a.wav", "--help"},
        std::vector<std::string>{"-h", "-i", "a", "-i", "b"}}) {
    SCOPED_TRACE(::testing::PrintToString(words));
    const auto r = run(glotmark(words));
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "");
    ASSERT_EQ(r.out.rfind("glotmark 1.2\n", 0), 0u);

    // The option lines close the help, one per line, in table order, after the usage line.
    std::string tail;
    for (const char* line : kOptionLines) tail += std::string(line) + "\n";
    ASSERT_GE(r.out.size(), tail.size());
    EXPECT_EQ(r.out.substr(r.out.size() - tail.size()), tail);
    const auto usage = r.out.find("Usage: glotmark [OPTIONS]... [FILES]...\n");
    ASSERT_NE(usage, std::string::npos);
    EXPECT_LT(usage, r.out.size() - tail.size());
    // The history paragraph is the description's last one.
    const auto history = r.out.find(
        "It's containing the user login, time of begining and ending, and the "
        "command line.");
    ASSERT_NE(history, std::string::npos);
    EXPECT_LT(history, usage);
    EXPECT_EQ(r.out.find("filename.", history), std::string::npos);
  }
}

TEST(GlotmarkCmdline, HelpDescribesEveryOutputFile) {
  const auto r = run(glotmark({"-h"}));
  for (const char* name :
       {"filename.1FQ0.sdif", "filename.1ECS.sdif", "filename.1VUN.sdif", "filename.1VUF.sdif",
        "filename.1ECL.sdif", "filename.1VOI.sdif", "filename.1UVI.sdif", "filename.1TRA.sdif",
        "filename.1MRK.sdif", "filename.1VUT.sdif", "filename.PSO.sdif", "PSOfilename", "SFDIR",
        "It must be > 2.", "It can't be equal to zero.", "(based upon Sinusor)"}) {
    EXPECT_NE(r.out.find(name), std::string::npos) << name;
  }
}

TEST(GlotmarkCmdline, ParserRefusalsGoToStandardErrorWithStatus1) {
  struct Case {
    std::vector<std::string> words;
    const char* err;
  } const cases[] = {
      {{"-i", "a", "-i", "b"}, "glotmark: `--input' (`-i') option given more than once\n"},
      {{"-i", "a", "-O", "--f0"}, "glotmark: `--f0' (`-O') option given more than once\n"},
      {{"-i", "a", "-v", "0.3", "-v", "0.4"},
       "glotmark: `--voice-threshold' (`-v') option given more than once\n"},
      {{"-i", "a", "--PSO-file", "-S"},
       "glotmark: `--PSO-file' (`-S') option given more than once\n"},
      {{"-i", "a", "--force", "--force"}, "glotmark: `--force' option given more than once\n"},
      {{"-i", "a", "--verbose", "--verbose"},
       "glotmark: `--verbose' option given more than once\n"},
      {{"-O", "-E"}, "glotmark: '--input' ('-i') option required\n"},
      {{}, "glotmark: '--input' ('-i') option required\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::PrintToString(c.words));
    const auto r = run(glotmark(c.words));
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, c.err);
    EXPECT_EQ(r.out, "");
  }
}

TEST(GlotmarkCmdline, UnknownOptionOrMissingArgumentFails) {
  for (const auto& words : {std::vector<std::string>{"-i", "a.wav", "-x", "-O"},
                            std::vector<std::string>{"-i", "a.wav", "--bogus", "-O"},
                            std::vector<std::string>{"-O", "-i"}}) {
    SCOPED_TRACE(::testing::PrintToString(words));
    const auto r = run(glotmark(words));
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err, "");
    EXPECT_EQ(r.out, "");
  }
}

TEST(GlotmarkCmdline, CheckRefusalsGoToStandardOutputWithStatus1) {
  struct Case {
    std::vector<std::string> words;
    const char* out;
  } const cases[] = {
      {{"-i", "a.wav", "-O", "-I", "f.sdif"},
       "\n *** Conflict! Must choose between calculating f0 or using an external file ***\n\n"},
      {{"-i", "a.wav", "-f", "80"},
       "\n *** Must give at least one flag for the different step of the analyse ('-O', '-E', "
       "'-U' ('--voice' , '--thres'), '-T', '-M', '-S') or parameters.\n\n"},
      {{"-i", "a.wav", "-E", "-e", "Frob"}, "\n *** Method error! ***\n\n"},
      {{"-i", "a.wav", "--verbose", "-M", "-a", "2"},
       "\n *********** Glotmark ************* \n\n\n *** Alpha must be > 2. \n\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::PrintToString(c.words));
    const auto r = run(glotmark(c.words));
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, c.out);
    EXPECT_EQ(r.err, "");
  }
}

}  // namespace
