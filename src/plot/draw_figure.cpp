// Figure layout and drawing on Cairo. All lengths are in points (1/72 inch); a PNG is drawn on
// a surface scaled to the style's resolution.
#include "plot/draw_figure.h"

#include <cairo-pdf.h>
#include <cairo-svg.h>
#include <cairo.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>
#include <optional>
#include <tuple>

#include "plot/nice_ticks.h"
#include "plot/plot_error.h"

namespace {

constexpr double kPtPerMm = 72.0 / 25.4;

struct Rgb {
  double r, g, b;
};
// Colours that stay apart for colour-blind readers and in grey print.
constexpr Rgb kKindColour[3] = {{0.902, 0.624, 0.0},     // unvoiced: orange
                                {0.0, 0.447, 0.698},     // voiced: blue
                                {0.800, 0.475, 0.655}};  // transient: reddish purple
constexpr Rgb kCurve = {0.10, 0.10, 0.10};
constexpr Rgb kThreshold = {0.835, 0.369, 0.0};  // vermillion
constexpr Rgb kGrid = {0.85, 0.85, 0.85};
constexpr Rgb kFrame = {0.35, 0.35, 0.35};
constexpr double kZoneAlpha[3] = {0.16, 0.13, 0.45};
constexpr double kMinZoneWidth = 1.2;  // pt  // by MarkKind of the zone
constexpr MarkKind kZoneMarkKind[3] = {kVoicedMark, kUnvoicedMark, kTransientMark};

struct Layout {
  double width, height;             // figure, pt
  double left, right, top, bottom;  // margins around the panels, pt
  double gap;                       // between panels, pt
  double font;                      // pt
};

Layout layout_of(const FigureStyle& s, double height_mm) {
  Layout l{};
  l.font = s.font_pt;
  l.width = s.width_mm * kPtPerMm;
  l.height = height_mm * kPtPerMm;
  l.left = 3.8 * l.font;
  l.right = 1.6 * l.font;
  l.top = (s.title.empty() ? 0.0 : 1.5 * l.font) + 1.7 * l.font;
  l.bottom = 3.0 * l.font;
  l.gap = 0.55 * l.font;
  return l;
}

double panel_weight(Panel p) {
  return p == Panel::wave ? 1.7 : 1.0;
}

struct Box {
  double x, y, w, h;  // pt, y downwards
};

// Maps times and values of one panel to the page.
struct Mapping {
  Box box;
  double t0, t1, lo, hi;
  double x(double t) const { return box.x + (t - t0) / (t1 - t0) * box.w; }
  double y(double v) const { return box.y + box.h - (v - lo) / (hi - lo) * box.h; }
};

void colour(cairo_t* cr, const Rgb& c, double alpha = 1.0) {
  cairo_set_source_rgba(cr, c.r, c.g, c.b, alpha);
}

// Text whose baseline starts at (x, y), or ends there (ax 1) or is centred on it (ax 0.5).
void text(cairo_t* cr, double x, double y, const std::string& s, double ax) {
  cairo_text_extents_t e;
  cairo_text_extents(cr, s.c_str(), &e);
  cairo_move_to(cr, x - ax * e.x_advance, y);
  cairo_show_text(cr, s.c_str());
}

void zone_bands(cairo_t* cr, const PlotData& d, const Mapping& m) {
  // Short zones are widened while few enough to stay apart; in an overview of thousands they
  // keep their true width, so they cannot cover the panel.
  std::size_t shown = 0;
  for (const auto& zones : d.zones) shown += zones.size();
  const double min_width =
      static_cast<double>(shown) * 4.0 * kMinZoneWidth < m.box.w ? kMinZoneWidth : 0.0;
  for (int k = 0; k < 3; ++k) {
    colour(cr, kKindColour[kZoneMarkKind[k]], kZoneAlpha[k]);
    for (const Zone& z : d.zones[k]) {
      double x0 = m.x(z.begin);
      double x1 = m.x(z.end);
      if (x1 - x0 < min_width) {
        const double mid = (x0 + x1) / 2;
        x0 = mid - min_width / 2;
        x1 = mid + min_width / 2;
      }
      x0 = std::max(x0, m.box.x);
      x1 = std::min(x1, m.box.x + m.box.w);
      if (x1 > x0) cairo_rectangle(cr, x0, m.box.y, x1 - x0, m.box.h);
    }
    cairo_fill(cr);
  }
}

// Ticks of the marks in a strip along the top of the box, and faint guides across it where
// the marks lie far enough apart to be told from each other. Marks too dense to draw one by
// one mark the columns that hold them, each kind in its own row of the strip (voiced on top),
// so that no kind hides another.
void mark_ticks(cairo_t* cr, const PlotData& d, const Mapping& m, double strip) {
  const double pw = m.box.w;
  static const int kRow[3] = {1, 0, 2};  // by MarkKind
  for (int k = 0; k < static_cast<int>(d.marks.size()); ++k) {
    const ColumnBins& b = d.marks[k];
    const double top = b.exact() ? m.box.y : m.box.y + kRow[k] * strip / 3;
    const double bottom = b.exact() ? m.box.y + strip : top + strip / 3;
    std::vector<double> xs;
    if (b.exact()) {
      for (const SeriesPoint& p : b.points()) xs.push_back(m.x(p.t));
    } else {
      for (int c = 0; c < b.columns(); ++c)
        if (b.filled(c)) xs.push_back(m.box.x + (c + 0.5) * pw / b.columns());
    }
    const bool guides = b.exact() && b.count() > 0 && pw / static_cast<double>(b.count()) > 5.0;
    cairo_set_line_width(cr, 0.5);
    if (guides) {
      colour(cr, kKindColour[k], 0.35);
      for (const double x : xs) {
        cairo_move_to(cr, x, m.box.y + strip);
        cairo_line_to(cr, x, m.box.y + m.box.h);
      }
      cairo_stroke(cr);
    }
    colour(cr, kKindColour[k]);
    const double spacing = b.count() > 0 ? pw / static_cast<double>(b.count()) : pw;
    cairo_set_line_width(cr, std::clamp(spacing * 0.4, 0.25, 0.8));
    for (const double x : xs) {
      cairo_move_to(cr, x, top);
      cairo_line_to(cr, x, bottom);
    }
    cairo_stroke(cr);
  }
}

// A series: its own points joined by lines while they are few (a line breaks where the
// points lie more than `max_gap` seconds apart), else the band between each column's minimum
// and maximum.
void series(cairo_t* cr, const ColumnBins& b, const Mapping& m, double max_gap) {
  colour(cr, kCurve);
  cairo_set_line_width(cr, 0.6);
  cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
  if (b.exact()) {
    const std::vector<SeriesPoint> pts = b.points();
    for (std::size_t i = 0; i < pts.size(); ++i) {
      const bool joined = i > 0 && pts[i].t - pts[i - 1].t <= max_gap;
      if (joined) {
        cairo_line_to(cr, m.x(pts[i].t), m.y(pts[i].v));
      } else {
        cairo_move_to(cr, m.x(pts[i].t), m.y(pts[i].v));
        // A point on its own stays visible as a dot.
        const bool alone = i + 1 >= pts.size() || pts[i + 1].t - pts[i].t > max_gap;
        if (alone) cairo_rel_line_to(cr, 0.01, 0.0);
      }
    }
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
    cairo_stroke(cr);
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_BUTT);
    return;
  }
  const double cw = m.box.w / b.columns();
  int c = 0;
  while (c < b.columns()) {
    if (!b.filled(c)) {
      ++c;
      continue;
    }
    int end = c;
    while (end < b.columns() && b.filled(end)) ++end;
    // Upper edge forwards, lower edge back: one closed band per run of filled columns.
    for (int k = c; k < end; ++k) cairo_line_to(cr, m.box.x + (k + 0.5) * cw, m.y(b.hi(k)));
    for (int k = end - 1; k >= c; --k) cairo_line_to(cr, m.box.x + (k + 0.5) * cw, m.y(b.lo(k)));
    cairo_close_path(cr);
    cairo_fill_preserve(cr);
    cairo_stroke(cr);
    c = end;
  }
}

