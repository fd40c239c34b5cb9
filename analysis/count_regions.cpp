#include "analysis/frame_tracker.h"

void FrameTracker::countRegions(const AnalysisSettings& settings) { (void)settings; }  // TODO(regions)
