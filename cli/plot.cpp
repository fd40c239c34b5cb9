#include "cli/plot.h"

#include <cairo.h>
#include <fontconfig/fontconfig.h>

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <vector>

#include "analysis/regions.h"
#include "analysis/truncate.h"
#include "cli/safe_file.h"
#include "cli/trace.h"

namespace {

struct SurfaceDeleter {
  void operator()(cairo_surface_t* s) const { cairo_surface_destroy(s); }
};
struct ContextDeleter {
  void operator()(cairo_t* c) const { cairo_destroy(c); }
};
using Surface = std::unique_ptr<cairo_surface_t, SurfaceDeleter>;
using Context = std::unique_ptr<cairo_t, ContextDeleter>;

constexpr int kPanelWidth = 330;   // the bars and numbers right of the frame
constexpr int kHeaderHeight = 30;  // the file name above everything
constexpr int kMinHeight = 420;    // room for the panel under short frames

struct Color {
  double r, g, b;
};

Color regionColor(int region) {
  if (isClosedArm(region)) return {0.25, 0.55, 1.0};
  if (isOpenArm(region)) return {1.0, 0.55, 0.1};
  return {0.3, 0.85, 0.3};
}

struct Rect {
  int32_t x0, y0, x1, y1;  // ends excluded
};

// The region rectangles the analysis counts, clipped to the frame.
Rect regionRect(int region, const AnalysisSettings& s, int32_t width, int32_t height) {
  const int64_t x0 = truncateValue(s.boundaryX0);
  const int64_t y0 = truncateValue(s.boundaryY0);
  const int64_t r = truncateValue(s.boundaryR);
  int64_t rect[4] = {x0 - r, y0 - r, x0 + r, y0 + r};  // the centre square
  switch (region) {
    case REGION_UPPER: rect[1] = 0; rect[3] = y0 - r; break;
    case REGION_RIGHT: rect[0] = x0 + r; rect[2] = width; break;
    case REGION_LOWER: rect[1] = y0 + r; rect[3] = height; break;
    case REGION_LEFT: rect[0] = 0; rect[2] = x0 - r; break;
    default: break;
  }
  auto clip = [](int64_t v, int64_t hi) { return static_cast<int32_t>(std::clamp<int64_t>(v, 0, hi)); };
  return {clip(rect[0], width), clip(rect[1], height), clip(rect[2], width), clip(rect[3], height)};
}

// The frame as a Cairo image; black when no frame was kept.
Surface frameSurface(const VideoResult& result) {
  Surface surface(cairo_image_surface_create(CAIRO_FORMAT_RGB24, result.width, result.height));
  if (cairo_surface_status(surface.get()) != CAIRO_STATUS_SUCCESS) return surface;
  cairo_surface_flush(surface.get());
  unsigned char* data = cairo_image_surface_get_data(surface.get());
  const int stride = cairo_image_surface_get_stride(surface.get());
  const size_t expected = 3 * static_cast<size_t>(result.width) * static_cast<size_t>(result.height);
  const bool haveFrame = result.frame.size() == expected;
  for (int32_t y = 0; y < result.height; ++y) {
    uint32_t* row = reinterpret_cast<uint32_t*>(data + static_cast<std::ptrdiff_t>(y) * stride);
    for (int32_t x = 0; x < result.width; ++x) {
      if (!haveFrame) {
        row[x] = 0;
        continue;
      }
      const uint8_t* p = result.frame.data() + 3 * (static_cast<size_t>(y) * result.width + x);
      row[x] = (uint32_t{p[0]} << 16) | (uint32_t{p[1]} << 8) | p[2];
    }
  }
  cairo_surface_mark_dirty(surface.get());
  return surface;
}

// Steps whose analysis made a decision: their centroid is where the animal was.
bool decided(const StepRecord& s, const AnalysisSettings& settings) {
  return s.analysed && s.activePixels > 0 && s.pixelCount > settings.pixelCountThreshold;
}

// Each decided step spreads a small Gaussian spot over the cells around the
// animal's centre, so places where it stayed stand out as hot.
void drawHeatMap(cairo_t* cr, const VideoResult& result, const AnalysisSettings& settings) {
  const int cell = std::max(4, std::min(result.width, result.height) / 48);
  const int columns = (result.width + cell - 1) / cell;
  const int rows = (result.height + cell - 1) / cell;
  constexpr int kSpread = 2;  // cells on each side of the centre's cell
  std::vector<double> heat(static_cast<size_t>(columns) * rows, 0.0);
  for (const StepRecord& s : result.steps) {
    if (!decided(s, settings)) continue;
    const int cx = std::clamp(static_cast<int>(s.centroidX) / cell, 0, columns - 1);
    const int cy = std::clamp(static_cast<int>(s.centroidY) / cell, 0, rows - 1);
    for (int dy = -kSpread; dy <= kSpread; ++dy) {
      for (int dx = -kSpread; dx <= kSpread; ++dx) {
        const int x = cx + dx;
        const int y = cy + dy;
        if (x < 0 || x >= columns || y < 0 || y >= rows) continue;
        heat[static_cast<size_t>(y) * columns + x] += std::exp(-0.5 * (dx * dx + dy * dy));
      }
    }
  }
  const double most = *std::max_element(heat.begin(), heat.end());
  if (most <= 0) return;
  for (int cy = 0; cy < rows; ++cy) {
    for (int cx = 0; cx < columns; ++cx) {
      const double v = heat[static_cast<size_t>(cy) * columns + cx] / most;
      if (v < 0.01) continue;
      cairo_set_source_rgba(cr, 1.0, 1.0 - v, 0.0, 0.15 + 0.65 * v);
      cairo_rectangle(cr, cx * cell, cy * cell, cell, cell);
      cairo_fill(cr);
    }
  }
}

void drawTrack(cairo_t* cr, const VideoResult& result, const AnalysisSettings& settings) {
  const StepRecord* first = nullptr;
  const StepRecord* last = nullptr;
  cairo_set_line_width(cr, 1.0);
  cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
  cairo_set_source_rgba(cr, 0.3, 1.0, 1.0, 0.8);
  for (const StepRecord& s : result.steps) {
    if (!decided(s, settings)) continue;
    if (first == nullptr) {
      first = &s;
      cairo_move_to(cr, s.centroidX + 0.5, s.centroidY + 0.5);
    } else {
      cairo_line_to(cr, s.centroidX + 0.5, s.centroidY + 0.5);
    }
    last = &s;
  }
  cairo_stroke(cr);
  const StepRecord* ends[2] = {first, last};
  const Color endColors[2] = {{0.2, 1.0, 0.2}, {1.0, 0.2, 0.2}};
  for (int i = 0; i < 2; ++i) {
    if (ends[i] == nullptr) continue;
    cairo_set_source_rgb(cr, endColors[i].r, endColors[i].g, endColors[i].b);
    cairo_arc(cr, ends[i]->centroidX + 0.5, ends[i]->centroidY + 0.5, 4, 0, 6.2832);
    cairo_fill(cr);
  }
}

void drawRegions(cairo_t* cr, const VideoResult& result, const AnalysisSettings& settings) {
  cairo_set_line_width(cr, 2);
  for (int k = 0; k < kRegionCount; ++k) {
    const Rect r = regionRect(k, settings, result.width, result.height);
    if (r.x1 <= r.x0 || r.y1 <= r.y0) continue;
    const Color c = regionColor(k);
    cairo_set_source_rgba(cr, c.r, c.g, c.b, 0.9);
    cairo_rectangle(cr, r.x0 + 1, r.y0 + 1, r.x1 - r.x0 - 2, r.y1 - r.y0 - 2);
    cairo_stroke(cr);
  }
}

void drawText(cairo_t* cr, double x, double y, const std::string& text) {
  cairo_move_to(cr, x, y);
  cairo_show_text(cr, text.c_str());
}

// Bars of the time per region, then the scores.
void drawPanel(cairo_t* cr, const VideoResult& result, double left, double top) {
  double regionTime[kRegionCount] = {};
  for (const StepRecord& s : result.steps) {
    if (s.analysed && s.region >= 0 && s.region < kRegionCount) {
      regionTime[s.region] = regionTime[s.region] + kPlaybackStep;
    }
  }
  const double longest = std::max(*std::max_element(regionTime, regionTime + kRegionCount), 0.1);
  char text[128];
  cairo_set_source_rgb(cr, 0.1, 0.1, 0.1);
  cairo_set_font_size(cr, 14);
  drawText(cr, left, top + 16, "Time per region (s)");
  cairo_set_font_size(cr, 12);
  const double barLeft = left + 60;
  const double barWidth = kPanelWidth - 130;
  for (int k = 0; k < kRegionCount; ++k) {
    const double y = top + 34 + k * 30;
    const Color c = regionColor(k);
    cairo_set_source_rgb(cr, c.r, c.g, c.b);
    cairo_rectangle(cr, barLeft, y, barWidth * regionTime[k] / longest, 20);
    cairo_fill(cr);
    cairo_set_source_rgb(cr, 0.1, 0.1, 0.1);
    drawText(cr, left, y + 15, kRegionNames[k]);
    std::snprintf(text, sizeof text, "%.1f", regionTime[k]);
    drawText(cr, barLeft + barWidth * regionTime[k] / longest + 6, y + 15, text);
  }

  const RunScores& s = result.scores;
  std::vector<std::string> lines;
  std::snprintf(text, sizeof text, "Closed arm entries: %d", s.closedEntries);
  lines.push_back(text);
  std::snprintf(text, sizeof text, "Open arm entries: %d", s.openEntries);
  lines.push_back(text);
  if (s.totalTime > 0) {
    std::snprintf(text, sizeof text, "Open arm time: %.1f s (%.1f %%)", s.openArmTime,
                  100.0 * s.openArmTime / s.totalTime);
  } else {
    std::snprintf(text, sizeof text, "Open arm time: %.1f s", s.openArmTime);
  }
  lines.push_back(text);
  std::snprintf(text, sizeof text, "Total time: %.1f s", s.totalTime);
  lines.push_back(text);
  if (s.firstOpenEntryTime >= 0) {
    std::snprintf(text, sizeof text, "First open arm entry: %.1f s", s.firstOpenEntryTime);
    lines.push_back(text);
  }
  if (result.unreadSteps > 0) {
    std::snprintf(text, sizeof text, "Unreadable steps: %d", result.unreadSteps);
    lines.push_back(text);
  }
  const AnalysisSettings& b = result.scoredWith.settings;
  std::snprintf(text, sizeof text, "Maze X0 %d, Y0 %d, R %d%s", truncateValue(b.boundaryX0),
                truncateValue(b.boundaryY0), truncateValue(b.boundaryR),
                result.mazeFound ? " (found)" : "");
  lines.push_back(text);
  if (!result.whole()) lines.push_back(result.status());
  cairo_set_font_size(cr, 13);
  for (size_t i = 0; i < lines.size(); ++i) {
    drawText(cr, left, top + 210 + static_cast<double>(i) * 20, lines[i]);
  }
  cairo_set_font_size(cr, 11);
  cairo_set_source_rgb(cr, 0.35, 0.35, 0.35);
  drawText(cr, left, top + 386, "Heat: where the animal's centre was, per step.");
  drawText(cr, left, top + 402, "Line: its track, green start, red end.");
}

}  // namespace

