// The number of threads never shows in the results: the whole -S run on the example voice with
// GLOTMARK_THREADS = 1, 2 and 8 writes the same 11 files byte for byte (the header's Time entry
// aside) and the same verbose messages, for the energy and the reallocation epochs.
#include <gtest/gtest.h>

#include <filesystem>
#include <regex>
#include <string>
#include <vector>

#include "run_program.h"

namespace {

namespace fs = std::filesystem;

const char* const kResults[] = {".1FQ0.sdif", ".1ECS.sdif", ".1VUN.sdif", ".1VUF.sdif",
                                ".1ECL.sdif", ".1VOI.sdif", ".1UVI.sdif", ".1TRA.sdif",
                                ".1MRK.sdif", ".1VUT.sdif", ".1PSO.sdif"};

// The bytes of a result file with the value of its Time entry blanked.
std::string without_time(const fs::path& p) {
  std::string s = testsupport::slurp(p);
  const std::size_t at = s.find("Time\t");
  if (at != std::string::npos) {
    for (std::size_t i = at + 5; i < s.size() && s[i] != '\n' && s[i] != '\0'; ++i) s[i] = '_';
  }
  return s;
}

struct Outcome {
  std::string out;
  std::vector<std::string> files;  // in kResults order; empty string for a missing file
};

Outcome analyse(const testsupport::ScratchDir& dir, const std::string& method, int threads) {
  fs::remove_all(dir.path() / "PSOvoice");
  const testsupport::Result r = testsupport::run(
      {dir / "bin/glotmark", "-i", "voice.wav", "-S", "-e", method, "--verbose"},
      dir.path().string(), {"SFDIR=", "GLOTMARK_THREADS=" + std::to_string(threads)});
  EXPECT_EQ(r.status, 0) << r.out << r.err;
  // The f0 program's result file has a name of the run's own.
  Outcome run{std::regex_replace(r.out, std::regex(R"(\.tmp-[A-Za-z0-9]{6})"), ".tmp-XXXXXX"), {}};
  for (const char* suffix : kResults) {
    const fs::path p = dir.path() / "PSOvoice" / (std::string("voice") + suffix);
    run.files.push_back(fs::exists(p) ? without_time(p) : std::string());
  }
  return run;
}

}  // namespace

TEST(Threads, ResultsAndMessagesDoNotDependOnTheirNumber) {
  testsupport::ScratchDir dir;
  fs::create_directories(dir.path() / "bin");
  for (const char* program : {"glotmark", "glotmark_create_dir.sh", "harmex"})
    fs::copy_file(testsupport::bin(program), dir.path() / "bin" / program);
  fs::copy_file(testsupport::source("examples/voice.wav"), dir.path() / "voice.wav");
  for (const std::string method : {"ener", "realloc"}) {
    SCOPED_TRACE(method);
    const Outcome serial = analyse(dir, method, 1);
    for (std::size_t k = 0; k < serial.files.size(); ++k)
      ASSERT_FALSE(serial.files[k].empty()) << kResults[k] << " not written";
    for (const int threads : {2, 8}) {
      SCOPED_TRACE(threads);
      const Outcome parallel = analyse(dir, method, threads);
      EXPECT_EQ(parallel.out, serial.out);
      for (std::size_t k = 0; k < serial.files.size(); ++k)
        EXPECT_TRUE(parallel.files[k] == serial.files[k]) << kResults[k] << " differs";
    }
  }
}

TEST(Threads, ANumberThatIsNotOneIsWarnedAbout) {
  testsupport::ScratchDir dir;
  testsupport::install_glotmark(dir.path());
  fs::copy_file(testsupport::source("examples/voice.wav"), dir.path() / "voice.wav");
  for (const char* text : {"abc", "0", "-2", "4"}) {
    SCOPED_TRACE(text);
    const testsupport::Result r =
        testsupport::run({dir / "bin/glotmark", "-i", "voice.wav", "-O"}, dir.path().string(),
                         {"SFDIR=", std::string("GLOTMARK_THREADS=") + text});
    EXPECT_EQ(r.status, 0) << r.out << r.err;
    const bool warned = r.err.find("glotmark: warning: GLOTMARK_THREADS=" + std::string(text) +
                                   " is not a positive integer") != std::string::npos;
    EXPECT_EQ(warned, std::string(text) != "4") << r.err;
    EXPECT_EQ(r.out, "") << "standard output keeps its fixed messages";
  }
}
