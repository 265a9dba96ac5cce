// What a run must never do to a user's files: reuse another sound's results, share its
// temporary files with a concurrent run, keep an empty or half-written result, follow a link
// out of its folder, hang on a file that is not a sound, leave a helper running.
#include <glotsynth.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fcntl.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <future>
#include <string>
#include <thread>
#include <vector>

#include "lumbra/lumbra.h"
#include "run_program.h"

namespace {

namespace fs = std::filesystem;
using testsupport::Result;

// A 16-bit WAV of the generator's phrase cut to `seconds` (f0 scaled by pitch).
void write_voice(const std::string& path, double sr, double seconds, double pitch = 1.0) {
  glotsynth::Options o;
  o.sr = sr;
  o.pitch_scale = pitch;
  glotsynth::Result r = glotsynth::synthesize(o);
  r.signal.resize(std::min(r.signal.size(), static_cast<std::size_t>(seconds * sr)));
  ASSERT_TRUE(glotsynth::write_wav(path, r.signal, sr, glotsynth::Encoding::pcm16));
}

// A folder with bin/ holding glotmark, its directory script and an f0 program: the real one,
// or the stand-in driven by FAKE_HARMEX_* (install_glotmark).
class Box {
 public:
  explicit Box(bool real_f0 = true) {
    testsupport::install_glotmark(dir_.path());
    if (real_f0) {
      fs::remove(dir_.path() / "bin/harmex");
      fs::copy_file(testsupport::bin("harmex"), dir_.path() / "bin/harmex");
    }
  }
  std::string operator/(const std::string& rel) const { return dir_ / rel; }
  Result glotmark(const std::vector<std::string>& words, std::vector<std::string> env = {}) const {
    std::vector<std::string> argv = {dir_ / "bin/glotmark"};
    argv.insert(argv.end(), words.begin(), words.end());
    env.insert(env.begin(), "SFDIR=");
    return testsupport::run(argv, dir_.path().string(), env);
  }