bool writePlot(const std::string& path, const VideoResult& result, std::string* error) {
  const ScoreOptions& options = result.scoredWith;
  if (result.width <= 0 || result.height <= 0) {
    *error = "no frame to draw";
    return false;
  }
  const int width = result.width + kPanelWidth;
  const int height = std::max(result.height, kMinHeight) + kHeaderHeight;
  Surface surface(cairo_image_surface_create(CAIRO_FORMAT_RGB24, width, height));
  Surface frame = frameSurface(result);
  if (cairo_surface_status(surface.get()) != CAIRO_STATUS_SUCCESS ||
      cairo_surface_status(frame.get()) != CAIRO_STATUS_SUCCESS) {
    *error = "cannot make a picture of that size";
    return false;
  }
  Context cr(cairo_create(surface.get()));
  cairo_set_source_rgb(cr.get(), 0.96, 0.96, 0.94);
  cairo_paint(cr.get());

  cairo_select_font_face(cr.get(), "sans-serif", CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_BOLD);
  cairo_set_font_size(cr.get(), 14);
  cairo_set_source_rgb(cr.get(), 0.1, 0.1, 0.1);
  drawText(cr.get(), 8, 20, std::filesystem::path(result.file).filename().string());
  cairo_select_font_face(cr.get(), "sans-serif", CAIRO_FONT_SLANT_NORMAL,
                         CAIRO_FONT_WEIGHT_NORMAL);

  cairo_save(cr.get());
  cairo_translate(cr.get(), 0, kHeaderHeight);
  cairo_rectangle(cr.get(), 0, 0, result.width, result.height);
  cairo_clip(cr.get());
  cairo_set_source_surface(cr.get(), frame.get(), 0, 0);
  cairo_paint(cr.get());
  drawHeatMap(cr.get(), result, options.settings);
  drawRegions(cr.get(), result, options.settings);
  drawTrack(cr.get(), result, options.settings);
  cairo_restore(cr.get());

  drawPanel(cr.get(), result, result.width + 16, kHeaderHeight);
  cr.reset();
  cairo_surface_flush(surface.get());

  const std::string tempPath = temporaryPathFor(path);
  const cairo_status_t status = cairo_surface_write_to_png(surface.get(), tempPath.c_str());
  if (status != CAIRO_STATUS_SUCCESS) {
    std::remove(tempPath.c_str());
    *error = "cannot write " + tempPath + ": " + cairo_status_to_string(status);
    return false;
  }
  return replaceWith(tempPath, path, error);
}

void releasePlotCaches() {
  cairo_debug_reset_static_data();
  FcFini();
}
