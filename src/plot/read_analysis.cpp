// Readers of the analysis files for the figures: tracks, per-sample curves, zones and marks,
// each reduced to column bins of the shown range while it is read.
#include "plot/read_analysis.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <functional>
#include <map>

#include "lumbra/lumbra.h"
#include "plot/plot_error.h"

namespace {

SdifSignature sig(const char* s) {
  return SdifStringToSignature(s);
}

// Opens path and hands every frame to each_frame until it returns false; SDIF faults become
// PlotError.
void for_each_frame(const std::string& path, const std::function<bool(const SDIFFrame&)>& each) {
  try {
    SDIFEntity e;
    if (!e.OpenRead(path)) throw PlotError("cannot open " + path);
    SDIFFrame f;
    while (!e.eof()) {
      if (e.ReadNextFrame(f) != 0 && !each(f)) return;
    }
  } catch (const SDIFException& ex) {
    throw PlotError("malformed analysis file " + path + ": " + ex.Text());
  }
}

// Value of a header key read as a number; nothing when absent or not a number.
std::optional<double> header_number(const std::string& path, const std::string& key) {
  try {
    SDIFEntity e;
    if (!e.OpenRead(path)) return std::nullopt;
    for (std::size_t i = 0; i < e.GetNbNVT(); ++i) {
      const SDIFNameValueTable& t = e.GetNVT(i);
      if (!t.HasName(key)) continue;
      const std::string text = t.GetValue(key);
      char* end = nullptr;
      const double v = std::strtod(text.c_str(), &end);
      if (end != text.c_str() && *end == '\0' && std::isfinite(v)) return v;
    }
  } catch (const SDIFException&) {
  }
  return std::nullopt;
}

// A time-stamped track: every row of every matrix `matrix`, value in its last column. Frame
// times never decrease, so reading stops at the first frame after the range (the neighbour
// that lets the line reach the edge).
ColumnBins read_track(const std::string& path, SdifSignature matrix, const PlotData& d,
                      int columns) {
  ColumnBins bins(d.from, d.to, columns);
  for_each_frame(path, [&](const SDIFFrame& f) {
    if (!f.MatrixExists(matrix)) return true;
    const SDIFMatrix& m = f.GetMatrixWithSig(matrix);
    if (m.GetType() == eText || m.GetType() == eByte || m.GetNbCols() == 0) return true;
    for (int r = 0; r < m.GetNbRows(); ++r)
      bins.add(f.GetTime(), m.GetDouble(r, m.GetNbCols() - 1));
    return !(f.GetTime() > d.to && m.GetNbRows() > 0);
  });
  return bins;
}

// Adds the rows [first, last) of the curve matrix m (column 0) to bins; its row 0 is sample
// `offset` of the sound. Reads them from the file in blocks, so memory stays small whatever the
// curve's length.
void add_curve_rows(SDIFEntity& e, const SDIFMatrixHeader& m, long offset, long first, long last,
                    double sr, ColumnBins& bins) {
  constexpr long kBlock = 65536;  // rows per read
  SDIFMatrix rows;
  std::vector<float> block(static_cast<std::size_t>(std::min(kBlock, last - first)));
  for (long at = first; at < last; at += kBlock) {
    const long n = std::min(kBlock, last - at);
    e.ReadMatrixRows(m, static_cast<int>(at), static_cast<int>(n), rows);
    // The analysis writes its curves as one column of 32-bit floats: those are copied, other
    // shapes and types converted element by element.
    if (m.type == eFloat4 && m.cols == 1) {
      std::memcpy(block.data(), rows.Data().data(), static_cast<std::size_t>(n) * sizeof(float));
    } else {
      for (long r = 0; r < n; ++r)
        block[r] = static_cast<float>(rows.GetDouble(static_cast<int>(r), 0));
    }
    bins.add_samples(offset + at, sr, block.data(), n);
  }
}

// A curve of one value per sample (element i at time i / sr). Only the rows of the shown range
// are read: the frames are walked by their headers and the rest of each matrix is skipped.
ColumnBins read_curve(const std::string& path, SdifSignature matrix, const PlotData& d,
                      int columns) {
  ColumnBins bins(d.from, d.to, columns);
  try {
    SDIFEntity e;
    if (!e.OpenRead(path)) throw PlotError("cannot open " + path);
    SDIFFrameHeader h;
    long offset = 0;  // samples of the matrices before this one
    while (!e.eof()) {
      if (e.ReadNextFrameHeader(h) == 0) continue;
      const SDIFMatrixHeader* m = h.Find(matrix);
      if (m == nullptr || m->type == eText || m->type == eByte || m->cols == 0) continue;
      const long rows = m->rows;
      // One sample each side beyond the range, so that lines reach the edges.
      const long first =
          std::clamp(static_cast<long>(std::floor(d.from * d.sr)) - 1 - offset, 0L, rows);
      const long last =
          std::clamp(static_cast<long>(std::ceil(d.to * d.sr)) + 2 - offset, first, rows);
      if (last > first) add_curve_rows(e, *m, offset, first, last, d.sr, bins);
      offset += rows;
    }
  } catch (const SDIFException& ex) {
    throw PlotError("malformed analysis file " + path + ": " + ex.Text());
  }
  return bins;
}

// Zones of a segment file (begin frames paired with the next end of the same number) that
// overlap the shown range. Reading stops after the range once every zone begun in it has ended.
std::vector<Zone> read_zones(const std::string& path, const PlotData& d) {
  std::vector<Zone> zones;
  std::map<long, double> open;  // zone number -> begin time
  for_each_frame(path, [&](const SDIFFrame& f) {
    if (f.GetTime() > d.to && open.empty()) return false;
    for (std::size_t k = 0; k < f.GetNbMatrix(); ++k) {
      const SDIFMatrix& m = f.GetMatrix(k);
      if (m.GetNbRows() < 1 || m.GetNbCols() < 1 || m.GetType() == eText) continue;
      const long number = std::lround(m.GetDouble(0, 0));
      if (m.GetSignature() == sig("1BEG")) {
        open[number] = f.GetTime();
      } else if (m.GetSignature() == sig("1END")) {
        const auto it = open.find(number);
        if (it == open.end())
          throw PlotError("malformed zone file " + path + ": zone end without begin");
        if (f.GetTime() >= d.from && it->second <= d.to) zones.push_back({it->second, f.GetTime()});
        open.erase(it);
      }
    }
    return true;
  });
  return zones;
}

void read_marks(const std::string& path, int columns, PlotData& d) {
  d.marks.assign(3, ColumnBins(d.from, d.to, columns));
  for_each_frame(path, [&](const SDIFFrame& f) {
    if (!f.MatrixExists(sig("1VUT"))) return true;
    const SDIFMatrix& m = f.GetMatrixWithSig(sig("1VUT"));
    if (m.GetNbRows() < 1 || m.GetNbCols() < 1 || m.GetType() == eText) return true;
    const double t = f.GetTime();
    const long kind = std::lround(m.GetDouble(0, m.GetNbCols() - 1));
    if (kind >= 0 && kind <= 2 && t >= d.from && t <= d.to) d.marks[kind].add(t, 0.0);
    return t <= d.to;
  });
}

std::string sibling(const std::string& path, const std::string& from, const std::string& to) {
  const std::size_t at = path.rfind(from);
  return at == std::string::npos ? path : path.substr(0, at) + to + path.substr(at + from.size());
}

bool exists(const std::string& path) {
  std::error_code ec;
  return std::filesystem::exists(path, ec);
}

}  // namespace

