#include "convert/praat_text.h"

#include <cmath>
#include <fstream>
#include <limits>
#include <sstream>

#include "convert/convert_error.h"
#include "convert/text_number.h"

namespace {

std::string slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw ConvertError("cannot open " + path);
  std::ostringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

// Praat writes UTF-16 when a text holds characters beyond ASCII; the numbers and labels we read
// are ASCII, so the code units below 128 are kept and the others become '?'.
std::string from_utf16(const std::string& bytes) {
  const bool big = static_cast<unsigned char>(bytes[0]) == 0xFE;
  std::string out;
  for (std::size_t i = 2; i + 1 < bytes.size(); i += 2) {
    const unsigned hi = static_cast<unsigned char>(bytes[big ? i : i + 1]);
    const unsigned lo = static_cast<unsigned char>(bytes[big ? i + 1 : i]);
    const unsigned unit = hi << 8 | lo;
    out += unit < 128 ? static_cast<char>(unit) : '?';
  }
  return out;
}

std::string trim(const std::string& s) {
  const auto b = s.find_first_not_of(" \t\r");
  if (b == std::string::npos) return {};
  return s.substr(b, s.find_last_not_of(" \t\r") - b + 1);
}

// The value part of a line: after the last '=' outside quotes.
std::string value_part(const std::string& line) {
  bool quoted = false;
  std::size_t eq = std::string::npos;
  for (std::size_t i = 0; i < line.size(); ++i) {
    if (line[i] == '"') quoted = !quoted;
    if (!quoted && line[i] == '=') eq = i;
  }
  return eq == std::string::npos ? line : line.substr(eq + 1);
}

struct Reader {
  PraatText text;
  std::vector<std::string> strings;  // quoted strings, in order

  [[noreturn]] void fail(int line, const std::string& what) const {
    throw ConvertError(text.path + ":" + std::to_string(line) + ": " + what);
  }

  void token(const std::string& tok, int line) {
    if (tok == "<exists>" || tok == "<absent>") return;
    if (tok == "--undefined--") {
      text.numbers.push_back(std::numeric_limits<double>::quiet_NaN());
      text.lines.push_back(line);
      return;
    }
    const char c = tok[0];
    if (std::isalpha(static_cast<unsigned char>(c)) || c == '[' || c == ']') return;  // a label
    char* end = nullptr;
    const double v = std::strtod(tok.c_str(), &end);
    if (end == tok.c_str() || *end != '\0') fail(line, "cannot read \"" + tok + "\" as a number");
    text.numbers.push_back(v);
    text.lines.push_back(line);
  }

