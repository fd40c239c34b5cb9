#pragma once
// The per-frame pixel pipeline: grab, convert, gray level, background
// removal, exclusion, threshold, region count.
#include "analysis/frame_tracker.h"
#include "analysis/settings.h"

// Processes the frame at streamTime. Does nothing and returns false when no
// video is open or the grab fails; otherwise analyses the grabbed frame
// (analyseFrame) and returns true.
bool processFrame(FrameTracker& tracker, const AnalysisSettings& settings, double streamTime);

// Analyses the frame in frameBits: rgbBuf gets the picture top row first in
// red, green, blue; grayBuf the level of each pixel above the pixel threshold
// (after background removal and exclusion, 0 where not above it); activeMask
// 1 where the level is above it; then countRegions runs. Returns false, and
// changes nothing, when there is no grabbed frame of the buffers' size.
bool analyseFrame(FrameTracker& tracker, const AnalysisSettings& settings);

// Stores the gray level of the frame in rgbBuf as the background.
void saveBackground(FrameTracker& tracker);
