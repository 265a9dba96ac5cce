// The history record, the f0 cleaning and the running of outside programs.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <limits>
#include <string>

#include "driver/clean_f0.h"
#include "driver/run_program.h"
#include "driver/write_history.h"
#include "run_program.h"

namespace {

std::string login_name() {
  const char* login = getlogin();
  return login != nullptr ? login : "unknow";
}

TEST(WriteHistory, RecordReplacesTheEarlierOne) {
  testsupport::ScratchDir dir;
  const std::string outdir = dir.path().string() + "/";
  ASSERT_EQ(write_history(outdir, "glotmark -i first.wav -O", "Mon Jan  1 10:00:00 2024\n",
                          "Mon Jan  1 10:00:05 2024\n"),
            0);
  ASSERT_EQ(write_history(outdir, "./glotmark -i a b.wav -E", "Tue Feb 13 09:08:07 2024\n",
                          "Tue Feb 13 09:08:09 2024\n"),
            0);
  EXPECT_EQ(testsupport::slurp(dir / "history"),
            " #### user:\t" + login_name() +
                "\n ## begining:\tTue Feb 13 09:08:07 2024\n ## ending:\tTue Feb 13 09:08:09 "
                "2024\n./glotmark -i a b.wav -E\n\n");
}

TEST(WriteHistory, MissingDirectoryGivesWarningAndMinusOne) {
  testsupport::ScratchDir dir;
  ::testing::internal::CaptureStdout();
  const int rc = write_history(dir / "no/such/", "glotmark", "s\n", "e\n");
  const std::string out = ::testing::internal::GetCapturedStdout();
  EXPECT_EQ(rc, -1);
  EXPECT_EQ(out, " *** Warning : can't open/write history file ! \n\n");
}

TEST(CleanF0, OutOfRangeValuesBecome150BeforeTheMedian) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double inf = std::numeric_limits<double>::infinity();
  tessel::TesselMatrix<double> tr(9, 2, 0.0);
  const double f0[] = {10.0, 3000.0, 120.0, 2000.0, 20.0, 19.99, nan, inf, -inf};
  for (long r = 0; r < 9; ++r) {
    tr(r, 0) = 0.01 * r;
    tr(r, 1) = f0[r];
  }
  const double median = clean_f0(tr);
  const double cleaned[] = {150.0, 150.0, 120.0, 2000.0, 20.0, 150.0, 150.0, 150.0, 150.0};
  for (long r = 0; r < 9; ++r) {
    EXPECT_EQ(tr(r, 1), cleaned[r]) << r;
    EXPECT_EQ(tr(r, 0), 0.01 * r) << "times untouched";
  }
  EXPECT_EQ(median, 150.0);
}

TEST(RunProgram, ArgumentsArriveIntactAndStatusComesBack) {
  testsupport::ScratchDir dir;
  const std::string script = dir / "echo args.sh";
  {
    std::ofstream s(script);
    s << "#!/bin/sh\nfor a in \"$@\"; do printf '[%s]' \"$a\"; done > \"$1.out\"\nexit 3\n";
  }
  ASSERT_EQ(chmod(script.c_str(), 0755), 0);
  const std::string out = dir / "x; touch pwned";
  EXPECT_EQ(run_program({script, out, "a b", "$(id)", "*"}), 3);
  EXPECT_EQ(testsupport::slurp(out + ".out"), "[" + out + "][a b][$(id)][*]");
  EXPECT_FALSE(std::ifstream(dir / "pwned").good());

  EXPECT_EQ(run_program({dir / "missing-program"}), -1);
  EXPECT_EQ(run_program({"glotmark-no-such-program-on-path"}), -1);
  EXPECT_EQ(run_program({"sh", "-c", "kill -9 $$"}), 128 + 9);
  EXPECT_EQ(run_program({"true"}), 0);
}

}  // namespace
