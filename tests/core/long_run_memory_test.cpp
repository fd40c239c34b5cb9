// Long runs keep their memory flat: scoring videos of several codecs over and
// over, and scoring one long video step by step, the heap in use and the
// resident size at the end are those of an early point, within a small
// tolerance. Under AddressSanitizer the runs are made and its leak check at
// exit judges them instead.

#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "cli/score_video.h"
#include "tests/core/scorer_fixtures.h"
#include "tests/memory_use.h"
#include "video/video_thread.h"

namespace fs = std::filesystem;

namespace {

using namespace scorer_fixtures;

// The sample's script on the small maze; after its 80 s the animal stays
// in the closed arm where the script ends.
void writeMazeVideo(const fs::path& path, FixtureCodec codec, int fps, double seconds) {
  std::string error;
  ASSERT_TRUE(writeSceneVideo(path.string(), codec, smallScene(), samplePath(smallScene()), fps,
                              static_cast<int>(std::lround(seconds * fps)), false, &error))
      << error;
}

class LongRunMemoryTest : public testing::Test {
 protected:
  void SetUp() override {
    prepareVideoThread();
    folder_ = fs::temp_directory_path() / ("verdaxel-memory-" + std::to_string(getpid()));
    fs::create_directories(folder_);
  }
  void TearDown() override { fs::remove_all(folder_); }

  static void report(const char* what, const MemoryUse& early, const MemoryUse& late) {
    std::printf("%s: heap in use %.1f -> %.1f KiB, resident %.1f -> %.1f MiB\n", what,
                static_cast<double>(early.heap) / 1024, static_cast<double>(late.heap) / 1024,
                static_cast<double>(early.resident) / 1048576,
                static_cast<double>(late.resident) / 1048576);
  }

  fs::path folder_;
};

TEST_F(LongRunMemoryTest, ScoringVideosOverAndOverKeepsMemoryFlat) {
  // Intra-only, keyframes only, and inter-coded with frame threads.
  const std::vector<fs::path> videos = {folder_ / "maze-mjpeg.avi", folder_ / "maze-ffv1.avi",
                                        folder_ / "maze-h264.mp4"};
  writeMazeVideo(videos[0], FixtureCodec::kMjpegAvi, 15, 4.0);
  writeMazeVideo(videos[1], FixtureCodec::kFfv1Avi, 15, 4.0);
  writeMazeVideo(videos[2], FixtureCodec::kH264Mp4, 15, 4.0);
  const ScoreOptions options = smallOptions();
  auto scoreAll = [&] {
    for (const fs::path& video : videos) {
      const VideoResult result = scoreVideo(video.string(), options);
      ASSERT_TRUE(result.ok()) << video << ": " << result.error;
      ASSERT_GT(result.scores.totalTime, 3.0) << video;
    }
  };
  // The first rounds fill the caches that last (decoder tables, threads).
  for (int round = 0; round < 3; ++round) scoreAll();
  const MemoryUse early = MemoryUse::now();
  for (int round = 0; round < 20; ++round) scoreAll();
  const MemoryUse late = MemoryUse::now();
  if (!memoryFiguresMeaningful()) return;  // the leak check at exit judges the runs
  report("60 videos scored", early, late);
  EXPECT_LT(late.heap - early.heap, 256 * 1024);
  EXPECT_LT(late.resident - early.resident, 4 * 1024 * 1024);
}

TEST_F(LongRunMemoryTest, LongVideoKeepsMemoryFlatFrameByFrame) {
  // Longer than a recording run: 3,600 steps, each decoding a frame.
  const fs::path video = folder_ / "maze-long-h264.mp4";
  writeMazeVideo(video, FixtureCodec::kH264Mp4, 10, 362.0);
  MemoryUse early;
  MemoryUse late;
  int steps = 0;
  const VideoResult result =
      scoreVideo(video.string(), smallOptions(), [&](double, double) {
        ++steps;
        if (steps == 300) early = MemoryUse::now();
        if (steps == 3600) late = MemoryUse::now();
      });
  ASSERT_TRUE(result.ok()) << result.error;
  ASSERT_EQ(steps, 3600);
  if (!memoryFiguresMeaningful()) return;  // the leak check at exit judges the runs
  report("3,600 steps of one video", early, late);
  EXPECT_LT(late.heap - early.heap, 128 * 1024);
  EXPECT_LT(late.resident - early.resident, 2 * 1024 * 1024);
}

}  // namespace