 private:
  testsupport::ScratchDir dir_;
};

// The header's value for key in an SDIF file ("" when missing or unreadable).
std::string header_value(const std::string& file, const std::string& key) {
  SDIFEntity e;
  if (!e.OpenRead(file)) return "";
  for (std::size_t i = 0; i < e.GetNbNVT(); ++i)
    if (e.GetNVT(i).HasName(key)) return e.GetNVT(i).GetValue(key);
  return "";
}

// Times (column 0 of the frames) and first values of a 1FQ0 or 1PSO file.
std::vector<std::pair<double, double>> frames_of(const std::string& file) {
  std::vector<std::pair<double, double>> out;
  SDIFEntity e;
  if (!e.OpenRead(file)) return out;
  SDIFFrame f;
  while (!e.eof()) {
    if (e.ReadNextFrame(f) == 0) continue;
    for (std::size_t m = 0; m < f.GetNbMatrix(); ++m)
      if (f.GetMatrix(m).GetNbRows() > 0)
        out.emplace_back(f.GetTime(), f.GetMatrix(m).GetDouble(0, 0));
    f.ClearData();
  }
  return out;
}

const char* const kStepFiles[] = {".1FQ0.sdif", ".1ECS.sdif", ".1VUN.sdif", ".1VUF.sdif",
                                  ".1ECL.sdif", ".1VOI.sdif", ".1UVI.sdif", ".1TRA.sdif",
                                  ".1MRK.sdif", ".1VUT.sdif", ".1PSO.sdif"};

TEST(Safety, AnotherSoundUnderTheSameNameIsAnalysedAgain) {
  struct Case {
    const char* first;   // analysed first, in PSOs/
    const char* second;  // then, in the same folder
    double sr2, seconds2, pitch2;
    const char* why;
  } const cases[] = {
      {"s.wav", "s.wav", 16000, 0.5, 1.0, "a shorter sound copied over the first"},
      {"s.wav", "s.wav", 44100, 1.2, 1.0, "the same phrase at another rate"},
      {"s.wav", "s.wav", 16000, 1.2, 1.02, "the same length and rate, other samples"},
      {"s.wav", "s.aiff", 16000, 0.8, 1.0, "s.wav and s.aiff share PSOs/"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.why);
    Box box;
    write_voice(box / c.first, 16000, 1.2);
    ASSERT_EQ(box.glotmark({"-i", c.first, "-S"}).status, 0);
    write_voice(box / c.second, c.sr2, c.seconds2, c.pitch2);
    const Result r = box.glotmark({"-i", c.second, "-S", "--verbose"});
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    for (const char* suffix : kStepFiles) {
      if (std::string(suffix) == ".1PSO.sdif") continue;  // written by every -S run
      EXPECT_NE(r.out.find(std::string(" Writing : ./PSOs/s") + suffix), std::string::npos)
          << suffix << " was reused";
    }
    // Every file says which sound it belongs to, and it is the second one.
    const std::string print = header_value(box / "PSOs/s.1FQ0.sdif", "SoundFingerprint");
    EXPECT_EQ(print.rfind(std::to_string(static_cast<int>(c.sr2)) + "_", 0), 0u) << print;
    for (const char* suffix : kStepFiles)
      EXPECT_EQ(header_value(box / (std::string("PSOs/s") + suffix), "SoundFingerprint"), print)
          << suffix;
    const auto pso = frames_of(box / "PSOs/s.1PSO.sdif");
    ASSERT_FALSE(pso.empty());
    EXPECT_LE(pso.back().first, c.seconds2) << "a mark past the end of the sound";
    // And the same sound again is read back whole.
    const Result again = box.glotmark({"-i", c.second, "-S", "--verbose"});
    EXPECT_EQ(again.out.find(" Writing : ./PSOs/s.1MRK.sdif"), std::string::npos) << again.out;
  }
}

// Concurrent runs on one sound with different f0 ranges: each waits for the other, and the f0
// file always holds the analysis its header names (a range of 300 Hz up finds no 150 Hz voice).
TEST(Safety, ConcurrentRunsOnOneSoundNeverMixTheirFiles) {
  Box box;
  write_voice(box / "s.wav", 8000, 0.4, 1.0);  // f0 110-160 Hz
  const std::vector<std::string> low = {"-i", "s.wav", "-E", "-O", "-f", "60"};
  const std::vector<std::string> high = {"-i", "s.wav", "-E", "-O", "-f", "300"};
  int waits = 0;
  for (int pair = 0; pair < 50; ++pair) {
    auto a = std::async(std::launch::async, [&] { return box.glotmark(low); });
    auto b = std::async(std::launch::async, [&] { return box.glotmark(high); });
    const Result ra = a.get(), rb = b.get();
    ASSERT_EQ(ra.status, 0) << "pair " << pair << ": " << ra.out << ra.err;
    ASSERT_EQ(rb.status, 0) << "pair " << pair << ": " << rb.out << rb.err;
    waits += (ra.err + rb.err).find("waiting for it to end") != std::string::npos;
    const std::string fmin = header_value(box / "PSOs/s.1FQ0.sdif", "f0_fmin");
    ASSERT_TRUE(fmin == "60.000000" || fmin == "300.000000") << fmin;
    int below_300 = 0;
    for (const auto& [t, f0] : frames_of(box / "PSOs/s.1FQ0.sdif")) below_300 += f0 > 0 && f0 < 290;
    if (fmin == "300.000000") {
      ASSERT_EQ(below_300, 0) << "pair " << pair << ": the 60 Hz analysis under a 300 Hz header";
    } else {
      ASSERT_GT(below_300, 10) << "pair " << pair << ": the 300 Hz analysis under a 60 Hz header";
    }
    ASSERT_EQ(header_value(box / "PSOs/s.1ECS.sdif", "f0_fmin"), fmin) << "pair " << pair;
  }
  std::vector<std::string> left;
  for (const auto& e : fs::directory_iterator(box / "PSOs"))
    if (e.path().filename().string().find(".tmp") != std::string::npos) left.push_back(e.path());
  EXPECT_TRUE(left.empty()) << left.front();
  RecordProperty("waits", waits);
}

TEST(Safety, EmptyF0ResultIsNeverWrittenSoNeverReused) {
  Box box(false);
  write_voice(box / "s.wav", 8000, 0.4);
  const Result empty = box.glotmark({"-i", "s.wav", "-E"}, {"FAKE_HARMEX_F0=none"});
  EXPECT_EQ(empty.status, 1);
  EXPECT_NE(empty.out.find("size of f0 data null"), std::string::npos) << empty.out;
  EXPECT_FALSE(fs::exists(box / "PSOs/s.1FQ0.sdif"));
  // The next run computes again instead of reading back a refused track.
  const Result next = box.glotmark({"-i", "s.wav", "-E"});
  EXPECT_EQ(next.status, 0) << next.out;
  EXPECT_TRUE(fs::exists(box / "PSOs/s.1ECS.sdif"));
}

TEST(Safety, HistoryThatIsALinkIsReplacedNotFollowed) {
  Box box(false);
  write_voice(box / "s.wav", 8000, 0.4);
  fs::create_directories(box / "PSOs");
  { std::ofstream(box / "victim.txt") << "keep me\n"; }
  fs::create_symlink("../victim.txt", box / "PSOs/history");
  ASSERT_EQ(box.glotmark({"-i", "s.wav", "-O"}).status, 0);
  EXPECT_EQ(testsupport::slurp(box / "victim.txt"), "keep me\n");
  EXPECT_FALSE(fs::is_symlink(box / "PSOs/history"));
  EXPECT_NE(testsupport::slurp(box / "PSOs/history").find(" #### user:\t"), std::string::npos);
  EXPECT_EQ(fs::status(box / "PSOs/history").permissions() & fs::perms::others_read,
            fs::status(box / "PSOs/s.1FQ0.sdif").permissions() & fs::perms::others_read);
}

// A pid that no process has: a child that has already been reaped.
long dead_pid() {
  const pid_t pid = fork();
  if (pid == 0) _exit(0);
  waitpid(pid, nullptr, 0);
  return pid;
}

TEST(Safety, DebrisOfAKilledRunIsRemovedByTheNext) {
  Box box(false);
  write_voice(box / "s.wav", 8000, 0.4);
  fs::create_directories(box / "PSOs");
  const std::string dead = std::to_string(dead_pid());
  const std::string alive = std::to_string(::getpid());  // another program writing there
  struct File {
    std::string name;
    bool stays;
  } const files[] = {
      {"s.1ECL.sdif.part-" + dead + "-0", false},  // the SDIF library's, of a gone process
      {"s.1FQ0.sdif.tmp-a1B2c3", false},           // the f0 program's result
      {"s.1FQ0.sdif.tmp", false},                  // the same, as older runs named it
      {"history.tmp-Zz9yX8", false},               // a history being written
      {"s.1ECL.sdif.part-" + alive + "-3", true},  // its process still runs
      {"notes.tmp", true},                         // not a name of ours
  };
  for (const File& f : files) std::ofstream(box / ("PSOs/" + f.name)) << "debris";
  ASSERT_EQ(box.glotmark({"-i", "s.wav", "-O"}).status, 0);
  for (const File& f : files) EXPECT_EQ(fs::exists(box / ("PSOs/" + f.name)), f.stays) << f.name;
}

// The f0 program ends with the run that started it: here a shell in its place, killed while
// the program waits on a FIFO that nobody writes.
TEST(Safety, F0ProgramEndsWithItsParent) {
  testsupport::ScratchDir dir;
  ASSERT_EQ(::mkfifo((dir / "s.wav").c_str(), 0600), 0);
  const std::string script = "GLOTMARK_PARENT_PID=$$; export GLOTMARK_PARENT_PID; '" +
                             testsupport::bin("harmex") + "' -Af0 -S'" + (dir / "s.wav") + "' '" +
                             (dir / "o.sdif") + "' & echo $! > '" + (dir / "pid") + "'; wait";
  const pid_t shell = fork();
  if (shell == 0) {
    execl("/bin/sh", "sh", "-c", script.c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  pid_t harmex = 0;
  for (int i = 0; i < 200 && harmex == 0; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
    std::ifstream(dir / "pid") >> harmex;
  }
  ASSERT_GT(harmex, 0);
  ASSERT_EQ(::kill(harmex, 0), 0) << "the program should be waiting";
  ::kill(shell, SIGKILL);
  waitpid(shell, nullptr, 0);
  // Ended: gone from /proc, or a zombie that whoever adopted it has not reaped yet.
  auto ended = [&] {
    std::ifstream stat("/proc/" + std::to_string(harmex) + "/stat");
    std::string pid, name, state;
    return !(stat >> pid >> name >> state) || state == "Z";
  };
  bool gone = false;
  for (int i = 0; i < 200 && !gone; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
    gone = ended();
  }
  if (!gone) ::kill(harmex, SIGKILL);
  EXPECT_TRUE(gone) << "harmex still runs after its parent was killed";
}

TEST(Safety, FilesThatAreNotRegularAreRefusedAtOnce) {
  Box box(false);
  write_voice(box / "s.wav", 8000, 0.4);
  ASSERT_EQ(::mkfifo((box / "fifo.wav").c_str(), 0600), 0);
  ASSERT_EQ(::mkfifo((box / "fifo.sdif").c_str(), 0600), 0);
  fs::create_directories(box / "dir.wav");
  struct Case {
    std::vector<std::string> words;
    std::string out;
  } const cases[] = {
      {{"-i", "fifo.wav", "-O"}, "-> file : fifo.wav doesn't exist!"},
      {{"-i", "dir.wav", "-O"}, "-> file : dir.wav doesn't exist!"},
      {{"-i", "s.wav", "-E", "-I", "fifo.sdif"},
       "-> file : fifo.sdif doesn't exist or is not a sdif file."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.words[1]);
    auto run = std::async(std::launch::async, [&] { return box.glotmark(c.words); });
    ASSERT_EQ(run.wait_for(std::chrono::seconds(20)), std::future_status::ready) << "hangs";
    const Result r = run.get();
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.out.find(c.out), std::string::npos) << r.out;
  }
  // A FIFO in place of a step file is no result: recomputed, and the FIFO replaced.
  ASSERT_EQ(box.glotmark({"-i", "s.wav", "-O"}).status, 0);
  fs::remove(box / "PSOs/s.1FQ0.sdif");
  ASSERT_EQ(::mkfifo((box / "PSOs/s.1FQ0.sdif").c_str(), 0600), 0);
  auto run = std::async(std::launch::async, [&] { return box.glotmark({"-i", "s.wav", "-E"}); });
  ASSERT_EQ(run.wait_for(std::chrono::seconds(20)), std::future_status::ready) << "hangs";
  EXPECT_EQ(run.get().status, 0);
  EXPECT_TRUE(fs::is_regular_file(box / "PSOs/s.1FQ0.sdif"));
}

TEST(Safety, MessagesNameTheFileAndTheReason) {
  Box box(false);
  write_voice(box / "s.wav", 8000, 0.4);
  // An f0 file of another recording: every frame after the end of this one.
  {
    SDIFEntity e;
    ASSERT_TRUE(e.OpenWrite(box / "late.sdif"));
    SDIFFrame f;
    const SdifSignature k1FQ0 = SdifSignatureConst('1', 'F', 'Q', '0');
    for (int i = 0; i < 20; ++i) {
      f.ClearData();
      f.SetHeader(k1FQ0, 0, 5.0 + 0.01 * i);
      SDIFMatrix m(k1FQ0, 1, 1);
      m.Set(0, 0, 120.0);
      f.AddMatrix(m);
      f.Write(e);
    }
    e.Close();
  }
  const Result late = box.glotmark({"-i", "s.wav", "-T", "-I", "late.sdif"});
  EXPECT_EQ(late.status, 1);
  EXPECT_NE(late.out.find("size of f0 data null"), std::string::npos) << late.out;
  EXPECT_NE(late.out.find("late.sdif has no f0 frame within the sound"), std::string::npos)
      << late.out;

  // Zone files whose begin and end do not pair: the reader says which file.
  ASSERT_EQ(box.glotmark({"-i", "s.wav", "-M"}).status, 0);
  const std::string voi = box / "PSOs/s.1VOI.sdif";
  {
    SDIFEntity in;
    ASSERT_TRUE(in.OpenRead(voi));
    SDIFEntity out;
    for (std::size_t i = 0; i < in.GetNbNVT(); ++i) out.AddNVT(in.GetNVT(i));
    in.Close();
    ASSERT_TRUE(out.OpenWrite(voi));
    SDIFFrame f;
    f.SetHeader(SdifStringToSignature("1MRK"), 0, 0.1);
    SDIFMatrix begin(SdifStringToSignature("1BEG"), 1, 1);
    begin.Set(0, 0, 0.0);
    f.AddMatrix(begin);
    f.Write(out);
    f.ClearData();
    f.SetHeader(SdifStringToSignature("1MRK"), 0, 0.2);
    SDIFMatrix end(SdifStringToSignature("1END"), 1, 1);
    end.Set(0, 0, 1.0);  // not the begin's id
    f.AddMatrix(end);
    f.Write(out);
    out.Close();
  }
  const Result wrong = box.glotmark({"-i", "s.wav", "-M"});
  EXPECT_EQ(wrong.status, 1);
  EXPECT_NE(wrong.out.find("Wrong ID for 1MRK/1BEG and 1MRK/1END\n *** Exiting program ***\n"
                           " -> file : ./PSOs/s.1VOI.sdif\n"),
            std::string::npos)
      << wrong.out;
}

// Running out of memory is a framed message naming the step and the sound, status 1. The
// limit on the address space lets the program start and read the sound, not analyse it.
TEST(Safety, OutOfMemoryIsAFramedFailure) {
  Box box;
  // Two minutes of the phrase repeated: the epoch curves need far more than the sound.
  {
    glotsynth::Options o;
    o.sr = 44100;
    const glotsynth::Result r = glotsynth::synthesize(o);
    std::vector<float> longer;
    while (longer.size() < 120 * 44100)
      longer.insert(longer.end(), r.signal.begin(), r.signal.end());
    ASSERT_TRUE(glotsynth::write_wav(box / "long.wav", longer, 44100, glotsynth::Encoding::pcm16));
  }
  const pid_t pid = fork();
  if (pid == 0) {
    // 120 MiB of address space: the sound (42 MB as doubles) fits, its epoch curves do not. One
    // thread, so that no thread's stack or heap arena takes the room first.
    const rlimit limit{120u << 20, 120u << 20};
    setrlimit(RLIMIT_AS, &limit);
    setenv("GLOTMARK_THREADS", "1", 1);
    const int out = ::open((box / "out.txt").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    dup2(out, 1);
    dup2(out, 2);
    const std::string program = box / "bin/glotmark";
    if (chdir((box / "").c_str()) != 0) _exit(126);
    execl(program.c_str(), program.c_str(), "-i", "long.wav", "-S", "-e", "frob",
          static_cast<char*>(nullptr));
    _exit(127);
  }
  int status = 0;
  waitpid(pid, &status, 0);
  const std::string out = testsupport::slurp(box / "out.txt");
  ASSERT_TRUE(WIFEXITED(status)) << out;
  EXPECT_EQ(WEXITSTATUS(status), 1) << out;
  EXPECT_NE(out.find("\n *** Error *** \n -> out of memory in the "), std::string::npos) << out;
  EXPECT_NE(out.find("(a sound of 120.0 s, "), std::string::npos) << out;
  EXPECT_EQ(out.find("bad_alloc"), std::string::npos) << out;
}

}  // namespace
