#include "playback/processing.h"

#include <FL/Fl.H>
#include <FL/Fl_Double_Window.H>
#include <FL/Fl_Output.H>
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "tests/fake_frame_detector.h"
#include "tests/gui/view_state_guard.h"
#include "view/video_box.h"

namespace {

// A 640 x 480 video whose one frame is black but for bright squares: 400
// pixels in the right arm and 800 in the centre of the default maze.
class ProcessingTest : public ::testing::Test {
 protected:
  void SetUp() override {
    MainUI& ui = *g_ui;
    ui.removeBackgroundCheck->value(1);
    ui.excludeBoxCheck->value(1);
    ui.drawActiveArmCheck->value(1);
    ui.pixelThreshold->value(50);
    ui.pixelCountThreshold->value(1000);
    ui.ratioThreshold->value(60);
    ui.boundaryX0->value(321);
    ui.boundaryY0->value(241);
    ui.boundaryR->value(36);
    ui.excludeX0->value(340);
    ui.excludeY0->value(0);
    ui.excludeW->value(146);
    ui.excludeH->value(26);

    ASSERT_TRUE(prepareTracker(*g_tracker, 640, 480));
    g_tracker->buildExclusionMask(readExcludeBox());
    auto detector = std::make_unique<FakeFrameDetector>();
    detector->pixels.assign(3 * 640 * 480, 0);
    paint(detector->pixels, 400, 220, 20, 20);  // right arm
    paint(detector->pixels, 300, 220, 20, 40);  // centre
    fake_ = detector.get();
    g_tracker->mediaDet = std::move(detector);
    g_tracker->currentRegion = g_tracker->previousRegion = REGION_UPPER;
    g_playback->position = 2.5;
    for (Fl_Output* out : outputs()) out->value("-");
  }

  static void paint(std::vector<uint8_t>& frame, int x0, int y0, int w, int h) {
    for (int y = y0; y < y0 + h; ++y) {
      for (int x = x0; x < x0 + w; ++x) setFramePixel(frame.data(), 640, 480, x, y, 200, 200, 200);
    }
  }
  static std::vector<Fl_Output*> outputs() {
    MainUI& ui = *g_ui;
    return {ui.ratioOut[0], ui.ratioOut[1], ui.ratioOut[2], ui.ratioOut[3], ui.ratioOut[4],
            ui.pixelCountOut};
  }
  static std::vector<std::string> texts() {
    std::vector<std::string> t;
    for (Fl_Output* out : outputs()) t.emplace_back(out->value());
    return t;
  }
  // Shows the main window with nothing left to draw, so that a test can see
  // whether a callback drew at once.
  static void showDrawnWindow() {
    Fl_Double_Window& window = *g_ui->window;
    window.show();
    for (int i = 0; i < 200 && (!window.visible() || window.damage()); ++i) Fl::wait(0.01);
    ASSERT_TRUE(window.visible());
    ASSERT_EQ(g_ui->videoBox->damage(), 0);
  }
  static bool drawnAtOnce() { return g_ui->videoBox->damage() == 0; }

  ViewStateGuard guard_;
  FakeFrameDetector* fake_ = nullptr;
};

}  // namespace

TEST_F(ProcessingTest, ReadsTheControls) {
  MainUI& ui = *g_ui;
  ui.removeBackgroundCheck->value(0);
  ui.pixelThreshold->value(50.9);
  ui.boundaryX0->value(300);
  ui.boundaryY0->value(200);
  ui.boundaryR->value(20);
  ui.pixelCountThreshold->value(10);
  ui.ratioThreshold->value(30);
  const AnalysisSettings s = readAnalysisSettings();
  EXPECT_FALSE(s.removeBackground);
  EXPECT_TRUE(s.excludeBox);
  EXPECT_EQ(s.pixelThreshold, 50.9);
  EXPECT_EQ(s.boundaryX0, 300);
  EXPECT_EQ(s.boundaryY0, 200);
  EXPECT_EQ(s.boundaryR, 20);
  EXPECT_EQ(s.pixelCountThreshold, 10);
  EXPECT_EQ(s.ratioThreshold, 30);
  EXPECT_FALSE(s.invertLevels);

  ui.excludeX0->value(1);
  ui.excludeY0->value(2);
  ui.excludeW->value(3);
  ui.excludeH->value(4);
  const ExcludeBox box = readExcludeBox();
  EXPECT_EQ((std::vector<double>{box.x0, box.y0, box.w, box.h}),
            (std::vector<double>{1, 2, 3, 4}));
}

