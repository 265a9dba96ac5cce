#include "convert/est_track.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <fstream>
#include <limits>
#include <map>
#include <sstream>

#include "convert/convert_error.h"
#include "convert/text_number.h"

namespace {

std::vector<std::string> fields(const std::string& line, const char* seps) {
  std::vector<std::string> out;
  std::size_t i = 0;
  while (true) {
    i = line.find_first_not_of(seps, i);
    if (i == std::string::npos) break;
    const auto e = line.find_first_of(seps, i);
    out.push_back(line.substr(i, e == std::string::npos ? std::string::npos : e - i));
    if (e == std::string::npos) break;
    i = e;
  }
  return out;
}

bool to_number(const std::string& s, double& v) {
  if (s == "--undefined--" || s == "NaN" || s == "nan") {
    v = std::numeric_limits<double>::quiet_NaN();
    return true;
  }
  char* end = nullptr;
  v = std::strtod(s.c_str(), &end);
  return end != s.c_str() && *end == '\0';
}

std::string lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

std::ifstream open_text(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw ConvertError("cannot open " + path);
  return in;
}

// Header of an EST file, up to and including "EST_Header_End"; line counts the lines read.
std::map<std::string, std::string> est_header(std::istream& in, const std::string& path,
                                              int& line) {
  std::map<std::string, std::string> h;
  std::string s;
  while (std::getline(in, s)) {
    ++line;
    if (!s.empty() && s.back() == '\r') s.pop_back();
    if (line == 1 && s.rfind("EST_File", 0) != 0) {
      throw ConvertError(path + ":1: not an EST file (no EST_File line)");
    }
    if (s == "EST_Header_End") return h;
    const auto f = fields(s, " \t");
    if (f.empty()) continue;
    std::string value;
    for (std::size_t k = 1; k < f.size(); ++k) value += (k > 1 ? " " : "") + f[k];
    h[f[0]] = value;
  }
  throw ConvertError(path + ":" + std::to_string(line) + ": the header has no EST_Header_End line");
}

}  // namespace

bool looks_like_est(const std::string& head) {
  return head.rfind("EST_File", 0) == 0;
}

F0Track read_est_f0(const std::string& path) {
  std::ifstream in = open_text(path);
  int line = 0;
  const auto h = est_header(in, path, line);
  if (h.count("EST_File") && h.at("EST_File") != "Track") {
    throw ConvertError(path + ":1: an EST " + h.at("EST_File") + " file, not a Track");
  }
  if (h.count("DataType") && h.at("DataType") != "ascii") {
    throw ConvertError(path + ": EST data type " + h.at("DataType") +
                       " is not read; save the track as ascii");
  }
  const long channels = h.count("NumChannels") ? std::atol(h.at("NumChannels").c_str()) : 1;
  if (channels < 1) throw ConvertError(path + ": the track has no channel (NumChannels 0)");
  // The channel names are the header's "Channel_<n>" entries: walking them, not every number up
  // to NumChannels, keeps a header announcing billions of channels from stalling the reader.
  long f0_channel = 0;
  const std::string prefix = "Channel_";
  for (auto it = h.lower_bound(prefix); it != h.end() && it->first.rfind(prefix, 0) == 0; ++it) {
    const std::string n = it->first.substr(prefix.size());
    if (n.empty() || n.find_first_not_of("0123456789") != std::string::npos || n.size() > 18) {
      continue;
    }
    const long c = std::stol(n);
    if (c < channels && n == std::to_string(c) && lower(it->second) == "f0") {
      f0_channel = std::max(f0_channel, c);
    }
  }
  const char comment =
      h.count("CommentChar") && !h.at("CommentChar").empty() ? h.at("CommentChar")[0] : ';';
  F0Track tr;
  std::vector<int> lines;
  std::string s;
  while (std::getline(in, s)) {
    ++line;
    if (!s.empty() && s.back() == '\r') s.pop_back();
    const auto f = fields(s, " \t");
    if (f.empty() || f[0][0] == comment) continue;
    // ASCII tracks always hold the break (voicing) flag after the time.
    if (static_cast<long>(f.size()) - 2 < channels) {
      throw ConvertError(path + ":" + std::to_string(line) + ": expected the time, the flag and " +
                         std::to_string(channels) + " channel(s), found " +
                         std::to_string(f.size()) + " value(s)");
    }
    double t = 0, v = 1, f0 = 0;
    const auto fi = static_cast<std::size_t>(f0_channel + 2);
    if (!to_number(f[0], t) || !to_number(f[1], v) || !to_number(f[fi], f0)) {
      throw ConvertError(path + ":" + std::to_string(line) + ": cannot read the numbers of \"" + s +
                         "\"");
    }
    tr.t.push_back(t);
    tr.f0.push_back(f0);
    tr.voiced.push_back(v != 0.0 && f0 > 0.0);
    lines.push_back(line);
  }
  if (h.count("NumFrames") && !h.at("NumFrames").empty() &&
      std::atol(h.at("NumFrames").c_str()) != static_cast<long>(tr.t.size())) {
    throw ConvertError(path + ": the header says NumFrames " + h.at("NumFrames") +
                       " but the file holds " + std::to_string(tr.t.size()) +
                       " frames (a truncated file?)");
  }
  check_track(tr, path, lines);
  return tr;
}