  void parse_line(const std::string& raw, int line) {
    std::string s = trim(raw);
    if (s.empty() || s[0] == '!') return;
    if (s.back() == ':' && s.find('=') == std::string::npos) return;  // "points [1]:"
    s = trim(value_part(s));
    std::size_t i = 0;
    while (i < s.size()) {
      if (s[i] == ' ' || s[i] == '\t') {
        ++i;
      } else if (s[i] == '"') {
        std::string str;
        for (++i; i < s.size(); ++i) {
          if (s[i] == '"' && i + 1 < s.size() && s[i + 1] == '"') {
            str += '"';
            ++i;
          } else if (s[i] == '"') {
            break;
          } else {
            str += s[i];
          }
        }
        ++i;
        strings.push_back(str);
      } else if (s[i] == '!') {
        break;  // comment to the end of the line
      } else {
        const auto e = s.find_first_of(" \t", i);
        token(s.substr(i, e == std::string::npos ? std::string::npos : e - i), line);
        i = e == std::string::npos ? s.size() : e;
      }
    }
  }
};

// Numbers of a Praat text, with a check that enough remain.
struct Cursor {
  const PraatText& text;
  std::size_t i = 0;
  double next(const char* what) {
    if (i >= text.numbers.size()) {
      const int line = text.lines.empty() ? 1 : text.lines.back();
      throw ConvertError(text.path + ":" + std::to_string(line) + ": the file ends before " + what);
    }
    return text.numbers[i++];
  }
  int line() const { return text.lines[i == 0 ? 0 : i - 1]; }
  long count(const char* what, long max) {
    const double v = next(what);
    if (!(v >= 0) || v != std::floor(v) || v > static_cast<double>(max)) {
      throw ConvertError(text.path + ":" + std::to_string(line()) + ": " + what +
                         " is not a count: " + shortest(v));
    }
    return static_cast<long>(v);
  }
};

void header(std::ostream& out, const char* cls, const Domain& d) {
  out << "File type = \"ooTextFile\"\nObject class = \"" << cls
      << "\"\n\nxmin = " << shortest(d.xmin) << " \nxmax = " << shortest(d.xmax) << " \n";
}

std::string quoted(const std::string& s) {
  std::string out = "\"";
  for (const char c : s) out += c == '"' ? std::string("\"\"") : std::string(1, c);
  return out + "\"";
}

void interval_tier(std::ostream& out, const Domain& d, const IntervalTier& tier) {
  struct Iv {
    double a, b;
    bool zone;
  };
  std::vector<Iv> ivs;
  double cursor = d.xmin;
  for (const Zone& z : tier.zones) {
    const double a = std::max(z.begin, cursor), b = std::min(z.end, d.xmax);
    if (!(b > a)) continue;
    if (a > cursor) ivs.push_back({cursor, a, false});
    ivs.push_back({a, b, true});
    cursor = b;
  }
  if (d.xmax > cursor || ivs.empty()) ivs.push_back({cursor, d.xmax, false});
  out << "        class = \"IntervalTier\" \n        name = " << quoted(tier.name)
      << " \n        xmin = " << shortest(d.xmin) << " \n        xmax = " << shortest(d.xmax)
      << " \n        intervals: size = " << ivs.size() << " \n";
  for (std::size_t i = 0; i < ivs.size(); ++i) {
    out << "        intervals [" << i + 1 << "]:\n            xmin = " << shortest(ivs[i].a)
        << " \n            xmax = " << shortest(ivs[i].b)
        << " \n            text = " << quoted(ivs[i].zone ? tier.label : "") << " \n";
  }
}

void point_tier(std::ostream& out, const Domain& d, const PointTier& tier) {
  out << "        class = \"TextTier\" \n        name = " << quoted(tier.name)
      << " \n        xmin = " << shortest(d.xmin) << " \n        xmax = " << shortest(d.xmax)
      << " \n        points: size = " << tier.times.size() << " \n";
  for (std::size_t i = 0; i < tier.times.size(); ++i) {
    out << "        points [" << i + 1 << "]:\n            number = " << shortest(tier.times[i])
        << " \n            mark = " << quoted(i < tier.labels.size() ? tier.labels[i] : "")
        << " \n";
  }
}

}  // namespace

bool looks_like_praat(const std::string& head) {
  return head.rfind("File type = \"oo", 0) == 0 || head.rfind("ooBinaryFile", 0) == 0 ||
         (head.size() > 2 && (static_cast<unsigned char>(head[0]) == 0xFE ||
                              static_cast<unsigned char>(head[0]) == 0xFF));
}

PraatText read_praat_text(const std::string& path) {
  std::string bytes = slurp(path);
  if (bytes.rfind("ooBinaryFile", 0) == 0) {
    throw ConvertError(path + ": a binary Praat file; save the object with \"Save as text file\"");
  }
  if (bytes.size() >= 2 && ((static_cast<unsigned char>(bytes[0]) == 0xFE &&
                             static_cast<unsigned char>(bytes[1]) == 0xFF) ||
                            (static_cast<unsigned char>(bytes[0]) == 0xFF &&
                             static_cast<unsigned char>(bytes[1]) == 0xFE))) {
    bytes = from_utf16(bytes);
  }
  Reader r;
  r.text.path = path;
  std::istringstream in(bytes);
  std::string line;
  int n = 0;
  while (std::getline(in, line)) r.parse_line(line, ++n);
  if (r.strings.size() < 2 || r.strings[0].rfind("ooTextFile", 0) != 0) {
    throw ConvertError(path + ":1: not a Praat text file (no File type = \"ooTextFile\" line)");
  }
  r.text.object_class = r.strings[1];
  return r.text;
}

