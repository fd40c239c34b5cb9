#include "analysis/pipeline.h"

bool processFrame(FrameTracker& tracker, const AnalysisSettings& settings, double streamTime) {
  (void)tracker; (void)settings; (void)streamTime;
  return false;  // TODO(pipeline)
}

void saveBackground(FrameTracker& tracker) { (void)tracker; }