void hline(cairo_t* cr, const Mapping& m, double v, const std::string& label, double font) {
  if (v < m.lo || v > m.hi) return;
  colour(cr, kThreshold);
  cairo_set_line_width(cr, 0.6);
  const double dash[] = {2.0, 1.5};
  cairo_set_dash(cr, dash, 2, 0.0);
  cairo_move_to(cr, m.box.x, m.y(v));
  cairo_line_to(cr, m.box.x + m.box.w, m.y(v));
  cairo_stroke(cr);
  cairo_set_dash(cr, nullptr, 0, 0.0);
  cairo_set_font_size(cr, font * 0.85);
  cairo_text_extents_t e;
  cairo_text_extents(cr, label.c_str(), &e);
  cairo_font_extents_t fe;
  cairo_font_extents(cr, &fe);
  const double x = m.box.x + m.box.w - 0.3 * font;
  const double y = m.y(v) - 0.3 * font;
  cairo_set_source_rgba(cr, 1, 1, 1, 0.75);
  cairo_rectangle(cr, x - e.x_advance - 0.15 * font, y - fe.ascent, e.x_advance + 0.3 * font,
                  fe.ascent + 0.15 * font);
  cairo_fill(cr);
  colour(cr, kThreshold);
  text(cr, x, y, label, 1.0);
  cairo_set_font_size(cr, font);
}

