#pragma once
// The playback record: the information text, the open file's name parts, the
// playback position and the fixed time step.
#include <string>

class Fl_Text_Buffer;

struct PlaybackState {
  PlaybackState();
  PlaybackState(const PlaybackState&) = delete;
  PlaybackState& operator=(const PlaybackState&) = delete;

  // Splits path into folder and name, remembers all three and makes the
  // folder the working folder.
  void splitPath(const char* path);
  // Opens the video at path, shows its first frame and its path.
  void openFile(const char* path);
  // Shows position in the video clock and the Video Time valuator.
  void updateTimeDisplay();

  Fl_Text_Buffer* infoText;  // the information text; never released
  // The name parts of the last opened path, whole (paths here are longer
  // than any fixed field would hold).
  std::string fileName;      // text after the last '/'
  std::string folder;        // text before the last '/'; "/" for the root
  std::string fullPath;      // the path as chosen
  double position;           // playback position, seconds of stream time
  int minutes;               // whole minutes of position at the last clock update
  double seconds;            // the rest of position at the last clock update
  double step;               // navigation, play and record step: 0.1 s

 private:
  bool folderEntered_ = false;  // the last splitPath made its folder the working folder
};
