// Figure data: column bins, tick values, and the readers that cut the shown range out of the
// sound and the analysis files.
#include <audiofile.h>
#include <cairo.h>
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "lumbra/lumbra.h"
#include "plot/column_bins.h"
#include "plot/draw_figure.h"
#include "plot/nice_ticks.h"
#include "plot/plot_error.h"
#include "plot/read_analysis.h"
#include "plot/read_sound_bins.h"
#include "run_program.h"

namespace {

TEST(ColumnBins, KeepsFewPointsAndTheirNeighboursOutsideTheRange) {
  ColumnBins b(1.0, 2.0, 4);  // up to 8 exact points
  for (double t = 0.0; t <= 3.0; t += 0.25) b.add(t, 10 * t);
  b.add(1.5, std::numeric_limits<double>::quiet_NaN());
  ASSERT_TRUE(b.exact());
  EXPECT_EQ(b.count(), 5u);  // 1.0, 1.25, 1.5, 1.75, 2.0
  const auto pts = b.points();
  ASSERT_EQ(pts.size(), 7u);
  EXPECT_DOUBLE_EQ(pts.front().t, 0.75);  // last one before the range
  EXPECT_DOUBLE_EQ(pts.back().t, 2.25);   // first one after it
  const auto r = b.value_range();
  ASSERT_TRUE(r.has_value());
  EXPECT_DOUBLE_EQ(r->first, 10.0);
  EXPECT_DOUBLE_EQ(r->second, 20.0);
}

TEST(ColumnBins, ManyPointsBecomeTheMinimumAndMaximumOfEachColumn) {
  const double sr = 1000.0;
  ColumnBins b(0.0, 1.0, 10);
  std::vector<float> v(1001);
  for (std::size_t i = 0; i < v.size(); ++i)
    v[i] = static_cast<float>(i % 100);  // saw, period 0.1 s
  b.add_samples(0, sr, v.data(), static_cast<long>(v.size()));
  EXPECT_FALSE(b.exact());
  EXPECT_TRUE(b.points().empty());
  EXPECT_EQ(b.count(), 1001u);
  for (int c = 0; c < 9; ++c) {
    EXPECT_TRUE(b.filled(c));
    EXPECT_EQ(b.lo(c), 0.0f) << "column " << c;
    EXPECT_EQ(b.hi(c), 99.0f) << "column " << c;
  }
  // t = 1.0 exactly falls into the last column with its own value.
  EXPECT_EQ(b.lo(9), 0.0f);
}

TEST(NiceTicks, RoundStepsInsideTheRange) {
  struct Case {
    double lo, hi;
    int wanted;
    std::vector<double> values;
  };
  const Case cases[] = {
      {0.0, 2.0, 4, {0.0, 0.5, 1.0, 1.5, 2.0}},
      {1.05, 1.25, 4, {1.05, 1.10, 1.15, 1.20, 1.25}},
      {-0.83, 0.83, 3, {-0.5, 0.0, 0.5}},
      {0.0, 3600.0, 4, {0.0, 1000.0, 2000.0, 3000.0}},
      {87.0, 176.0, 3, {100.0, 120.0, 140.0, 160.0}},
  };
  for (const Case& c : cases) {
    const Ticks t = nice_ticks(c.lo, c.hi, c.wanted);
    ASSERT_EQ(t.values.size(), c.values.size()) << c.lo << ".." << c.hi;
    for (std::size_t i = 0; i < c.values.size(); ++i) EXPECT_NEAR(t.values[i], c.values[i], 1e-9);
  }
  EXPECT_EQ(tick_label(1.1, 0.05), "1.10");
  EXPECT_EQ(tick_label(-0.5, 0.5), "-0.5");
  EXPECT_EQ(tick_label(2000.0, 1000.0), "2000");
  EXPECT_TRUE(nice_ticks(1.0, 1.0, 4).values.empty());
}

void write_ramp_wav(const std::string& path, int n, double sr) {
  AFfilesetup setup = afNewFileSetup();
  afInitFileFormat(setup, AF_FILE_WAVE);
  afInitChannels(setup, AF_DEFAULT_TRACK, 1);
  afInitSampleFormat(setup, AF_DEFAULT_TRACK, AF_SAMPFMT_FLOAT, 32);
  afInitRate(setup, AF_DEFAULT_TRACK, sr);
  AFfilehandle f = afOpenFile(path.c_str(), "w", setup);
  afFreeFileSetup(setup);
  ASSERT_NE(f, AF_NULL_FILEHANDLE);
  std::vector<float> v(n);
  for (int i = 0; i < n; ++i) v[i] = static_cast<float>(i) / n;
  ASSERT_EQ(afWriteFrames(f, AF_DEFAULT_TRACK, v.data(), n), n);
  ASSERT_EQ(afCloseFile(f), 0);
}

// The samples shown are those of the range, read across block boundaries.
TEST(ReadSoundBins, ReadsOnlyTheRange) {
  testsupport::ScratchDir dir;
  const std::string path = dir / "ramp.wav";
  const int n = 200000;  // longer than one read block
  write_ramp_wav(path, n, 8000.0);
  const SoundInfo info = sound_info(path);
  EXPECT_EQ(info.samples, n);
  EXPECT_EQ(info.sr, 8000.0);
  ColumnBins b(10.0, 20.0, 50);  // samples 80000 .. 160000
  read_sound_bins(path, b);
  const auto r = b.value_range();
  ASSERT_TRUE(r.has_value());
  EXPECT_NEAR(r->first, 80000.0 / n, 1e-6);
  EXPECT_NEAR(r->second, 160000.0 / n, 1e-6);
  EXPECT_EQ(b.count(), 80001u);
  EXPECT_THROW((void)sound_info(dir / "none.wav"), PlotError);
}

// A curve of n elements valued by their index, cut into frames of `split` elements (the last
// one in 64-bit floats, so that both element types are read).
void write_curve(const std::string& path, const char* matrix, int n, int split) {
  SDIFEntity e;
  ASSERT_TRUE(e.OpenWrite(path));
  for (int at = 0; at < n; at += split) {
    const int rows = std::min(split, n - at);
    SDIFFrame f;
    f.SetHeader(SdifStringToSignature("1EPC"), 0, 0.0);
    SDIFMatrix m(SdifStringToSignature(matrix), rows, 1, at + rows < n ? eFloat4 : eFloat8);
    for (int i = 0; i < rows; ++i) m.Set(i, 0, static_cast<double>(at + i));
    f.AddMatrix(std::move(m));
    f.Write(e);
  }
  e.Close();
}

const ItemFile& item_of(const std::vector<ItemFile>& items, Item which) {
  return *std::find_if(items.begin(), items.end(),
                       [&](const ItemFile& i) { return i.item == which; });
}

// Element i of an epoch curve is sample i, counted across frames: the range [from, to] shows
// elements from * sr to to * sr, however the frames and the read blocks cut them.
TEST(ReadAnalysis, CurveElementsAlignWithSamples) {
  testsupport::ScratchDir dir;
  const std::string stem = dir / "x";
  struct Case {
    int n, split;
    double from, to;
  } const cases[] = {
      {4000, 4000, 1.5, 2.5},     // one frame
      {4000, 2000, 1.5, 2.5},     // the range across two frames
      {4000, 1000, 2.0, 2.999},   // one whole frame and the edge of the next
      {300000, 300000, 10, 290},  // several read blocks
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.n) + "/" + std::to_string(c.split));
    write_curve(stem + ".1ECS.sdif", "1ECS", c.n, c.split);
    PlotData d;
    d.sr = 1000.0;
    d.from = c.from;
    d.to = c.to;
    read_item(item_of(analysis_files(stem), Item::epochs), 100, d);
    ASSERT_TRUE(d.epochs.has_value());
    const auto r = d.epochs->value_range();
    ASSERT_TRUE(r.has_value());
    EXPECT_EQ(r->first, std::ceil(c.from * d.sr));
    EXPECT_EQ(r->second, std::floor(c.to * d.sr));
    EXPECT_EQ(d.epochs->count(), static_cast<std::size_t>(r->second - r->first + 1));
  }
}

