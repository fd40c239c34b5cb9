#pragma once
// The video view: draws the current frame, original or processed, and the
// exclude box, maze boundary and current region outlines over it. It keeps
// nothing between draws: each draw reads g_tracker and the controls of g_ui.
#include <FL/Fl_Box.H>

struct MainUI;

class VideoBox : public Fl_Box {
 public:
  VideoBox(int x, int y, int w, int h, const char* label = nullptr) : Fl_Box(x, y, w, h, label) {}

 protected:
  // Paints the frame's rectangle at the box's origin (not the box's own
  // size): black, then the picture the Original / Processed buttons choose,
  // then the overlays. Neither the box nor the label is drawn.
  void draw() override;
};

// The overlays, in frame coordinates under the translation draw sets up; each
// draws only when its control is on.
void drawExcludedBox();
void drawBoundary();
void drawActiveArm();

// The user interface of a callback's widget: the user data of its window, or
// g_ui when the widget is in no window that carries one.
MainUI* mainUIOf(Fl_Widget* widget);

// Boundary valuators: redraw at once, without processing the frame again.
void onBoundaryChanged(Fl_Widget* widget, void* data);
// View options: redraw at the event loop's next flush.
void onRedrawView(Fl_Widget* widget, void* data);
