// Whether an earlier file's header lets the current run reuse it.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "driver/check_cmdline.h"
#include "driver/reuse.h"

namespace {

// The record of a checked command line.
gengetopt_args_info args_of(std::vector<std::string> words) {
  words.insert(words.begin(), {"glotmark", "-i", "a.wav"});
  std::vector<char*> argv;
  for (auto& w : words) argv.push_back(w.data());
  gengetopt_args_info args;
  EXPECT_EQ(cmdline_parser(static_cast<int>(argv.size()), argv.data(), &args), 0);
  CheckedOptions opts;
  std::ostringstream sink;
  EXPECT_EQ(check_cmdline(args, opts, sink), 0);
  return args;
}

// A header as a default run ("-M", no -I) writes it, with changes.
StoredHeader header(std::vector<std::pair<std::string, std::string>> changes = {}) {
  StoredHeader h = {
      {"External_f0", "No"},          {"f0_fmin", "50.000000"},       {"f0_fmax", "1000.000000"},
      {"MethodEpocs", "ener"},        {"LpcOrder", "None"},           {"Force_fcmax", "No"},
      {"VoiceThreshold", "0.600000"}, {"TransThreshold", "0.200000"}, {"MarkAlpha", "4.000000"},
      {"MarkBeta", "0.050000"},       {"MarkGamma", "5.000000"},      {"SegmentType", "Voiced"}};
  for (const auto& [key, value] : changes) {
    bool found = false;
    for (auto& [k, v] : h)
      if (k == key) {
        v = value;
        found = true;
      }
    if (!found) h.emplace_back(key, value);
  }
  return h;
}

StoredHeader without(const std::string& key) {
  StoredHeader h = header();
  std::erase_if(h, [&](const auto& kv) { return kv.first == key; });
  return h;
}

TEST(Reuse, GateAndKeys) {
  struct Case {
    std::vector<std::string> words;  // the current run
    StoredHeader stored;
    ReuseKeys keys;
    bool recompute;
    const char* why;
  } const cases[] = {
      {{"-M"}, header(), kReuseMarks, false, "same parameters"},
      {{"-M"}, header(), kReuseVoiced, false, "same parameters, segment kind"},
      {{"-M"}, header(), kReuseUnvoiced, true, "other segment kind"},
      // The External_f0 gate.
      {{"-I", "f.sdif", "-M"}, header(), kReuseEpochs, true, "-I without --force"},
      {{"-I", "f.sdif", "--force", "-M"},
       header({{"f0_fmin", "None"}, {"f0_fmax", "None"}}),
       kReuseEpochs,
       false,
       "-I with --force: f0 keys not compared"},
      {{"-I", "f.sdif", "--force", "-M", "-e", "frob"},
       header(),
       kReuseEpochs,
       true,
       "-I with --force still compares the method"},
      {{"-M"}, header({{"External_f0", "Yes"}}), kReuseEpochs, true, "stored from an -I run"},
      {{"-M", "-f", "80"},
       header({{"External_f0", "maybe"}}),
       kReuseEpochs,
       false,
       "unknown External_f0: kept without comparing"},
      {{"-M", "-f", "80"},
       without("External_f0"),
       kReuseEpochs,
       false,
       "missing External_f0: kept without comparing"},
      // f0 keys.
      {{"-M", "-f", "80"}, header(), kReuseEpochs, true, "fmin changed"},
      {{"-M", "-F", "900"}, header(), kReuseEpochs, true, "fmax changed"},
      {{"-M", "-f", "50.0000001"}, header(), kReuseEpochs, false, "equal as %f text"},
      // Method and order.
      {{"-M", "-o", "12"}, header(), kReuseEpochs, true, "order given: frob against ener"},
      {{"-M", "-e", "frob"},
       header({{"MethodEpocs", "frob"}, {"LpcOrder", "10"}}),
       kReuseEpochs,
       false,
       "frob without -o compares with 10"},
      {{"-M", "-e", "frob", "-o", "12"},
       header({{"MethodEpocs", "frob"}, {"LpcOrder", "10"}}),
       kReuseEpochs,
       true,
       "other LPC order"},
      {{"-M", "-e", "realloc", "-o", "12"},
       header({{"MethodEpocs", "realloc"}}),
       kReuseEpochs,
       false,
       "order ignored for realloc"},
      // Force_fcmax: only the opposite text counts.
      {{"-M", "--forcefc"}, header(), kReuseVoiced, true, "--forcefc now, stored No"},
      {{"-M"}, header({{"Force_fcmax", "Yes"}}), kReuseMarks, true, "stored Yes"},
      {{"-M"}, without("Force_fcmax"), kReuseMarks, false, "missing Force_fcmax"},
      {{"-M", "--forcefc"}, header(), kReuseVoicing, false, "voicing files ignore it"},
      // Thresholds and mark parameters, only where compared.
      {{"-M", "-v", "0.5"}, header(), kReuseVoiced, true, "voice threshold for step 5"},
      {{"-M", "-v", "0.5"},
       header({{"SegmentType", "Transient"}}),
       kReuseTransientZones,
       false,
       "voice threshold not for step 6"},
      {{"-M", "-t", "0.3"},
       header({{"SegmentType", "Transient"}}),
       kReuseTransientZones,
       true,
       "transient threshold for step 6"},
      {{"-M", "-t", "0.3"}, header(), kReuseEpochs, false, "no later-step key for step 2"},
      {{"-M", "-a", "3"}, header(), kReuseMarks, true, "alpha"},
      {{"-M", "-b", "0.1", "-g", "5"}, header(), kReuseMarks, true, "beta"},
      {{"-M", "-g", "6"}, header(), kReuseMarks, true, "gamma"},
      {{"-M", "-b", "0.1"},
       header({{"MarkBeta", "0.100000"}, {"MarkGamma", "10.000000"}}),
       kReuseMarks,
       false,
       "gamma follows beta"},
      {{"-M"}, without("MarkGamma"), kReuseMarks, true, "missing numeric key"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.why);
    EXPECT_EQ(header_differs(c.stored, args_of(c.words), c.keys), c.recompute);
  }
}

}  // namespace
