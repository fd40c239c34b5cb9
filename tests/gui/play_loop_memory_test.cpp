// The play loop over whole videos: Play runs from the start to the end of the
// stream, processing and drawing every step, and gives back what it used: the
// heap in use after playing the videos again and again is what it was after
// the first time. Under AddressSanitizer its leak check at exit judges the
// runs instead.
#include <FL/Fl_Button.H>
#include <FL/Fl_Value_Output.H>
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "playback/callbacks.h"
#include "tests/gui/app_fixture.h"
#include "tests/gui/scripted_video.h"
#include "tests/memory_use.h"

namespace {

using namespace scripted;

class PlayLoopMemoryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ensureApplicationObjects();
    // Only the animal (level 235) stands above this; the maze's walls are 150.
    g_ui->pixelThreshold->value(200);
    g_ui->pixelCountThreshold->value(1000);
    g_ui->ratioThreshold->value(60);
  }
  void TearDown() override { g_ui->playButton->value(0); }

 private:
  WorkingFolderGuard folder_;
};

}  // namespace

TEST_F(PlayLoopMemoryTest, PlayingWholeVideosKeepsMemoryFlat) {
  const std::vector<PathPoint> path = {hidden(0), upper(1), centre(2), right(3), left(4.5)};
  // Keyframes only, and inter-coded (H.264, decoded on frame threads).
  const std::vector<std::string> videos = {writeVideo("play-whole-ffv1", path, 60, 10),
                                           writeVideo("play-whole-h264", path, 75, 15, MazeScene{},
                                                      FixtureCodec::kH264Mp4)};
  auto playAll = [&] {
    for (const std::string& video : videos) {
      g_playback->openFile(video.c_str());
      ASSERT_NE(g_tracker->mediaDet, nullptr) << video;
      g_playback->position = 0;
      g_ui->playButton->value(1);
      g_ui->playButton->do_callback();
      // Played to the end of the stream, then one step back; button released.
      EXPECT_EQ(g_ui->playButton->value(), 0);
      EXPECT_NEAR(g_playback->position, g_tracker->streamLength - 0.1, 0.1 + 1e-6) << video;
      EXPECT_EQ(g_tracker->currentRegion, REGION_LEFT) << video;  // the last frame was processed
    }
  };
  playAll();
  const MemoryUse early = MemoryUse::now();
  for (int round = 0; round < 4; ++round) playAll();
  const MemoryUse late = MemoryUse::now();
  if (!memoryFiguresMeaningful()) return;  // the leak check at exit judges the runs
  std::printf("8 videos played: heap in use %.1f -> %.1f KiB, resident %.1f -> %.1f MiB\n",
              static_cast<double>(early.heap) / 1024, static_cast<double>(late.heap) / 1024,
              static_cast<double>(early.resident) / 1048576,
              static_cast<double>(late.resident) / 1048576);
  EXPECT_LT(late.heap - early.heap, 256 * 1024);
  EXPECT_LT(late.resident - early.resident, 4 * 1024 * 1024);
}
