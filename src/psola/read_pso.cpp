#include "psola/read_pso.h"

#include <cmath>

#include "lumbra/lumbra.h"

namespace {

constexpr int kPsoColumns = 8;  // Position ... TransitoireFlag

PsoMark mark_of(const SDIFMatrix& m) {
  PsoMark k;
  k.pos = m.GetDouble(0, 0);
  k.f0 = m.GetDouble(0, 1);
  k.voiced = m.GetDouble(0, 2) == 1.0;
  k.cutoff = m.GetDouble(0, 4);
  k.mod = m.GetDouble(0, 6);
  k.transient = m.GetDouble(0, 7) == 1.0;
  return k;
}

}  // namespace

PsoAnalysis read_pso(const std::string& path) {
  PsoAnalysis a;
  const std::string where = "analysis file " + path;
  try {
    SDIFEntity e;
    if (!SdifCheckFileFormat(path) || !e.OpenRead(path)) {
      throw PsolaError(where + ": cannot be opened as an SDIF file");
    }
    e.ChangeSelection(":1PSO/ITDS,1PSO/1PSO");
    SDIFFrame f;
    while (!e.eof()) {
      if (e.ReadNextFrame(f) == 0) continue;
      for (std::size_t i = 0; i < f.GetNbMatrix(); ++i) {
        const SDIFMatrix& m = f.GetMatrix(i);
        if (m.GetNbRows() < 1) continue;
        if (m.GetSignature() == SdifSignatureConst('I', 'T', 'D', 'S')) {
          a.sr = m.GetDouble(0, 0);
        } else if (m.GetNbCols() < kPsoColumns) {
          throw PsolaError(where + ": a 1PSO matrix has fewer than 8 columns");
        } else {
          a.marks.push_back(mark_of(m));
        }
      }
    }
  } catch (const SDIFException& ex) {
    throw PsolaError(where + ": " + ex.Text());
  }
  if (!a.marks.empty() && !(a.sr > 0.0 && std::isfinite(a.sr))) {
    throw PsolaError(where + ": no valid sampling rate (ITDS)");
  }
  return a;
}
