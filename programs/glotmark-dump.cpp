// glotmark-dump: prints the tables, type declarations and frames of SDIF files as text, or with
// --csv one line per matrix row (frame time, then the row's values), for inspection and plots.
//
//   glotmark-dump [--csv] FILE[::SELECTION]...
//
// A selection restricts what is printed (":1PSO/1PSO", "/1VUN@0-1.5", ...). A file that cannot
// be opened or is malformed is reported on standard error with the library's text; the other
// files are still printed, and the exit status is then 1.
#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <map>
#include <string>
#include <vector>

#include "lumbra/lumbra.h"

namespace {

constexpr const char* kUsage =
    "Usage: glotmark-dump [--csv] FILE[::SELECTION]...\n"
    "Prints the name-value tables, type declarations and frames of SDIF files.\n"
    "  --csv       one line per matrix row: frame time, then the row's values\n"
    "  -h, --help  print this help and exit\n"
    "SELECTION: #streams :frames /matrices .columns _rows @times, e.g. f.sdif::/1PSO@0-2.5\n";

// Column names of the standard matrix types the analysis files use.
const std::map<SdifSignature, std::vector<std::string>>& standard_columns() {
  static const std::map<SdifSignature, std::vector<std::string>> columns = {
      {SdifSignatureConst('1', 'F', 'Q', '0'),
       {"Frequency", "Confidence", "Score", "RealAmplitude"}},
      {SdifSignatureConst('I', 'T', 'D', 'S'), {"SamplingRate"}},
      {SdifSignatureConst('1', 'P', 'E', 'M'),
       {"Identifier", "Parameter1", "Parameter2", "Parameter3"}},
      {SdifSignatureConst('1', 'V', 'U', 'N'), {"VoicingCoefficient"}},
      {SdifSignatureConst('1', 'V', 'U', 'F'), {"CuttingFrequency"}},
  };
  return columns;
}

// Shortest text that reads back to the same value, in the element's own precision.
std::string number(const SDIFMatrix& m, int r, int c) {
  char buf[64];
  std::to_chars_result res{};
  switch (m.GetType()) {
    case eFloat4:
      res = std::to_chars(buf, buf + sizeof buf, static_cast<float>(m.GetDouble(r, c)));
      break;
    case eFloat8:
      res = std::to_chars(buf, buf + sizeof buf, m.GetDouble(r, c));
      break;
    case eUInt8:
      res = std::to_chars(buf, buf + sizeof buf, static_cast<std::uint64_t>(m.GetInt(r, c)));
      break;
    default:
      res = std::to_chars(buf, buf + sizeof buf, m.GetInt(r, c));
      break;
  }
  return std::string(buf, res.ptr);
}

std::string time_text(double t) {
  char buf[64];
  const auto res = std::to_chars(buf, buf + sizeof buf, t);
  return std::string(buf, res.ptr);
}

std::string csv_quoted(const std::string& s) {
  std::string out = "\"";
  for (const char ch : s) {
    if (ch == '"') out += '"';
    out += ch;
  }
  return out + "\"";
}

// Text of a text matrix with its trailing zero bytes dropped.
std::string text_of(const SDIFMatrix& m) {
  std::string t = m.GetText();
  while (!t.empty() && t.back() == '\0') t.pop_back();
  return t;
}

void print_header(const SDIFEntity& e, std::ostream& out) {
  for (std::size_t i = 0; i < e.GetNbNVT(); ++i) {
    out << "name-value table " << i + 1 << ":\n";
    for (const auto& [name, value] : e.GetNVT(i).Entries())
      out << "  " << name << " = " << value << "\n";
  }
  const SDIFTypeDeclarations& types = e.GetTypes();
  if (!types.empty()) {
    out << "type declarations:\n";
    for (const auto& m : types.matrices) {
      out << "  matrix " << SdifSignatureToString(m.signature) << " {";
      for (std::size_t k = 0; k < m.columns.size(); ++k) out << (k ? ", " : "") << m.columns[k];
      out << "}\n";
    }
    for (const auto& f : types.frames) {
      out << "  frame " << SdifSignatureToString(f.signature) << " {";
      for (const auto& c : f.components) {
        out << " " << SdifSignatureToString(c.matrix) << " " << c.name << ";";
      }
      out << " }\n";
    }
  }
  if (!e.GetStreamIDsText().empty()) out << "stream table:\n  " << e.GetStreamIDsText() << "\n";
}

std::vector<std::string> column_names(const SDIFEntity& e, SdifSignature sig) {
  for (const auto& m : e.GetTypes().matrices) {
    if (m.signature == sig) return m.columns;
  }
  const auto& std_columns = standard_columns();
  const auto it = std_columns.find(sig);
  return it == std_columns.end() ? std::vector<std::string>{} : it->second;
}

void print_frame_text(const SDIFEntity& e, const SDIFFrame& f, std::ostream& out) {
  out << "frame " << SdifSignatureToString(f.GetSignature()) << "  time " << time_text(f.GetTime())
      << "  stream " << f.GetStreamID() << "  matrices " << f.GetNbMatrix() << "\n";
  for (std::size_t k = 0; k < f.GetNbMatrix(); ++k) {
    const SDIFMatrix& m = f.GetMatrix(k);
    out << "  matrix " << SdifSignatureToString(m.GetSignature()) << "  "
        << SdifDataTypeName(m.GetType()) << "  " << m.GetNbRows() << " x " << m.GetNbCols() << "\n";
    if (m.GetType() == eText || m.GetType() == eByte) {
      out << "    " << csv_quoted(text_of(m)) << "\n";
      continue;
    }
    const std::vector<std::string> names = column_names(e, m.GetSignature());
    if (m.GetNbRows() > 0 && !names.empty()) {
      out << "    #";
      for (int c = 0; c < m.GetNbCols(); ++c) {
        out << " " << (c < static_cast<int>(names.size()) ? names[c] : "?");
      }
      out << "\n";
    }
    for (int r = 0; r < m.GetNbRows(); ++r) {
      out << "    ";
      for (int c = 0; c < m.GetNbCols(); ++c) out << (c ? " " : "") << number(m, r, c);
      out << "\n";
    }
  }
}

void print_frame_csv(const SDIFFrame& f, std::ostream& out) {
  const std::string t = time_text(f.GetTime());
  for (std::size_t k = 0; k < f.GetNbMatrix(); ++k) {
    const SDIFMatrix& m = f.GetMatrix(k);
    if (m.GetType() == eText || m.GetType() == eByte) {
      out << t << "," << csv_quoted(text_of(m)) << "\n";
      continue;
    }
    for (int r = 0; r < m.GetNbRows(); ++r) {
      out << t;
      for (int c = 0; c < m.GetNbCols(); ++c) out << "," << number(m, r, c);
      out << "\n";
    }
  }
}

// Prints one file; false (after a message on standard error) when it cannot be read entirely.
bool dump(const std::string& argument, bool csv, std::ostream& out) {
  const auto [path, selection] = SdifSplitSelection(argument);
  try {
    SDIFEntity e;
    e.ChangeSelection(selection);
    errno = 0;
    if (!e.OpenRead(path)) {
      const int err = errno;
      std::cerr << "glotmark-dump: cannot open " << path << ": "
                << (err != 0 ? std::strerror(err) : "not a regular file") << "\n";
      return false;
    }
    if (!csv) {
      out << "file " << path << "\n";
      print_header(e, out);
    }
    long frames = 0;
    SDIFFrame f;
    while (!e.eof()) {
      if (e.ReadNextFrame(f) == 0) continue;
      ++frames;
      if (csv) {
        print_frame_csv(f, out);
      } else {
        print_frame_text(e, f, out);
      }
    }
    if (!csv) out << "frames " << frames << "\n";
    return true;
  } catch (const SDIFException& ex) {
    out.flush();
    std::cerr << "glotmark-dump: " << ex.Text() << "\n";
    return false;
  }
}

}  // namespace

int main(int argc, char** argv) {
  bool csv = false;
  std::vector<std::string> files;
  bool options_done = false;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    if (!options_done && a == "--") {
      options_done = true;
    } else if (!options_done && a == "--csv") {
      csv = true;
    } else if (!options_done && (a == "-h" || a == "--help")) {
      std::cout << kUsage;
      return 0;
    } else if (!options_done && a.size() > 1 && a[0] == '-') {
      std::cerr << "glotmark-dump: unknown option " << a << "\n" << kUsage;
      return 1;
    } else {
      files.push_back(a);
    }
  }
  if (files.empty()) {
    std::cerr << "glotmark-dump: no file given\n" << kUsage;
    return 1;
  }
  std::ios::sync_with_stdio(false);
  bool ok = true;
  for (std::size_t i = 0; i < files.size(); ++i) {
    if (i > 0 && !csv) std::cout << "\n";
    ok = dump(files[i], csv, std::cout) && ok;
  }
  std::cout.flush();
  return ok ? 0 : 1;
}
