// The one-table option parser shared by the programs.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/option_table.h"

namespace {

struct Rec {
  std::string name;
  double rate = 0.0;
  int count = 0, loud = 0;
  unsigned name_given = 0, rate_given = 0, count_given = 0, loud_given = 0, help_given = 0;
};

const OptionRow<Rec> kRows[] = {
    {'n', "name", OptionKind::text, "", &Rec::name_given, nullptr, &Rec::name},
    {'r', "rate", OptionKind::real, "", &Rec::rate_given, nullptr, nullptr, &Rec::rate},
    {'c', "count", OptionKind::integer, "", &Rec::count_given, nullptr, nullptr, nullptr,
     &Rec::count},
    {0, "loud", OptionKind::flag, "", &Rec::loud_given, &Rec::loud},
    {'h', "help", OptionKind::help, "", &Rec::help_given},
};

struct Parsed {
  OptionParse how;
  Rec rec;
  std::vector<std::string> operands;
};

Parsed parse(std::vector<std::string> words) {
  words.insert(words.begin(), "prog");
  std::vector<char*> argv;
  for (auto& w : words) argv.push_back(w.data());
  argv.push_back(nullptr);
  Parsed p;
  const OptionParserSettings settings{"prog", "n:r:c:h", false};
  p.how = parse_option_table<Rec>(static_cast<int>(words.size()), argv.data(), kRows, settings,
                                  p.rec, p.operands);
  return p;
}

TEST(OptionTable, FillsTheRecordFromShortAndLongForms) {
  const Parsed p = parse({"-n", "x y", "--rate=2.5", "a.wav", "-c7", "--loud", "b"});
  ASSERT_EQ(p.how, OptionParse::ok);
  EXPECT_EQ(p.rec.name, "x y");
  EXPECT_EQ(p.rec.rate, 2.5);
  EXPECT_EQ(p.rec.count, 7);
  EXPECT_EQ(p.rec.loud, 1);
  EXPECT_EQ(p.rec.loud_given, 1u);
  EXPECT_EQ(p.operands, (std::vector<std::string>{"a.wav", "b"}));
  // A second parse in the same process starts afresh.
  const Parsed q = parse({"--loud"});
  EXPECT_EQ(q.how, OptionParse::ok);
  EXPECT_EQ(q.rec.rate_given, 0u);
}

TEST(OptionTable, EndsOnHelpRefusalsAndRepeats) {
  EXPECT_EQ(parse({"--rate=1", "-h", "--bogus"}).how, OptionParse::help);
  EXPECT_EQ(parse({"--bogus"}).how, OptionParse::refused);
  EXPECT_EQ(parse({"--rate"}).how, OptionParse::refused);  // missing argument
  testing::internal::CaptureStderr();
  EXPECT_EQ(parse({"-r1", "--rate=2"}).how, OptionParse::repeated);
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "prog: `--rate' (`-r') option given more than once\n");
}

}  // namespace
