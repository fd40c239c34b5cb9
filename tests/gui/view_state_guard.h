#pragma once
// Keeps the controls of the view and of the processing, and the tracker, as
// a test found them: the test may change them, the destructor puts them back
// (the tracker with fresh 640 x 480 buffers and no video open).
#include <FL/Fl_Button.H>
#include <FL/Fl_Check_Button.H>
#include <FL/Fl_Value_Output.H>

#include <utility>
#include <vector>

#include "tests/gui/app_fixture.h"

class ViewStateGuard {
 public:
  ViewStateGuard() {
    ensureApplicationObjects();
    MainUI& ui = *g_ui;
    for (Fl_Button* b : {ui.originalButton, ui.processedButton, ui.drawBoundaryButton,
                         ui.drawExcludedBoxButton, static_cast<Fl_Button*>(ui.drawActiveArmCheck),
                         static_cast<Fl_Button*>(ui.excludeBoxCheck),
                         static_cast<Fl_Button*>(ui.removeBackgroundCheck)}) {
      buttons_.emplace_back(b, b->value());
    }
    for (Fl_Valuator* v : {ui.boundaryX0, ui.boundaryY0, ui.boundaryR, ui.excludeX0, ui.excludeY0,
                           ui.excludeW, ui.excludeH, ui.pixelThreshold, ui.pixelCountThreshold,
                           ui.ratioThreshold}) {
      valuators_.emplace_back(v, v->value());
    }
    region_ = g_tracker->currentRegion;
    previous_ = g_tracker->previousRegion;
  }
  ViewStateGuard(const ViewStateGuard&) = delete;
  ViewStateGuard& operator=(const ViewStateGuard&) = delete;

  ~ViewStateGuard() {
    for (auto& [button, value] : buttons_) button->value(value);
    for (auto& [valuator, value] : valuators_) valuator->value(value);
    FrameTracker& t = *g_tracker;
    t.mediaDet.reset();
    t.frameBuffer.reset();
    t.frameBits = nullptr;
    t.frameBufferSize = 0;
    t.width = 640;
    t.height = 480;
    t.allocateBuffers();
    t.currentRegion = region_;
    t.previousRegion = previous_;
  }

 private:
  std::vector<std::pair<Fl_Button*, char>> buttons_;
  std::vector<std::pair<Fl_Valuator*, double>> valuators_;
  int32_t region_;
  int32_t previous_;
};
