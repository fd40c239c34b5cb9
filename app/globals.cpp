#include "app/globals.h"

MainUI* g_ui = nullptr;
FrameTracker* g_tracker = nullptr;
PlaybackState* g_playback = nullptr;
