#pragma once
// The three application objects, each made once at start-up and never destroyed.
struct MainUI;
struct FrameTracker;
struct PlaybackState;

extern MainUI* g_ui;
extern FrameTracker* g_tracker;
extern PlaybackState* g_playback;

// Creates g_ui, g_tracker and g_playback, in this order.
void createApplicationObjects();

// Start-up up to the shown main window, then shut-down; what main() runs.
int runApplication();
