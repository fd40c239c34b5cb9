// File opening, the four navigation buttons, the Video Time valuator and the
// play loop.
#include <FL/Fl.H>
#include <FL/Fl_Button.H>
#include <FL/Fl_File_Chooser.H>
#include <FL/Fl_Value_Output.H>

#include "analysis/frame_tracker.h"
#include "app/globals.h"
#include "app/main_ui.h"
#include "app/playback_state.h"
#include "playback/callbacks.h"
#include "playback/processing.h"
#include "view/video_box.h"

namespace {

// Shows the new position and the frame there; the view is drawn at the
// toolkit's next flush.
void showPosition() {
  g_playback->updateTimeDisplay();
  processFrame();
  g_ui->videoBox->redraw();
}

}  // namespace

void onOpenFile(Fl_Widget*, void*) {
  const char* path = fl_file_chooser("Open File", "*.wmv\t*.avi", "Sample.wmv", 0);
  g_playback->openFile(path);
  g_ui->videoBox->redraw();
  Fl::flush();
}

void onStepBack(Fl_Widget*, void*) {
  double position = g_playback->position - g_playback->step;
  if (position < 0) position = 0;
  g_playback->position = position;
  showPosition();
}

void onStepForward(Fl_Widget*, void*) {
  double position = g_playback->position + g_playback->step;
  if (!(position < g_tracker->streamLength)) position = g_tracker->streamLength - g_playback->step;
  g_playback->position = position;
  showPosition();
}

void onGoToStart(Fl_Widget*, void*) {
  g_playback->position = 0;
  showPosition();
}

void onGoToEnd(Fl_Widget*, void*) {
  g_playback->position = g_tracker->streamLength - g_playback->step;
  showPosition();
}

void onVideoTime(Fl_Widget*, void*) {
  double position = g_ui->videoTime->value();
  if (!(position < g_tracker->streamLength)) position = g_tracker->streamLength - 1.0;
  g_playback->position = position;
  showPosition();
  Fl::flush();
}

void onPlay(Fl_Widget*, void*) { playLoop(); }

void playLoop() {
  // Every field is read afresh at each step: a callback run inside the event
  // check may have moved the position, opened another file or released the
  // button.
  if (g_tracker->streamLength > g_playback->position) {
    do {
      if (g_ui->playButton->value() == 0) break;
      processFrame();
      g_ui->videoBox->redraw();
      g_playback->updateTimeDisplay();
      Fl::flush();
      g_playback->position = g_playback->position + g_playback->step;
      Fl::check();
    } while (g_tracker->streamLength > g_playback->position);
  }
  g_playback->position = g_playback->position - g_playback->step;
  g_ui->playButton->value(0);
}
