// The headless scorer and the desktop program's record loop give the same
// numbers for the same video and settings: one test drives both.
#include <FL/Fl_Button.H>
#include <FL/Fl_Check_Button.H>
#include <FL/Fl_Output.H>
#include <FL/Fl_Value_Output.H>
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "cli/score_video.h"
#include "playback/callbacks.h"
#include "tests/gui/app_fixture.h"
#include "tests/gui/scripted_video.h"

namespace {

struct Settings {
  const char* name;
  double x0, y0, r, pixelThreshold, pixelCountThreshold, ratioThreshold;
  bool removeBackground, excludeBox;
  double backgroundAt, start;
};

void setControls(const Settings& s) {
  g_ui->boundaryX0->value(s.x0);
  g_ui->boundaryY0->value(s.y0);
  g_ui->boundaryR->value(s.r);
  g_ui->pixelThreshold->value(s.pixelThreshold);
  g_ui->pixelCountThreshold->value(s.pixelCountThreshold);
  g_ui->ratioThreshold->value(s.ratioThreshold);
  g_ui->removeBackgroundCheck->value(s.removeBackground);
  g_ui->excludeBoxCheck->value(s.excludeBox);
}

ScoreOptions scoreOptions(const Settings& s) {
  ScoreOptions o;
  o.settings.boundaryX0 = s.x0;
  o.settings.boundaryY0 = s.y0;
  o.settings.boundaryR = s.r;
  o.settings.pixelThreshold = s.pixelThreshold;
  o.settings.pixelCountThreshold = s.pixelCountThreshold;
  o.settings.ratioThreshold = s.ratioThreshold;
  o.settings.removeBackground = s.removeBackground;
  o.settings.excludeBox = s.excludeBox;
  o.backgroundAt = s.backgroundAt;
  o.start = s.start;
  return o;
}

std::string fixed1(double v) {
  char text[32];
  std::snprintf(text, sizeof text, "%.1f", v);
  return text;
}

}  // namespace

TEST(ScorerAgreementTest, SameNumbersAsTheRecordLoop) {
  ensureApplicationObjects();
  WorkingFolderGuard workingFolder;
  const std::string video = scripted::videoDir() + "/sample-40s.avi";
  std::string error;
  ASSERT_TRUE(writeSampleSession(video, FixtureCodec::kFfv1Avi, 10, 40.0, &error)) << error;

  const Settings table[] = {
      {"defaults with a background", 321, 241, 36, 50, 1000, 60, true, true, 1.0, 0},
      {"looser ratio, narrower arms, no exclusion", 321, 241, 30, 40, 600, 35, true, false, 2.0, 0},
      {"no background removal, later start", 318, 244, 40, 200, 800, 50, false, true, 1.0, 12.3},
  };
  for (const Settings& s : table) {
    SCOPED_TRACE(s.name);
    setControls(s);
    // The user's way: open, move to the empty maze, save it, move to the start, Record.
    g_playback->openFile(video.c_str());
    ASSERT_NE(g_tracker->mediaDet, nullptr);
    g_ui->videoTime->value(s.backgroundAt);
    onVideoTime(nullptr, nullptr);
    onSaveBackground(nullptr, nullptr);
    g_ui->videoTime->value(s.start);
    onVideoTime(nullptr, nullptr);
    g_ui->recordButton->value(1);
    g_ui->recordButton->do_callback();

    const VideoResult headless = scoreVideo(video, scoreOptions(s));
    ASSERT_TRUE(headless.ok()) << headless.error;
    EXPECT_EQ(std::to_string(headless.scores.closedEntries), g_ui->closedEntriesOut->value());
    EXPECT_EQ(std::to_string(headless.scores.openEntries), g_ui->openEntriesOut->value());
    EXPECT_EQ(fixed1(headless.scores.openArmTime), g_ui->openArmTimeOut->value());
    EXPECT_EQ(fixed1(headless.scores.totalTime), g_ui->totalTimeOut->value());
    EXPECT_EQ(fixed1(headless.scores.elapsed), g_ui->recordTimeOut->value());
    // The run does score something: the scene has visits to every arm.
    EXPECT_GT(headless.scores.closedEntries + headless.scores.openEntries, 0);
  }
}
