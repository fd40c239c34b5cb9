#include "app/playback_state.h"

#include <FL/Fl_Text_Buffer.H>

#include "app/main_ui.h"

PlaybackState::PlaybackState() : infoText(new Fl_Text_Buffer(0)) {
  fillInfoText(*this);
  position = 0.0;
  minutes = 0;
  seconds = 0.0;
  step = 0.1;
}
