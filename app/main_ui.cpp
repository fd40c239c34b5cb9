#include "app/main_ui.h"

#include <FL/Fl_Double_Window.H>
#include <FL/Fl_Text_Buffer.H>
#include <FL/Fl_Text_Display.H>

#include "app/globals.h"
#include "app/playback_state.h"

MainUI::MainUI() {  // TODO(ui): every widget
  window = new Fl_Double_Window(1038, 542, "Verdaxel");
  window->end();
  infoWindow = new Fl_Window(395, 587, "Verdaxel Information");
  infoDisplay = new Fl_Text_Display(5, 5, 385, 545);
  infoWindow->end();
}

void fillInfoText(PlaybackState& state) { g_ui->infoDisplay->buffer(state.infoText); }
void onShowInfo(Fl_Widget*, void*) {}
void onCloseInfo(Fl_Widget*, void*) {}