// A track keeps its points in the range and one neighbour on each side, though reading stops
// soon after the range.
TEST(ReadAnalysis, TrackKeepsTheNeighboursOfTheRange) {
  testsupport::ScratchDir dir;
  const std::string stem = dir / "x";
  {
    SDIFEntity e;
    ASSERT_TRUE(e.OpenWrite(stem + ".1FQ0.sdif"));
    for (int k = 0; k <= 400; ++k) {
      SDIFFrame f;
      f.SetHeader(SdifStringToSignature("1FQ0"), 0, 0.01 * k);
      SDIFMatrix m(SdifStringToSignature("1FQ0"), 1, 1);
      m.Set(0, 0, 100.0 + k);
      f.AddMatrix(m);
      f.Write(e);
    }
    e.Close();
  }
  PlotData d;
  d.sr = 1000.0;
  d.from = 1.505;
  d.to = 2.505;
  read_item(item_of(analysis_files(stem), Item::f0), 1000, d);
  ASSERT_TRUE(d.f0.has_value());
  ASSERT_TRUE(d.f0->exact());
  const auto pts = d.f0->points();
  ASSERT_EQ(pts.size(), 102u);  // 1.51 .. 2.50 and the two neighbours
  EXPECT_NEAR(pts.front().t, 1.50, 1e-9);
  EXPECT_EQ(pts.front().v, 250.0);
  EXPECT_NEAR(pts.back().t, 2.51, 1e-9);
  EXPECT_EQ(pts.back().v, 351.0);
}

