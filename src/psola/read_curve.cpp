#include "psola/read_curve.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>

namespace {

// Parses a number that fills the whole word; false when it does not.
bool parse_number(const std::string& word, double& v) {
  if (word.empty()) return false;
  char* end = nullptr;
  errno = 0;
  v = std::strtod(word.c_str(), &end);
  return end == word.c_str() + word.size() && errno != ERANGE;
}

}  // namespace

Curve read_curve(const std::string& path, double lo, double hi) {
  std::ifstream in(path);
  if (!in) throw PsolaError(path + ": cannot be read: " + std::strerror(errno));
  Curve c;
  std::string line;
  for (long number = 1; std::getline(in, line); ++number) {
    auto fail = [&](const std::string& why) {
      throw PsolaError(path + ":" + std::to_string(number) + ": " + why);
    };
    std::istringstream words(line);
    std::string a, b, extra;
    if (!(words >> a) || a[0] == '#') continue;
    if (!(words >> b)) fail("expected two numbers \"time value\", found one");
    if (words >> extra && extra[0] != '#') fail("more than two numbers on the line");
    double t = 0.0, v = 0.0;
    if (!parse_number(a, t) || !std::isfinite(t)) fail("'" + a + "' is not a time in seconds");
    if (!parse_number(b, v) || !std::isfinite(v)) fail("'" + b + "' is not a number");
    if (t < 0.0) fail("negative time " + a);
    if (!c.empty() && !(t > c.back().first)) fail("time " + a + " is not after the line before");
    if (v < lo || v > hi) {
      std::ostringstream s;
      s << "value " << b << " lies outside [" << lo << ", " << hi << "]";
      fail(s.str());
    }
    c.emplace_back(t, v);
  }
  if (in.bad()) throw PsolaError(path + ": read error");
  if (c.empty()) throw PsolaError(path + ": no break point in the file");
  return c;
}

Curve checked_curve(const Curve& points, const std::string& what, double lo, double hi) {
  if (points.empty()) throw PsolaError(what + ": no break point");
  for (std::size_t i = 0; i < points.size(); ++i) {
    const auto [t, v] = points[i];
    auto fail = [&](const std::string& why) {
      throw PsolaError(what + ": point " + std::to_string(i + 1) + ": " + why);
    };
    if (!std::isfinite(t) || !std::isfinite(v)) fail("a number is not finite");
    if (t < 0.0) fail("negative time");
    if (i > 0 && !(t > points[i - 1].first)) fail("time is not after the point before");
    if (v < lo || v > hi) {
      std::ostringstream s;
      s << "value " << v << " lies outside [" << lo << ", " << hi << "]";
      fail(s.str());
    }
  }
  return points;
}
