#include "view/video_box.h"

void VideoBox::draw() {}  // TODO(view)
void drawExcludedBox() {}
void drawBoundary() {}
void drawActiveArm() {}
void onBoundaryChanged(Fl_Widget*, void*) {}
void onRedrawView(Fl_Widget*, void*) {}