// Y ticks and labels (label = value * label_scale) on the left of the box.
void y_axis(cairo_t* cr, const Mapping& m, double label_scale, double font) {
  // At least two labelled ticks, so that the scale can be read off any panel.
  int wanted = std::clamp(static_cast<int>(m.box.h / (2.4 * font)), 2, 5);
  Ticks t = nice_ticks(m.lo * label_scale, m.hi * label_scale, wanted);
  while (t.values.size() < 2 && wanted < 8)
    t = nice_ticks(m.lo * label_scale, m.hi * label_scale, ++wanted);
  colour(cr, kFrame);
  cairo_set_line_width(cr, 0.5);
  cairo_set_font_size(cr, font * 0.85);
  cairo_font_extents_t fe;
  cairo_font_extents(cr, &fe);
  for (const double v : t.values) {
    const double y = m.y(v / label_scale);
    cairo_move_to(cr, m.box.x - 0.35 * font, y);
    cairo_line_to(cr, m.box.x, y);
    cairo_stroke(cr);
    text(cr, m.box.x - 0.55 * font, y + 0.35 * fe.ascent, tick_label(v, t.step), 1.0);
  }
  cairo_set_font_size(cr, font);
}

// The panel's name in its top-left corner, on a white patch so that curves do not hide it.
void panel_name(cairo_t* cr, const Box& box, const std::string& name, double font, double below) {
  cairo_set_font_size(cr, font * 0.9);
  cairo_text_extents_t e;
  cairo_text_extents(cr, name.c_str(), &e);
  cairo_font_extents_t fe;
  cairo_font_extents(cr, &fe);
  const double x = box.x + 0.3 * font;
  const double y = box.y + below + 0.25 * font;
  cairo_set_source_rgba(cr, 1, 1, 1, 0.8);
  cairo_rectangle(cr, x - 0.2 * font, y, e.x_advance + 0.4 * font, fe.ascent + fe.descent);
  cairo_fill(cr);
  colour(cr, kCurve);
  text(cr, x, y + fe.ascent, name, 0.0);
  cairo_set_font_size(cr, font);
}

void no_data(cairo_t* cr, const Box& box, double font) {
  colour(cr, kFrame);
  cairo_set_font_size(cr, font * 0.9);
  text(cr, box.x + box.w / 2, box.y + box.h / 2 + 0.3 * font, "nothing in this range", 0.5);
  cairo_set_font_size(cr, font);
}

// What one panel shows: its series, value range, name and the scale of its tick labels.
struct PanelView {
  const ColumnBins* bins = nullptr;
  double lo = 0.0, hi = 1.0;
  double label_scale = 1.0;
  double max_gap = 0.0;  // seconds between points beyond which a line breaks
  std::string name;
  std::optional<double> threshold;
};

std::pair<double, double> padded(const ColumnBins* b, double fallback_lo, double fallback_hi) {
  const auto r = b != nullptr ? b->value_range() : std::nullopt;
  if (!r) return {fallback_lo, fallback_hi};
  const double span = r->second - r->first;
  const double pad = span > 0.0 ? 0.06 * span : std::max(1.0, std::abs(r->first) * 0.1);
  return {r->first - pad, r->second + pad};
}

