// Truncated copies of generated videos: the status says where the frames
// end, the run stops at the last frame instead of scoring it frozen up to
// the stated length, and the exit status is 1; whole videos are not flagged.
#include <gtest/gtest.h>

#include <cctype>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "analysis/frame_tracker.h"
#include "cli/batch.h"
#include "cli/score_video.h"
#include "scorer_fixtures.h"
#include "video/media_detector.h"
#include "video/video_thread.h"

namespace fs = std::filesystem;
using namespace scorer_fixtures;

namespace {

constexpr int kFps = 10;
constexpr int kFrames = 200;  // 20 s
constexpr double kLength = 20.0;

// The animal tours the maze, a place every 1.5 s, changing places midway
// between two recording steps; the first second shows the empty maze.
std::vector<PathPoint> tour(const MazeScene& s) {
  const double cx = s.centerX;
  const double cy = s.centerY;
  const double places[6][2] = {{cx, cy}, {cx, 25}, {cx, cy}, {125, cy}, {35, cy}, {cx, 95}};
  std::vector<PathPoint> path = {{0.0, false, cx, cy, false}};
  for (int k = 0; 1.05 + 1.5 * k < kLength; ++k) {
    path.push_back({1.05 + 1.5 * k, true, places[k % 6][0], places[k % 6][1], false});
  }
  return path;
}

struct Source {
  const char* name;
  FixtureCodec codec;
};

// Containers that state the length in a header before the frames.
const std::vector<Source> kStatedLength = {
    {"ffv1.mkv", FixtureCodec::kFfv1Mkv},
    {"h264.mkv", FixtureCodec::kH264Mkv},
};
// Containers whose length FFmpeg takes from an index at the end or from the
// frames themselves.
const std::vector<Source> kOtherContainers = {
    {"ffv1.avi", FixtureCodec::kFfv1Avi},
    {"h264.mp4", FixtureCodec::kH264Mp4},
    {"wmv2.wmv", FixtureCodec::kWmv2Wmv},
};

class ScorerTruncationTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    dir_ = suiteFolder("truncation");
    const MazeScene scene = smallScene();
    std::string error;
    ready_ = true;
    for (const auto* list : {&kStatedLength, &kOtherContainers}) {
      for (const Source& s : *list) {
        ready_ = ready_ &&
                 writeSceneVideo(path(s.name), s.codec, scene, tour(scene), kFps, kFrames, false,
                                 &error) &&
                 copyPart(s.name, 30) && copyPart(s.name, 90);
      }
    }
    if (!ready_) std::fprintf(stderr, "cannot write the test videos: %s\n", error.c_str());
    prepareVideoThread();  // as the program does: FFmpeg's complaints about the copies unshown
  }
  static void TearDownTestSuite() { fs::remove_all(dir_); }
  void SetUp() override { ASSERT_TRUE(ready_); }

  static std::string path(const std::string& name) { return (dir_ / name).string(); }
  static std::string cutName(const std::string& name, int percent) {
    return std::to_string(percent) + "-" + name;
  }
  // The first percent of the file's bytes, as a copy interrupted there.
  static bool copyPart(const std::string& name, int percent) {
    const std::string whole = readAll(path(name));
    writeAll(path(cutName(name, percent)), whole.substr(0, whole.size() * percent / 100));
    return !whole.empty();
  }

  static ScoreOptions withSteps() {
    ScoreOptions o = smallOptions();
    o.keepSteps = true;
    return o;
  }

  static fs::path dir_;
  static bool ready_;
};

fs::path ScorerTruncationTest::dir_;
bool ScorerTruncationTest::ready_ = false;

}  // namespace

TEST_F(ScorerTruncationTest, TruncatedCopiesStopAtTheirLastFrame) {
  for (const Source& s : kStatedLength) {
    const VideoResult whole = scoreVideo(path(s.name), withSteps());
    ASSERT_TRUE(whole.ok()) << s.name << ": " << whole.error;
    for (const int percent : {30, 90}) {
      SCOPED_TRACE(cutName(s.name, percent));
      const VideoResult cut = scoreVideo(path(cutName(s.name, percent)), withSteps());
      ASSERT_TRUE(cut.ok()) << cut.error;
      EXPECT_FALSE(cut.whole());
      EXPECT_EQ(cut.streamLength, kLength);  // the length the header states
      // The frames end about where the bytes do, and well before the length.
      EXPECT_GT(cut.framesEnd, kLength * (percent - 15) / 100);
      EXPECT_LT(cut.framesEnd, kLength * percent / 100 + 1);
      char status[96];
      std::snprintf(status, sizeof status, "truncated: frames end at %.1f s of 20.0 s",
                    cut.framesEnd);
      EXPECT_EQ(cut.status(), status);
      EXPECT_EQ(cut.unreadSteps, 0);

      // The run ends as it would on a stream that ends with the frames: on
      // the first step not before their end.
      ASSERT_FALSE(cut.steps.empty());
      const double lastPosition = cut.steps.back().position;
      EXPECT_GE(lastPosition, cut.framesEnd);
      EXPECT_LT(lastPosition - kPlaybackStep, cut.framesEnd);
      EXPECT_NEAR(cut.scores.elapsed, runRecordTime(0, cut.framesEnd), 1e-9);
      // Up to there the copy scores what the whole video scores.
      ASSERT_LT(cut.steps.size(), whole.steps.size());
      for (size_t i = 0; i + 1 < cut.steps.size(); ++i) {
        const StepRecord& a = cut.steps[i];
        const StepRecord& b = whole.steps[i];
        ASSERT_EQ(a.region, b.region) << "step " << i;
        ASSERT_EQ(a.scores.closedEntries, b.scores.closedEntries) << "step " << i;
        ASSERT_EQ(a.scores.openEntries, b.scores.openEntries) << "step " << i;
        ASSERT_EQ(a.scores.openArmTime, b.scores.openArmTime) << "step " << i;
      }
    }
  }
}

