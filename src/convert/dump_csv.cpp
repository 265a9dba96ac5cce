#include "convert/dump_csv.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <map>

#include "convert/analysis_file.h"
#include "convert/convert_error.h"
#include "convert/sound_context.h"
#include "convert/text_number.h"
#include "lumbra/lumbra.h"

namespace {

constexpr SdifSignature kITDS = SdifSignatureConst('I', 'T', 'D', 'S');
constexpr SdifSignature kBEG = SdifSignatureConst('1', 'B', 'E', 'G');
constexpr SdifSignature kEND = SdifSignatureConst('1', 'E', 'N', 'D');
constexpr SdifSignature kEPC = SdifSignatureConst('1', 'E', 'P', 'C');
constexpr SdifSignature kPSO = SdifSignatureConst('1', 'P', 'S', 'O');
constexpr SdifSignature kPEM = SdifSignatureConst('1', 'P', 'E', 'M');

enum class Layout { kRows, kZones, kCurve, kText };

// Everything decided from the header and the first frame.
struct Plan {
  Layout layout = Layout::kRows;
  SdifSignature sig = 0;
  std::vector<int> columns;        // 0-based columns of the delivered matrix to print
  std::vector<std::string> names;  // their names
  bool row_column = false;         // matrices of several rows: a "row" column
  std::optional<double> rate_hz;   // per-sample curves
};

std::string number(const SDIFMatrix& m, int r, int c) {
  switch (m.GetType()) {
    case eFloat4:
      return shortest(static_cast<float>(m.GetDouble(r, c)));
    case eFloat8:
      return shortest(m.GetDouble(r, c));
    case eUInt8:
      return std::to_string(static_cast<std::uint64_t>(m.GetInt(r, c)));
    default:
      return std::to_string(m.GetInt(r, c));
  }
}

std::string text_field(std::string t, char sep) {
  while (!t.empty() && t.back() == '\0') t.pop_back();
  if (sep == '\t') {
    std::replace_if(
        t.begin(), t.end(), [](char ch) { return ch == '\t' || ch == '\n' || ch == '\r'; }, ' ');
    return t;
  }
  std::string out = "\"";
  for (const char ch : t) {
    if (ch == '"') out += '"';
    out += ch;
  }
  return out + "\"";
}

// A header name, quoted in CSV only where it holds the separator or a quote.
std::string name_field(const std::string& n, char sep) {
  if (sep == '\t' || n.find_first_of(",\"\n") == std::string::npos) return n;
  return text_field(n, sep);
}

std::string lower(std::string s) {
  for (char& ch : s) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
  return s;
}

std::string joined(const std::vector<std::string>& names) {
  std::string s;
  for (const auto& n : names) s += (s.empty() ? "" : ", ") + n;
  return s;
}

// Resolves the --columns list against the names of the delivered matrix.
std::vector<int> chosen_columns(const std::vector<std::string>& wanted,
                                const std::vector<std::string>& names, const std::string& path,
                                SdifSignature sig) {
  std::vector<int> out;
  if (wanted.empty()) {
    for (int c = 0; c < static_cast<int>(names.size()); ++c) out.push_back(c);
    return out;
  }
  for (const auto& w : wanted) {
    int found = -1;
    if (!w.empty() && std::all_of(w.begin(), w.end(), [](char ch) {
          return std::isdigit(static_cast<unsigned char>(ch));
        })) {
      const long n = std::strtol(w.c_str(), nullptr, 10);
      if (n >= 1 && n <= static_cast<long>(names.size())) found = static_cast<int>(n - 1);
    } else {
      for (int c = 0; c < static_cast<int>(names.size()) && found < 0; ++c) {
        if (names[c] == w) found = c;
      }
      for (int c = 0; c < static_cast<int>(names.size()) && found < 0; ++c) {
        if (lower(names[c]) == lower(w)) found = c;
      }
    }
    if (found < 0) {
      throw ConvertError(path + ": no column \"" + w + "\" in the " + SdifSignatureToString(sig) +
                         " matrices (columns: " + joined(names) + ", or 1 to " +
                         std::to_string(names.size()) + ")");
    }
    out.push_back(found);
  }
  return out;
}

// Names of the columns lumbra delivers when the selection keeps only some of them.
std::vector<std::string> delivered_names(const SDIFEntity& e, SdifSignature sig, int cols) {
  const SDIFSelection& sel = e.GetSelection();
  if (sel.AllColumns()) return column_names(e.GetTypes(), sig, cols);
  std::vector<int> kept;  // 1-based original numbers of the delivered columns
  for (std::int64_t c = 1; static_cast<int>(kept.size()) < cols && c < (1 << 24); ++c) {
    if (sel.SelectsColumn(c)) kept.push_back(static_cast<int>(c));
  }
  const int count = kept.empty() ? 0 : kept.back();
  const auto all = column_names(e.GetTypes(), sig, count);
  std::vector<std::string> names;
  for (const int c : kept) names.push_back(all[c - 1]);
  return names;
}

SdifSignature data_signature(const SDIFFrame& f, const CsvOptions& opt) {
  if (!opt.matrix.empty()) return SdifStringToSignature(opt.matrix);
  if (f.MatrixExists(kBEG) || f.MatrixExists(kEND)) return kBEG;
  for (std::size_t k = 0; k < f.GetNbMatrix(); ++k) {
    if (f.GetMatrix(k).GetSignature() != kITDS) return f.GetMatrix(k).GetSignature();
  }
  return f.GetMatrix(0).GetSignature();
}

Plan make_plan(const SDIFEntity& e, const SDIFFrame& f, const CsvOptions& opt,
               const std::string& path, std::ostream& note) {
  Plan p;
  p.sig = data_signature(f, opt);
  const bool zones = opt.matrix.empty() && p.sig == kBEG;
  if (zones) {
    p.layout = Layout::kZones;
    return p;
  }
  const SDIFMatrix& m = f.GetMatrixWithSig(p.sig);
  if (m.GetType() == eText || m.GetType() == eByte) {
    p.layout = Layout::kText;
    return p;
  }
  const auto names = delivered_names(e, p.sig, m.GetNbCols());
  p.columns = chosen_columns(opt.columns, names, path, p.sig);
  for (const int c : p.columns) p.names.push_back(names[c]);
  if (f.GetSignature() == kEPC) {
    p.layout = Layout::kCurve;
    p.rate_hz = opt.rate_hz ? opt.rate_hz : sound_context(path).rate_hz;
    if (!p.rate_hz) {
      note << "glotmark-dump: note: " << path
           << ": the sampling rate of this curve was not found (neither the sound nor the "
              "1PSO file beside it); give --rate HZ for a time_s column\n";
    }
  }
  p.row_column = p.layout == Layout::kRows && m.GetNbRows() > 1;
  return p;
}

void write_comments(const SDIFEntity& e, const SDIFFrame& f, const Plan& p, std::ostream& out) {
  std::string segment;
  for (std::size_t i = 0; i < e.GetNbNVT(); ++i) {
    if (e.GetNVT(i).HasName("SegmentType")) segment = e.GetNVT(i).GetValue("SegmentType");
  }
  if (p.layout == Layout::kZones) {
    out << "# " << (segment.empty() ? "" : segment + " ")
        << "zones: one begin row and one end row per zone, paired by zone number (from 0)\n";
    return;
  }
  if (f.MatrixExists(kITDS) && p.sig != kITDS) {
    out << "# sampling rate " << number(f.GetMatrixWithSig(kITDS), 0, 0) << " Hz\n";
  }
  if (p.layout == Layout::kCurve) {
    out << "# one row per sample of the sound";
    if (p.rate_hz) out << ", time_s = sample / " << shortest(*p.rate_hz) << " Hz";
    out << "\n";
  }
  for (const auto& n : p.names) {
    if (n == "VoicedUnvoicedTransFlag") out << "# " << n << ": 1 voiced, 0 unvoiced, 2 transient\n";
    if (n == "VoicingFlag") out << "# " << n << ": 1 voiced, 0 unvoiced or transient\n";
    if (n == "TransitoireFlag") out << "# " << n << ": 1 inside a transient zone, 0 outside\n";
  }
  if (p.sig == kPEM) {
    out << "# one row per pitch mark; Identifier is 4 for every mark, the kinds of the marks are "
           "in the 1VUT file\n";
  }
}

void write_header(const Plan& p, char sep, std::ostream& out) {
  switch (p.layout) {
    case Layout::kZones:
      out << "time_s" << sep << "event" << sep << "zone\n";
      return;
    case Layout::kText:
      out << "time_s" << sep << "text\n";
      return;
    case Layout::kCurve:
      out << "sample";
      if (p.rate_hz) out << sep << "time_s";
      break;
    case Layout::kRows:
      out << "time_s";
      if (p.row_column) out << sep << "row";
      break;
  }
  for (const auto& n : p.names) out << sep << name_field(n, sep);
  out << "\n";
}

// Rows of one frame; counts the frames holding other matrix types in others.
void write_frame(const SDIFFrame& f, const Plan& p, char sep, std::ostream& out,
                 std::map<SdifSignature, long>& others) {
  const std::string t = shortest(f.GetTime());
  for (std::size_t k = 0; k < f.GetNbMatrix(); ++k) {
    const SDIFMatrix& m = f.GetMatrix(k);
    const SdifSignature s = m.GetSignature();
    if (p.layout == Layout::kZones && (s == kBEG || s == kEND)) {
      for (int r = 0; r < m.GetNbRows(); ++r) {
        out << t << sep << (s == kBEG ? "begin" : "end") << sep
            << (m.GetNbCols() > 0 ? number(m, r, 0) : "") << "\n";
      }
      continue;
    }
    if (s != p.sig) {
      if (!(s == kITDS && p.sig == kPSO)) ++others[s];
      continue;
    }
    if (p.layout == Layout::kText) {
      out << t << sep << text_field(m.GetText(), sep) << "\n";
      continue;
    }
    for (int r = 0; r < m.GetNbRows(); ++r) {
      if (p.layout == Layout::kCurve) {
        out << r;
        if (p.rate_hz) out << sep << shortest(r / *p.rate_hz);
      } else {
        out << t;
        if (p.row_column) out << sep << r;
      }
      for (const int c : p.columns) out << sep << (c < m.GetNbCols() ? number(m, r, c) : "");
      out << "\n";
    }
  }
}

}  // namespace

