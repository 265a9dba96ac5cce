#include "convert/analysis_file.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <map>

#include "convert/convert_error.h"

namespace {

// Column names of the matrix types the analysis files use without declaring them.
const std::map<SdifSignature, std::vector<std::string>>& known_columns() {
  static const std::map<SdifSignature, std::vector<std::string>> columns = {
      {SdifSignatureConst('1', 'F', 'Q', '0'), {"Frequency"}},
      {SdifSignatureConst('I', 'T', 'D', 'S'), {"SamplingRate"}},
      {SdifSignatureConst('1', 'P', 'E', 'M'), {"Identifier"}},
      {SdifSignatureConst('1', 'V', 'U', 'N'), {"VoicingCoefficient"}},
      {SdifSignatureConst('1', 'V', 'U', 'F'), {"CuttingFrequency"}},
      {SdifSignatureConst('1', 'V', 'U', 'T'), {"VoicedUnvoicedTransFlag"}},
      {SdifSignatureConst('1', 'B', 'E', 'G'), {"Zone"}},
      {SdifSignatureConst('1', 'E', 'N', 'D'), {"Zone"}},
      {SdifSignatureConst('1', 'E', 'C', 'S'), {"EpocsSmallReallocation"}},
      {SdifSignatureConst('1', 'E', 'C', 'L'), {"EpocsLongReallocation"}},
  };
  return columns;
}

std::string text_of(const SDIFMatrix& m) {
  std::string t = m.GetText();
  while (!t.empty() && t.back() == '\0') t.pop_back();
  return t;
}

MatrixTable& table_for(AnalysisFile& file, const SDIFTypeDeclarations& types, const SDIFFrame& f,
                       const SDIFMatrix& m) {
  for (auto& t : file.matrices) {
    if (t.matrix_signature == m.GetSignature()) return t;
  }
  MatrixTable t;
  t.frame_signature = f.GetSignature();
  t.matrix_signature = m.GetSignature();
  t.is_text = m.GetType() == eText || m.GetType() == eByte;
  if (!t.is_text) {
    t.names = column_names(types, m.GetSignature(), m.GetNbCols());
    t.columns.resize(t.names.size());
  }
  file.matrices.push_back(std::move(t));
  return file.matrices.back();
}

void append(MatrixTable& t, const SDIFFrame& f, const SDIFMatrix& m) {
  ++t.frames;
  if (t.is_text) {
    t.times.push_back(f.GetTime());
    t.texts.push_back(text_of(m));
    return;
  }
  const int cols = std::min(m.GetNbCols(), static_cast<int>(t.columns.size()));
  const auto rows = static_cast<std::size_t>(m.GetNbRows());
  t.times.insert(t.times.end(), rows, f.GetTime());
  std::vector<double> col(rows);
  for (int c = 0; c < static_cast<int>(t.columns.size()); ++c) {
    if (c < cols) {
      m.GetCol(c, col.data());
    } else {
      std::fill(col.begin(), col.end(), 0.0);  // a narrower matrix than the first one
    }
    t.columns[c].insert(t.columns[c].end(), col.begin(), col.end());
  }
}

}  // namespace

const MatrixTable* AnalysisFile::find(SdifSignature sig) const {
  for (const auto& t : matrices) {
    if (t.matrix_signature == sig) return &t;
  }
  return nullptr;
}

std::string AnalysisFile::header_value(const std::string& name) const {
  for (const auto& table : tables) {
    for (const auto& [n, v] : table) {
      if (n == name) return v;
    }
  }
  return {};
}

std::vector<std::string> column_names(const SDIFTypeDeclarations& types, SdifSignature sig,
                                      int count) {
  std::vector<std::string> names;
  for (const auto& m : types.matrices) {
    if (m.signature == sig) names = m.columns;
  }
  if (names.empty()) {
    const auto it = known_columns().find(sig);
    if (it != known_columns().end()) names = it->second;
  }
  names.resize(static_cast<std::size_t>(std::max(count, 0)));
  for (std::size_t c = 0; c < names.size(); ++c) {
    if (names[c].empty()) names[c] = "col" + std::to_string(c + 1);
  }
  return names;
}

AnalysisFile load_analysis_file(const std::string& path, const std::string& selection) {
  AnalysisFile file;
  file.path = path;
  try {
    SDIFEntity e;
    e.ChangeSelection(selection);
    if (!e.GetSelection().AllColumns() || !e.GetSelection().AllRows()) {
      throw ConvertError(path + ": a selection of columns or rows is not allowed here");
    }
    errno = 0;
    if (!e.OpenRead(path)) {
      const int err = errno;
      throw ConvertError("cannot open " + path + ": " +
                         (err != 0 ? std::strerror(err) : "not a regular file"));
    }
    for (std::size_t i = 0; i < e.GetNbNVT(); ++i) file.tables.push_back(e.GetNVT(i).Entries());
    SDIFFrame f;
    while (!e.eof()) {
      if (e.ReadNextFrame(f) == 0) continue;
      for (std::size_t k = 0; k < f.GetNbMatrix(); ++k) {
        const SDIFMatrix& m = f.GetMatrix(k);
        MatrixTable& t = table_for(file, e.GetTypes(), f, m);
        if (t.is_text != (m.GetType() == eText || m.GetType() == eByte)) {
          throw ConvertError(path + ": the " + SdifSignatureToString(m.GetSignature()) +
                             " matrices hold text in one frame and numbers in another");
        }
        append(t, f, m);
      }
    }
  } catch (const SDIFEof&) {
  } catch (const SDIFException& ex) {
    // The library names the file in what it finds while reading, not in matrix accesses.
    const bool named = ex.Text().find(path) != std::string::npos;
    throw ConvertError(named ? ex.Text() : path + ": " + ex.Text());
  }
  return file;
}