PanelView view_of(const PlotData& d, Panel p) {
  PanelView v;
  const double sample = d.sr > 0.0 ? 1.5 / d.sr : 0.0;
  switch (p) {
    case Panel::wave: {
      v.bins = d.wave ? &*d.wave : nullptr;
      const auto r = v.bins ? v.bins->value_range() : std::nullopt;
      const double peak = r ? std::max(std::abs(r->first), std::abs(r->second)) : 0.0;
      v.hi = peak > 0.0 ? 1.08 * peak : 1.0;
      v.lo = -v.hi;
      v.max_gap = sample;
      v.name = "sound";
      break;
    }
    case Panel::f0: {
      v.bins = d.f0 ? &*d.f0 : nullptr;
      const auto r = v.bins ? v.bins->value_range() : std::nullopt;
      v.lo = r ? std::max(0.0, 0.85 * r->first) : 50.0;
      v.hi = r ? 1.1 * r->second : 500.0;
      if (v.hi <= v.lo) v.hi = v.lo + 10.0;
      v.max_gap = 0.03;  // longer holes than this are unvoiced stretches
      v.name = "f0 (Hz)";
      break;
    }
    case Panel::voicing:
      v.bins = d.voicing ? &*d.voicing : nullptr;
      v.lo = -0.02;
      v.hi = 1.08;
      v.max_gap = 0.1;
      v.name = "voicing";
      v.threshold = d.voice_threshold;
      break;
    case Panel::cutoff: {
      v.bins = d.cutoff ? &*d.cutoff : nullptr;
      const auto r = v.bins ? v.bins->value_range() : std::nullopt;
      v.lo = 0.0;
      v.hi = std::max(1000.0, r ? 1.08 * r->second : 0.0);
      v.label_scale = 0.001;
      v.max_gap = 0.1;
      v.name = "cut-off (kHz)";
      break;
    }
    case Panel::epochs:
      v.bins = d.epochs ? &*d.epochs : nullptr;
      std::tie(v.lo, v.hi) = padded(v.bins, 0.0, 1.0);
      v.max_gap = sample;
      v.name = "epochs";
      break;
    case Panel::transients: {
      v.bins = d.transients ? &*d.transients : nullptr;
      std::tie(v.lo, v.hi) = padded(v.bins, 0.0, 1.0);
      if (d.trans_threshold) v.hi = std::max(v.hi, 1.2 * *d.trans_threshold);
      v.max_gap = sample;
      v.name = "transients";
      v.threshold = d.trans_threshold;
      break;
    }
  }
  return v;
}

void x_grid(cairo_t* cr, const Mapping& m, const Ticks& t) {
  colour(cr, kGrid);
  cairo_set_line_width(cr, 0.3);
  for (const double v : t.values) {
    cairo_move_to(cr, m.x(v), m.box.y);
    cairo_line_to(cr, m.x(v), m.box.y + m.box.h);
  }
  cairo_stroke(cr);
}

void x_axis(cairo_t* cr, const Mapping& m, const Ticks& t, double font) {
  colour(cr, kFrame);
  cairo_set_line_width(cr, 0.5);
  const double base = m.box.y + m.box.h;
  for (const double v : t.values) {
    cairo_move_to(cr, m.x(v), base);
    cairo_line_to(cr, m.x(v), base + 0.35 * font);
  }
  cairo_stroke(cr);
  cairo_set_font_size(cr, font * 0.85);
  for (const double v : t.values) text(cr, m.x(v), base + 1.3 * font, tick_label(v, t.step), 0.5);
  cairo_set_font_size(cr, font);
  text(cr, m.box.x + m.box.w / 2, base + 2.6 * font, "time (s)", 0.5);
}

