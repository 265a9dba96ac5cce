// glotmark runs: paths, output directory, the f0 step with a stand-in f0 program, history and
// the error ends.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cmath>
#include <cstdint>
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <regex>
#include <string>
#include <vector>

#include "run_program.h"

namespace {

namespace fs = std::filesystem;
using testsupport::Result;
using testsupport::slurp;

// Writes a 16-bit PCM WAV file of `frames` frames of a 150 Hz sine (each channel alike).
void write_wav(const std::string& path, int frames, int sr, int channels = 1) {
  std::ofstream out(path, std::ios::binary);
  const auto u32 = [&](std::uint32_t v) {
    for (int i = 0; i < 4; ++i) out.put(static_cast<char>((v >> (8 * i)) & 0xff));
  };
  const auto u16 = [&](std::uint16_t v) {
    out.put(static_cast<char>(v & 0xff));
    out.put(static_cast<char>(v >> 8));
  };
  const std::uint32_t data_bytes = static_cast<std::uint32_t>(frames * channels * 2);
  out << "RIFF";
  u32(36 + data_bytes);
  out << "WAVEfmt ";
  u32(16);
  u16(1);
  u16(static_cast<std::uint16_t>(channels));
  u32(static_cast<std::uint32_t>(sr));
  u32(static_cast<std::uint32_t>(sr * channels * 2));
  u16(static_cast<std::uint16_t>(channels * 2));
  u16(16);
  out << "data";
  u32(data_bytes);
  for (int i = 0; i < frames; ++i)
    for (int c = 0; c < channels; ++c)
      u16(static_cast<std::uint16_t>(
          static_cast<std::int16_t>(8000.0 * std::sin(2.0 * 3.141592653589793 * 150.0 * i / sr))));
}

// A scratch directory holding bin/ with glotmark, its directory script and the stand-in f0
// program named as the real one, so that glotmark finds it beside itself.
class Sandbox {
 public:
  Sandbox() {
    testsupport::install_glotmark(dir_.path());
    fs::create_directories(dir_.path() / "snd");
  }
  std::string operator/(const std::string& rel) const { return dir_ / rel; }
  const fs::path& path() const { return dir_.path(); }

  // Runs bin/glotmark with words, in the sandbox, SFDIR unset unless env sets it.
  Result glotmark(const std::vector<std::string>& words, std::vector<std::string> env = {}) {
    std::vector<std::string> argv = {dir_ / "bin/glotmark"};
    argv.insert(argv.end(), words.begin(), words.end());
    env.insert(env.begin(), {"SFDIR=", "FAKE_HARMEX_LOG=" + (dir_ / "harmex.log")});
    return testsupport::run(argv, dir_.path().string(), env);
  }

  // The argument lists the f0 program received, one per run.
  std::vector<std::vector<std::string>> f0_runs() const {
    std::vector<std::vector<std::string>> runs(1);
    std::ifstream in(dir_ / "harmex.log");
    for (std::string line; std::getline(in, line);) {
      if (line == "--") {
        runs.emplace_back();
      } else {
        runs.back().push_back(line);
      }
    }
    runs.pop_back();
    return runs;
  }

