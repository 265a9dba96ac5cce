// Import of the f0 program's result: the program runs without a shell, its 1FQ0 frames are
// copied behind the analysis header, and each failure gives its return code or message.
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "sdif/f0tosdif.h"
#include "sdif/sdif_signatures.h"
#include "sdif_test_util.h"

namespace {

class F0tosdif : public testing::Test {
 protected:
  // Writes a stand-in f0 program: it records its arguments one per line in args.txt, then runs
  // body with $last set to its last argument (where the result goes).
  std::string stand_in(const std::string& body) {
    const std::string path = dir_ / "fake-f0.sh";
    std::ofstream(path) << "#!/bin/sh\nprintf '%s\\n' \"$@\" > '" << (dir_ / "args.txt")
                        << "'\nfor a; do last=$a; done\n"
                        << body << "\n";
    ::chmod(path.c_str(), 0755);
    return path;
  }

  // A result as the f0 program writes it, with frames that must and must not be copied.
  std::string prepared() {
    const std::string path = dir_ / "prepared.sdif";
    SDIFNameValueTable t;
    t.AddNameValue("Program", "stand-in");
    SDIFEntity e;
    e.AddNVT(t);
    EXPECT_TRUE(e.OpenWrite(path));
    SDIFFrame f;
    f.SetHeader(k1FQ0, 0, 0.0);
    SDIFMatrix m(k1FQ0, 1, 1);
    m.Set(0, 0, 101.5);
    f.AddMatrix(m);
    f.Write(e);
    SDIFFrame other;
    other.SetHeader(SdifStringToSignature("XOTH"), 0, 0.005);
    other.AddMatrix(SDIFMatrix(k1FQ0, 1, 1));
    other.Write(e);
    f.ClearData();
    f.SetHeader(k1FQ0, 2, 0.005);
    SDIFMatrix wide(k1FQ0, 1, 4, eFloat8);  // frequency, confidence, score, amplitude
    for (int c = 0; c < 4; ++c) wide.Set(0, c, 200.25 + c);
    f.AddMatrix(wide);
    f.AddMatrix(SDIFMatrix(SdifStringToSignature("XEXT"), 1, 1));  // not a 1FQ0 matrix
    f.Write(e);
    e.Close();
    return path;
  }

  std::vector<std::string> args_received() {
    std::ifstream in(dir_ / "args.txt");
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
  }