void draw_panel(cairo_t* cr, const PlotData& d, Panel p, const Mapping& base, const Ticks& xt,
                double font) {
  const PanelView v = view_of(d, p);
  Mapping m = base;
  m.lo = v.lo;
  m.hi = v.hi;
  const Box& b = m.box;
  cairo_set_source_rgb(cr, 1, 1, 1);
  cairo_rectangle(cr, b.x, b.y, b.w, b.h);
  cairo_fill(cr);
  x_grid(cr, m, xt);
  zone_bands(cr, d, m);
  const bool marks = p == Panel::wave && !d.marks.empty();
  const double strip = marks ? std::min(0.16 * b.h, 1.6 * font) : 0.0;
  cairo_save(cr);
  cairo_rectangle(cr, b.x, b.y, b.w, b.h);
  cairo_clip(cr);
  if (marks) mark_ticks(cr, d, m, strip);
  // The marks' strip sits above the values, never on them: the curve, its threshold and the
  // value axis share the part of the box below it.
  Mapping values = m;
  values.box.y += strip;
  values.box.h -= strip;
  if (v.bins != nullptr && v.bins->count() > 0) {
    series(cr, *v.bins, values, v.max_gap);
  } else {
    no_data(cr, b, font);
  }
  if (v.threshold) {
    char label[64];
    std::snprintf(label, sizeof label, "threshold %.2f", *v.threshold);
    hline(cr, values, *v.threshold, label, font);
  }
  cairo_restore(cr);
  colour(cr, kFrame);
  cairo_set_line_width(cr, 0.5);
  cairo_rectangle(cr, b.x, b.y, b.w, b.h);
  cairo_stroke(cr);
  y_axis(cr, values, v.label_scale, font);
  panel_name(cr, b, v.name, font, strip);
}

// One key per kind: a tinted patch (the zone) holding a tick (the mark), then the kind's name.
void legend(cairo_t* cr, const PlotData& d, double x, double y, double font) {
  static const char* const kNames[3] = {"unvoiced", "voiced", "transient"};
  static const int kOrder[3] = {kVoicedMark, kUnvoicedMark, kTransientMark};
  static const int kZoneOf[3] = {kUnvoicedZone, kVoicedZone, kTransientZone};  // by MarkKind
  cairo_set_font_size(cr, font * 0.9);
  const std::string lead = d.has_zones && !d.marks.empty() ? "zones and marks:"
                           : d.has_zones                   ? "zones:"
                                                           : "marks:";
  colour(cr, kCurve);
  text(cr, x, y, lead, 0.0);
  cairo_text_extents_t e;
  cairo_text_extents(cr, lead.c_str(), &e);
  x += e.x_advance + 0.6 * font;
  for (const int k : kOrder) {
    const double w = 1.3 * font, h = 0.95 * font;
    if (d.has_zones) {
      colour(cr, kKindColour[k], kZoneAlpha[kZoneOf[k]] * 1.6);
      cairo_rectangle(cr, x, y - h, w, h + 0.15 * font);
      cairo_fill(cr);
    }
    if (!d.marks.empty()) {
      colour(cr, kKindColour[k]);
      cairo_set_line_width(cr, 1.0);
      cairo_move_to(cr, x + w / 2, y - h);
      cairo_line_to(cr, x + w / 2, y + 0.15 * font);
      cairo_stroke(cr);
    }
    colour(cr, kCurve);
    text(cr, x + w + 0.3 * font, y, kNames[k], 0.0);
    cairo_text_extents(cr, kNames[k], &e);
    x += w + 0.3 * font + e.x_advance + 0.9 * font;
  }
  cairo_set_font_size(cr, font);
}

void draw_all(cairo_t* cr, const PlotData& d, const std::vector<Panel>& panels,
              const FigureStyle& s, const Layout& l) {
  cairo_set_source_rgb(cr, 1, 1, 1);
  cairo_paint(cr);
  cairo_select_font_face(cr, "DejaVu Sans", CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_NORMAL);
  cairo_set_font_size(cr, l.font);
  double y = 0.3 * l.font;
  if (!s.title.empty()) {
    colour(cr, kCurve);
    text(cr, l.left, y + 1.0 * l.font, s.title, 0.0);
    y += 1.5 * l.font;
  }
  if (d.has_zones || !d.marks.empty()) legend(cr, d, l.left, y + 1.05 * l.font, l.font);

  const double pw = l.width - l.left - l.right;
  double weights = 0.0;
  for (const Panel p : panels) weights += panel_weight(p);
  const double free_h = l.height - l.top - l.bottom - l.gap * (panels.size() - 1.0);
  const Ticks xt = nice_ticks(d.from, d.to, std::max(2, static_cast<int>(pw / (6.5 * l.font))));
  double top = l.top;
  Mapping m{};
  for (const Panel p : panels) {
    const double h = free_h * panel_weight(p) / weights;
    m = Mapping{{l.left, top, pw, h}, d.from, d.to, 0.0, 1.0};
    draw_panel(cr, d, p, m, xt, l.font);
    top += h + l.gap;
  }
  x_axis(cr, m, xt, l.font);
}

enum class Format { png, svg, pdf };