void write_est_f0(std::ostream& out, const F0Track& track) {
  bool equal = track.t.size() > 2;
  for (std::size_t i = 2; equal && i < track.t.size(); ++i) {
    equal = std::abs((track.t[i] - track.t[i - 1]) - (track.t[1] - track.t[0])) < 1e-9;
  }
  out << "EST_File Track\nDataType ascii\nNumFrames " << track.t.size()
      << "\nNumChannels 1\nNumAuxChannels 0\nEqualSpace " << (equal ? 1 : 0)
      << "\nBreaksPresent true\nCommentChar ;\nChannel_0 F0\nEST_Header_End\n";
  for (std::size_t i = 0; i < track.t.size(); ++i) {
    const std::string v = shortest_value(track.f0[i]);
    out << shortest(track.t[i]) << " " << (track.voiced[i] ? "1 " + v : std::string("0 0")) << "\n";
  }
}

void write_est_marks(std::ostream& out, const std::vector<double>& times) {
  out << "EST_File Track\nDataType ascii\nNumFrames " << times.size()
      << "\nNumChannels 0\nNumAuxChannels 0\nEqualSpace 0\nBreaksPresent true\nCommentChar ;"
         "\nEST_Header_End\n";
  for (const double t : times) out << shortest(t) << " 1\n";
}

F0Track read_f0_text(const std::string& path) {
  std::ifstream in = open_text(path);
  F0Track tr;
  std::vector<int> lines;
  std::string s;
  int line = 0;
  bool first = true;
  while (std::getline(in, s)) {
    ++line;
    if (!s.empty() && s.back() == '\r') s.pop_back();
    const auto f = fields(s, " \t,;");
    if (f.empty() || f[0][0] == '#') continue;
    double t = 0, f0 = 0;
    const bool numbers = f.size() >= 2 && to_number(f[0], t) && to_number(f[1], f0);
    if (!numbers && first) {
      first = false;  // a row of column names
      continue;
    }
    first = false;
    if (!numbers) {
      throw ConvertError(path + ":" + std::to_string(line) +
                         ": expected two numbers, time (s) and f0 (Hz), found \"" + s + "\"");
    }
    tr.t.push_back(t);
    tr.f0.push_back(f0);
    tr.voiced.push_back(f0 > 0.0);
    lines.push_back(line);
  }
  check_track(tr, path, lines);
  return tr;
}

void write_f0_text(std::ostream& out, const F0Track& track, char separator) {
  for (std::size_t i = 0; i < track.t.size(); ++i) {
    if (!track.voiced[i]) continue;
    const std::string v = shortest_value(track.f0[i]);
    out << shortest(track.t[i]) << separator << v << "\n";
  }
}
