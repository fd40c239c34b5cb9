// The record loop on scripted videos, driven through the program's own
// callbacks and controls, with the scores read back from the outputs.
#include <FL/Fl.H>
#include <FL/Fl_Button.H>
#include <FL/Fl_Check_Button.H>
#include <FL/Fl_Output.H>
#include <FL/Fl_Value_Output.H>
#include <gtest/gtest.h>
#include <unistd.h>

#include <climits>
#include <functional>
#include <string>

#include "playback/callbacks.h"
#include "tests/gui/app_fixture.h"
#include "tests/gui/scripted_video.h"

namespace {

using namespace scripted;

struct Shown {
  std::string closed, open, openTime, totalTime, recordTime, recordClock, videoClock;
};

Shown shown() {
  return {g_ui->closedEntriesOut->value(), g_ui->openEntriesOut->value(),
          g_ui->openArmTimeOut->value(),   g_ui->totalTimeOut->value(),
          g_ui->recordTimeOut->value(),    g_ui->recordClockOut->value(),
          g_ui->videoClockOut->value()};
}

// A check callback run at every event check (once per loop step).
std::function<void()> g_eachCheck;
void runEachCheck(void*) {
  if (g_eachCheck) g_eachCheck();
}

class RecordingTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ensureApplicationObjects();
    // Only the animal (level 235) stands above this; the maze's walls are 150.
    g_ui->pixelThreshold->value(200);
    g_ui->removeBackgroundCheck->value(1);
    g_ui->excludeBoxCheck->value(1);
    g_ui->ratioThreshold->value(60);
    g_ui->pixelCountThreshold->value(1000);
    Fl::add_check(runEachCheck);
  }
  void TearDown() override {
    Fl::remove_check(runEachCheck);
    g_eachCheck = nullptr;
    g_ui->recordButton->value(0);
    g_ui->playButton->value(0);
  }

  static void open(const std::string& path) {
    g_playback->openFile(path.c_str());
    ASSERT_NE(g_tracker->mediaDet, nullptr) << path;
  }

  // Presses Record as a user does: the toggle goes down, then its callback runs.
  static void record() {
    g_ui->recordButton->value(1);
    g_ui->recordButton->do_callback();
  }

  // The steps a run from position 0 makes on the open video.
  static int stepsToEnd() {
    int steps = 0;
    double position = 0;
    do {
      position += 0.1;
      ++steps;
    } while (g_tracker->streamLength > position && steps < 3600);
    return steps;
  }

 private:
  WorkingFolderGuard folder_;
};

}  // namespace