 private:
  testsupport::ScratchDir dir_;
};

// The history record with any login and times.
void expect_history(const std::string& file, const std::string& command_line) {
  ASSERT_TRUE(fs::exists(file)) << file;
  const std::string text = slurp(file);
  static const std::regex form(
      " #### user:\t[^\n]*\n ## begining:\t[A-Z][a-z]{2} [A-Z][a-z]{2} [ 0-9]{2} "
      "[0-9:]{8} [0-9]{4}\n ## ending:\t[A-Z][a-z]{2} [A-Z][a-z]{2} [ 0-9]{2} [0-9:]{8} "
      "[0-9]{4}\n([^\n]*)\n\n");
  std::smatch m;
  ASSERT_TRUE(std::regex_match(text, m, form)) << text;
  EXPECT_EQ(m[1].str(), command_line);
}

const char kSound[] = "snd/a b;c.wav";

TEST(GlotmarkF0, ComputesWithThePathAsOneArgument) {
  Sandbox box;
  write_wav(box / kSound, 8001, 16000);
  const auto r = box.glotmark({"-i", kSound, "-O", "--verbose"});
  ASSERT_EQ(r.status, 0) << r.out << r.err;

  const std::string outdir = "./snd/PSOa b;c/";
  const std::string f0_file = outdir + "a b;c.1FQ0.sdif";
  // The f0 program writes to a file of this run's own beside the step file.
  const auto runs = box.f0_runs();
  ASSERT_EQ(runs.size(), 1u);
  const std::string result = runs[0].back();
  EXPECT_EQ(result.rfind(f0_file + ".tmp-", 0), 0u) << result;
  EXPECT_EQ(result.size(), f0_file.size() + 11);
  EXPECT_EQ(r.out,
            "\n *********** Glotmark ************* \n\n"
            "\n -> All files will be stored in the directory : " +
                outdir +
                "\n\n"
                "\nOpenning ./snd/a b;c.wav\n"
                " Frequency rate : 16000\n"
                " Length (seconds) : 0.5\n"
                "\n\nCalculating f0 \n"
                "harmex -Af0 -S./snd/a b;c.wav --f0min=50.00 --f0max=1000.00  -M1280.00  "
                "--f0ana=2500.00 " +
                result +
                "\n"
                " -> f0min : 50\n"
                " -> f0max : 1000\n"
                " Writing : " +
                f0_file +
                "\n\n"
                "\n Writing history file.\n \n");

  const std::vector<std::vector<std::string>> expected_runs = {
      {box / "bin/harmex", "-Af0", "-S./snd/a b;c.wav", "--f0min=50.00", "--f0max=1000.00",
       "-M1280.00", "--f0ana=2500.00", result}};
  EXPECT_EQ(runs, expected_runs);
  EXPECT_TRUE(fs::exists(box / ("snd/PSOa b;c/a b;c.1FQ0.sdif")));
  EXPECT_FALSE(fs::exists(box / "c.wav")) << "the path was split somewhere";
  // Only the analysis file, the history and the folder's lock in the output directory.
  std::vector<std::string> names;
  for (const auto& e : fs::directory_iterator(box / "snd/PSOa b;c"))
    names.push_back(e.path().filename().string());
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{".glotmark.lock", "a b;c.1FQ0.sdif", "history"}));
  expect_history(box / "snd/PSOa b;c/history",
                 (box / "bin/glotmark") + " -i snd/a b;c.wav -O --verbose");
}

TEST(GlotmarkF0, QuietRunPrintsNothing) {
  Sandbox box;
  write_wav(box / "snd/v.wav", 4000, 8000);
  const auto r = box.glotmark({"-i", "snd/v.wav", "-O", "-f", "80", "-F", "4000"});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err, "");
  ASSERT_EQ(box.f0_runs().size(), 1u);
  // 0.02 sr = 160 against 4 sr / fmin = 400; 2.5 fmax = 10000 is capped at sr.
  EXPECT_EQ(box.f0_runs()[0][5], "-M400.00");
  EXPECT_EQ(box.f0_runs()[0][6], "--f0ana=8000.00");
}

TEST(GlotmarkF0, ForceWithoutExternalFileWarnsAndRuns) {
  Sandbox box;
  write_wav(box / "snd/v.wav", 4000, 8000);
  const auto r = box.glotmark({"-i", "snd/v.wav", "-O", "--force"});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, "\n *** Warning : --force flag useless ***\n\n");
  EXPECT_EQ(box.f0_runs().size(), 1u);
}

