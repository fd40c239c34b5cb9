#pragma once
// The user-interface object: builds the main window and the information
// window and keeps one pointer to every widget the program reads or writes.
// The pointers do not own; the windows live until the process ends.

class Fl_Double_Window;
class Fl_Window;
class Fl_Button;
class Fl_Check_Button;
class Fl_Output;
class Fl_Value_Output;
class Fl_Text_Display;
class Fl_Widget;
class VideoBox;
struct PlaybackState;

struct MainUI {
  MainUI();
  MainUI(const MainUI&) = delete;
  MainUI& operator=(const MainUI&) = delete;

  Fl_Double_Window* window;
  VideoBox* videoBox;
  Fl_Output* fileNameOut;
  Fl_Button* recordButton;
  Fl_Output* closedEntriesOut;
  Fl_Output* openArmTimeOut;
  Fl_Output* totalTimeOut;
  Fl_Output* recordTimeOut;
  Fl_Output* recordClockOut;
  Fl_Output* openEntriesOut;
  Fl_Button* playButton;
  Fl_Output* videoClockOut;
  Fl_Value_Output* videoTime;
  Fl_Value_Output* boundaryX0;
  Fl_Value_Output* boundaryY0;
  Fl_Value_Output* boundaryR;
  Fl_Button* drawBoundaryButton;
  Fl_Value_Output* excludeX0;
  Fl_Value_Output* excludeY0;
  Fl_Value_Output* excludeW;
  Fl_Value_Output* excludeH;
  Fl_Button* drawExcludedBoxButton;
  Fl_Check_Button* excludeBoxCheck;
  Fl_Button* saveBackgroundButton;
  Fl_Value_Output* pixelThreshold;
  Fl_Check_Button* removeBackgroundCheck;
  Fl_Check_Button* drawActiveArmCheck;
  Fl_Value_Output* pixelCountThreshold;
  Fl_Value_Output* ratioThreshold;
  Fl_Output* ratioOut[5];
  Fl_Output* pixelCountOut;
  Fl_Button* originalButton;
  Fl_Button* processedButton;
  Fl_Window* infoWindow;
  Fl_Text_Display* infoDisplay;
};

// Appends the information text to state.infoText and attaches it to the
// information display of g_ui.
void fillInfoText(PlaybackState& state);

void onShowInfo(Fl_Widget* widget, void* data);
void onCloseInfo(Fl_Widget* widget, void* data);
