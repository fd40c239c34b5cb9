#include "app/main_ui.h"

#include <FL/Fl_Box.H>
#include <FL/Fl_Button.H>
#include <FL/Fl_Check_Button.H>
#include <FL/Fl_Double_Window.H>
#include <FL/Fl_Group.H>
#include <FL/Fl_Output.H>
#include <FL/Fl_Text_Buffer.H>
#include <FL/Fl_Text_Display.H>
#include <FL/Fl_Value_Output.H>
#include <FL/Fl_Window.H>

#include <string>

#include "app/globals.h"
#include "app/playback_state.h"
#include "playback/callbacks.h"
#include "view/video_box.h"

namespace {

// Colour-map indexes of the default map used by the windows.
constexpr Fl_Color kBlack = 0;
constexpr Fl_Color kRed = 1;
constexpr Fl_Color kBlue = 4;
constexpr Fl_Color kPanelGray = 51;
constexpr Fl_Color kPeach = 214;   // outputs the program writes
constexpr Fl_Color kYellow = 215;  // settings the user drags
constexpr Fl_Color kCyan = 247;    // the Video Time setting
constexpr Fl_Color kPink = 254;    // pressed overlay and view buttons

// A panel: a group of controls on a sunken light gray ground. The group
// takes every widget made after it until its end().
Fl_Group* beginPanel(int x, int y, int w, int h, const char* label = nullptr) {
  auto* panel = new Fl_Group(x, y, w, h, label);
  panel->box(FL_DOWN_BOX);
  panel->color(kPanelGray);
  return panel;
}

// A setting the user changes by dragging: whole steps from 0 to maximum.
Fl_Value_Output* settingOutput(int x, int y, int w, int h, const char* label, Fl_Color colour,
                               double maximum, double value, Fl_Callback* callback) {
  auto* out = new Fl_Value_Output(x, y, w, h, label);
  out->color(colour);
  out->maximum(maximum);
  out->step(1);
  out->value(value);
  out->callback(callback);
  return out;
}

// An output the program writes and the user only reads.
Fl_Output* resultOutput(int x, int y, int w, int h, const char* label) {
  auto* out = new Fl_Output(x, y, w, h, label);
  out->color(kPeach);
  return out;
}

Fl_Button* toggleButton(int x, int y, int w, int h, const char* label, Fl_Color selection,
                        int pressed, Fl_Callback* callback) {
  auto* button = new Fl_Button(x, y, w, h, label);
  button->type(FL_TOGGLE_BUTTON);
  button->selection_color(selection);
  button->value(pressed);
  button->callback(callback);
  return button;
}

Fl_Check_Button* optionCheck(int x, int y, int w, int h, const char* label) {
  auto* check = new Fl_Check_Button(x, y, w, h, label);
  check->down_box(FL_DOWN_BOX);
  check->value(1);
  check->callback(onProcessingOption);
  return check;
}

Fl_Button* viewButton(int x, int y, int w, int h, const char* label, int selected) {
  auto* button = new Fl_Button(x, y, w, h, label);
  button->type(FL_RADIO_BUTTON);
  button->value(selected);
  button->selection_color(kPink);
  button->callback(onRedrawView);
  return button;
}

Fl_Button* pushButton(int x, int y, int w, int h, const char* label, Fl_Callback* callback) {
  auto* button = new Fl_Button(x, y, w, h, label);
  button->callback(callback);
  return button;
}

MainUI* userInterfaceOf(Fl_Widget* widget) {
  Fl_Window* win = widget != nullptr ? widget->window() : nullptr;
  return win != nullptr ? static_cast<MainUI*>(win->user_data()) : nullptr;
}

}  // namespace

#if defined(__SANITIZE_ADDRESS__)
// The windows' fonts come through fontconfig, which keeps its pattern caches
// unreleased at exit; the leak checker of sanitizer builds is told so here,
// where every program and test that builds the windows links it in.
extern "C" const char* __lsan_default_suppressions() { return "leak:libfontconfig.so\n"; }
#endif

