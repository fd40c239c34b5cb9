#include <FL/Fl.H>
#include <FL/Fl_Button.H>
#include <FL/Fl_Output.H>
#include <FL/Fl_Value_Output.H>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <string>

#include "playback/callbacks.h"
#include "tests/gui/app_fixture.h"
#include "tools/fixture_video.h"

namespace {

class PlaybackTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ensureApplicationObjects();
    // No video open: what start-up leaves.
    g_tracker->mediaDet.reset();
    g_tracker->streamLength = 0;
    g_playback->position = 0;
  }

  static std::string clock() { return g_ui->videoClockOut->value(); }

 private:
  WorkingFolderGuard folder_;
};

}  // namespace

TEST_F(PlaybackTest, SplitPathTable) {
  const std::string longFolder = "/tmp/" + std::string(200, 'd');
  struct Case {
    std::string path, folder, name;
  };
  const Case cases[] = {
      {"/tmp/clip.wmv", "/tmp", "clip.wmv"},
      {"/clip.wmv", "/", "clip.wmv"},
      {"clip.wmv", "clip.wmv", "clip.wmv"},
      {"/tmp/videos/", "/tmp/videos", ""},
      {longFolder + "/" + std::string(150, 'n') + ".avi", longFolder, std::string(150, 'n') + ".avi"},
      {"/tmp/m\xc3\xa4use/ma\xc3\x9f.wmv", "/tmp/m\xc3\xa4use", "ma\xc3\x9f.wmv"},
  };
  for (const Case& c : cases) {
    g_playback->splitPath(c.path.c_str());
    EXPECT_EQ(g_playback->fullPath, c.path);
    EXPECT_EQ(g_playback->folder, c.folder) << c.path;
    EXPECT_EQ(g_playback->fileName, c.name) << c.path;
  }
  // The folder becomes the working folder.
  g_playback->splitPath("/tmp/clip.wmv");
  char cwd[PATH_MAX];
  ASSERT_NE(getcwd(cwd, sizeof cwd), nullptr);
  EXPECT_STREQ(cwd, "/tmp");
  // A null path changes nothing.
  g_playback->splitPath(nullptr);
  EXPECT_EQ(g_playback->fullPath, "/tmp/clip.wmv");
}

TEST_F(PlaybackTest, ClockTexts) {
  struct Case {
    double position;
    const char* text;
  };
  const Case cases[] = {{0.0, "0:0.0"}, {75.3, "1:15.3"}, {-0.1, "0:-0.1"}, {-1.0, "0:-1.0"},
                        {9.96, "0:10.0"}, {600.0, "10:0.0"}};
  for (const Case& c : cases) {
    g_playback->position = c.position;
    g_playback->updateTimeDisplay();
    EXPECT_EQ(clock(), c.text) << c.position;
    EXPECT_EQ(g_ui->videoTime->value(), c.position);
  }
  // Running sums of the step drift from exact tenths.
  double sum = 0;
  for (int i = 0; i < 600; ++i) sum += 0.1;
  g_playback->position = sum;
  g_playback->updateTimeDisplay();
  EXPECT_EQ(clock(), "1:0.0");
  for (int i = 0; i < 600; ++i) sum += 0.1;
  g_playback->position = sum;
  g_playback->updateTimeDisplay();
  EXPECT_EQ(clock(), "1:60.0");
  EXPECT_EQ(g_playback->minutes, 1);
}

TEST_F(PlaybackTest, NavigationLimitsWithoutAFile) {
  onStepBack(nullptr, nullptr);
  EXPECT_EQ(g_playback->position, 0.0);
  EXPECT_EQ(clock(), "0:0.0");

  onStepForward(nullptr, nullptr);
  EXPECT_DOUBLE_EQ(g_playback->position, -0.1);
  EXPECT_EQ(clock(), "0:-0.1");

  onGoToStart(nullptr, nullptr);
  onGoToEnd(nullptr, nullptr);
  EXPECT_DOUBLE_EQ(g_playback->position, -0.1);

  g_ui->videoTime->value(12);
  onVideoTime(nullptr, nullptr);
  EXPECT_DOUBLE_EQ(g_playback->position, -1.0);
  EXPECT_EQ(clock(), "0:-1.0");

  // Play at 0 does not enter the loop: one step back, button released, clock unchanged.
  onGoToStart(nullptr, nullptr);
  g_ui->playButton->value(1);
  onPlay(nullptr, nullptr);
  EXPECT_DOUBLE_EQ(g_playback->position, -0.1);
  EXPECT_EQ(g_ui->playButton->value(), 0);
  EXPECT_EQ(clock(), "0:0.0");
}