F0Track pitch_tier_track(const PraatText& text) {
  Cursor c{text};
  c.next("xmin");
  c.next("xmax");
  const long n = c.count("the number of points", static_cast<long>(text.numbers.size()));
  F0Track tr;
  std::vector<int> lines;
  for (long k = 0; k < n; ++k) {
    tr.t.push_back(c.next("the time of a point"));
    lines.push_back(c.line());
    const double f0 = c.next("the value of a point");
    tr.f0.push_back(f0);
    tr.voiced.push_back(!(f0 <= 0.0));
  }
  check_track(tr, text.path, lines);
  return tr;
}

F0Track praat_pitch_track(const PraatText& text) {
  Cursor c{text};
  c.next("xmin");
  c.next("xmax");
  const long nx = c.count("the number of frames (nx)", static_cast<long>(text.numbers.size()));
  const double dx = c.next("the time step (dx)");
  const double x1 = c.next("the first time (x1)");
  const double ceiling = c.next("the ceiling");
  c.next("maxnCandidates");
  if (!(dx > 0.0)) {
    throw ConvertError(text.path + ":" + std::to_string(c.line()) + ": time step is not positive");
  }
  F0Track tr;
  for (long k = 0; k < nx; ++k) {
    c.next("the intensity of a frame");
    const long ncand = c.count("the number of candidates", 1 << 20);
    double f0 = 0.0;
    for (long j = 0; j < ncand; ++j) {
      const double f = c.next("a candidate's frequency");
      c.next("a candidate's strength");
      if (j == 0) f0 = f;  // Praat keeps the chosen path first
    }
    tr.t.push_back(x1 + static_cast<double>(k) * dx);
    tr.f0.push_back(f0);
    tr.voiced.push_back(f0 > 0.0 && f0 <= ceiling);
  }
  check_track(tr, text.path, {});
  return tr;
}

void write_point_process(std::ostream& out, const Domain& d, const std::vector<double>& times) {
  header(out, "PointProcess", d);
  out << "nt = " << times.size() << " \n";
  if (times.empty()) return;
  out << "t []: \n";
  for (std::size_t i = 0; i < times.size(); ++i) {
    out << "    t [" << i + 1 << "] = " << shortest(times[i]) << " \n";
  }
}

void write_pitch_tier(std::ostream& out, const Domain& d, const F0Track& track) {
  header(out, "PitchTier", d);
  std::size_t n = 0;
  for (std::size_t i = 0; i < track.t.size(); ++i) n += track.voiced[i] ? 1 : 0;
  out << "points: size = " << n << " \n";
  std::size_t k = 0;
  for (std::size_t i = 0; i < track.t.size(); ++i) {
    if (!track.voiced[i]) continue;
    const std::string v = shortest_value(track.f0[i]);
    out << "points [" << ++k << "]:\n    number = " << shortest(track.t[i])
        << " \n    value = " << v << " \n";
  }
}

void write_text_grid(std::ostream& out, const Domain& d, const std::vector<IntervalTier>& zones,
                     const std::vector<PointTier>& points) {
  header(out, "TextGrid", d);
  out << "tiers? <exists> \nsize = " << zones.size() + points.size() << " \nitem []: \n";
  std::size_t k = 0;
  for (const auto& t : zones) {
    out << "    item [" << ++k << "]:\n";
    interval_tier(out, d, t);
  }
  for (const auto& t : points) {
    out << "    item [" << ++k << "]:\n";
    point_tier(out, d, t);
  }
}
