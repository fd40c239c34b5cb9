#pragma once
// The processing controls and the frame pipeline as the desktop program runs
// them: the controls are read into a settings record when the frame is
// analysed, the analysis works on g_tracker at g_playback's position, and
// the ratio and pixel-count outputs are written from the tracker afterwards.
#include "analysis/settings.h"

class Fl_Widget;

// The analysis settings as the controls of g_ui hold them now.
AnalysisSettings readAnalysisSettings();
// The exclude box as its four valuators hold it now.
ExcludeBox readExcludeBox();

// Processes the frame at the playback position and shows the region ratios
// and the pixel count. Does nothing while no video is open; returns whether a
// frame was analysed.
bool processFrame();
// Stores the gray level of the frame converted last as the background.
void saveBackground();
// Writes the five ratios ("%.f") and the active pixel total ("%d") of
// g_tracker to their outputs.
void showRegionOutputs();

// Exclude-box valuators: rebuild the exclusion mask, process, draw at once.
void onExcludeBoxChanged(Fl_Widget* widget, void* data);
// "Exclude Box", "Remove Background" and "Draw Active Arm": process, redraw.
void onProcessingOption(Fl_Widget* widget, void* data);
// "Save Background": save, process, redraw.
void onSaveBackground(Fl_Widget* widget, void* data);
// Threshold valuators: process, draw at once.
void onThresholdChanged(Fl_Widget* widget, void* data);
