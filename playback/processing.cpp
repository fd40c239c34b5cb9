#include "playback/processing.h"

#include <FL/Fl.H>
#include <FL/Fl_Check_Button.H>
#include <FL/Fl_Output.H>
#include <FL/Fl_Value_Output.H>

#include <cstdio>

#include "analysis/frame_tracker.h"
#include "analysis/pipeline.h"
#include "app/globals.h"
#include "app/main_ui.h"
#include "app/playback_state.h"
#include "view/video_box.h"

AnalysisSettings readAnalysisSettings() {
  AnalysisSettings s;
  s.removeBackground = g_ui->removeBackgroundCheck->value() != 0;
  s.excludeBox = g_ui->excludeBoxCheck->value() != 0;
  s.pixelThreshold = g_ui->pixelThreshold->value();
  s.boundaryX0 = g_ui->boundaryX0->value();
  s.boundaryY0 = g_ui->boundaryY0->value();
  s.boundaryR = g_ui->boundaryR->value();
  s.pixelCountThreshold = g_ui->pixelCountThreshold->value();
  s.ratioThreshold = g_ui->ratioThreshold->value();
  return s;
}

ExcludeBox readExcludeBox() {
  return {g_ui->excludeX0->value(), g_ui->excludeY0->value(), g_ui->excludeW->value(),
          g_ui->excludeH->value()};
}

bool processFrame() {
  if (g_tracker->mediaDet == nullptr) return false;
  if (!processFrame(*g_tracker, readAnalysisSettings(), g_playback->position)) return false;
  showRegionOutputs();
  return true;
}

void saveBackground() { saveBackground(*g_tracker); }

void showRegionOutputs() {
  char text[128];
  for (int k = 0; k < kRegionCount; ++k) {
    std::snprintf(text, sizeof text, "%.f", g_tracker->regionRatio[k]);
    g_ui->ratioOut[k]->value(text);
  }
  std::snprintf(text, sizeof text, "%d", g_tracker->activeTotal);
  g_ui->pixelCountOut->value(text);
}

void onExcludeBoxChanged(Fl_Widget* widget, void*) {
  g_tracker->buildExclusionMask(readExcludeBox());
  processFrame();
  mainUIOf(widget)->videoBox->redraw();
  Fl::flush();
}

void onProcessingOption(Fl_Widget* widget, void*) {
  processFrame();
  mainUIOf(widget)->videoBox->redraw();
}

void onSaveBackground(Fl_Widget* widget, void*) {
  saveBackground();
  processFrame();
  mainUIOf(widget)->videoBox->redraw();
}

void onThresholdChanged(Fl_Widget* widget, void*) {
  processFrame();
  mainUIOf(widget)->videoBox->redraw();
  Fl::flush();
}