void dump_csv(const std::string& argument, const CsvOptions& opt, std::ostream& out,
              std::ostream& note) {
  const auto [path, selection] = SdifSplitSelection(argument);
  std::map<SdifSignature, long> others;  // frames of the matrix types not printed
  std::optional<Plan> plan;
  try {
    const SdifSignature wanted = opt.matrix.empty() ? 0 : SdifStringToSignature(opt.matrix);
    SDIFEntity e;
    e.ChangeSelection(selection);
    errno = 0;
    if (!e.OpenRead(path)) {
      const int err = errno;
      throw ConvertError("cannot open " + path + ": " +
                         (err != 0 ? std::strerror(err) : "not a regular file"));
    }
    SDIFFrame f;
    while (!e.eof()) {
      if (e.ReadNextFrame(f) == 0 || f.GetNbMatrix() == 0) continue;
      if (!plan && wanted != 0 && !f.MatrixExists(wanted)) {
        for (std::size_t k = 0; k < f.GetNbMatrix(); ++k) ++others[f.GetMatrix(k).GetSignature()];
        continue;
      }
      if (!plan) {
        plan = make_plan(e, f, opt, path, note);
        if (opt.comments) write_comments(e, f, *plan, out);
        write_header(*plan, opt.separator, out);
      }
      write_frame(f, *plan, opt.separator, out, others);
    }
  } catch (const SDIFException& ex) {
    out.flush();
    throw ConvertError(ex.Text());
  }
  if (!plan && !opt.matrix.empty()) {
    std::vector<std::string> held;
    for (const auto& [s, n] : others) held.push_back(SdifSignatureToString(s));
    throw ConvertError(path + ": no " + opt.matrix + " matrix in this file" +
                       (held.empty() ? "" : " (it holds " + joined(held) + ")"));
  }
  if (!plan) out << "time_s\n";  // a file without frames: the header row alone
  for (const auto& [s, n] : others) {
    note << "glotmark-dump: note: " << path << " also holds " << n << " frame"
         << (n == 1 ? "" : "s") << " with " << SdifSignatureToString(s)
         << " matrices, not printed (--matrix " << SdifSignatureToString(s) << " prints them)\n";
  }
}
