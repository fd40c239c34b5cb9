#include "app/playback_state.h"

#include <FL/Fl_Output.H>
#include <FL/Fl_Text_Buffer.H>
#include <FL/Fl_Value_Output.H>
#include <unistd.h>

#include <cstdio>

#include "analysis/frame_tracker.h"
#include "analysis/recording_run.h"
#include "app/globals.h"
#include "app/main_ui.h"
#include "playback/processing.h"

PlaybackState::PlaybackState() : infoText(new Fl_Text_Buffer(0)) {
  fillInfoText(*this);
  position = 0.0;
  minutes = 0;
  seconds = 0.0;
  step = kPlaybackStep;
}

void PlaybackState::splitPath(const char* path) {
  if (path == nullptr) return;
  fullPath = path;
  const std::string::size_type pos = fullPath.find_last_of('/');
  if (pos == std::string::npos) {
    folder = fullPath;
    fileName = fullPath;
  } else {
    // A file in the root directory keeps "/" as its folder.
    folder = pos == 0 ? std::string("/") : fullPath.substr(0, pos);
    fileName = fullPath.substr(pos + 1);
  }
  folderEntered_ = ::chdir(folder.c_str()) == 0;
}

void PlaybackState::openFile(const char* path) {
  if (path == nullptr) return;
  splitPath(path);
  position = 0;
  updateTimeDisplay();
  // The detector opens the name in the file's folder, which splitPath has
  // just entered. When the folder cannot be entered, the bare name would
  // find a namesake in whatever folder is current: take the whole path.
  const std::string& name = folderEntered_ ? fileName : fullPath;
  g_tracker->openVideo(name.c_str(), readExcludeBox());
  processFrame();
  g_ui->fileNameOut->value(fullPath.c_str());
}

void PlaybackState::updateTimeDisplay() {
  minutes = static_cast<int>(position / 60.0);
  seconds = position - 60 * minutes;
  char text[128];
  std::snprintf(text, sizeof text, "%d:%2.1f", minutes, seconds);
  g_ui->videoClockOut->value(text);
  g_ui->videoTime->value(position);
}