Format format_of(const std::string& path) {
  const std::size_t dot = path.rfind('.');
  std::string ext = dot == std::string::npos ? "" : path.substr(dot + 1);
  std::transform(ext.begin(), ext.end(), ext.begin(),
                 [](unsigned char c) { return std::tolower(c); });
  if (ext == "png") return Format::png;
  if (ext == "svg") return Format::svg;
  if (ext == "pdf") return Format::pdf;
  throw PlotError("cannot tell the format of " + path + ": give a .png, .svg or .pdf file");
}

struct SurfaceDeleter {
  void operator()(cairo_surface_t* s) const { cairo_surface_destroy(s); }
};
struct ContextDeleter {
  void operator()(cairo_t* c) const { cairo_destroy(c); }
};

// Draws into the file tmp; false when Cairo reports a fault.
bool render(const PlotData& d, const std::vector<Panel>& panels, const FigureStyle& s,
            const Layout& l, Format f, const std::string& tmp) {
  const double px_per_pt = s.dpi / 72.0;
  std::unique_ptr<cairo_surface_t, SurfaceDeleter> surface(
      f == Format::png ? cairo_image_surface_create(
                             CAIRO_FORMAT_RGB24, static_cast<int>(std::lround(l.width * px_per_pt)),
                             static_cast<int>(std::lround(l.height * px_per_pt)))
      : f == Format::svg ? cairo_svg_surface_create(tmp.c_str(), l.width, l.height)
                         : cairo_pdf_surface_create(tmp.c_str(), l.width, l.height));
  if (cairo_surface_status(surface.get()) != CAIRO_STATUS_SUCCESS) return false;
  {
    std::unique_ptr<cairo_t, ContextDeleter> cr(cairo_create(surface.get()));
    if (f == Format::png) cairo_scale(cr.get(), px_per_pt, px_per_pt);
    draw_all(cr.get(), d, panels, s, l);
    if (cairo_status(cr.get()) != CAIRO_STATUS_SUCCESS) return false;
  }
  if (f == Format::png)
    return cairo_surface_write_to_png(surface.get(), tmp.c_str()) == CAIRO_STATUS_SUCCESS;
  cairo_surface_finish(surface.get());
  return cairo_surface_status(surface.get()) == CAIRO_STATUS_SUCCESS;
}

}  // namespace

int plot_columns(const FigureStyle& s) {
  const Layout l = layout_of(s, 100.0);
  return std::max(1, static_cast<int>(std::lround((l.width - l.left - l.right) * s.dpi / 72.0)));
}

double figure_height_mm(const FigureStyle& s, const std::vector<Panel>& panels) {
  if (s.height_mm > 0.0) return s.height_mm;
  const Layout l = layout_of(s, 0.0);
  double weights = 0.0;
  for (const Panel p : panels) weights += panel_weight(p);
  const double panel_mm = 4.4 * s.font_pt / 7.0 * 3.6;  // ~16 mm at 7 pt
  return (l.top + l.bottom + l.gap * (panels.size() - 1.0)) / kPtPerMm + weights * panel_mm;
}

void draw_figure(const PlotData& d, const std::vector<Panel>& panels, const FigureStyle& s,
                 const std::string& path) {
  const Format f = format_of(path);
  const Layout l = layout_of(s, figure_height_mm(s, panels));
  const std::size_t slash = path.rfind('/');
  const std::string dir = slash == std::string::npos ? "." : path.substr(0, slash + 1);
  std::string tmp =
      (slash == std::string::npos ? std::string("./") : dir) + ".glotmark-plot-XXXXXX";
  const int fd = mkstemp(tmp.data());
  if (fd < 0) throw PlotError("cannot write " + path + ": " + std::strerror(errno));
  // mkstemp makes the file private; a figure gets the permissions any new file would.
  const mode_t mask = umask(0);
  umask(mask);
  (void)fchmod(fd, 0666 & ~mask);
  close(fd);
  if (!render(d, panels, s, l, f, tmp)) {
    std::remove(tmp.c_str());
    throw PlotError("cannot write " + path + " (drawing failed; is the disk full?)");
  }
  if (std::rename(tmp.c_str(), path.c_str()) != 0) {
    const int err = errno;
    std::remove(tmp.c_str());
    throw PlotError("cannot write " + path + ": " + std::strerror(err));
  }
}