std::vector<ItemFile> analysis_files(const std::string& stem) {
  return {
      {Item::f0, "f0", "f0 track", stem + ".1FQ0.sdif", "-O"},
      {Item::voicing, "voicing", "voicing coefficient", stem + ".1VUN.sdif", "-U"},
      {Item::cutoff, "cutoff", "voicing cut-off frequency", stem + ".1VUF.sdif", "-U"},
      {Item::epochs, "epochs", "epoch curve", stem + ".1ECS.sdif", "-E"},
      {Item::transients, "transients", "transient curve", stem + ".1ECL.sdif", "-U"},
      {Item::zones, "zones", "zones", stem + ".1VOI.sdif", "-T"},
      {Item::marks, "marks", "pitch marks", stem + ".1VUT.sdif", "-M"},
  };
}

void read_item(const ItemFile& item, int columns, PlotData& d) {
  switch (item.item) {
    case Item::f0:
      d.f0 = read_track(item.path, sig("1FQ0"), d, columns);
      break;
    case Item::voicing:
      d.voicing = read_track(item.path, sig("1VUN"), d, columns);
      if (!d.voice_threshold) d.voice_threshold = header_number(item.path, "VoiceThreshold");
      break;
    case Item::cutoff:
      d.cutoff = read_track(item.path, sig("1VUF"), d, columns);
      break;
    case Item::epochs:
      d.epochs = read_curve(item.path, sig("1ECS"), d, columns);
      break;
    case Item::transients:
      d.transients = read_curve(item.path, sig("1ECL"), d, columns);
      if (!d.trans_threshold) d.trans_threshold = header_number(item.path, "TransThreshold");
      break;
    case Item::zones: {
      const std::string files[3] = {item.path, sibling(item.path, ".1VOI.", ".1UVI."),
                                    sibling(item.path, ".1VOI.", ".1TRA.")};
      for (int k = 0; k < 3; ++k) {
        if (exists(files[k])) d.zones[k] = read_zones(files[k], d);
      }
      d.has_zones = true;
      // The thresholds that cut these zones are the ones to draw.
      if (const auto v = header_number(item.path, "VoiceThreshold")) d.voice_threshold = v;
      if (const auto t = header_number(files[2], "TransThreshold")) d.trans_threshold = t;
      break;
    }
    case Item::marks:
      read_marks(item.path, columns, d);
      break;
  }
}

bool analysis_file_exists(const std::string& path) {
  return exists(path);
}
