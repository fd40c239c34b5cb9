#include "analysis/recording_run.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

// What the analysis of one step left in the tracker.
struct StepState {
  bool analysed;
  int region;
  bool entered;
  double ratio;
};

RunScores scoreSteps(const std::vector<StepState>& steps, double ratioThreshold = 60) {
  FrameTracker tracker;
  RecordingRun run(tracker, ratioThreshold);
  double position = 0;
  for (const StepState& s : steps) {
    run.beginStep(position, 0.1);
    if (s.analysed) {
      tracker.currentRegion = s.region;
      tracker.entered = s.entered;
      tracker.currentRatio = s.ratio;
    }
    run.scoreStep(s.analysed, 0.1);
  }
  return run.scores();
}

}  // namespace

TEST(RecordingRunTest, StartPutsBothRegionsAtTheCentre) {
  FrameTracker tracker;
  tracker.currentRegion = REGION_LEFT;
  tracker.previousRegion = REGION_UPPER;
  RecordingRun run(tracker, 60);
  EXPECT_EQ(tracker.currentRegion, REGION_CENTER);
  EXPECT_EQ(tracker.previousRegion, REGION_CENTER);
  EXPECT_EQ(run.startRatioThreshold(), 60);
}

TEST(RecordingRunTest, CountsEntriesAndTimes) {
  struct Case {
    const char* name;
    std::vector<StepState> steps;
    int closed, open;
    double openTime, totalTime, centerTime, closedTime, firstOpen;
  };
  const Case cases[] = {
      {"upper, centre, upper",
       {{true, REGION_UPPER, true, 100}, {true, REGION_CENTER, false, 100}, {true, REGION_UPPER, true, 100}},
       2, 0, 0.0, 0.3, 0.1, 0.2, -1},
      {"right then straight into left",
       {{true, REGION_RIGHT, true, 90}, {true, REGION_LEFT, true, 90}},
       0, 2, 0.2, 0.2, 0.0, 0.0, 0.1},
      {"too few pixels in an open arm keeps the last decision's ratio",
       {{true, REGION_RIGHT, true, 80}, {true, REGION_RIGHT, false, 80}},
       0, 1, 0.2, 0.2, 0.0, 0.0, 0.1},
      {"no region above the threshold adds no open-arm time",
       {{true, REGION_LEFT, true, 70}, {true, REGION_LEFT, false, 0}},
       0, 1, 0.1, 0.2, 0.0, 0.0, 0.1},
      {"ratio equal to the threshold is no open-arm time",
       {{true, REGION_LEFT, true, 60}}, 0, 1, 0.0, 0.1, 0.0, 0.0, 0.1},
      {"a step that was not analysed counts nothing",
       {{true, REGION_RIGHT, true, 90}, {false, 0, false, 0}, {true, REGION_RIGHT, false, 90}},
       0, 1, 0.2, 0.2, 0.0, 0.0, 0.1},
      {"first open entry after a closed one",
       {{true, REGION_LOWER, true, 100}, {true, REGION_CENTER, false, 100}, {true, REGION_LEFT, true, 100}},
       1, 1, 0.1, 0.3, 0.1, 0.1, 0.3},
  };
  for (const Case& c : cases) {
    const RunScores s = scoreSteps(c.steps);
    SCOPED_TRACE(c.name);
    EXPECT_EQ(s.closedEntries, c.closed);
    EXPECT_EQ(s.openEntries, c.open);
    EXPECT_NEAR(s.openArmTime, c.openTime, 1e-9);
    EXPECT_NEAR(s.totalTime, c.totalTime, 1e-9);
    EXPECT_NEAR(s.centerTime, c.centerTime, 1e-9);
    EXPECT_NEAR(s.closedArmTime, c.closedTime, 1e-9);
    EXPECT_NEAR(s.firstOpenEntryTime, c.firstOpen, 1e-9);
    EXPECT_NEAR(s.elapsed, 0.1 * static_cast<double>(c.steps.size()), 1e-9);
  }
}

TEST(RecordingRunTest, StopsAfter3600StepsOfRunningSums) {
  FrameTracker tracker;
  RecordingRun run(tracker, 60);
  double position = 0;
  int steps = 0;
  while (run.mayBeginStep()) {
    run.beginStep(position, 0.1);
    run.scoreStep(true, 0.1);
    ++steps;
    if (steps == 1200) {
      // Running sums drift from exact tenths: just below 120 here.
      EXPECT_LT(run.scores().elapsed, 120.0);
      EXPECT_LT(position, 120.0);
    }
  }
  EXPECT_EQ(steps, 3600);
  char text[32];
  std::snprintf(text, sizeof text, "%.1f", run.scores().elapsed);
  EXPECT_STREQ(text, "360.0");
  std::snprintf(text, sizeof text, "%.1f", run.scores().totalTime);
  EXPECT_STREQ(text, "360.0");
}