TEST_F(PlaybackTest, NavigationLimitsWithAStreamLength) {
  g_tracker->streamLength = 10.0;
  struct Case {
    double from;
    void (*callback)(Fl_Widget*, void*);
    double expected;
  };
  const Case cases[] = {
      {0.05, onStepBack, 0.0},      {5.0, onStepBack, 4.9},       {5.0, onStepForward, 5.1},
      {9.9, onStepForward, 9.9},    {9.85, onStepForward, 9.95},  {3.0, onGoToEnd, 9.9},
      {3.0, onGoToStart, 0.0},
  };
  for (const Case& c : cases) {
    g_playback->position = c.from;
    c.callback(nullptr, nullptr);
    EXPECT_NEAR(g_playback->position, c.expected, 1e-9) << c.from;
  }
  // The valuator stops one second before the end; values just below the end pass.
  const double valuator[][2] = {{10.0, 9.0}, {12.0, 9.0}, {9.5, 9.5}, {4.2, 4.2}};
  for (const auto& v : valuator) {
    g_ui->videoTime->value(v[0]);
    onVideoTime(nullptr, nullptr);
    EXPECT_NEAR(g_playback->position, v[1], 1e-9) << v[0];
  }
  // Play at or past the end takes one step back and releases the button.
  g_playback->position = 10.0;
  g_ui->playButton->value(1);
  onPlay(nullptr, nullptr);
  EXPECT_NEAR(g_playback->position, 9.9, 1e-9);
  EXPECT_EQ(g_ui->playButton->value(), 0);
}

TEST_F(PlaybackTest, RecordWithoutAVideoDoesNoStep) {
  g_ui->closedEntriesOut->value("7");
  g_tracker->currentRegion = REGION_LEFT;
  g_ui->recordButton->value(1);
  onRecord(nullptr, nullptr);
  EXPECT_EQ(g_ui->recordButton->value(), 0);
  EXPECT_EQ(g_playback->position, 0.0);
  EXPECT_STREQ(g_ui->closedEntriesOut->value(), "7");
  EXPECT_EQ(g_tracker->currentRegion, REGION_CENTER);
  EXPECT_EQ(g_tracker->previousRegion, REGION_CENTER);
}

TEST_F(PlaybackTest, RecordClockTexts) {
  struct Case {
    int steps;
    const char* seconds;
    const char* clockText;
  };
  const Case cases[] = {{0, "0.0", "0 : 0.0"}, {600, "60.0", "1 : 0.0"}, {1200, "120.0", "1 : 60.0"},
                        {753, "75.3", "1 : 15.3"}};
  for (const Case& c : cases) {
    double elapsed = 0;
    for (int i = 0; i < c.steps; ++i) elapsed += 0.1;
    showRecordTime(elapsed);
    EXPECT_STREQ(g_ui->recordTimeOut->value(), c.seconds);
    EXPECT_STREQ(g_ui->recordClockOut->value(), c.clockText);
  }
}

TEST_F(PlaybackTest, AFolderThatCannotBeEnteredNeverOpensANamesake) {
  // A video named clip.avi in the working folder, and a path to another
  // clip.avi whose folder does not exist: the chooser's path must not open
  // the namesake in whatever folder is current.
  const std::string folder = std::string(VERDAXEL_BINARY_DIR) + "/test-videos/namesake";
  mkdir((std::string(VERDAXEL_BINARY_DIR) + "/test-videos").c_str(), 0755);
  mkdir(folder.c_str(), 0755);
  FixtureVideoSpec spec;
  spec.frameCount = 5;
  std::string error;
  ASSERT_TRUE(writeFixtureVideo(folder + "/clip.avi", spec,
                                [](int, uint8_t*, int) {}, &error))
      << error;
  ASSERT_EQ(chdir(folder.c_str()), 0);
  g_playback->openFile("/no/such/folder/clip.avi");
  EXPECT_EQ(g_tracker->mediaDet, nullptr);
  EXPECT_EQ(g_playback->fullPath, "/no/such/folder/clip.avi");
  // The same name in a folder that exists opens.
  g_playback->openFile((folder + "/clip.avi").c_str());
  EXPECT_NE(g_tracker->mediaDet, nullptr);
}