  testsupport::ScratchDir dir_;
  const gengetopt_args_info args_ = sdiftest::default_args();
};

TEST_F(F0tosdif, CopiesThe1FQ0FramesBehindTheHeader) {
  const std::string src = prepared();
  const std::string out = dir_ / "voice.1FQ0.sdif";
  // A sound path that a shell would have split and run.
  const std::string sound = dir_ / "my voice; touch pwned $(touch pwned2).wav";
  const std::string result = f0_result_file(out);
  const std::vector<std::string> argv = {
      stand_in("cp '" + src + "' \"$last\"; echo \"$GLOTMARK_PARENT_PID\" > '" + (dir_ / "parent") +
               "'"),
      "-Af0", sound, result};
  ASSERT_TRUE(f0tosdif(argv, result, out, args_).ok());

  EXPECT_EQ(args_received(), (std::vector<std::string>{"-Af0", sound, result}));
  EXPECT_FALSE(std::filesystem::exists(dir_ / "pwned"));
  EXPECT_FALSE(std::filesystem::exists(dir_ / "pwned2"));
  EXPECT_FALSE(std::filesystem::exists(result)) << "temporary file removed";
  // The program is told whose child it is, to end with it.
  EXPECT_EQ(std::stol(testsupport::slurp(dir_ / "parent")), static_cast<long>(::getpid()));

  const sdiftest::File f = sdiftest::read_file(out);
  ASSERT_EQ(f.tables.size(), 2u);
  EXPECT_EQ(f.tables[0].GetValue("Program"), "Glotmark");
  EXPECT_EQ(f.tables[1].GetNbData(), 10u);
  EXPECT_FALSE(f.tables[1].HasName("Force_fcmax"));
  EXPECT_TRUE(f.types.empty());
  ASSERT_EQ(f.frames.size(), 2u);
  EXPECT_EQ(f.frames[0].sig, "1FQ0");
  EXPECT_EQ(f.frames[0].time, 0.0);
  ASSERT_EQ(f.frames[0].matrices.size(), 1u);
  EXPECT_EQ(f.frames[0].matrices[0].values, std::vector<double>{101.5});
  EXPECT_EQ(f.frames[1].time, 0.005);
  EXPECT_EQ(f.frames[1].stream, 2u);
  ASSERT_EQ(f.frames[1].matrices.size(), 1u);
  EXPECT_EQ(f.frames[1].matrices[0].type, eFloat8);
  EXPECT_EQ(f.frames[1].matrices[0].values, (std::vector<double>{200.25, 201.25, 202.25, 203.25}));
}

TEST_F(F0tosdif, ResultWithout1FQ0FramesIsRefusedBeforeWriting) {
  const std::string out = dir_ / "v.1FQ0.sdif";
  const std::string result = out + ".tmp";
  SDIFEntity e;
  ASSERT_TRUE(e.OpenWrite(dir_ / "empty.sdif"));
  e.Close();
  const Status made = f0tosdif({stand_in("cp '" + (dir_ / "empty.sdif") + "' \"$last\""), result},
                               result, out, args_);
  ASSERT_FALSE(made.ok());
  EXPECT_EQ(
      made.error().text,
      "\n *** Error *** \n -> size of f0 data null ! \n *** Exiting from the program ***\n\n");
  // Nothing a later run could read back and refuse again.
  EXPECT_FALSE(std::filesystem::exists(out));
  EXPECT_FALSE(std::filesystem::exists(result));
}

TEST_F(F0tosdif, EachResultFileIsNewAndOwn) {
  const std::string out = dir_ / "v.1FQ0.sdif";
  const std::string a = f0_result_file(out), b = f0_result_file(out);
  ASSERT_NE(a, b);
  for (const std::string& r : {a, b}) {
    EXPECT_EQ(r.rfind(out + ".tmp-", 0), 0u) << r;
    EXPECT_TRUE(std::filesystem::is_regular_file(r));
  }
  EXPECT_EQ(f0_result_file(dir_ / "no-such-folder/v.1FQ0.sdif"), "");
}

TEST_F(F0tosdif, ProgramFailuresAreABadExecution) {
  const std::string out = dir_ / "v.1FQ0.sdif";
  const std::vector<std::vector<std::string>> failing = {
      {stand_in("cp '" + prepared() + "' \"$last\"; exit 3"), out + ".tmp"},
      {stand_in("kill -9 $$"), out + ".tmp"},
      {(dir_ / "no-such-program"), out + ".tmp"},
      {},
  };
  for (const auto& argv : failing) {
    SCOPED_TRACE(argv.empty() ? "empty" : argv[0]);
    const Status made = f0tosdif(argv, out + ".tmp", out, args_);
    ASSERT_FALSE(made.ok());
    EXPECT_EQ(made.error().status, 1);
    EXPECT_EQ(made.error().text,
              "\n *** Error ***\n -> bad execution of harmex \n *** Exiting program ***\n\n");
    EXPECT_FALSE(std::filesystem::exists(out));
    EXPECT_FALSE(std::filesystem::exists(out + ".tmp"));
  }
}

TEST_F(F0tosdif, ProgramThatWritesNothingFails) {
  const std::string out = dir_ / "v.1FQ0.sdif";
  const std::string result = f0_result_file(out);  // made empty for the program
  const Status made = f0tosdif({stand_in("exit 0"), result}, result, out, args_);
  ASSERT_FALSE(made.ok());
  EXPECT_EQ(made.error().text,
            " *** Error : f0tosdif *** \n -> problems while openning sdif file : " + result +
                "\n *** Exiting program ***\n\n");
  EXPECT_FALSE(std::filesystem::exists(out));
  EXPECT_FALSE(std::filesystem::exists(result));
}

TEST_F(F0tosdif, UncreatableOutputFails) {
  const std::string out = dir_ / "taken";
  std::filesystem::create_directory(out);
  const std::string src = prepared();
  const Status made =
      f0tosdif({stand_in("cp '" + src + "' \"$last\""), out + ".tmp"}, out + ".tmp", out, args_);
  ASSERT_FALSE(made.ok());
  EXPECT_EQ(made.error().text,
            " *** Error : f0tosdif *** \n -> problems while creating sdif file : " + out +
                " *** Exiting program ***\n\n");
}

TEST_F(F0tosdif, MalformedResultFailsAndLeavesNothing) {
  const std::string out = dir_ / "v.1FQ0.sdif";
  // A file header then half a frame.
  const Status made =
      f0tosdif({stand_in("printf 'SDIF\\000\\000\\000\\010\\000\\000\\000\\003\\000\\000\\000"
                         "\\0011FQ0' > \"$last\""),
                out + ".tmp"},
               out + ".tmp", out, args_);
  ASSERT_FALSE(made.ok());
  EXPECT_EQ(made.error().status, 1);
  EXPECT_EQ(
      made.error().text,
      " *** Error : f0tosdif *** \n -> Catch other SDIFException\n *** Exiting program ***\n");
  const std::string& o_err = made.error().diagnostics;
  EXPECT_EQ(o_err.rfind("Exception: " + out + ".tmp: at byte 16: the file is truncated", 0), 0u)
      << o_err;
  EXPECT_FALSE(std::filesystem::exists(out + ".tmp"));
  EXPECT_FALSE(std::filesystem::exists(out));
  for (const auto& p : std::filesystem::directory_iterator(dir_.path())) {
    EXPECT_EQ(p.path().string().find(".part-"), std::string::npos) << p.path();
  }
}

}  // namespace
