// Where glotmark finds its directory script and harmex: beside the invoked path first, then
// beside its own executable (this test program's, in the build's bin directory).
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>

#include "driver/helper_path.h"
#include "run_program.h"

namespace {

namespace fs = std::filesystem;

void make_file(const fs::path& p, bool executable) {
  std::ofstream(p) << "#!/bin/sh\n";
  chmod(p.c_str(), executable ? 0755 : 0644);
}

TEST(HelperPath, InvokedDirectoryFirstThenTheExecutablesOwn) {
  testsupport::ScratchDir dir;
  const std::string invoked = dir / "";
  make_file(dir / "glotmark_create_dir.sh", true);
  make_file(dir / "harmex", false);  // not executable: does not count
  fs::create_directory(dir / "sub.sh");
  const std::string beside_self = std::string(GLOTMARK_BIN_DIR) + "/";

  EXPECT_EQ(helper_path(invoked, "glotmark_create_dir.sh"), invoked + "glotmark_create_dir.sh");
  const auto harmex = helper_path(invoked, "harmex");
  ASSERT_TRUE(harmex.has_value());
  EXPECT_EQ(fs::canonical(*harmex), fs::canonical(beside_self + "harmex"));
  const auto script = helper_path("", "glotmark_create_dir.sh");  // invoked through PATH
  ASSERT_TRUE(script.has_value());
  EXPECT_EQ(fs::canonical(*script), fs::canonical(beside_self + "glotmark_create_dir.sh"));
  EXPECT_FALSE(helper_path(invoked, "sub.sh").has_value());  // a directory is no program
  EXPECT_FALSE(helper_path(invoked, "no-such-helper").has_value());
}

}  // namespace