TEST_F(ScorerTruncationTest, WholeVideosAreNotFlagged) {
  for (const auto* list : {&kStatedLength, &kOtherContainers}) {
    for (const Source& s : *list) {
      SCOPED_TRACE(s.name);
      const VideoResult r = scoreVideo(path(s.name), smallOptions());
      ASSERT_TRUE(r.ok()) << r.error;
      EXPECT_TRUE(r.whole());
      EXPECT_EQ(r.status(), "ok");
      EXPECT_EQ(r.unreadSteps, 0);
      // Including the run's last step, past the last frame.
      EXPECT_NEAR(r.scores.elapsed, runRecordTime(0, r.streamLength), 1e-9);
      EXPECT_GT(r.scores.elapsed, kLength);
    }
  }
}

TEST_F(ScorerTruncationTest, CopiesInOtherContainersAreNeverScoredAsWhole) {
  // AVI: without the index at its end FFmpeg counts the frames there are,
  // so the stated length is where they end. MP4: the index is at the end,
  // so the copy cannot be read. ASF: the copy states no length.
  for (const Source& s : kOtherContainers) {
    for (const int percent : {30, 90}) {
      const std::string name = cutName(s.name, percent);
      SCOPED_TRACE(name);
      const VideoResult r = scoreVideo(path(name), smallOptions());
      if (r.ok()) {
        EXPECT_LT(r.scores.elapsed, kLength * percent / 100 + 0.5);
      } else {
        EXPECT_NE(r.status(), "ok");
      }
      if (s.codec == FixtureCodec::kWmv2Wmv) {
        EXPECT_EQ(r.error, "the video states no length (a damaged or truncated file?)");
      }
    }
  }
}

TEST_F(ScorerTruncationTest, StartOrBackgroundPastTheFramesIsTheVideosError) {
  const std::string cut = path(cutName("ffv1.mkv", 30));
  ScoreOptions late = smallOptions();
  late.start = 12;  // before the stated 20 s, after the frames' end near 6 s
  const VideoResult r = scoreVideo(cut, late);
  EXPECT_EQ(r.error.rfind("start past the end of the frames (truncated: frames end at ", 0), 0u)
      << r.error;
  ScoreOptions background = smallOptions();
  background.backgroundAt = 12;
  const VideoResult b = scoreVideo(cut, background);
  EXPECT_EQ(b.error.rfind("background time past the end of the frames (truncated: ", 0), 0u)
      << b.error;
}

TEST_F(ScorerTruncationTest, BatchReportsTruncationWithExitStatusOne) {
  Options options;
  options.scoring = smallOptions();
  options.quiet = true;
  options.csvPath = path("summary.csv");
  options.videos = {path("ffv1.mkv")};
  std::FILE* out = std::tmpfile();
  std::FILE* err = std::tmpfile();
  EXPECT_EQ(runBatch(options, out, err), kExitScored);
  options.videos.push_back(path(cutName("ffv1.mkv", 30)));
  EXPECT_EQ(runBatch(options, out, err), kExitSomeFailed);
  std::fclose(out);
  std::fclose(err);
  const std::vector<std::string> rows = linesOf(readAll(options.csvPath));
  ASSERT_EQ(rows.size(), 3u);
  // The truncated video's numbers are those of its frames, with the status.
  const std::string cut = path(cutName("ffv1.mkv", 30));
  ASSERT_EQ(rows[2].rfind(cut + ",", 0), 0u) << rows[2];
  EXPECT_TRUE(std::isdigit(static_cast<unsigned char>(rows[2][cut.size() + 1]))) << rows[2];
  EXPECT_NE(rows[2].find(",truncated: frames end at "), std::string::npos) << rows[2];
}

TEST_F(ScorerTruncationTest, DetectorTellsTheGrabbedFrameAndWhetherItIsTheLast) {
  for (const Source& s : kStatedLength) {
    for (const std::string& name : {std::string(s.name), cutName(s.name, 30)}) {
      SCOPED_TRACE(name);
      FrameTracker tracker;
      tracker.failureLog = nullptr;
      tracker.openVideo(path(name).c_str(), ExcludeBox());
      ASSERT_NE(tracker.mediaDet, nullptr);
      double shown = -1;
      bool last = true;
      EXPECT_LT(tracker.mediaDet->getGrabbedFrame(&shown, &last), 0);  // nothing grabbed yet
      ASSERT_TRUE(tracker.grabFrame(1.25));
      ASSERT_EQ(tracker.mediaDet->getGrabbedFrame(&shown, &last), S_OK);
      EXPECT_NEAR(shown, 1.2, 1e-6);
      EXPECT_FALSE(last);
      // Any time past the last frame gives the last frame, and says so.
      double lastShown = -1;
      for (const double t : {kLength - 0.05, kLength + 5, 1000.0}) {
        ASSERT_TRUE(tracker.grabFrame(t));
        ASSERT_EQ(tracker.mediaDet->getGrabbedFrame(&shown, &last), S_OK);
        EXPECT_TRUE(last) << t;
        if (lastShown >= 0) {
          EXPECT_EQ(shown, lastShown);
        }
        lastShown = shown;
      }
      if (name == s.name) {
        EXPECT_NEAR(lastShown, kLength - 0.1, 1e-6);
      }
      EXPECT_FALSE(tracker.grabFrame(-1));
      EXPECT_LT(tracker.mediaDet->getGrabbedFrame(&shown, &last), 0);  // the grab failed
    }
  }
}
