#include "analysis/frame_tracker.h"

void FrameTracker::openVideo(const char* fileName, const ExcludeBox& box) { (void)fileName; (void)box; }  // TODO(video)
bool FrameTracker::grabFrame(double streamTime) { (void)streamTime; return false; }