TEST(GlotmarkF0, BlockBoundariesOfTheSound) {
  for (const int frames : {1024, 1025}) {
    SCOPED_TRACE(frames);
    Sandbox box;
    write_wav(box / "snd/v.wav", frames, 1024, 2);
    const auto r = box.glotmark({"-i", "snd/v.wav", "-O", "--verbose"});
    EXPECT_EQ(r.status, 0);
    // (frames - 1) / sr: every frame of both blocks was read, one value per stereo frame.
    const std::string length = frames == 1024 ? "0.999023" : "1";
    EXPECT_NE(r.out.find(" Length (seconds) : " + length + "\n"), std::string::npos) << r.out;
  }
}

TEST(GlotmarkF0, F0ProgramBesideGlotmarkElseOnPath) {
  Sandbox box;
  write_wav(box / "snd/v.wav", 800, 8000);
  fs::create_directories(box / "other");
  fs::rename(box / "bin/harmex", box / "other/harmex");

  // Not beside glotmark: found on PATH.
  const std::string path = "PATH=" + (box / "other") + ":/usr/bin:/bin";
  const auto found = box.glotmark({"-i", "snd/v.wav", "-O"}, {path});
  EXPECT_EQ(found.status, 0) << found.out;
  ASSERT_EQ(box.f0_runs().size(), 1u);
  EXPECT_EQ(box.f0_runs()[0][0], "harmex");  // looked up by name

  // Nowhere: the f0 program cannot run, which is its bad execution.
  const auto missing = box.glotmark({"-i", "snd/v.wav", "-O"}, {"PATH=/usr/bin:/bin"});
  EXPECT_EQ(missing.status, 1);
  EXPECT_EQ(missing.out,
            "\n *** Error ***\n -> bad execution of harmex \n *** Exiting program ***\n\n");
  EXPECT_NE(missing.err.find("cannot run harmex"), std::string::npos) << missing.err;
}

TEST(GlotmarkF0, ReadsTheStepFileBackWhenParametersMatch) {
  Sandbox box;
  write_wav(box / "snd/v.wav", 8000, 8000);
  ASSERT_EQ(box.glotmark({"-i", "snd/v.wav", "-O"}).status, 0);
  ASSERT_EQ(box.f0_runs().size(), 1u);

  // Same fmin and fmax, no -O: read back, the f0 program is not run.
  const auto again = box.glotmark({"-i", "snd/v.wav", "-E", "--verbose"});
  EXPECT_NE(again.out.find(" Reading : ./snd/PSOv/v.1FQ0.sdif to extract data...\n\n"),
            std::string::npos)
      << again.out;
  EXPECT_EQ(again.out.find(" Writing : ./snd/PSOv/v.1FQ0.sdif"), std::string::npos);
  EXPECT_EQ(box.f0_runs().size(), 1u);

  // Another fmin: computed again.
  const auto other = box.glotmark({"-i", "snd/v.wav", "-E", "-f", "60", "--verbose"});
  EXPECT_NE(other.out.find(" Writing : ./snd/PSOv/v.1FQ0.sdif\n\n"), std::string::npos)
      << other.out;
  ASSERT_EQ(box.f0_runs().size(), 2u);
  EXPECT_EQ(box.f0_runs()[1][3], "--f0min=60.00");

  // A file that is not SDIF: computed again.
  { std::ofstream(box / "snd/PSOv/v.1FQ0.sdif") << "garbage"; }
  (void)box.glotmark({"-i", "snd/v.wav", "-E", "-f", "60"});
  EXPECT_EQ(box.f0_runs().size(), 3u);
}

