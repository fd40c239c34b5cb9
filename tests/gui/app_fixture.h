#pragma once
// The application objects, made once per test binary as the program makes
// them at start-up (they are never destroyed, as in the program).
#include "analysis/frame_tracker.h"
#include "app/globals.h"
#include "app/main_ui.h"
#include "app/playback_state.h"

inline void ensureApplicationObjects() {
  if (g_ui == nullptr) createApplicationObjects();
}
