// Reading a whole analysis file (or any SDIF file) into named columns, for the converters and the
// Python module.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "lumbra/lumbra.h"

// Every matrix of one signature met in the file, row by row: one entry of `times` per matrix row
// (the time of its frame, seconds), one vector per column in `columns`.
struct MatrixTable {
  SdifSignature frame_signature = 0;   // signature of the first frame that held this matrix
  SdifSignature matrix_signature = 0;  //
  std::vector<std::string> names;      // column names (declared, known, or "col1", "col2", ...)
  std::vector<double> times;           // frame time of each row, seconds
  std::vector<std::vector<double>> columns;  // columns[c][row]
  std::vector<std::string> texts;            // text matrices: one text per matrix instead
  std::size_t frames = 0;                    // number of frames that held this matrix
  bool is_text = false;
};

struct AnalysisFile {
  std::string path;
  std::vector<std::vector<std::pair<std::string, std::string>>> tables;  // name-value tables
  std::vector<MatrixTable> matrices;  // in order of first appearance in the file

  // The table of a matrix signature, nullptr when the file has none.
  const MatrixTable* find(SdifSignature sig) const;
  // Value of a name in the first table that has it, empty when none has.
  std::string header_value(const std::string& name) const;
};

// Column names of a matrix signature: the file's own declaration, else the names the analysis
// files use for it, else "col1", "col2", ... ; always `count` names (extra declared names are
// dropped, missing ones numbered).
std::vector<std::string> column_names(const SDIFTypeDeclarations& types, SdifSignature sig,
                                      int count);

// Reads the file at path entirely, optionally restricted by an SDIF selection of streams, frames,
// matrices and times (not of columns or rows, which would detach the column names). Throws
// ConvertError naming the file when it cannot be opened or is malformed.
AnalysisFile load_analysis_file(const std::string& path, const std::string& selection = "");