TEST(GlotmarkF0, ExternalFile) {
  Sandbox box;
  write_wav(box / "snd/v.wav", 8000, 8000);
  fs::create_directories(box / "sf/f0");
  // A user's f0 file, made by the stand-in itself.
  ASSERT_EQ(testsupport::run({box / "bin/harmex", box / "sf/f0/user.sdif"}).status, 0);

  // Found under SFDIR; read, not copied into the step file; the f0 program is not run.
  const auto r = box.glotmark({"-i", "snd/v.wav", "-I", "f0/user.sdif", "--verbose"},
                              {"SFDIR=" + (box / "sf")});
  EXPECT_EQ(r.status, 0) << r.out;
  EXPECT_NE(r.out.find("\n\nCalculating f0 \n -> using external file...\n Reading : " +
                       (box / "sf") + "/f0/user.sdif to extract data...\n\n"),
            std::string::npos)
      << r.out;
  EXPECT_EQ(r.out.find("harmex"), std::string::npos);
  EXPECT_TRUE(box.f0_runs().empty());
  EXPECT_FALSE(fs::exists(box / "snd/PSOv/v.1FQ0.sdif"));
  expect_history(box / "snd/PSOv/history",
                 (box / "bin/glotmark") + " -i snd/v.wav -I f0/user.sdif --verbose");

  // Missing, or not an SDIF file: refused before anything is created.
  { std::ofstream(box / "sf/f0/text.sdif") << "not sdif"; }
  for (const char* f0 : {"f0/none.sdif", "f0/text.sdif"}) {
    SCOPED_TRACE(f0);
    fs::remove_all(box / "snd/PSOv");
    const auto bad = box.glotmark({"-i", "snd/v.wav", "-I", f0}, {"SFDIR=" + (box / "sf")});
    EXPECT_EQ(bad.status, 1);
    EXPECT_EQ(bad.out, std::string("\n *** Error *** \n -> file : ") + f0 +
                           " doesn't exist or is not a sdif file. \n *** Exiting from the "
                           "program\n \n");
    EXPECT_FALSE(fs::exists(box / "snd/PSOv"));
  }
}

TEST(GlotmarkPaths, OutputDirectoryOfEachTry) {
  Sandbox box;
  fs::create_directories(box / "sf/sub");
  fs::create_directories(box / "snd/sub");
  write_wav(box / "sf/sub/in_sf.wav", 800, 8000);
  write_wav(box / "snd/sub/both.wav", 800, 8000);
  fs::create_directories(box / "sf/snd/sub");
  write_wav(box / "sf/snd/sub/both.wav", 800, 8000);
  write_wav(box / "snd/here.wav", 800, 8000);

  struct Case {
    std::string input, sfdir, outdir;
  } const cases[] = {
      {"sub/in_sf.wav", box / "sf", box / "sf/sub/PSOin_sf/"},
      {"snd/sub/both.wav", box / "sf", box / "sf/snd/sub/PSOboth/"},  // SFDIR before cwd
      {"snd/sub/both.wav", "", "./snd/sub/PSOboth/"},
      {"snd/here.wav", box / "sf", "./snd/PSOhere/"},
      {"./snd/here.wav", box / "sf", "./snd/PSOhere/"},
      {box / "snd/here.wav", box / "sf", box / "snd/PSOhere/"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.input + " SFDIR=" + c.sfdir);
    const auto r = box.glotmark({"-i", c.input, "-O", "--verbose"}, {"SFDIR=" + c.sfdir});
    EXPECT_EQ(r.status, 0) << r.out;
    EXPECT_NE(r.out.find("\n -> All files will be stored in the directory : " + c.outdir + "\n\n"),
              std::string::npos)
        << r.out;
    const fs::path dir = c.outdir[0] == '/' ? fs::path(c.outdir) : box.path() / c.outdir;
    EXPECT_TRUE(fs::exists(dir / "history"));
    fs::remove_all(dir);
  }
}

