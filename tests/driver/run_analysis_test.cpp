// The analysis as a library call: runs in-process, returns its failures, never ends the process.
#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "driver/run_analysis.h"
#include "lumbra/lumbra.h"
#include "run_program.h"

namespace {

namespace fs = std::filesystem;

class InProcess : public testing::Test {
 protected:
  void SetUp() override {
    LumbraInit("");
    fs::copy_file(testsupport::source("examples/voice.wav"), dir_ / "voice.wav");
  }
  void TearDown() override { LumbraEnd(); }

  // The request of `glotmark -i <scratch>/voice.wav words...`, run from the build's bin.
  Expected<AnalysisRequest> request(std::vector<std::string> words, std::ostream& out) {
    words.insert(words.begin(), {testsupport::bin("glotmark"), "-i", dir_ / "voice.wav"});
    std::vector<char*> argv;
    for (auto& w : words) argv.push_back(w.data());
    return analysis_request(static_cast<int>(argv.size()), argv.data(), out);
  }

  testsupport::ScratchDir dir_;
};

TEST_F(InProcess, RunsTwiceAndHandsBackTheResults) {
  std::ostringstream out;
  const auto first = request({"-M"}, out);
  ASSERT_TRUE(first.ok());
  const AnalysisOutcome made = run_analysis(*first);
  ASSERT_FALSE(made.failure) << made.failure->text;
  EXPECT_TRUE(made.history_due);
  EXPECT_EQ(made.results.last_step, kStepMarks);
  EXPECT_TRUE(made.results.epochs.computed);
  EXPECT_GT(made.results.marks.marks.nrows(), 10);
  EXPECT_EQ(made.results.sr, 44100.0);
  EXPECT_TRUE(fs::exists(made.results.files.mrk));

  // The same run again in the same process: the steps before the marks are read back.
  const AnalysisOutcome again = run_analysis(*first);
  ASSERT_FALSE(again.failure);
  EXPECT_FALSE(again.results.epochs.computed);
  EXPECT_FALSE(again.results.zones.transient_computed);
  EXPECT_TRUE(again.results.marks.computed);
  EXPECT_EQ(again.results.marks.marks.nrows(), made.results.marks.marks.nrows());
  EXPECT_EQ(finish_analysis(*first, again), 0);
  EXPECT_TRUE(fs::exists(dir_ / "PSOvoice/history"));
}

TEST_F(InProcess, FailuresComeBackWithTheirTextAndStatus) {
  std::ostringstream out;
  const auto refused = request({"-T", "-v", "2"}, out);
  ASSERT_FALSE(refused.ok());
  EXPECT_EQ(out.str(), "\n *** Voice treshold error. Must be betwen ]0,1[.\n\n");

  const auto missing = request({"-E", "-I", dir_ / "nothing.sdif"}, out);
  ASSERT_TRUE(missing.ok());
  const AnalysisOutcome no_f0 = run_analysis(*missing);
  ASSERT_TRUE(no_f0.failure);
  EXPECT_EQ(no_f0.failure->status, 1);
  EXPECT_NE(no_f0.failure->text.find("doesn't exist or is not a sdif file"), std::string::npos);
  EXPECT_FALSE(no_f0.history_due);  // before the output directory: no record
  EXPECT_FALSE(fs::exists(dir_ / "PSOvoice"));

  // A damaged step file that passes the reuse test: the reader's failure, with the record due.
  const auto epochs = request({"-E"}, out);
  ASSERT_TRUE(epochs.ok());
  ASSERT_FALSE(run_analysis(*epochs).failure);
  const auto marks = request({"-M"}, out);
  ASSERT_TRUE(marks.ok());
  ASSERT_FALSE(run_analysis(*marks).failure);
  {
    // The zone file's own header, then a zone that begins and never ends.
    const std::string voi = dir_ / "PSOvoice/voice.1VOI.sdif";
    SDIFEntity in;
    ASSERT_TRUE(in.OpenRead(voi));
    SDIFEntity out_file;
    for (std::size_t i = 0; i < in.GetNbNVT(); ++i) out_file.AddNVT(in.GetNVT(i));
    in.Close();
    ASSERT_TRUE(out_file.OpenWrite(voi));
    SDIFFrame f;
    f.SetHeader(SdifStringToSignature("1MRK"), 0, 0.1);
    SDIFMatrix begin(SdifStringToSignature("1BEG"), 1, 1);
    begin.Set(0, 0, 0.0);
    f.AddMatrix(begin);
    f.Write(out_file);
    out_file.Close();
  }
  const AnalysisOutcome broken = run_analysis(*marks);
  ASSERT_TRUE(broken.failure);
  EXPECT_TRUE(broken.history_due);
  EXPECT_NE(broken.failure->text.find("No 1MRK/1END following a 1MRK/1BEG"), std::string::npos);
  testing::internal::CaptureStdout();
  EXPECT_EQ(finish_analysis(*marks, broken), 1);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), broken.failure->text);
}

}  // namespace