TEST(ReadAnalysis, MalformedOrMissingFilesAreReportedWithTheirName) {
  testsupport::ScratchDir dir;
  const std::string stem = dir / "x";
  { std::ofstream(stem + ".1FQ0.sdif") << "SDIF but not really"; }
  PlotData d;
  d.sr = 1000.0;
  d.from = 0.0;
  d.to = 1.0;
  for (const ItemFile& it : analysis_files(stem)) {
    if (it.item != Item::f0 && it.item != Item::marks) continue;
    try {
      read_item(it, 10, d);
      ADD_FAILURE() << it.path << " read without a fault";
    } catch (const PlotError& e) {
      EXPECT_NE(std::string(e.what()).find(it.path), std::string::npos) << e.what();
    }
  }
}

// Rows (centres of runs of pixels darker than `below`) of column x, between rows y0 and y1.
std::vector<double> dark_rows(const std::vector<std::vector<int>>& grey, int x, int below, int y0,
                              int y1) {
  std::vector<double> rows;
  int start = -1;
  for (int y = y0; y <= y1; ++y) {
    const bool dark = y < y1 && grey[y][x] < below;
    if (dark && start < 0) start = y;
    if (!dark && start >= 0) {
      rows.push_back((start + y - 1) / 2.0);
      start = -1;
    }
  }
  return rows;
}

// The sound panel with its marks' strip: a stretch of silence is drawn on the 0 of the value
// axis, and +0.5 and -0.5 on either side of it at the same distance.
TEST(DrawFigure, SoundValuesSitOnTheirAxis) {
  testsupport::ScratchDir dir;
  PlotData d;
  d.sr = 1000.0;
  d.duration = 1.0;
  d.to = 1.0;
  const FigureStyle style;
  d.wave.emplace(0.0, 1.0, plot_columns(style));
  for (int i = 0; i <= 1000; ++i) d.wave->add(i / 1000.0, i < 333 ? 0.5 : i < 667 ? 0.0 : -0.5);
  d.marks.assign(3, ColumnBins(0.0, 1.0, plot_columns(style)));
  d.marks[kVoicedMark].add(0.95, 0.0);
  d.marks[kUnvoicedMark].add(0.97, 0.0);
  const std::string path = dir / "sound.png";
  draw_figure(d, {Panel::wave}, style, path);

  cairo_surface_t* png = cairo_image_surface_create_from_png(path.c_str());
  ASSERT_EQ(cairo_surface_status(png), CAIRO_STATUS_SUCCESS);
  const int w = cairo_image_surface_get_width(png), h = cairo_image_surface_get_height(png);
  const int stride = cairo_image_surface_get_stride(png);
  const unsigned char* px = cairo_image_surface_get_data(png);
  std::vector<std::vector<int>> grey(h, std::vector<int>(w));
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      const unsigned char* p = px + y * stride + 4 * x;
      grey[y][x] = (p[0] + p[1] + p[2]) / 3;
    }
  cairo_surface_destroy(png);

  // The box's left side: the first column dark over half the picture's height.
  int left = -1;
  for (int x = 0; x < w && left < 0; ++x) {
    int n = 0;
    for (int y = 0; y < h; ++y) n += grey[y][x] < 128;
    if (n > h / 2) left = x;
  }
  ASSERT_GT(left, 4);
  // Its top and bottom: the ends of the longest dark run of that column.
  int top = 0, bottom = -1;
  for (int y = 0, start = 0; y <= h; ++y) {
    if (y < h && grey[y][left] < 128) continue;
    if (y - 1 - start > bottom - top) top = start, bottom = y - 1;
    start = y + 1;
  }
  const std::vector<double> ticks = dark_rows(grey, left - 3, 128, top, bottom + 1);
  ASSERT_GE(ticks.size(), 3u);
  // The curve (near black) across each stretch, away from the marks.
  const int inner = w - left;
  double row[3];
  for (int k = 0; k < 3; ++k) {
    const int x = left + inner * (2 * k + 1) / 7;
    const std::vector<double> r = dark_rows(grey, x, 60, top + 3, bottom - 3);
    ASSERT_EQ(r.size(), 1u) << "stretch " << k;
    row[k] = r[0];
  }
  double nearest = 1e9;
  for (const double t : ticks) nearest = std::min(nearest, std::abs(t - row[1]));
  EXPECT_LE(nearest, 1.5) << "silence at row " << row[1];
  EXPECT_NEAR(row[1] - row[0], row[2] - row[1], 1.5);
  EXPECT_GT(row[2] - row[0], 40.0);
}

}  // namespace
