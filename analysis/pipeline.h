#pragma once
// The per-frame pixel pipeline: grab, convert, gray level, background
// removal, exclusion, threshold, region count.
#include "analysis/frame_tracker.h"
#include "analysis/settings.h"

// Processes the frame at streamTime. Does nothing and returns false when no
// video is open or the grab fails; otherwise fills rgbBuf, grayBuf and
// activeMask, calls countRegions and returns true.
bool processFrame(FrameTracker& tracker, const AnalysisSettings& settings, double streamTime);

// Stores the gray level of the frame in rgbBuf as the background.
void saveBackground(FrameTracker& tracker);
