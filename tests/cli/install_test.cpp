// Installation into a prefix: the programs, the directory script, harmex and the man pages land
// in their places, and the installed glotmark finds its helpers whether it is run by its path,
// through a symlink elsewhere or through PATH.
#include <gtest/gtest.h>

#include <filesystem>

#include "run_program.h"

namespace {

namespace fs = std::filesystem;

TEST(Install, InstalledGlotmarkRunsByPathSymlinkAndPath) {
  testsupport::ScratchDir dir;
  const std::string prefix = dir / "prefix";
  const auto inst = testsupport::run(
      {GLOTMARK_CMAKE_COMMAND, "--install", GLOTMARK_BUILD_DIR, "--prefix", prefix});
  ASSERT_EQ(inst.status, 0) << inst.out << inst.err;
  for (const char* file : {"bin/glotmark", "bin/harmex", "bin/glotmark-dump", "bin/glotmark-plot",
                           "libexec/glotmark/glotmark_create_dir.sh", "share/man/man1/glotmark.1"})
    EXPECT_TRUE(fs::exists(fs::path(prefix) / file)) << file;
  EXPECT_FALSE(fs::exists(fs::path(prefix) / "bin/glotmark_create_dir.sh"));
  EXPECT_NE(testsupport::slurp(fs::path(prefix) / "share/man/man1/glotmark.1")
                .find("\n.Os glotmark " GLOTMARK_VERSION "\n"),
            std::string::npos);

  const auto g = testsupport::run({testsupport::bin("glotsynth"), "--sr=16000", "--seed=2",
                                   "--segments=v:0.3:120,u:0.1,v:0.2:140", dir / "s.wav"});
  ASSERT_EQ(g.status, 0) << g.err;
  fs::create_directories(dir / "links");
  fs::create_symlink(fs::path(prefix) / "bin/glotmark", dir / "links/gm");
  fs::create_directories(dir / "copy");
  fs::copy_file(fs::path(prefix) / "bin/glotmark", dir / "copy/glotmark");

  struct Case {
    std::vector<std::string> argv;
    std::vector<std::string> env;
    const char* how;
  };
  // Through PATH, argv[0] holds no directory: nothing is beside "the path it was invoked by".
  // PATH holds no harmex: the installed one must be found beside the resolved executable.
  const Case cases[] = {
      {{prefix + "/bin/glotmark", "-i", "s.wav", "-M"}, {}, "by its path"},
      {{dir / "links/gm", "-i", "s.wav", "-M"}, {}, "through a symlink"},
      {{"/bin/sh", "-c", "exec glotmark -i s.wav -M"},
       {"PATH=" + prefix + "/bin:/usr/bin:/bin"},
       "through PATH"},
      {{dir / "copy/glotmark", "-i", "s.wav", "-M"},
       {"PATH=/usr/bin:" + prefix + "/bin:/bin"},
       "a plain copy, with the installation on PATH"},
  };
  for (const Case& c : cases) {
    fs::remove_all(dir / "PSOs");
    const auto r = testsupport::run(c.argv, dir.path().string(), c.env);
    EXPECT_EQ(r.status, 0) << c.how << ": " << r.out << r.err;
    EXPECT_TRUE(fs::exists(dir / "PSOs/s.1MRK.sdif")) << c.how;
    EXPECT_TRUE(fs::exists(dir / "PSOs/s.1FQ0.sdif")) << c.how;
  }
  const auto v = testsupport::run({prefix + "/bin/glotmark", "--version"});
  EXPECT_EQ(v.out, "glotmark " GLOTMARK_VERSION "\n");

  // The Python module, where it was built: installed beside the programs, it runs theirs.
  const fs::path module_dir = fs::path(prefix) / "lib/python3/dist-packages";
  if (!fs::exists(module_dir)) GTEST_SKIP() << "the Python module is not built here";
  fs::remove_all(dir / "PSOs");
  const auto py = testsupport::run(
      {"/usr/bin/python3", "-c", "import glotmark; print(glotmark.analyse('s.wav', '-M'))"},
      dir.path().string(), {"PYTHONPATH=" + module_dir.string(), "PYTHONDONTWRITEBYTECODE=1"});
  EXPECT_EQ(py.status, 0) << py.out << py.err;
  EXPECT_TRUE(fs::exists(dir / "PSOs/s.1MRK.sdif"));
  EXPECT_NE(testsupport::slurp(dir / "PSOs/history").find(prefix + "/bin/glotmark -i s.wav -M"),
            std::string::npos)
      << testsupport::slurp(dir / "PSOs/history");
}

}  // namespace
