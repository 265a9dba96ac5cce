// glotmark-corpus on a small generated corpus: every good file analysed into the mirror tree,
// the bad ones in the summary with their reason, resume after an interruption, timeouts and
// signals, the Slurm tasks run by hand and their collect step, the command line.
#include <fcntl.h>
#include <glotsynth.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "run_program.h"

namespace {

namespace fs = std::filesystem;
using testsupport::Result;
using testsupport::run;
using testsupport::slurp;

const std::string kQuoted = "odd names/it's a \"quoted\", name.wav";  // blanks, quotes, comma

// The summary as path -> fields, parsed here independently of the program's own reader.
std::vector<std::string> csv_record(const std::string& text, std::size_t& pos) {
  std::vector<std::string> f(1);
  bool quoted = false;
  for (; pos < text.size(); ++pos) {
    const char c = text[pos];
    if (quoted && c == '"' && pos + 1 < text.size() && text[pos + 1] == '"') {
      f.back() += '"', ++pos;
    } else if (c == '"') {
      quoted = !quoted;
    } else if (!quoted && c == ',') {
      f.emplace_back();
    } else if (!quoted && c == '\n') {
      ++pos;
      break;
    } else {
      f.back() += c;
    }
  }
  return f;
}

std::map<std::string, std::vector<std::string>> read_summary(const std::string& path) {
  const std::string text = slurp(path);
  std::size_t pos = 0;
  std::map<std::string, std::vector<std::string>> rows;
  const auto header = csv_record(text, pos);
  EXPECT_EQ(header.size(), 8u) << path;
  while (pos < text.size()) {
    const auto f = csv_record(text, pos);
    EXPECT_EQ(f.size(), 8u) << f[0];
    rows[f[0]] = f;
  }
  return rows;
}

// Every file under dir with its size, to show that a run wrote nothing into the corpus.
std::map<std::string, std::uintmax_t> tree(const fs::path& dir) {
  std::map<std::string, std::uintmax_t> t;
  for (const auto& e : fs::recursive_directory_iterator(dir))
    t[e.path().string()] = e.is_regular_file() ? e.file_size() : 0;
  return t;
}

class Corpus : public ::testing::Test {
 protected:
  // 44 good voices in three folders (f0 100..186 Hz) and the bad files, once for all tests.
  static void SetUpTestSuite() {
    dir_ = new testsupport::ScratchDir;
    const fs::path c = corpus();
    for (int i = 0; i < 44; ++i) {
      const std::string folder = i < 15 ? "spk1" : i < 30 ? "spk2/take1" : "spk3";
      fs::create_directories(c / folder);
      glotsynth::Options o;
      o.sr = 16000.0;
      o.seed = static_cast<unsigned>(i + 1);
      const double f0 = 100.0 + 2.0 * i;
      o.segments = {{glotsynth::Segment::Kind::voiced, 0.35, f0, f0, 'a', 'a'}};
      const auto r = glotsynth::synthesize(o);
      std::string file = "v";
      file += std::to_string(i);
      file += ".wav";
      const std::string name = (c / folder / file).string();
      ASSERT_TRUE(glotsynth::write_wav(name, r.signal, o.sr, glotsynth::Encoding::pcm16));
      f0_[fs::path(name).lexically_relative(c).string()] = f0;
      if (i == 3) {
        ASSERT_TRUE(glotsynth::write_truth(name, r));  // .txt files beside: not sounds
      }
    }
    fs::create_directories(c / "odd names");
    fs::copy_file(c / "spk1/v0.wav", c / kQuoted);
    f0_[kQuoted] = 100.0;
    std::ofstream(c / "spk1/not a sound.wav") << "plain text, no sound\n";
    std::ofstream(c / "spk1/empty.wav");
    glotsynth::Options o;
    o.sr = 16000.0;
    o.segments = {{glotsynth::Segment::Kind::voiced, 0.05, 120.0, 120.0, 'a', 'a'}};
    ASSERT_TRUE(glotsynth::write_wav((c / "spk3/short.wav").string(),
                                     glotsynth::synthesize(o).signal, o.sr,
                                     glotsynth::Encoding::pcm16));
    // The corpus is read-only from here on.
    for (const auto& e : fs::recursive_directory_iterator(c))
      fs::permissions(e.path(),
                      fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                      fs::perm_options::remove);
    fs::permissions(c, fs::perms::owner_write, fs::perm_options::remove);
  }
  static void TearDownTestSuite() {
    for (const auto& e : fs::recursive_directory_iterator(corpus()))
      fs::permissions(e.path(), fs::perms::owner_write, fs::perm_options::add);
    fs::permissions(corpus(), fs::perms::owner_write, fs::perm_options::add);
    delete dir_;
  }
  static fs::path corpus() { return dir_->path() / "corpus"; }
  static std::string bin() { return testsupport::bin("glotmark-corpus"); }

