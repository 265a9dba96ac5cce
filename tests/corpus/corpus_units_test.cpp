// The pieces of glotmark-corpus that need no process: CSV rows, the command line, the split of
// a file list into Slurm chunks, glotmark's steps read from its options, the error line.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "corpus/analyse_one.h"
#include "corpus/corpus_options.h"
#include "corpus/read_results.h"
#include "corpus/run_parallel.h"
#include "corpus/slurm_job.h"
#include "corpus/summary_csv.h"

namespace {

using namespace corpus;

TEST(SummaryCsv, RowsWithAwkwardNamesAndErrorsReadBackTheSame) {
  const std::string names[] = {"plain/a.wav",  "with blank.wav", "comma,name.wav",
                               "quote\"d.wav", "line\nend.wav",  " leading blank.wav"};
  for (const auto& name : names) {
    SummaryRow r;
    r.path = name;
    r.status = 1;
    r.seconds = 0.25;
    r.error = "Audio File Library: '" + name + "': unrecognized, \"format\"";
    const auto back = parse_row(format_row(r));
    ASSERT_TRUE(back) << format_row(r);
    EXPECT_EQ(back->path, name);
    EXPECT_EQ(back->error, r.error);
    EXPECT_EQ(back->status, 1);
    EXPECT_FALSE(back->marks);
    EXPECT_FALSE(back->duration_s);
  }
  SummaryRow ok;
  ok.path = "a.wav", ok.status = 0, ok.seconds = 1.5, ok.duration_s = 5.0, ok.marks = 612;
  ok.voiced_share = 0.8125, ok.median_f0_hz = 123.456;
  EXPECT_EQ(format_row(ok), "a.wav,0,1.500,5.000000,612,0.8125,123.46,\n");
  EXPECT_EQ(csv_field("it's \"x\", y"), "\"it's \"\"x\"\", y\"");
  EXPECT_FALSE(parse_row("\"unclosed,0,,,,,,\n"));
  EXPECT_FALSE(parse_row("a.wav,0,1\n"));
  EXPECT_FALSE(parse_row("a.wav,zero,,,,,,\n"));
}

TEST(SlurmChunks, EveryFileFallsInExactlyOneTaskInOrder) {
  for (const std::size_t count : {0u, 1u, 7u, 48u, 1000u}) {
    for (const int tasks : {1, 3, 10, 100}) {
      std::size_t next = 0;
      for (int k = 0; k < tasks; ++k) {
        std::size_t first = 0, last = 0;
        task_chunk(count, tasks, k, first, last);
        EXPECT_EQ(first, next) << count << " files, task " << k << " of " << tasks;
        EXPECT_LE(last - first, count / static_cast<std::size_t>(tasks) + 1);
        next = last;
      }
      EXPECT_EQ(next, count) << count << " files in " << tasks << " tasks";
    }
  }
}

TEST(GlotmarkSteps, FlagsAreFoundButNotInsideOptionValues) {
  struct Case {
    std::vector<std::string> options;
    bool pso, marks;
  } const cases[] = {
      {{"-S"}, true, true},
      {{"-E"}, false, false},
      {{"-M", "-a", "3"}, false, true},
      {{"-e", "S"}, false, false},  // "S" is the value of -e
      {{"-eS"}, false, false},
      {{"-ES"}, true, true},  // bundled short flags
      {{"--PSO-file"}, true, true},
      {{"--PSO"}, true, true},  // a unique prefix
      {{"--mark-positionning", "--verbose"}, false, true},
      {{"--method-epocs", "-S"}, false, false},  // "-S" is the value
      {{"--method-epocs=frob", "-S"}, true, true},
  };
  for (const auto& c : cases) {
    const auto s = glotmark_steps(c.options);
    std::string text;
    for (const auto& o : c.options) text += o + " ";
    EXPECT_EQ(s.pso, c.pso) << text;
    EXPECT_EQ(s.marks, c.marks) << text;
  }
}

TEST(FirstErrorLine, NamesTheCauseOfAFailure) {
  struct Case {
    const char *out, *err, *expected;
  } const cases[] = {
      {"\n *** Error : readsf ***\n -> error openning file x.wav\n *** Exiting program ***\n",
       "Audio File Library: 'x.wav': unrecognized audio file format [error 0]\n",
       "Audio File Library: 'x.wav': unrecognized audio file format [error 0]"},
      {"\n *** Error *** \n -> size of voice coeficient data matrix null ! \n", "",
       "size of voice coeficient data matrix null !"},
      {"\n *** Warning : can't open/write history file ! \n", " *** Warning : x\n",
       "Warning : can't open/write history file !"},
      {"", "", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(first_error_line(c.out, c.err), c.expected) << c.out;
}

TEST(CorpusOptions, ValuesAndModesAreParsed) {
  std::string err;
  const char* argv[] = {"glotmark-corpus",
                        "--jobs=3",
                        "--timeout",
                        "2.5",
                        "--ext",
                        ".WAV,aif",
                        "c",
                        "o",
                        "--",
                        "-E",
                        "-e",
                        "frob"};
  const auto o = parse_corpus_options(12, argv, err);
  ASSERT_TRUE(o) << err;
  EXPECT_EQ(o->jobs, 3);
  EXPECT_EQ(o->timeout_s, 2.5);
  EXPECT_EQ(o->extensions, (std::vector<std::string>{"wav", "aif"}));
  EXPECT_EQ(o->corpus, "c");
  EXPECT_EQ(o->out, "o");
  EXPECT_EQ(o->glotmark_options, (std::vector<std::string>{"-E", "-e", "frob"}));

  const char* task[] = {"glotmark-corpus", "--task", "4", "--tasks", "9", "o"};
  const auto t = parse_corpus_options(6, task, err);
  ASSERT_TRUE(t) << err;
  EXPECT_EQ(t->mode, Mode::kTask);
  EXPECT_EQ(t->task_id, 4);
  EXPECT_EQ(t->out, "o");

  const char* defaults[] = {"glotmark-corpus", "c", "o"};
  const auto d = parse_corpus_options(3, defaults, err);
  ASSERT_TRUE(d) << err;
  EXPECT_EQ(d->glotmark_options, std::vector<std::string>{"-S"});
  // Every option of the table is in the help.
  for (const auto& name : corpus_option_names())
    EXPECT_NE(corpus_usage().find(name), std::string::npos) << name;
}

TEST(ProgressText, CountsElapsedAndTimeLeft) {
  EXPECT_EQ(progress_text(10, 1, 40, 65.0),
            "10/40 files, 1 failed, 0:01:05 elapsed, about 0:03:15 left");
  EXPECT_EQ(progress_text(0, 0, 40, 1.0), "0/40 files, 0 failed, 0:00:01 elapsed");
  EXPECT_EQ(progress_text(40, 2, 40, 3700.0), "40/40 files, 2 failed, 1:01:40 elapsed");
}

}  // namespace