MainUI::MainUI() {
  window = new Fl_Double_Window(1038, 542, "Verdaxel");
  window->user_data(this);

  videoBox = new VideoBox(10, 10, 640, 480, "label");
  videoBox->box(FL_NO_BOX);
  videoBox->color(kBlue);
  videoBox->selection_color(FL_BACKGROUND_COLOR);
  videoBox->labeltype(FL_NORMAL_LABEL);
  videoBox->labelfont(FL_HELVETICA);
  videoBox->labelsize(14);
  videoBox->labelcolor(FL_FOREGROUND_COLOR);
  videoBox->align(FL_ALIGN_CENTER);
  videoBox->when(FL_WHEN_RELEASE);

  pushButton(665, 11, 85, 24, "Open File", onOpenFile);

  fileNameOut = new Fl_Output(75, 496, 575, 24, "File Name");

  {  // outline of the video view
    auto* frame = new Fl_Box(10, 10, 640, 480);
    frame->box(FL_BORDER_FRAME);
    frame->color(kBlack);
    frame->labeltype(FL_NO_LABEL);
  }

  {  // scoring
    auto* panel = beginPanel(660, 394, 295, 141);
    recordButton = toggleButton(665, 399, 64, 24, "Record", kRed, 0, onRecord);
    closedEntriesOut = resultOutput(665, 425, 65, 24, "Number of Closed Arm Entry");
    closedEntriesOut->align(FL_ALIGN_RIGHT);
    openArmTimeOut = resultOutput(665, 475, 65, 24, "Time in Open Arm (Sec)");
    openArmTimeOut->align(FL_ALIGN_RIGHT);
    openArmTimeOut->when(FL_WHEN_NEVER);
    totalTimeOut = resultOutput(665, 500, 65, 24, "Total Time (Sec)");
    totalTimeOut->align(FL_ALIGN_RIGHT);
    totalTimeOut->when(FL_WHEN_NEVER);
    recordTimeOut = resultOutput(820, 399, 60, 24, "Record Time");
    recordTimeOut->textfont(FL_HELVETICA_BOLD);
    recordClockOut = resultOutput(880, 399, 60, 24, nullptr);
    recordClockOut->labeltype(FL_NO_LABEL);
    recordClockOut->textfont(FL_HELVETICA_BOLD);
    recordClockOut->align(FL_ALIGN_CENTER);
    openEntriesOut = resultOutput(665, 450, 65, 24, "Number of Open Arm Entry");
    openEntriesOut->align(FL_ALIGN_RIGHT);
    panel->end();
  }

  {  // playback
    auto* panel = beginPanel(660, 40, 240, 65);
    playButton = toggleButton(665, 46, 40, 24, "@>", kPeach, 0, onPlay);
    videoClockOut = resultOutput(835, 76, 60, 24, nullptr);
    videoClockOut->labeltype(FL_NO_LABEL);
    videoClockOut->align(FL_ALIGN_CENTER);
    videoTime = new Fl_Value_Output(740, 76, 90, 24, "Video Time");
    videoTime->color(kCyan);
    videoTime->maximum(1000);
    videoTime->step(0.1);
    videoTime->value(0);
    videoTime->callback(onVideoTime);
    pushButton(715, 46, 40, 24, "@<|", onStepBack);
    pushButton(760, 46, 40, 24, "@|>", onStepForward);
    pushButton(810, 46, 40, 24, "@|<", onGoToStart);
    pushButton(855, 46, 40, 24, "@>|", onGoToEnd);
    panel->end();
  }

  {  // maze boundary
    auto* panel = beginPanel(660, 110, 140, 110);
    boundaryX0 = settingOutput(685, 141, 40, 24, "X0", kYellow, 500, 321, onBoundaryChanged);
    boundaryY0 = settingOutput(755, 141, 40, 24, "Y0", kYellow, 500, 241, onBoundaryChanged);
    boundaryR = settingOutput(755, 166, 40, 24, "R", kYellow, 1000, 36, onBoundaryChanged);
    drawBoundaryButton = toggleButton(665, 116, 130, 24, "Draw Boundary", kPink, 1, onRedrawView);
    panel->end();
  }

  {  // exclude box
    auto* panel = beginPanel(805, 110, 145, 110);
    excludeX0 = settingOutput(830, 141, 40, 24, "X0", kYellow, 500, 340, onExcludeBoxChanged);
    excludeY0 = settingOutput(830, 166, 40, 24, "Y0", kYellow, 500, 0, onExcludeBoxChanged);
    excludeW = settingOutput(890, 141, 40, 24, "W", kYellow, 1000, 146, onExcludeBoxChanged);
    excludeH = settingOutput(890, 166, 40, 24, "H", kYellow, 1000, 26, onExcludeBoxChanged);
    drawExcludedBoxButton =
        toggleButton(810, 116, 135, 24, "Draw Excluded Box", kPink, 0, onRedrawView);
    excludeBoxCheck = optionCheck(830, 191, 100, 24, "Exclude Box");
    panel->end();
  }

  pushButton(755, 11, 85, 24, "Information", onShowInfo);

  {  // processing
    auto* panel = beginPanel(660, 225, 205, 165);
    saveBackgroundButton = pushButton(665, 231, 125, 24, "Save Background", onSaveBackground);
    pixelThreshold =
        settingOutput(665, 303, 50, 24, "Pixel Threshold", kYellow, 255, 50, onThresholdChanged);
    pixelThreshold->align(FL_ALIGN_RIGHT);
    removeBackgroundCheck = optionCheck(665, 253, 155, 24, "Remove Background");
    drawActiveArmCheck = optionCheck(665, 278, 125, 24, "Draw Active Arm");
    pixelCountThreshold = settingOutput(665, 328, 50, 24, "Pixel Count Threshold", kYellow, 10000,
                                        1000, onThresholdChanged);
    pixelCountThreshold->align(FL_ALIGN_RIGHT);
    ratioThreshold = settingOutput(665, 353, 50, 24, "Ratio Threshold (%)", kYellow, 100, 60,
                                   onThresholdChanged);
    ratioThreshold->align(FL_ALIGN_RIGHT);
    panel->end();
  }

  {  // active pixel ratio per region, placed like the arms of the maze
    auto* panel = beginPanel(870, 225, 160, 165, "Active Pixel Ratio (%)");
    panel->align(FL_ALIGN_TOP | FL_ALIGN_INSIDE);
    static const char* const kRegionLabels[5] = {"0", "1", "2", "3", "4"};
    static const int kRegionX[5] = {930, 980, 930, 880, 930};
    static const int kRegionY[5] = {256, 296, 336, 296, 296};
    for (int region = 0; region < 5; ++region) {
      ratioOut[region] = resultOutput(kRegionX[region], kRegionY[region], 35, 24,
                                      kRegionLabels[region]);
      ratioOut[region]->align(FL_ALIGN_TOP);
      ratioOut[region]->when(FL_WHEN_NEVER);
    }
    pixelCountOut = resultOutput(955, 361, 65, 24, "Pixel Count");
    pixelCountOut->textfont(FL_HELVETICA_BOLD);
    pixelCountOut->when(FL_WHEN_NEVER);
    panel->end();
  }

  {  // original or processed frame
    auto* panel = beginPanel(910, 20, 100, 55);
    originalButton = viewButton(915, 25, 90, 20, "Original", 1);
    processedButton = viewButton(915, 50, 90, 20, "Processed", 0);
    panel->end();
  }

  window->end();

  infoWindow = new Fl_Window(395, 587, "Verdaxel Information");
  infoWindow->user_data(this);
  pushButton(165, 556, 64, 24, "Close", onCloseInfo);
  infoDisplay = new Fl_Text_Display(5, 5, 385, 545);
  infoDisplay->box(FL_UP_FRAME);
  infoWindow->set_modal();
  infoWindow->end();
}