  testsupport::ScratchDir out_;
  static testsupport::ScratchDir* dir_;
  static std::map<std::string, double> f0_;  // good files -> their f0, Hz
};
testsupport::ScratchDir* Corpus::dir_ = nullptr;
std::map<std::string, double> Corpus::f0_;

// Files that fail whatever the options, and with -S also the 0.05 s sound (too short for the
// voicing analysis; -E alone analyses it).
const std::map<std::string, std::string> kBadFiles = {
    {"spk1/not a sound.wav", "unrecognized audio file format"},
    {"spk1/empty.wav", "empty file"},
};
const std::map<std::string, std::string> kBad = {
    {"spk1/not a sound.wav", "unrecognized audio file format"},
    {"spk1/empty.wav", "empty file"},
    {"spk3/short.wav", "null"},
};

TEST_F(Corpus, EveryGoodFileIsAnalysedIntoTheMirrorAndTheBadOnesSayWhy) {
  const auto before = tree(corpus());
  const std::string out = out_ / "out";
  const Result r = run({bin(), "--jobs", "2", corpus().string(), out});
  EXPECT_EQ(r.status, 1) << r.err;
  EXPECT_EQ(tree(corpus()), before) << "the run wrote into the corpus";

  const auto rows = read_summary(out + "/summary.csv");
  EXPECT_EQ(rows.size(), f0_.size() + kBad.size());
  for (const auto& [rel, f0] : f0_) {
    ASSERT_TRUE(rows.count(rel)) << rel;
    const auto& f = rows.at(rel);
    EXPECT_EQ(f[1], "0") << rel << ": " << f[7];
    EXPECT_NEAR(std::stod(f[3]), 0.35, 1e-3) << rel;
    EXPECT_GT(std::stol(f[4]), 20) << rel;               // about 0.35 s x f0 marks
    EXPECT_GT(std::stod(f[5]), 0.8) << rel;              // a steady vowel: voiced marks
    EXPECT_NEAR(std::stod(f[6]), f0, 0.03 * f0) << rel;  // median f0 of the voiced marks
    EXPECT_TRUE(f[7].empty()) << rel;
    const fs::path link = fs::path(out) / rel;
    EXPECT_TRUE(fs::is_symlink(link)) << rel;
    EXPECT_EQ(fs::read_symlink(link), corpus() / rel);
    const std::string base = link.stem().string();
    EXPECT_TRUE(fs::exists(link.parent_path() / ("PSO" + base) / (base + ".1PSO.sdif"))) << rel;
  }
  for (const auto& [rel, why] : kBad) {
    ASSERT_TRUE(rows.count(rel)) << rel;
    EXPECT_EQ(rows.at(rel)[1], "1") << rel;
    EXPECT_NE(rows.at(rel)[7].find(why), std::string::npos) << rel << ": " << rows.at(rel)[7];
  }
  // The name with blanks, quotes and a comma is one quoted CSV field.
  EXPECT_NE(slurp(out + "/summary.csv").find("\"odd names/it's a \"\"quoted\"\", name.wav\",0,"),
            std::string::npos);
  EXPECT_FALSE(fs::exists(fs::path(out) / "spk1/v3.gci.txt"));
}

// Runs argv until `rows` row files exist under out, then interrupts it as Ctrl-C would.
Result interrupt_after(const std::vector<std::string>& argv, const fs::path& out, int rows) {
  const std::string err_file = out.string() + ".err";
  const pid_t pid = fork();
  if (pid == 0) {
    std::vector<char*> a;
    for (const auto& s : argv) a.push_back(const_cast<char*>(s.c_str()));
    a.push_back(nullptr);
    const int err_fd = open(err_file.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    dup2(err_fd, 2);
    execv(a[0], a.data());
    _exit(127);
  }
  const auto count_rows = [&] {
    int n = 0;
    std::error_code ec;
    for (fs::recursive_directory_iterator it(out, ec), end; !ec && it != end; it.increment(ec))
      n += it->path().extension() == ".row" ? 1 : 0;
    return n;
  };
  for (int i = 0; i < 600 && count_rows() < rows; ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  kill(pid, SIGINT);
  int w = 0;
  waitpid(pid, &w, 0);
  Result r;
  r.status = WIFEXITED(w) ? WEXITSTATUS(w) : 128 + WTERMSIG(w);
  r.err = testsupport::slurp(err_file);
  return r;
}

// The summary row files under out and their modification times: an analysis replaces its
// file's row, so the rows whose time changed between two calls are the files a run analysed.
using RowTimes = std::map<std::string, fs::file_time_type>;
RowTimes row_times(const fs::path& out) {
  RowTimes t;
  for (const auto& e : fs::recursive_directory_iterator(out)) {
    if (e.path().extension() != ".row") continue;
    const std::string rel = e.path().lexically_relative(out).string();
    t[rel.substr(0, rel.size() - 4)] = fs::last_write_time(e.path());
  }
  return t;
}
std::set<std::string> analysed_between(const RowTimes& before, const RowTimes& after) {
  std::set<std::string> files;
  for (const auto& [rel, time] : after) {
    const auto it = before.find(rel);
    if (it == before.end() || it->second != time) files.insert(rel);
  }
  return files;
}

TEST_F(Corpus, ResumeAfterAnInterruptionAnalysesOnlyWhatIsMissing) {
  const std::string out = out_ / "out";
  const Result first =
      interrupt_after({bin(), "--jobs", "1", corpus().string(), out, "--", "-E"}, out, 5);
  EXPECT_EQ(first.status, 130);
  const RowTimes done = row_times(out);
  ASSERT_GE(done.size(), 5u);
  ASSERT_LT(done.size(), f0_.size()) << "the run was not interrupted";
  // The files not done, the one being analysed when the run stopped among them, have no row
  // and no result file.
  std::set<std::string> missing;
  for (const auto& [rel, f] : read_summary(out + "/summary.csv")) {
    if (done.count(rel)) continue;
    missing.insert(rel);
    EXPECT_TRUE(f[1].empty() && f[7].find("not analysed") != std::string::npos) << rel;
    const fs::path link = fs::path(out) / rel;
    EXPECT_FALSE(fs::exists(link.parent_path() / ("PSO" + link.stem().string()) /
                            (link.stem().string() + ".1ECS.sdif")))
        << rel;
  }
  EXPECT_EQ(missing.size() + done.size(), f0_.size() + kBad.size());
  // The closing line does not count the files never run as failed.
  const std::size_t failed = std::count_if(done.begin(), done.end(),
                                           [&](const auto& d) { return kBadFiles.count(d.first); });
  EXPECT_NE(first.err.find(std::to_string(failed) + " failed, " + std::to_string(missing.size()) +
                           " not analysed; summary in"),
            std::string::npos)
      << first.err;

  const Result again = run({bin(), "--resume", corpus().string(), out, "--", "-E"});
  EXPECT_EQ(again.status, 1) << again.err;  // the bad files still fail
  const RowTimes resumed = row_times(out);
  EXPECT_EQ(analysed_between(done, resumed), missing) << "only the missing files were run";
  for (const auto& [rel, f] : read_summary(out + "/summary.csv"))
    EXPECT_EQ(f[1], kBadFiles.count(rel) ? "1" : "0") << rel;

  EXPECT_EQ(run({bin(), "--retry-failed", corpus().string(), out, "--", "-E"}).status, 1);
  std::set<std::string> bad;
  for (const auto& [rel, why] : kBadFiles) bad.insert(rel);
  EXPECT_EQ(analysed_between(resumed, row_times(out)), bad) << "only the failed files again";
  const Result other = run({bin(), "--resume", corpus().string(), out, "--", "-S"});
  EXPECT_EQ(other.status, 2) << "a resume with other glotmark options";
  EXPECT_NE(other.err.find("-E"), std::string::npos) << other.err;
}

// A copy of glotmark-corpus beside a stand-in glotmark that hangs on one name, dies of a
// signal on another, each after writing a result file, and succeeds quickly elsewhere.
fs::path install_fake_glotmark(const fs::path& dir) {
  fs::create_directories(dir);
  fs::copy_file(testsupport::bin("glotmark-corpus"), dir / "glotmark-corpus");
  std::ofstream(dir / "glotmark") << R"(#!/bin/sh
in=$2; name=${in##*/}; base=${name%.*}; pso=${in%/*}/PSO$base
mkdir -p "$pso" && echo partial > "$pso/$base.1FQ0.sdif"
echo "threads=$GLOTMARK_THREADS"
case $name in
  v1.wav) exec sleep 30 ;;
  v2.wav) kill -SEGV $$ ;;
  *) echo " *** Error *** "; echo " -> stand-in f0 failed"; exit 1 ;;
esac
)";
  fs::permissions(dir / "glotmark", fs::perms::owner_all);
  return dir / "glotmark-corpus";
}

