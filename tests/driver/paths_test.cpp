// Splitting the input path and choosing the file that is analysed and the output directory.
#include <gtest/gtest.h>

#include <set>
#include <string>

#include "driver/resolve_input.h"

namespace {

TEST(SplitInput, Parts) {
  struct Case {
    std::string input, extension, file_name, base_name, dir_part;
  } const cases[] = {
      {"voice.wav", "wav", "voice.wav", "voice", ""},
      {"a/b.c/voice.take2.aiff", "aiff", "voice.take2.aiff", "voice.take2", "a/b.c/"},
      {"/abs/voice.wav", "wav", "voice.wav", "voice", "/abs/"},
      {"./voice.wav", "wav", "voice.wav", "voice", "./"},
      {"dir/.wav", "wav", ".wav", "", "dir/"},
      {"voice.", "", "voice.", "voice", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.input);
    const auto n = split_input(c.input);
    ASSERT_TRUE(n.has_value());
    EXPECT_EQ(n->extension, c.extension);
    EXPECT_EQ(n->file_name, c.file_name);
    EXPECT_EQ(n->base_name, c.base_name);
    EXPECT_EQ(n->dir_part, c.dir_part);
  }
}

TEST(SplitInput, FileNameWithoutDotIsRefused) {
  // Dots of directories do not make an extension ("../voice" would otherwise cut the base
  // name before its start).
  for (const char* input : {"voice", "../voice", "./dir.d/voice", "dir/", ""}) {
    SCOPED_TRACE(input);
    EXPECT_FALSE(split_input(input).has_value());
  }
}

TEST(ResolveInput, TriesInOrderAndOutputDirectoryOfEach) {
  struct Case {
    std::string input, sfdir;
    std::set<std::string> existing;
    std::string path, outdir;  // expected; empty path: none accepted
  } const cases[] = {
      // Absolute: as given, output beside it.
      {"/data/v.wav", "/sf", {"/data/v.wav", "/sf//data/v.wav"}, "/data/v.wav", "/data/PSOv/"},
      {"/data/v.wav", "/sf", {"./data/v.wav"}, "", ""},
      // Explicit relative: as given first.
      {"./v.wav", "/sf", {"./v.wav", "/sf/./v.wav"}, "./v.wav", "./PSOv/"},
      {"../d/v.wav", "", {"../d/v.wav"}, "../d/v.wav", "../d/PSOv/"},
      // Under SFDIR before the current directory; output under SFDIR.
      {"v.wav", "/sf", {"/sf/v.wav", "./v.wav"}, "/sf/v.wav", "/sf/PSOv/"},
      {"sub/v.wav", "/sf", {"/sf/sub/v.wav"}, "/sf/sub/v.wav", "/sf/sub/PSOv/"},
      // Not under SFDIR: the current directory.
      {"v.wav", "/sf", {"./v.wav"}, "./v.wav", "./PSOv/"},
      {"sub/v.wav", "/sf", {"./sub/v.wav"}, "./sub/v.wav", "./sub/PSOv/"},
      // SFDIR unset: never the root of the file system.
      {"v.wav", "", {"/v.wav", "./v.wav"}, "./v.wav", "./PSOv/"},
      {"v.wav", "", {"/v.wav"}, "", ""},
      {"v.wav", "/sf", {}, "", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.input + " SFDIR=" + c.sfdir);
    std::vector<std::string> tried;
    const auto r =
        resolve_input(c.input, *split_input(c.input), c.sfdir, [&](const std::string& p) {
          tried.push_back(p);
          return c.existing.count(p) > 0;
        });
    if (c.path.empty()) {
      EXPECT_FALSE(r.has_value());
      EXPECT_FALSE(tried.empty());
    } else {
      ASSERT_TRUE(r.has_value());
      EXPECT_EQ(r->path, c.path);
      EXPECT_EQ(r->outdir, c.outdir);
    }
    for (const auto& p : tried) EXPECT_NE(p, "/" + c.input) << "root-directory candidate";
  }
}

}  // namespace