TEST_F(RecordingTest, ScriptedPathsGiveTheirScores) {
  struct Case {
    const char* name;
    std::vector<PathPoint> path;
    int frames;  // at 10 frames per second
    const char* closed;
    const char* open;
    int (*openSteps)(int steps);  // steps counted as open-arm time, of all steps
  };
  const Case cases[] = {
      {"upper-centre-upper", {hidden(0), upper(1), centre(2), upper(3)}, 40, "2", "0", [](int) { return 0; }},
      // From right straight into left: two entries; once hidden, too few
      // pixels for a decision, the last open arm still counts.
      {"right-left-hidden", {hidden(0), right(1), left(2), hidden(3)}, 40, "0", "2", [](int n) { return n - 9; }},
      // In an arm from the first frame: one entry, since a run starts at the centre.
      {"lower-from-start", {lower(0)}, 20, "1", "0", [](int) { return 0; }},
      {"centre-only", {centre(0)}, 20, "0", "0", [](int) { return 0; }},
      {"left-centre-left", {left(0), centre(1), left(2)}, 30, "0", "2", [](int n) { return 9 + n - 19; }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    open(writeVideo(c.name, c.path, c.frames, 10));
    record();
    const int steps = stepsToEnd();
    const Shown s = shown();
    char total[32], openTime[32];
    std::snprintf(total, sizeof total, "%.1f", steps * 0.1);
    std::snprintf(openTime, sizeof openTime, "%.1f", c.openSteps(steps) * 0.1);
    EXPECT_EQ(s.closed, c.closed);
    EXPECT_EQ(s.open, c.open);
    EXPECT_EQ(s.openTime, openTime);
    EXPECT_EQ(s.totalTime, total);
    EXPECT_EQ(s.recordTime, total);
    EXPECT_EQ(g_ui->recordButton->value(), 0);
  }
}

TEST_F(RecordingTest, BackgroundSavedFromTheEmptyMaze) {
  // The default threshold of 50: without the background the lit maze itself
  // would count; with the empty maze saved, only the animal does.
  g_ui->pixelThreshold->value(50);
  open(writeVideo("upper-centre-upper", {hidden(0), upper(1), centre(2), upper(3)}, 40, 10));
  g_playback->position = 0.5;
  g_playback->updateTimeDisplay();
  onSaveBackground(nullptr, nullptr);
  g_playback->position = 0;
  record();
  EXPECT_EQ(shown().closed, "2");
  EXPECT_EQ(shown().open, "0");
}

TEST_F(RecordingTest, VideoOf205SecondsStepsTo21AndEnds) {
  open(writeVideo("short-2.05s", {upper(0)}, 41, 20));
  EXPECT_NEAR(g_tracker->streamLength, 2.05, 1e-6);
  record();
  EXPECT_EQ(shown().totalTime, "2.1");
  EXPECT_EQ(shown().recordTime, "2.1");
  EXPECT_EQ(shown().videoClock, "0:2.1");
  EXPECT_NEAR(g_playback->position, 2.1, 1e-9);

  // Record again at the end of the stream: no step, nothing changes but the regions.
  g_ui->totalTimeOut->value("x");
  g_tracker->currentRegion = REGION_UPPER;
  record();
  EXPECT_STREQ(g_ui->totalTimeOut->value(), "x");
  EXPECT_NEAR(g_playback->position, 2.1, 1e-9);
  EXPECT_EQ(g_tracker->currentRegion, REGION_CENTER);
  EXPECT_EQ(g_tracker->previousRegion, REGION_CENTER);
  EXPECT_EQ(g_ui->recordButton->value(), 0);
}

TEST_F(RecordingTest, LongVideoStopsAfter3600Steps) {
  open(writeVideo("long-362s", {hidden(0)}, 362, 1, smallMazeScene()));
  ASSERT_GT(g_tracker->streamLength, 361.0);
  record();
  EXPECT_EQ(shown().recordTime, "360.0");
  EXPECT_EQ(shown().totalTime, "360.0");
  EXPECT_EQ(shown().recordClock, "6 : 0.0");
  EXPECT_NEAR(g_playback->position, 360.0, 1e-6);
}

TEST_F(RecordingTest, ReleasingRecordStopsBeforeTheNextFrame) {
  open(writeVideo("upper-centre-upper", {hidden(0), upper(1), centre(2), upper(3)}, 40, 10));
  g_eachCheck = [] {
    if (g_playback->position > 0.95) g_ui->recordButton->value(0);
  };
  record();
  // The step to 1.0 was begun but not processed: the outputs show 0.9.
  EXPECT_NEAR(g_playback->position, 1.0, 1e-9);
  EXPECT_EQ(shown().totalTime, "0.9");
  EXPECT_EQ(shown().recordTime, "0.9");
  EXPECT_EQ(shown().videoClock, "0:0.9");
  EXPECT_EQ(shown().closed, "0");
}

TEST_F(RecordingTest, RecordDuringPlayRunsNestedAndPlayGoesOn) {
  open(writeVideo("right-left-hidden", {hidden(0), right(1), left(2), hidden(3)}, 40, 10));
  // Record is pressed as a pending event: the play loop's next event check
  // runs its callback, and the record loop runs nested inside it.
  static enum { kWaiting, kPressed, kDone } state;
  state = kWaiting;
  g_eachCheck = [] {
    if (state == kWaiting && g_playback->position > 0.95) {
      state = kPressed;
      Fl::add_timeout(0.0, [](void*) {
        record();
        state = kDone;
      });
    } else if (state == kPressed && g_playback->position > 1.95) {
      g_ui->recordButton->value(0);
    }
  };
  g_ui->playButton->value(1);
  g_ui->playButton->do_callback();
  EXPECT_EQ(state, kDone);
  // Play had shown 1.0 and moved to 1.1 when the run started; the run scored
  // the steps 1.2 to 1.9, all in the right arm.
  EXPECT_EQ(shown().totalTime, "0.8");
  EXPECT_EQ(shown().open, "1");
  EXPECT_EQ(shown().openTime, "0.8");
  // Play went on to the end of the stream and took its last step back.
  EXPECT_EQ(g_ui->playButton->value(), 0);
  EXPECT_NEAR(g_playback->position, 3.9, 1e-6);
}