void fillInfoText(PlaybackState& state) {
  static const char kSeparator[] = "==============================================";
  static_assert(sizeof kSeparator - 1 == 46, "the separator is 46 characters");
  const std::string separatorLine = std::string(kSeparator) + "\n";
  const char* const pieces[] = {
      separatorLine.c_str(),
      "Verdaxel (version 1.00)\n\n",
      "Written by the Verdaxel developers\n",
      "Email: developers@verdaxel.example.org\n\n",
      "Verdaxel Behaviour Analysis Laboratory\n",
      "Verdaxel Tools Centre\n",
      "An independent project, with no university\n\n",
      separatorLine.c_str(),
      "This program was developed with:\n",
      "\n",
      " - Windows SDK 6.0\n",
      " - FLTK 1.1.10\n\n",
      separatorLine.c_str(),
      "Thank you for using Verdaxel.\n\n",
      "If you like this program, please consider supporting\n",
      "the Verdaxel Tools Centre with a donation or a \n",
      "purchase through either:\n\n",
      "(1) https://verdaxel.example.org/support\n\n",
      " or\n\n",
      "(2) email:shop@example.org (https://example.org)\n\n",
      "Thank you for your support.\n\n",
      separatorLine.c_str(),
      "More information in:\n\n",
      "https://verdaxel.example.org/lab\n\n",
      kSeparator,
  };
  static_assert(sizeof pieces / sizeof pieces[0] == 25, "the text has 25 pieces");
  Fl_Text_Buffer* text = state.infoText;
  for (const char* piece : pieces) text->insert(text->length(), piece);
  g_ui->infoDisplay->buffer(text);
}

void onShowInfo(Fl_Widget* widget, void*) {
  if (MainUI* ui = userInterfaceOf(widget)) ui->infoWindow->show();
}

void onCloseInfo(Fl_Widget* widget, void*) {
  if (MainUI* ui = userInterfaceOf(widget)) ui->infoWindow->hide();
}
