// CSV form of the summary rows.
#include "corpus/summary_csv.h"

#include <cstdio>
#include <cstdlib>

#include "corpus/run_state.h"

namespace corpus {
namespace {

template <class T>
std::string number(const std::optional<T>& v, const char* format) {
  if (!v) return "";
  char buf[64];
  std::snprintf(buf, sizeof buf, format, *v);
  return buf;
}

// Splits one CSV record into its fields; false when a quoted field is not closed or the text
// goes on after the record's line end.
bool split_record(const std::string& text, std::vector<std::string>& fields) {
  fields.assign(1, "");
  bool quoted = false;
  std::size_t i = 0;
  for (; i < text.size(); ++i) {
    const char c = text[i];
    if (quoted) {
      if (c != '"') {
        fields.back() += c;
      } else if (i + 1 < text.size() && text[i + 1] == '"') {
        fields.back() += '"';
        ++i;
      } else {
        quoted = false;
      }
    } else if (c == '"') {
      quoted = true;
    } else if (c == ',') {
      fields.emplace_back();
    } else if (c == '\n' || c == '\r') {
      break;
    } else {
      fields.back() += c;
    }
  }
  while (i < text.size() && (text[i] == '\n' || text[i] == '\r')) ++i;
  return !quoted && i == text.size();
}

template <class T>
bool read_number(const std::string& field, std::optional<T>& out) {
  if (field.empty()) return true;
  char* end = nullptr;
  const double v = std::strtod(field.c_str(), &end);
  if (*end != '\0') return false;
  out = static_cast<T>(v);
  return true;
}

}  // namespace

SummaryRow not_analysed_row(const std::string& path, const std::string& why) {
  SummaryRow r;
  r.path = path;
  r.error = why;
  return r;
}

const std::string& summary_header() {
  static const std::string h =
      "path,status,seconds,duration_s,marks,voiced_share,median_f0_hz,error";
  return h;
}

std::string csv_field(const std::string& text) {
  const bool needs = text.find_first_of(",\"\r\n") != std::string::npos ||
                     (!text.empty() && (text.front() == ' ' || text.back() == ' '));
  if (!needs) return text;
  std::string out = "\"";
  for (const char c : text) {
    if (c == '"') out += '"';
    out += c;
  }
  return out + "\"";
}

std::string format_row(const SummaryRow& r) {
  return csv_field(r.path) + "," + number(r.status, "%d") + "," + number(r.seconds, "%.3f") + "," +
         number(r.duration_s, "%.6f") + "," + number(r.marks, "%ld") + "," +
         number(r.voiced_share, "%.4f") + "," + number(r.median_f0_hz, "%.2f") + "," +
         csv_field(r.error) + "\n";
}

std::optional<SummaryRow> parse_row(const std::string& text) {
  std::vector<std::string> f;
  if (!split_record(text, f) || f.size() != 8 || f[0].empty()) return std::nullopt;
  SummaryRow r;
  r.path = f[0];
  r.error = f[7];
  if (!read_number(f[1], r.status) || !read_number(f[2], r.seconds) ||
      !read_number(f[3], r.duration_s) || !read_number(f[4], r.marks) ||
      !read_number(f[5], r.voiced_share) || !read_number(f[6], r.median_f0_hz)) {
    return std::nullopt;
  }
  return r;
}

bool write_summary(const std::string& path, const std::vector<SummaryRow>& rows, std::string& err) {
  std::string data = summary_header() + "\n";
  for (const auto& r : rows) data += format_row(r);
  return write_file_atomically(path, data, err);
}

}  // namespace corpus