TEST_F(Corpus, ATimeoutOrASignalIsAFailureThatLeavesNoResultFile) {
  const fs::path self = install_fake_glotmark(out_ / "bin");
  const std::string list = out_ / "list.txt";
  std::ofstream(list) << (corpus() / "spk1/v1.wav").string() << "\n"
                      << (corpus() / "spk1/v2.wav").string() << "\n"
                      << (corpus() / "spk1/v4.wav").string() << "\n";
  const std::string out = out_ / "out";
  const auto t0 = std::chrono::steady_clock::now();
  const Result r =
      run({self.string(), "--jobs", "2", "--timeout", "1", list, out}, "", {"GLOTMARK_THREADS="});
  EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::seconds(20));
  EXPECT_EQ(r.status, 1) << r.err;
  const auto rows = read_summary(out + "/summary.csv");
  ASSERT_EQ(rows.size(), 3u);  // mirrored relative to spk1, the folder of every listed file
  EXPECT_EQ(rows.at("v1.wav")[1], "124");
  EXPECT_EQ(rows.at("v1.wav")[7], "timed out after 1 s");
  EXPECT_EQ(rows.at("v2.wav")[1], std::to_string(128 + SIGSEGV));
  EXPECT_NE(rows.at("v2.wav")[7].find("signal 11"), std::string::npos) << rows.at("v2.wav")[7];
  EXPECT_EQ(rows.at("v4.wav")[7], "stand-in f0 failed");  // the "->" line after the error
  EXPECT_FALSE(fs::exists(out + "/PSOv1")) << "the timed-out file left results";
  EXPECT_FALSE(fs::exists(out + "/PSOv2")) << "the killed file left results";
  EXPECT_TRUE(fs::exists(out + "/PSOv4/v4.1FQ0.sdif")) << "a plain failure keeps its files";
  // One file per core at a time: each glotmark gets one core's share of threads.
  EXPECT_NE(
      slurp(out + "/v4.wav.log")
          .find("threads=" + std::to_string(std::max(1u, std::thread::hardware_concurrency() / 2))),
      std::string::npos);
}

