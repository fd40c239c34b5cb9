#include <FL/Fl.H>
#include <FL/Fl_Double_Window.H>

#include "analysis/frame_tracker.h"
#include "app/globals.h"
#include "app/main_ui.h"
#include "app/playback_state.h"
#include "video/video_thread.h"

void createApplicationObjects() {
  g_ui = new MainUI;
  g_tracker = new FrameTracker;
  g_playback = new PlaybackState;
}

int runApplication() {
  prepareVideoThread();
  createApplicationObjects();
  Fl::visual(FL_RGB);
  g_ui->window->show();
  Fl::run();
  releaseVideoThread();
  return 0;
}
