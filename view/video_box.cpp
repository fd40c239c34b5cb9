#include "view/video_box.h"

#include <FL/Fl.H>
#include <FL/Fl_Button.H>
#include <FL/Fl_Check_Button.H>
#include <FL/Fl_Value_Output.H>
#include <FL/Fl_Window.H>
#include <FL/fl_draw.H>

#include <cstdint>

#include "analysis/frame_tracker.h"
#include "analysis/truncate.h"
#include "app/globals.h"
#include "app/main_ui.h"

namespace {

// A valuator's value as a coordinate, truncated toward zero. Sums of these
// are formed in 64 bits so that no value of a valuator can overflow them.
int64_t coordinate(const Fl_Valuator* valuator) { return truncateValue(valuator->value()); }

// A closed one-pixel outline through the rectangle's four corners.
void outline(int64_t left, int64_t top, int64_t right, int64_t bottom) {
  fl_begin_loop();
  fl_vertex(double(left), double(top));
  fl_vertex(double(right), double(top));
  fl_vertex(double(right), double(bottom));
  fl_vertex(double(left), double(bottom));
  fl_end_loop();
}

struct Boundary {
  int64_t x0, y0, r;
};

Boundary boundary() {
  return {coordinate(g_ui->boundaryX0), coordinate(g_ui->boundaryY0),
          coordinate(g_ui->boundaryR)};
}

}  // namespace

void VideoBox::draw() {
  if (g_tracker == nullptr || g_ui == nullptr) return;
  const FrameTracker& tracker = *g_tracker;
  const int frameW = tracker.width;
  const int frameH = tracker.height;
  const int X = x();
  const int Y = y();

  fl_push_clip(X, Y, frameW, frameH);
  fl_color(FL_BLACK);
  fl_rectf(X, Y, frameW, frameH);
  fl_push_matrix();
  fl_translate(X, Y);

  // The buffers are drawn only while they are of the frame's size.
  const bool buffersFit = frameW > 0 && frameH > 0 &&
                          int64_t{frameW} * frameH == tracker.pixelCount &&
                          3 * int64_t{tracker.pixelCount} == tracker.byteCount;
  if (g_ui->originalButton->value()) {
    if (tracker.rgbBuf != nullptr && buffersFit) {
      fl_draw_image(tracker.rgbBuf.get(), X, Y, frameW, frameH, 3, 0);
    }
  } else if (g_ui->processedButton->value() && tracker.grayBuf != nullptr && buffersFit) {
    fl_draw_image_mono(tracker.grayBuf.get(), X, Y, frameW, frameH, 1, 0);
  }

  drawExcludedBox();
  drawBoundary();
  drawActiveArm();

  fl_pop_matrix();
  fl_pop_clip();
}

void drawExcludedBox() {
  if (!g_ui->drawExcludedBoxButton->value()) return;
  const int64_t x0 = coordinate(g_ui->excludeX0);
  const int64_t y0 = coordinate(g_ui->excludeY0);
  const int64_t w = coordinate(g_ui->excludeW);
  const int64_t h = coordinate(g_ui->excludeH);
  fl_color(0, 255, 255);
  outline(x0, y0, x0 + w, y0 + h);
}

void drawBoundary() {
  if (!g_ui->drawBoundaryButton->value()) return;
  const Boundary b = boundary();
  const int64_t lastColumn = int64_t{g_tracker->width} - 1;
  const int64_t lastRow = int64_t{g_tracker->height} - 1;
  fl_color(0, 0, 255);
  outline(0, b.y0 - b.r, lastColumn, b.y0 + b.r);  // left arm, centre, right arm
  outline(b.x0 - b.r, 0, b.x0 + b.r, lastRow);     // upper arm, centre, lower arm
}

void drawActiveArm() {
  if (!g_ui->drawActiveArmCheck->value()) return;
  const Boundary b = boundary();
  const int64_t west = b.x0 - b.r;
  const int64_t east = b.x0 + b.r;
  const int64_t north = b.y0 - b.r;
  const int64_t south = b.y0 + b.r;
  const int64_t lastColumn = int64_t{g_tracker->width} - 1;
  const int64_t lastRow = int64_t{g_tracker->height} - 1;
  fl_color(FL_RED);
  switch (g_tracker->currentRegion) {
    case REGION_UPPER: outline(west, 0, east, north); break;
    case REGION_RIGHT: outline(east, north, lastColumn, south); break;
    case REGION_LOWER: outline(west, south, east, lastRow); break;
    case REGION_LEFT: outline(0, north, west, south); break;
    case REGION_CENTER: outline(west, north, east, south); break;
    default: break;  // not a region: nothing to outline
  }
}

MainUI* mainUIOf(Fl_Widget* widget) {
  Fl_Window* window = widget != nullptr ? widget->window() : nullptr;
  MainUI* ui = window != nullptr ? static_cast<MainUI*>(window->user_data()) : nullptr;
  return ui != nullptr ? ui : g_ui;
}

void onBoundaryChanged(Fl_Widget* widget, void*) {
  mainUIOf(widget)->videoBox->redraw();
  Fl::flush();
}

void onRedrawView(Fl_Widget* widget, void*) { mainUIOf(widget)->videoBox->redraw(); }
