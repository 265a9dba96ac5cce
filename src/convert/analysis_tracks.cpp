#include "convert/analysis_tracks.h"

#include <cmath>
#include <filesystem>

#include "convert/analysis_file.h"
#include "convert/convert_error.h"
#include "convert/sound_context.h"
#include "convert/text_number.h"
#include "lumbra/lumbra.h"

namespace {

constexpr SdifSignature kFQ0 = SdifSignatureConst('1', 'F', 'Q', '0');
constexpr SdifSignature kVUT = SdifSignatureConst('1', 'V', 'U', 'T');
constexpr SdifSignature kPEM = SdifSignatureConst('1', 'P', 'E', 'M');
constexpr SdifSignature kBEG = SdifSignatureConst('1', 'B', 'E', 'G');
constexpr SdifSignature kEND = SdifSignatureConst('1', 'E', 'N', 'D');

std::vector<Mark> marks_of(const MatrixTable& t, bool with_kinds) {
  std::vector<Mark> marks(t.times.size());
  for (std::size_t i = 0; i < marks.size(); ++i) {
    marks[i].t = t.times[i];
    if (with_kinds && !t.columns.empty()) {
      const double k = t.columns.back()[i];
      marks[i].kind = (k == 0.0 || k == 1.0 || k == 2.0) ? static_cast<int>(k) : kUnknownKind;
    }
  }
  return marks;
}

// Kinds from the 1VUT file beside a 1MRK file, when it holds the same marks.
void add_kinds(const std::string& mrk_path, std::vector<Mark>& marks) {
  const AnalysisFolder folder = analysis_folder(mrk_path);
  const std::string vut = folder.dir + folder.base + ".1VUT.sdif";
  std::error_code ec;
  if (folder.base.empty() || !std::filesystem::is_regular_file(vut, ec)) return;
  const AnalysisFile f = load_analysis_file(vut);
  const MatrixTable* t = f.find(kVUT);
  if (t == nullptr || t->times.size() != marks.size()) return;
  const auto kinds = marks_of(*t, true);
  for (std::size_t i = 0; i < marks.size(); ++i) {
    if (std::abs(kinds[i].t - marks[i].t) > 1e-9) return;
  }
  for (std::size_t i = 0; i < marks.size(); ++i) marks[i].kind = kinds[i].kind;
}

}  // namespace

F0Track read_f0_sdif(const std::string& path) {
  const AnalysisFile f = load_analysis_file(path);
  const MatrixTable* t = f.find(kFQ0);
  if (t == nullptr || t->columns.empty()) {
    throw ConvertError(path + ": no 1FQ0 matrix in this file (not an f0 track)");
  }
  F0Track tr;
  tr.t = t->times;
  tr.f0 = t->columns.back();
  tr.voiced.assign(tr.t.size(), true);
  check_track(tr, path, {});
  return tr;
}

std::vector<Mark> read_marks(const std::string& path) {
  const AnalysisFile f = load_analysis_file(path);
  if (const MatrixTable* t = f.find(kVUT)) return marks_of(*t, true);
  if (const MatrixTable* t = f.find(kPEM)) {
    auto marks = marks_of(*t, false);
    add_kinds(path, marks);
    return marks;
  }
  throw ConvertError(path + ": no 1VUT or 1PEM matrix in this file (not a file of marks)");
}

std::vector<Zone> read_zones(const std::string& path, std::string& kind) {
  const AnalysisFile f = load_analysis_file(path);
  kind = f.header_value("SegmentType");
  const MatrixTable* b = f.find(kBEG);
  const MatrixTable* e = f.find(kEND);
  if (b == nullptr && e == nullptr && kind.empty()) {
    throw ConvertError(path + ": no 1BEG or 1END matrix in this file (not a file of zones)");
  }
  // A zone file of no zone holds its header alone.
  const std::size_t nb = b ? b->times.size() : 0, ne = e ? e->times.size() : 0;
  if (nb != ne) {
    throw ConvertError(path + ": " + std::to_string(nb) + " zone beginnings but " +
                       std::to_string(ne) + " zone ends");
  }
  std::vector<Zone> zones(nb);
  for (std::size_t i = 0; i < nb; ++i) {
    if (!b->columns.empty() && !e->columns.empty() && b->columns[0][i] != e->columns[0][i]) {
      throw ConvertError(path + ": zone " + shortest(b->columns[0][i]) + " beginning at " +
                         shortest(b->times[i]) + " s ends with the number of zone " +
                         shortest(e->columns[0][i]));
    }
    zones[i] = {b->times[i], e->times[i]};
  }
  return zones;
}

void write_f0_sdif(const std::string& path, const F0Track& track, const std::string& source) {
  try {
    SDIFNameValueTable info;
    info.AddNameValue("Program", "glotmark-convert");
    info.AddNameValue("Source", source);
    info.AddNameValue("WrittenBy", "LumbraLibrary");
    SDIFEntity e;
    e.AddNVT(info);
    if (!e.OpenWrite(path)) throw ConvertError("cannot create " + path);
    SDIFFrame f;
    f.SetHeader(kFQ0, 0, 0.0);
    f.AddMatrix(SDIFMatrix(kFQ0, 1, 1, eFloat4));
    for (std::size_t i = 0; i < track.t.size(); ++i) {
      f.SetTime(track.t[i]);
      f.GetMatrix(0).Set(0, 0, track.f0[i]);
      f.Write(e);
    }
    e.Close();
  } catch (const SDIFException& ex) {
    throw ConvertError(path + ": " + ex.Text());
  }
}
