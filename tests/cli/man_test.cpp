// Man pages: every page of man/ renders without a warning, carries the program's version (the one
// its --version prints) and names every option its program's --help lists.
#include <gtest/gtest.h>

#include <filesystem>
#include <regex>
#include <set>

#include "run_program.h"

namespace {

namespace fs = std::filesystem;

constexpr const char* kGroff = "/usr/bin/groff";

// The pages as the build prepared them (their .Os line set to the version).
std::vector<fs::path> built_pages() {
  std::vector<fs::path> pages;
  const fs::path dir = fs::path(GLOTMARK_BIN_DIR) / ".." / "man" / "man1";
  for (const auto& e : fs::directory_iterator(dir))
    if (e.path().extension() == ".1") pages.push_back(e.path());
  std::sort(pages.begin(), pages.end());
  return pages;
}

// Options of a --help text: the leading words of every line that starts with "-", up to the
// first word that is not an option ("-iSTRING" gives -i, "--input=STRING" gives --input).
std::set<std::string> help_options(const std::string& help) {
  std::set<std::string> out;
  std::istringstream lines(help);
  std::string line;
  const std::regex long_opt("^--[A-Za-z0-9][-A-Za-z0-9]*");
  while (std::getline(lines, line)) {
    std::istringstream words(line);
    std::string w;
    while (words >> w && w.size() >= 2 && w[0] == '-') {
      if (!w.empty() && w.back() == ',') w.pop_back();
      std::smatch m;
      if (std::regex_search(w, m, long_opt)) {
        out.insert(m.str());
      } else if (std::isalpha(static_cast<unsigned char>(w[1]))) {
        out.insert(w.substr(0, 2));
      } else {
        break;
      }
    }
  }
  return out;
}

// Rendered text with plain ASCII dashes and no wrapping or hyphenation.
std::string plain_text(const fs::path& page) {
  const auto r = testsupport::run(
      {kGroff, "-mandoc", "-Tutf8", "-rLL=2000n", "-rHY=0", "-P-cbou", page.string()});
  // UTF-8 hyphen, non-breaking hyphen, minus and en dash all become "-".
  static const std::regex dashes("\u2010|\u2011|\u2212|\u2013");
  const std::string s = std::regex_replace(r.out, dashes, "-");
  return s;
}

bool names_option(const std::string& text, const std::string& opt) {
  // Preceded by a blank, "[", "(" or "|", and for a long option not followed by more of a name.
  std::string pattern = "(^|[\\s\\[(|,])" + std::regex_replace(opt, std::regex("-"), "\\-");
  if (opt.rfind("--", 0) == 0) pattern += "($|[^-A-Za-z0-9])";
  return std::regex_search(text, std::regex(pattern));
}

TEST(ManPages, RenderCleanlyCarryTheVersionAndNameEveryOption) {
  if (!fs::exists(kGroff)) GTEST_SKIP() << "groff is not installed (Debian: groff-base)";
  const std::vector<fs::path> pages = built_pages();
  ASSERT_FALSE(pages.empty());
  for (const fs::path& page : pages) {
    const std::string program = page.stem().string();
    const auto r = testsupport::run({kGroff, "-mandoc", "-ww", "-Tutf8", page.string()});
    EXPECT_EQ(r.status, 0) << page;
    EXPECT_EQ(r.err, "") << page << " renders with warnings";
    const std::string text = plain_text(page);
    EXPECT_NE(text.find("glotmark " GLOTMARK_VERSION), std::string::npos)
        << page << " does not carry the version " GLOTMARK_VERSION;

    const std::string bin = testsupport::bin(program);
    ASSERT_TRUE(fs::exists(bin)) << page << " is the page of no built program";
    const auto help = testsupport::run({bin, "--help"});
    const std::set<std::string> options = help_options(help.out + help.err);
    EXPECT_GE(options.size(), 2u) << program << " --help lists no options";
    for (const std::string& opt : options)
      EXPECT_TRUE(names_option(text, opt)) << page.filename() << " does not name " << opt;
    // And the version the page carries is the one the program says.
    const auto version = testsupport::run({bin, "--version"});
    EXPECT_EQ(version.status, 0) << program << ": " << version.err;
    EXPECT_EQ(version.out, program + " " GLOTMARK_VERSION "\n") << program;
  }
}

TEST(ManPages, HelpOptionsAreReadFromTheOptionColumn) {
  const std::string help =
      "Usage: x [OPTIONS]\n"
      "   -iSTRING   --input=STRING   Input file\n"
      "  -o, --output=FILE    figure to write\n"
      "  -S<path>        sound file\n"
      "  --matrix SIG      table of the SIG matrices -not-an-option\n"
      "  -0.5 is a number\n"
      "Exit status: 0\n";
  const std::set<std::string> expected = {"-i", "--input", "-o", "--output", "-S", "--matrix"};
  EXPECT_EQ(help_options(help), expected);
  EXPECT_TRUE(names_option("  -i file, --input=file", "--input"));
  EXPECT_FALSE(names_option("  --input-file", "--input"));
  EXPECT_FALSE(names_option("cut-off", "-o"));
}

}  // namespace
