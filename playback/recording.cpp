// The recording run: steps through the video from the current position and
// scores every step until Record is released, the stream ends or the record
// time limit is reached.
#include <FL/Fl.H>
#include <FL/Fl_Button.H>
#include <FL/Fl_Output.H>
#include <FL/Fl_Value_Output.H>

#include <cstdio>

#include "analysis/frame_tracker.h"
#include "analysis/recording_run.h"
#include "app/globals.h"
#include "app/main_ui.h"
#include "app/playback_state.h"
#include "playback/callbacks.h"
#include "playback/processing.h"
#include "view/video_box.h"

void onRecord(Fl_Widget*, void*) { recordLoop(); }

void showRecordTime(double elapsed) {
  char text[128];
  std::snprintf(text, sizeof text, "%.1f", elapsed);
  g_ui->recordTimeOut->value(text);
  const int minutes = static_cast<int>(elapsed / 60.0);
  const double seconds = elapsed - 60 * minutes;
  std::snprintf(text, sizeof text, "%d : %2.1f", minutes, seconds);
  g_ui->recordClockOut->value(text);
}

namespace {

void showScores(const RunScores& scores) {
  char text[128];
  std::snprintf(text, sizeof text, "%d", scores.closedEntries);
  g_ui->closedEntriesOut->value(text);
  std::snprintf(text, sizeof text, "%d", scores.openEntries);
  g_ui->openEntriesOut->value(text);
  std::snprintf(text, sizeof text, "%.1f", scores.openArmTime);
  g_ui->openArmTimeOut->value(text);
  std::snprintf(text, sizeof text, "%.1f", scores.totalTime);
  g_ui->totalTimeOut->value(text);
}

}  // namespace

void recordLoop() {
  RecordingRun run(*g_tracker, g_ui->ratioThreshold->value());
  if (g_tracker->streamLength > g_playback->position) {
    while (run.mayBeginStep()) {
      run.beginStep(g_playback->position, g_playback->step);
      Fl::check();
      // Released during the event check: this step's frame is not shown.
      if (g_ui->recordButton->value() == 0) break;
      const bool analysed = processFrame();
      run.scoreStep(analysed, g_playback->step);
      g_playback->updateTimeDisplay();
      showRecordTime(run.scores().elapsed);
      showScores(run.scores());
      g_ui->videoBox->redraw();
      Fl::flush();
      if (!(g_tracker->streamLength > g_playback->position)) break;
    }
  }
  g_ui->recordButton->value(0);
}
