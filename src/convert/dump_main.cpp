#include "convert/dump_main.h"

#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <string>
#include <vector>

#include "convert/analysis_file.h"
#include "convert/convert_error.h"
#include "convert/dump_csv.h"
#include "lumbra/lumbra.h"

namespace {

constexpr const char* kUsage =
    "Usage: glotmark-dump [--csv | --tsv] [OPTION]... FILE[::SELECTION]...\n"
    "Prints the name-value tables, type declarations and frames of SDIF files, or one table per\n"
    "file for spreadsheets and plotting programs.\n"
    "  --csv             comma-separated table: comment lines \"# ...\" saying what the numbers\n"
    "                    mean, a header row of column names, one row per frame and matrix row\n"
    "  --tsv             the same table separated by tabs\n"
    "  --matrix SIG      table of the SIG matrices (default: the file's data matrix; 1PSO files\n"
    "                    give 1PSO, zone files their begin and end rows)\n"
    "  --columns LIST    only these columns, by name or 1-based number, comma-separated\n"
    "                    (e.g. Position,Fundamentalfrequency or 1,2)\n"
    "  --rate HZ         sampling rate of a per-sample curve (1ECS, 1ECL) for its time_s column\n"
    "                    (default: read from the analysed sound or the 1PSO file beside it)\n"
    "  --no-comments     no \"# ...\" lines before the header row\n"
    "  -h, --help        print this help and exit\n"
    "  -V, --version     print the version and exit\n"
    "Table columns: time_s is the frame time in seconds; per-sample curves give sample (from 0)\n"
    "and time_s = sample / rate; zone files give time_s, event (begin or end) and zone.\n"
    "VoicedUnvoicedTransFlag (1VUT files): 1 voiced, 0 unvoiced, 2 transient.\n"
    "SELECTION: #streams :frames /matrices .columns _rows @times, e.g. f.sdif::/1PSO@0-2.5\n";

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
    const std::vector<std::string> names =
        column_names(e.GetTypes(), m.GetSignature(), m.GetNbCols());
    if (m.GetNbRows() > 0 && !names.empty()) {
      out << "    #";
      for (const auto& n : names) out << " " << n;
      out << "\n";
    }
    for (int r = 0; r < m.GetNbRows(); ++r) {
      out << "    ";
      for (int c = 0; c < m.GetNbCols(); ++c) out << (c ? " " : "") << number(m, r, c);
      out << "\n";
    }
  }
}

// Prints one file; false (after a message on standard error) when it cannot be read entirely.
bool dump_text(const std::string& argument, std::ostream& out) {
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
    out << "file " << path << "\n";
    print_header(e, out);
    long frames = 0;
    SDIFFrame f;
    while (!e.eof()) {
      if (e.ReadNextFrame(f) == 0) continue;
      ++frames;
      print_frame_text(e, f, out);
    }
    out << "frames " << frames << "\n";
    return true;
  } catch (const SDIFException& ex) {
    out.flush();
    std::cerr << "glotmark-dump: " << ex.Text() << "\n";
    return false;
  }
}

std::vector<std::string> split_list(const std::string& s) {
  std::vector<std::string> out;
  std::size_t start = 0;
  while (start <= s.size()) {
    const auto comma = s.find(',', start);
    std::string item =
        s.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
    while (!item.empty() && item.front() == ' ') item.erase(item.begin());
    while (!item.empty() && item.back() == ' ') item.pop_back();
    if (!item.empty()) out.push_back(item);
    if (comma == std::string::npos) break;
    start = comma + 1;
  }
  return out;
}

struct Arguments {
  bool table = false;
  CsvOptions csv;
  std::vector<std::string> files;
};

// Value of an option given as "--name VALUE" or "--name=VALUE"; advances i past it.
bool option_value(const std::string& a, const char* name, int argc, char** argv, int& i,
                  std::string& value) {
  const std::string n = name;
  if (a.rfind(n + "=", 0) == 0) {
    value = a.substr(n.size() + 1);
    return true;
  }
  if (a != n) return false;
  if (i + 1 >= argc) throw ConvertError("option " + n + " needs a value");
  value = argv[++i];
  return true;
}

// Parses the command line; false after printing the help. Throws ConvertError on a bad one.
bool parse(int argc, char** argv, Arguments& args) {
  bool options_done = false;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    std::string v;
    if (options_done || a.size() < 2 || a[0] != '-') {
      args.files.push_back(a);
    } else if (a == "--") {
      options_done = true;
    } else if (a == "--csv" || a == "--tsv") {
      args.table = true;
      args.csv.separator = a == "--csv" ? ',' : '\t';
    } else if (a == "--no-comments") {
      args.csv.comments = false;
    } else if (a == "-h" || a == "--help") {
      std::cout << kUsage;
      return false;
    } else if (a == "-V" || a == "--version") {
      std::cout << "glotmark-dump " << GLOTMARK_VERSION << "\n";
      return false;
    } else if (option_value(a, "--matrix", argc, argv, i, v)) {
      args.csv.matrix = v;
    } else if (option_value(a, "--columns", argc, argv, i, v)) {
      args.csv.columns = split_list(v);
      if (args.csv.columns.empty()) throw ConvertError("--columns: empty list");
    } else if (option_value(a, "--rate", argc, argv, i, v)) {
      char* end = nullptr;
      const double r = std::strtod(v.c_str(), &end);
      if (end == v.c_str() || *end != '\0' || !(r > 0.0) || r > 1e7) {
        throw ConvertError("--rate: not a sampling rate in Hz: " + v);
      }
      args.csv.rate_hz = r;
    } else {
      throw ConvertError("unknown option " + a);
    }
  }
  if (!args.table && (!args.csv.matrix.empty() || !args.csv.columns.empty() || args.csv.rate_hz ||
                      !args.csv.comments)) {
    throw ConvertError("--matrix, --columns, --rate and --no-comments go with --csv or --tsv");
  }
  if (args.files.empty()) throw ConvertError("no file given");
  return true;
}

}  // namespace

int dump_main(int argc, char** argv) {
  Arguments args;
  try {
    if (!parse(argc, argv, args)) return 0;
  } catch (const ConvertError& e) {
    std::cerr << "glotmark-dump: " << e.what() << "\n" << kUsage;
    return 1;
  }
  std::ios::sync_with_stdio(false);
  bool ok = true;
  for (std::size_t i = 0; i < args.files.size(); ++i) {
    if (args.table) {
      try {
        dump_csv(args.files[i], args.csv, std::cout, std::cerr);
      } catch (const ConvertError& e) {
        std::cout.flush();
        std::cerr << "glotmark-dump: " << e.what() << "\n";
        ok = false;
      }
    } else {
      if (i > 0) std::cout << "\n";
      ok = dump_text(args.files[i], std::cout) && ok;
    }
  }
  std::cout.flush();
  return ok ? 0 : 1;
}
