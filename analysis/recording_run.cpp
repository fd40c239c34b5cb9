#include "analysis/recording_run.h"

RecordingRun::RecordingRun(FrameTracker& tracker, double ratioThreshold)
    : tracker_(tracker), startRatioThreshold_(ratioThreshold) {
  tracker.currentRegion = REGION_CENTER;
  tracker.previousRegion = REGION_CENTER;
}

void RecordingRun::beginStep(double& position, double step) {
  position = position + step;
  scores_.elapsed = scores_.elapsed + step;
}

void RecordingRun::scoreStep(bool analysed, double step) {
  if (!analysed) return;
  const int region = tracker_.currentRegion;
  if (tracker_.entered) {
    if (isClosedArm(region)) {
      scores_.closedEntries += 1;
    } else {
      scores_.openEntries += 1;
      if (scores_.firstOpenEntryTime < 0) scores_.firstOpenEntryTime = scores_.elapsed;
    }
  }
  if (isOpenArm(region) && tracker_.currentRatio > startRatioThreshold_) {
    scores_.openArmTime = scores_.openArmTime + step;
  }
  if (region == REGION_CENTER) scores_.centerTime = scores_.centerTime + step;
  if (isClosedArm(region)) scores_.closedArmTime = scores_.closedArmTime + step;
  scores_.totalTime = scores_.totalTime + step;
}