TEST_F(Corpus, SlurmTasksRunByHandAndTheirCollectMakeTheWholeSummary) {
  const std::string out = out_ / "out";
  const Result w = run({bin(), "--slurm", "--tasks", "3", "--sbatch-option=--partition=short",
                        (corpus() / "spk1").string(), out, "--", "-E"});
  ASSERT_EQ(w.status, 0) << w.err;
  const std::string script = out + "/.glotmark-corpus/slurm/array.sbatch";
  const std::string text = slurp(script);
  EXPECT_NE(text.find("#SBATCH --array=0-2\n"), std::string::npos) << text;
  EXPECT_NE(text.find("#SBATCH --partition=short\n"), std::string::npos) << text;
  EXPECT_FALSE(fs::exists(out + "/summary.csv"));

  EXPECT_EQ(run({"/bin/sh", script}).status, 2) << "outside an array job the task refuses";
  std::size_t chunk_rows = 0;
  for (int k = 0; k < 3; ++k) {
    const Result t = run({"/bin/sh", script}, "", {"SLURM_ARRAY_TASK_ID=" + std::to_string(k)});
    const auto chunk =
        read_summary(out + "/.glotmark-corpus/slurm/summary-" + std::to_string(k) + ".csv");
    bool bad = false;
    for (const auto& [rel, f] : chunk) bad = bad || kBadFiles.count("spk1/" + rel) > 0;
    EXPECT_EQ(t.status, bad ? 1 : 0) << t.err;
    chunk_rows += chunk.size();
  }
  EXPECT_EQ(chunk_rows, 17u);  // 15 voices and the two bad files of spk1
  const Result c = run({"/bin/sh", out + "/.glotmark-corpus/slurm/collect.sbatch"});
  EXPECT_EQ(c.status, 1) << c.err;
  const auto rows = read_summary(out + "/summary.csv");
  EXPECT_EQ(rows.size(), 17u);
  for (const auto& [rel, f] : rows)
    EXPECT_EQ(f[1], kBadFiles.count("spk1/" + rel) ? "1" : "0") << rel;
}

