// Selection texts: "#streams :frames /matrices .columns _rows @times".
#include <algorithm>
#include <charconv>
#include <cmath>

#include "bytes.h"
#include "lumbra/lumbra.h"

namespace {

bool IsBlank(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

bool IsMarker(char c) {
  return c == '#' || c == ':' || c == '/' || c == '.' || c == '_' || c == '@';
}

class SelectionParser {
 public:
  explicit SelectionParser(std::string_view text) : text_(text) {}

  SDIFSelection Run() {
    SDIFSelection sel;
    SkipBlanks();
    // A leading frame element may leave out its ':'.
    if (pos_ < text_.size() && !IsMarker(text_[pos_])) FrameList(sel);
    for (;;) {
      SkipBlanks();
      if (pos_ >= text_.size()) break;
      const char marker = text_[pos_++];
      switch (marker) {
        case '#':
          IntList(sel.streams);
          break;
        case ':':
          FrameList(sel);
          break;
        case '/':
          MatrixList(sel);
          break;
        case '.':
          IntList(sel.columns);
          break;
        case '_':
          IntList(sel.rows);
          break;
        case '@':
          TimeList(sel.times);
          break;
        default:
          Fail(std::string("unexpected character '") + marker + "'");
      }
    }
    return sel;
  }

 private:
  [[noreturn]] void Fail(const std::string& what) const {
    throw SDIFUnDefined("selection \"" + std::string(text_) + "\", at character " +
                        std::to_string(pos_) + ": " + what);
  }
  void SkipBlanks() {
    while (pos_ < text_.size() && IsBlank(text_[pos_])) ++pos_;
  }
  bool Accept(char c) {
    if (pos_ < text_.size() && text_[pos_] == c) {
      ++pos_;
      return true;
    }
    return false;
  }
  SdifSignature Sig() {
    if (pos_ + 4 > text_.size()) Fail("expected a four-character signature");
    const std::string_view s = text_.substr(pos_, 4);
    const SdifSignature sig = SdifSignatureConst(s[0], s[1], s[2], s[3]);
    if (!SdifSignatureIsValid(sig)) Fail("invalid signature \"" + std::string(s) + "\"");
    pos_ += 4;
    return sig;
  }
  std::int64_t Int() {
    std::int64_t v = 0;
    const char* b = text_.data() + pos_;
    const auto [end, ec] = std::from_chars(b, text_.data() + text_.size(), v);
    if (ec != std::errc() || end == b || v < 0) Fail("expected a number");
    pos_ += static_cast<std::size_t>(end - b);
    return v;
  }
  double Time() {
    double v = 0;
    const char* b = text_.data() + pos_;
    const auto [end, ec] = std::from_chars(b, text_.data() + text_.size(), v);
    if (ec != std::errc() || end == b || !std::isfinite(v)) Fail("expected a time in seconds");
    pos_ += static_cast<std::size_t>(end - b);
    return v;
  }

  void FrameList(SDIFSelection& sel) {
    do sel.frames.push_back(Sig());
    while (Accept(','));
  }
  // A "/" list; an item followed by "/" is a frame signature paired with the matrix after it
  // (":1MRK/1BEG,1MRK/1END").
  void MatrixList(SDIFSelection& sel) {
    do {
      const SdifSignature sig = Sig();
      if (Accept('/')) {
        sel.frames.push_back(sig);
        sel.matrices.push_back(Sig());
      } else {
        sel.matrices.push_back(sig);
      }
    } while (Accept(','));
  }
  void IntList(std::vector<SDIFSelection::IntRange>& out) {
    do {
      const std::int64_t a = Int();
      std::int64_t b = a;
      if (Accept('-')) b = Int();
      if (b < a) Fail("range whose end comes before its start");
      out.push_back({a, b});
    } while (Accept(','));
  }
  void TimeList(std::vector<SDIFSelection::TimeRange>& out) {
    do {
      const double t = Time();
      if (Accept('-')) {
        const double t2 = Time();
        if (t2 < t) Fail("time range whose end comes before its start");
        out.push_back({t, t2});
      } else if (Accept('+')) {
        const double d = Time();
        if (d < 0) Fail("negative time tolerance");
        out.push_back({t - d, t + d});
      } else {
        out.push_back({t, t});
      }
    } while (Accept(','));
  }

  std::string_view text_;
  std::size_t pos_ = 0;
};

template <typename T>
bool Contains(const std::vector<T>& v, const T& x) {
  return v.empty() || std::find(v.begin(), v.end(), x) != v.end();
}

bool InRanges(const std::vector<SDIFSelection::IntRange>& v, std::int64_t x) {
  return v.empty() || std::any_of(v.begin(), v.end(),
                                  [&](const auto& r) { return r.first <= x && x <= r.last; });
}

}  // namespace

std::pair<std::string, std::string> SdifSplitSelection(const std::string& name) {
  const std::size_t at = name.rfind("::");
  if (at == std::string::npos) return {name, std::string()};
  return {name.substr(0, at), name.substr(at + 2)};
}

SDIFSelection SDIFSelection::Parse(std::string_view text) {
  const std::size_t at = text.rfind("::");
  if (at != std::string_view::npos) text = text.substr(at + 2);
  return SelectionParser(text).Run();
}

bool SDIFSelection::SelectsStream(std::uint32_t id) const {
  return InRanges(streams, id);
}
bool SDIFSelection::SelectsFrame(SdifSignature sig) const {
  return Contains(frames, sig);
}
bool SDIFSelection::SelectsMatrix(SdifSignature sig) const {
  return Contains(matrices, sig);
}
bool SDIFSelection::SelectsColumn(std::int64_t col1) const {
  return InRanges(columns, col1);
}
bool SDIFSelection::SelectsRow(std::int64_t row1) const {
  return InRanges(rows, row1);
}

bool SDIFSelection::SelectsTime(double t) const {
  return times.empty() || std::any_of(times.begin(), times.end(),
                                      [&](const auto& r) { return r.first <= t && t <= r.last; });
}