TEST(GlotmarkPaths, RefusedBeforeAnythingIsCreated) {
  Sandbox box;
  write_wav(box / "snd/noext", 800, 8000);
  struct Case {
    std::string input;
    std::string out;
  } const cases[] = {
      {"snd/noext", "\n *** Error ***\n -> file without extension\n *** Exiting program *** \n\n"},
      {"../snd.d/noext",
       "\n *** Error ***\n -> file without extension\n *** Exiting program *** \n\n"},
      {"snd/missing.wav",
       "\n *** Error *** \n -> file : snd/missing.wav doesn't exist! \n *** Exiting from the "
       "program\n \n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.input);
    const auto r = box.glotmark({"-i", c.input, "-O"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, c.out);
    EXPECT_TRUE(box.f0_runs().empty());
  }
  EXPECT_EQ(std::distance(fs::directory_iterator(box / "snd"), fs::directory_iterator{}), 1);
}

TEST(GlotmarkErrors, EndsWithStatus1AndTheHistoryRecord) {
  struct Case {
    std::vector<std::string> words;
    std::vector<std::string> env;
    std::string out;  // expected to appear in standard output
    const char* why;
  } const cases[] = {
      {{"-O"},
       {"FAKE_HARMEX_STATUS=3"},
       "\n *** Error ***\n -> bad execution of harmex \n *** Exiting program ***\n\n",
       "f0 program fails"},
      {{"-O"}, {"FAKE_HARMEX_NO_FILE=1"}, "f0tosdif", "f0 program writes nothing"},
      {{"-O"},
       {"FAKE_HARMEX_TRUNCATE=84"},
       "\n -> Catch other SDIFException\n",
       "f0 result cut short: the import ends the process itself"},
      {{"-E"},
       {"FAKE_HARMEX_F0=none"},
       "\n *** Error *** \n -> size of f0 data null ! \n *** Exiting from the program ***\n\n",
       "empty f0 track"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.why);
    Sandbox box;
    write_wav(box / "snd/v.wav", 800, 8000);
    std::vector<std::string> words = {"-i", "snd/v.wav"};
    words.insert(words.end(), c.words.begin(), c.words.end());
    const auto r = box.glotmark(words, c.env);
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.out.find(c.out), std::string::npos) << r.out;
    std::string command_line = box / "bin/glotmark";
    for (const auto& w : words) command_line += " " + w;
    expect_history(box / "snd/PSOv/history", command_line);
  }
}

TEST(GlotmarkErrors, EmptyOrUnreadableSound) {
  Sandbox box;
  write_wav(box / "snd/empty.wav", 0, 8000);
  { std::ofstream(box / "snd/junk.wav") << "no sound in here"; }

  const auto empty = box.glotmark({"-i", "snd/empty.wav", "-O"});
  EXPECT_EQ(empty.status, 1);
  // The directory is made after the sound is read: the record has nowhere to go.
  EXPECT_EQ(empty.out,
            "\n *** Error *** \n *** Size of data null ! \n *** Exiting from the program \n"
            " *** Warning : can't open/write history file ! \n\n");

  const auto junk = box.glotmark({"-i", "snd/junk.wav", "-O"});
  EXPECT_EQ(junk.status, 1);
  EXPECT_EQ(junk.out.rfind("\n *** Error : readsf ***\n", 0), 0u) << junk.out;
  // The reader's message alone: nothing of the run is on disk, so no history record is tried.
  EXPECT_EQ(junk.out.find("history"), std::string::npos) << junk.out;
  EXPECT_EQ(junk.out.substr(junk.out.size() - 26), " *** Exiting program ***\n\n") << junk.out;
  EXPECT_FALSE(fs::exists(box / "snd/PSOjunk"));
  EXPECT_TRUE(box.f0_runs().empty());
}

TEST(GlotmarkErrors, DirectoryThatCannotBeCreated) {
  Sandbox box;
  write_wav(box / "snd/v.wav", 800, 8000);
  { std::ofstream(box / "snd/PSOv") << "a file where the directory should go"; }
  const auto r = box.glotmark({"-i", "snd/v.wav", "-O"});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out,
            "\n *** Error ***\n -> can't create directory \n *** Exiting program ***\n\n"
            " *** Warning : can't open/write history file ! \n\n");
  EXPECT_TRUE(box.f0_runs().empty());
  EXPECT_EQ(slurp(box / "snd/PSOv"), "a file where the directory should go");
}

}  // namespace