TEST_F(Corpus, SubmitHandsTheArrayAndTheCollectStepAfterItToSbatch) {
  const fs::path bin_dir = out_.path() / "fakebin";
  fs::create_directories(bin_dir);
  const std::string calls = out_ / "calls";
  std::ofstream(bin_dir / "sbatch")
      << "#!/bin/sh\necho \"$*\" >> '" << calls << "'\necho '4242;cluster'\n";
  fs::permissions(bin_dir / "sbatch", fs::perms::owner_all);
  const char* path = std::getenv("PATH");
  const Result r = run({bin(), "--slurm", "--submit", corpus().string(), out_ / "out"}, "",
                       {"PATH=" + bin_dir.string() + ":" + (path ? path : "/usr/bin:/bin")});
  ASSERT_EQ(r.status, 0) << r.err;
  const std::string log = slurp(calls);
  EXPECT_NE(log.find("--parsable " + (out_ / "out/.glotmark-corpus/slurm/array.sbatch")),
            std::string::npos)
      << log;
  EXPECT_NE(log.find("--dependency=afterany:4242 " +
                     (out_ / "out/.glotmark-corpus/slurm/collect.sbatch")),
            std::string::npos)
      << log;
  EXPECT_NE(slurp(out_ / "out/.glotmark-corpus/slurm/array.sbatch").find("--array=0-47"),
            std::string::npos)
      << "one task per file below 100 files";
}

TEST_F(Corpus, SoundsThatWouldShareAResultFolderAreRefused) {
  const fs::path aif = out_.path() / "c" / "v0.aif";
  fs::create_directories(aif.parent_path());
  fs::copy_file(corpus() / "spk1/v0.wav", aif);
  fs::copy_file(corpus() / "spk1/v0.wav", out_.path() / "c" / "v0.wav");
  const Result r = run({bin(), (out_.path() / "c").string(), out_ / "out", "--", "-E"});
  EXPECT_EQ(r.status, 1) << r.err;
  const auto rows = read_summary(out_ / "out/summary.csv");
  EXPECT_EQ(rows.at("v0.aif")[1], "0");
  EXPECT_EQ(rows.at("v0.wav")[1], "");
  EXPECT_NE(rows.at("v0.wav")[7].find("v0.aif"), std::string::npos) << rows.at("v0.wav")[7];
}

TEST(CorpusCommandLine, BadCommandLinesExitWithStatus2) {
  testsupport::ScratchDir d;
  const std::string bin = testsupport::bin("glotmark-corpus");
  struct Case {
    std::vector<std::string> args;
    std::string says;
  } const cases[] = {
      {{}, "missing CORPUS and OUT"},
      {{d / "a"}, "missing CORPUS and OUT"},
      {{"--jobs", "0", d / "a", d / "b"}, "--jobs"},
      {{"--bogus", d / "a", d / "b"}, "unknown option"},
      {{d / "a", d / "b", "--", "-i", "x.wav"}, "-i"},
      {{d / "nowhere", d / "b"}, "does not exist"},
      {{"--resume", d.path().string(), d / "b"}, "nothing to resume"},
      {{"--submit", d / "a", d / "b"}, "--slurm"},
      {{"--collect", d / "b"}, "file list"},
  };
  for (const auto& c : cases) {
    std::vector<std::string> argv = {bin};
    argv.insert(argv.end(), c.args.begin(), c.args.end());
    const Result r = run(argv);
    EXPECT_EQ(r.status, 2) << c.says;
    EXPECT_NE(r.err.find(c.says), std::string::npos) << r.err;
  }
  // A second run on an output tree in use.
  fs::create_directories(d.path() / "busy/.glotmark-corpus");
  const int fd = open((d / "busy/.glotmark-corpus/lock").c_str(), O_RDWR | O_CREAT, 0644);
  ASSERT_EQ(flock(fd, LOCK_EX), 0);
  const Result busy = run({bin, d.path().string(), d / "busy"});
  EXPECT_EQ(busy.status, 2);
  EXPECT_NE(busy.err.find("another glotmark-corpus run"), std::string::npos) << busy.err;
  close(fd);

  const Result help = run({bin, "--help"});
  EXPECT_EQ(help.status, 0);
  for (const char* o : {"--jobs", "--timeout", "--resume", "--retry-failed", "--slurm", "--submit",
                        "--tasks", "--collect", "--sshlogin", "--progress"})
    EXPECT_NE(help.out.find(o), std::string::npos) << o;
}

}  // namespace
