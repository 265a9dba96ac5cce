// Reading the figures of a summary row from the analysis files.
#include "corpus/read_results.h"

#include <audiofile.h>

#include <algorithm>
#include <cstring>

#include "audioview/audioview.h"
#include "lumbra/lumbra.h"

namespace corpus {
namespace {

struct LongOption {
  const char* name;
  char letter;
  bool takes_value;
};

constexpr LongOption kGlotmarkLong[] = {
    {"help", 'h', false},
    {"version", 'V', false},
    {"input", 'i', true},
    {"f0", 'O', false},
    {"f0-file", 'I', true},
    {"fmin", 'f', true},
    {"fmax", 'F', true},
    {"force", 0, false},
    {"epocs", 'E', false},
    {"method-epocs", 'e', true},
    {"orderLPC", 'o', true},
    {"v-u-tr", 'U', false},
    {"voice", 0, false},
    {"forcefc", 0, false},
    {"trans", 0, false},
    {"threshold", 'T', false},
    {"voice-threshold", 'v', true},
    {"trans-threshold", 't', true},
    {"mark-positionning", 'M', false},
    {"alpha", 'a', true},
    {"beta", 'b', true},
    {"gamma", 'g', true},
    {"PSO-file", 'S', false},
    {"verbose", 0, false},
};

// The short letter of a long option given by its name or a unique prefix (0 when none).
const LongOption* match_long(const std::string& name) {
  const LongOption* found = nullptr;
  for (const auto& o : kGlotmarkLong) {
    if (name == o.name) return &o;
    if (std::strncmp(o.name, name.c_str(), name.size()) == 0) {
      if (found != nullptr) return nullptr;  // ambiguous
      found = &o;
    }
  }
  return found;
}

double median(std::vector<double>& v) {
  const auto mid = v.begin() + static_cast<long>(v.size() / 2);
  std::nth_element(v.begin(), mid, v.end());
  const double upper = *mid;
  if (v.size() % 2 == 1) return upper;
  return 0.5 * (upper + *std::max_element(v.begin(), mid));
}

// Calls row(matrix) for every matrix of the selection in file; false with err set when the
// file is missing or malformed.
template <class Row>
bool for_each_matrix(const std::string& file, const std::string& selection, SdifSignature sig,
                     Row&& row, std::string& err) {
  try {
    SDIFEntity e;
    if (!e.OpenRead(file)) {
      err = "missing result file " + file;
      return false;
    }
    e.ChangeSelection(selection);
    SDIFFrame f;
    while (!e.eof()) {
      if (e.ReadNextFrame(f) == 0 || !f.MatrixExists(sig)) continue;
      row(f.GetMatrixWithSig(sig));
    }
    return true;
  } catch (const SDIFException& x) {
    err = "unreadable result file " + file + ": " + x.Text();
    return false;
  }
}

bool read_f0_median(const std::string& file, ResultFigures& fig, std::string& err) {
  std::vector<double> f0;
  const auto sig = SdifSignatureConst('1', 'F', 'Q', '0');
  const auto take = [&](const SDIFMatrix& m) {
    for (int r = 0; r < m.GetNbRows(); ++r)
      if (m.GetNbCols() > 0 && m.GetDouble(r, 0) > 0.0) f0.push_back(m.GetDouble(r, 0));
  };
  if (!for_each_matrix(file, ":1FQ0/1FQ0", sig, take, err)) return false;
  if (!f0.empty()) fig.median_f0_hz = median(f0);
  return true;
}

}  // namespace

GlotmarkSteps glotmark_steps(const std::vector<std::string>& options) {
  GlotmarkSteps s;
  const auto mark = [&](char letter) {
    if (letter == 'S') s.pso = s.marks = true;
    if (letter == 'M') s.marks = true;
  };
  for (std::size_t i = 0; i < options.size(); ++i) {
    const std::string& a = options[i];
    if (a.rfind("--", 0) == 0 && a.size() > 2) {
      const LongOption* o = match_long(a.substr(2, a.find('=') - 2));
      if (o == nullptr) continue;
      mark(o->letter);
      if (o->takes_value && a.find('=') == std::string::npos) ++i;
    } else if (a.size() > 1 && a[0] == '-') {
      for (std::size_t k = 1; k < a.size(); ++k) {
        const char c = a[k];
        mark(c);
        if (std::strchr("iIfFeovtabg", c) != nullptr) {  // the rest, or the next word, is its value
          if (k + 1 == a.size()) ++i;
          break;
        }
      }
    }
  }
  return s;
}

bool read_results(const std::string& pso_dir, const std::string& base, const GlotmarkSteps& steps,
                  ResultFigures& fig, std::string& err) {
  const std::string stem = pso_dir + "/" + base;
  fig = ResultFigures{};
  if (steps.pso) {
    std::vector<double> voiced_f0;
    long marks = 0, voiced = 0;
    const auto take = [&](const SDIFMatrix& m) {
      if (m.GetNbRows() < 1 || m.GetNbCols() < 3) return;
      ++marks;
      if (m.GetDouble(0, 2) > 0.5) ++voiced, voiced_f0.push_back(m.GetDouble(0, 1));
    };
    if (!for_each_matrix(stem + ".1PSO.sdif", ":1PSO/1PSO", SdifSignatureConst('1', 'P', 'S', 'O'),
                         take, err)) {
      return false;
    }
    fig.marks = marks;
    if (marks > 0) fig.voiced_share = static_cast<double>(voiced) / static_cast<double>(marks);
    if (!voiced_f0.empty()) fig.median_f0_hz = median(voiced_f0);
    return true;
  }
  if (steps.marks) {
    long marks = 0, voiced = 0;
    const auto take = [&](const SDIFMatrix& m) {
      for (int r = 0; r < m.GetNbRows() && m.GetNbCols() > 0; ++r, ++marks)
        if (m.GetDouble(r, m.GetNbCols() - 1) == 1.0) ++voiced;
    };
    if (!for_each_matrix(stem + ".1VUT.sdif", ":1VUV/1VUT", SdifSignatureConst('1', 'V', 'U', 'T'),
                         take, err)) {
      return false;
    }
    fig.marks = marks;
    if (marks > 0) fig.voiced_share = static_cast<double>(voiced) / static_cast<double>(marks);
  }
  return read_f0_median(stem + ".1FQ0.sdif", fig, err);
}

std::optional<double> sound_duration(const std::string& path) {
  afSetErrorHandler(nullptr);
  AFfilehandle h = audioview::open_sound(path);
  if (h == AF_NULL_FILEHANDLE) return std::nullopt;
  const AFframecount frames = afGetFrameCount(h, AF_DEFAULT_TRACK);
  const double sr = afGetRate(h, AF_DEFAULT_TRACK);
  afCloseFile(h);
  if (frames < 0 || !(sr > 0.0)) return std::nullopt;
  return static_cast<double>(frames) / sr;
}

}  // namespace corpus