TEST_F(ProcessingTest, ProcessesTheFrameAtThePositionAndShowsTheOutputs) {
  EXPECT_TRUE(processFrame());
  EXPECT_EQ(fake_->grabs, 1);
  EXPECT_EQ(fake_->lastTime, 2.5);
  // 400 and 800 of 1200: 33.3 and 66.7 shown without decimals.
  EXPECT_EQ(texts(), (std::vector<std::string>{"0", "33", "0", "0", "67", "1200"}));
  EXPECT_EQ(g_tracker->currentRegion, REGION_CENTER);
  EXPECT_EQ(g_tracker->grayBuf[230 * 640 + 410], 150);
}

TEST_F(ProcessingTest, NothingChangesWithoutAVideo) {
  g_tracker->mediaDet.reset();
  EXPECT_FALSE(processFrame());
  EXPECT_EQ(texts(), std::vector<std::string>(6, "-"));
}

TEST_F(ProcessingTest, AFailedGrabKeepsTheOutputs) {
  fake_->failCode = E_FAIL;
  g_tracker->failureLog = nullptr;
  EXPECT_FALSE(processFrame());
  g_tracker->failureLog = stdout;
  EXPECT_EQ(texts(), std::vector<std::string>(6, "-"));
}

TEST_F(ProcessingTest, CallbacksProcessAndDrawAsEachOneShould) {
  showDrawnWindow();
  g_ui->pixelCountThreshold->value(100);

  g_ui->pixelThreshold->value(250);  // nothing is above it
  onThresholdChanged(g_ui->pixelThreshold, nullptr);
  EXPECT_EQ(fake_->grabs, 1);
  EXPECT_EQ(texts().back(), "0");
  EXPECT_TRUE(drawnAtOnce());

  g_ui->pixelThreshold->value(50);
  onProcessingOption(g_ui->removeBackgroundCheck, nullptr);
  EXPECT_EQ(fake_->grabs, 2);
  EXPECT_EQ(texts().back(), "1200");
  EXPECT_FALSE(drawnAtOnce());
  Fl::flush();

  // The exclude box over the right arm's square.
  g_ui->excludeX0->value(400);
  g_ui->excludeY0->value(220);
  g_ui->excludeW->value(20);
  g_ui->excludeH->value(20);
  onExcludeBoxChanged(g_ui->excludeX0, nullptr);
  EXPECT_EQ(fake_->grabs, 3);
  EXPECT_EQ(texts(), (std::vector<std::string>{"0", "0", "0", "0", "100", "800"}));
  EXPECT_TRUE(drawnAtOnce());

  // The saved background is this very frame: with Remove Background on,
  // nothing stands above it.
  onSaveBackground(g_ui->saveBackgroundButton, nullptr);
  EXPECT_EQ(fake_->grabs, 4);
  EXPECT_EQ(g_tracker->backgroundBuf[230 * 640 + 310], 200);
  EXPECT_EQ(texts().back(), "0");
  EXPECT_FALSE(drawnAtOnce());

  g_ui->window->hide();
  Fl::check();
}

TEST_F(ProcessingTest, CallbacksWithoutAVideoOnlyRedraw) {
  g_tracker->mediaDet.reset();
  g_tracker->rgbBuf[0] = 90;
  g_tracker->rgbBuf[1] = 0;
  g_tracker->rgbBuf[2] = 0;
  onSaveBackground(g_ui->saveBackgroundButton, nullptr);
  EXPECT_EQ(g_tracker->backgroundBuf[0], 30);  // saved all the same
  onThresholdChanged(g_ui->pixelThreshold, nullptr);
  onProcessingOption(g_ui->excludeBoxCheck, nullptr);
  onExcludeBoxChanged(g_ui->excludeW, nullptr);
  EXPECT_EQ(texts(), std::vector<std::string>(6, "-"));
  EXPECT_NE(g_ui->videoBox->damage(), 0);
}
