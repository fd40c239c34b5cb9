#pragma once
// The video view: draws the current frame, original or processed, and the
// exclude box, maze boundary and current region outlines over it.
#include <FL/Fl_Box.H>

class VideoBox : public Fl_Box {
 public:
  VideoBox(int x, int y, int w, int h, const char* label = nullptr) : Fl_Box(x, y, w, h, label) {}

 protected:
  void draw() override;
};

void drawExcludedBox();
void drawBoundary();
void drawActiveArm();

void onBoundaryChanged(Fl_Widget* widget, void* data);
void onRedrawView(Fl_Widget* widget, void* data);
