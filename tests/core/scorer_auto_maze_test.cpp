// --auto-maze: the boundary found in generated maze videos of several sizes,
// offsets, arm widths and both polarities, through lossless and lossy codecs,
// scores as the drawn boundary does; a video without a maze fails with its
// reason; the background frame is the one searched; the summary shows what
// was found.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "cli/batch.h"
#include "cli/options.h"
#include "cli/report.h"
#include "cli/score_video.h"
#include "scorer_fixtures.h"

namespace fs = std::filesystem;
using namespace scorer_fixtures;

namespace {

constexpr int kFps = 10;
constexpr int kFrames = 30;  // 3 s

struct MazeVideo {
  const char* name;
  FixtureCodec codec;
  int width, height, centerX, centerY, halfWidth;
  bool inverted;  // a dark maze on a light floor, with a dark animal
  bool exact;     // lossless: the drawn boundary exactly
};

const MazeVideo kVideos[] = {
    {"small.avi", FixtureCodec::kFfv1Avi, 160, 120, 80, 60, 12, false, true},
    {"off-centre.avi", FixtureCodec::kFfv1Avi, 320, 240, 140, 131, 20, false, true},
    {"wide-arms-dark.avi", FixtureCodec::kFfv1Avi, 320, 240, 171, 110, 30, true, true},
    {"narrow-arms.avi", FixtureCodec::kFfv1Avi, 320, 240, 160, 120, 7, false, true},
    {"default-mjpeg.avi", FixtureCodec::kMjpegAvi, 640, 480, 321, 241, 36, false, false},
    {"h264-dark.mp4", FixtureCodec::kH264Mp4, 320, 240, 150, 125, 16, true, false},
};

MazeScene sceneOf(const MazeVideo& v) {
  MazeScene scene = smallScene();
  scene.width = v.width;
  scene.height = v.height;
  scene.centerX = v.centerX;
  scene.centerY = v.centerY;
  scene.halfWidth = v.halfWidth;
  return scene;
}

// Empty maze for a second, then the animal in the upper arm, the centre and
// the right arm.
std::vector<PathPoint> visit(const MazeScene& s) {
  const double cx = s.centerX;
  const double cy = s.centerY;
  return {{0.0, false, cx, cy, false},
          {1.05, true, cx, cy - s.halfWidth - 20.0, false},
          {1.55, true, cx, cy, false},
          {2.05, true, cx + s.halfWidth + 22.0, cy, false}};
}

ScoreOptions optionsFor(const MazeVideo& v) {
  ScoreOptions o = smallOptions();
  o.settings.boundaryX0 = v.centerX;
  o.settings.boundaryY0 = v.centerY;
  o.settings.boundaryR = v.halfWidth;
  o.settings.invertLevels = v.inverted;
  return o;
}

ScoreOptions automatic(ScoreOptions o) {
  o.autoMaze = true;
  o.settings.boundaryX0 = o.settings.boundaryY0 = o.settings.boundaryR = 0;
  return o;
}

class ScorerAutoMazeTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    dir_ = suiteFolder("auto-maze");
    std::string error;
    ready_ = true;
    for (const MazeVideo& v : kVideos) {
      const MazeScene scene = sceneOf(v);
      ready_ = ready_ && writeSceneVideo(path(v.name), v.codec, scene, visit(scene), kFps,
                                         kFrames, v.inverted, &error);
    }
    // A floor without a maze, with the animal on it.
    MazeScene bare = smallScene();
    bare.armLevel = bare.wallLevel = bare.floorLevel;
    ready_ = ready_ && writeSceneVideo(path("no-maze.avi"), FixtureCodec::kFfv1Avi, bare,
                                       visit(bare), kFps, kFrames, false, &error);
    // The light comes on at 0.5 s: the first frame is one gray.
    const MazeScene scene = smallScene();
    FixtureVideoSpec spec;
    spec.width = scene.width;
    spec.height = scene.height;
    spec.fpsNum = kFps;
    spec.frameCount = kFrames;
    ready_ = ready_ && writeFixtureVideo(
                           path("dark-start.avi"), spec,
                           [&](int frame, uint8_t* rgb, int stride) {
                             if (frame < 5) {
                               std::fill(rgb, rgb + stride * scene.height, uint8_t{20});
                             } else {
                               paintMaze(scene, rgb, stride);
                             }
                           },
                           &error);
    if (!ready_) std::fprintf(stderr, "cannot write the test videos: %s\n", error.c_str());
  }
  static void TearDownTestSuite() { fs::remove_all(dir_); }
  void SetUp() override { ASSERT_TRUE(ready_); }

  static std::string path(const std::string& name) { return (dir_ / name).string(); }

  static fs::path dir_;
  static bool ready_;
};

fs::path ScorerAutoMazeTest::dir_;
bool ScorerAutoMazeTest::ready_ = false;

}  // namespace

TEST_F(ScorerAutoMazeTest, FoundBoundaryScoresAsTheDrawnOne) {
  for (const MazeVideo& v : kVideos) {
    SCOPED_TRACE(v.name);
    const VideoResult drawn = scoreVideo(path(v.name), optionsFor(v));
    const VideoResult found = scoreVideo(path(v.name), automatic(optionsFor(v)));
    ASSERT_TRUE(drawn.ok()) << drawn.error;
    ASSERT_TRUE(found.ok()) << found.error;
    EXPECT_TRUE(found.mazeFound);
    EXPECT_FALSE(drawn.mazeFound);
    const AnalysisSettings& b = found.scoredWith.settings;
    if (v.exact) {
      EXPECT_EQ(b.boundaryX0, v.centerX);
      EXPECT_EQ(b.boundaryY0, v.centerY);
      EXPECT_EQ(b.boundaryR, v.halfWidth);
    } else {
      EXPECT_NEAR(b.boundaryX0, v.centerX, 2);
      EXPECT_NEAR(b.boundaryY0, v.centerY, 2);
      EXPECT_NEAR(b.boundaryR, v.halfWidth, 2);
    }
    // The animal is seen where the drawn boundary sees it.
    EXPECT_EQ(found.scores.closedEntries, 1);
    EXPECT_EQ(found.scores.openEntries, 1);
    EXPECT_EQ(found.scores.closedEntries, drawn.scores.closedEntries);
    EXPECT_EQ(found.scores.openEntries, drawn.scores.openEntries);
    EXPECT_EQ(found.scores.openArmTime, drawn.scores.openArmTime);
    EXPECT_EQ(found.scores.centerTime, drawn.scores.centerTime);
  }
}

TEST_F(ScorerAutoMazeTest, NoMazeFailsWithTheReason) {
  const VideoResult r = scoreVideo(path("no-maze.avi"), automatic(smallOptions()));
  EXPECT_FALSE(r.ok());
  EXPECT_FALSE(r.mazeFound);
  EXPECT_EQ(r.error.rfind("no maze found: ", 0), 0u) << r.error;
  EXPECT_GT(r.error.size(), std::string("no maze found: ").size());
}

TEST_F(ScorerAutoMazeTest, SearchesTheBackgroundFrameElseTheFirst) {
  ScoreOptions o = automatic(smallOptions());
  o.backgroundAt.reset();
  const VideoResult first = scoreVideo(path("dark-start.avi"), o);
  EXPECT_EQ(first.error.rfind("no maze found: uniform frame", 0), 0u) << first.error;
  o.backgroundAt = 1.0;
  const VideoResult background = scoreVideo(path("dark-start.avi"), o);
  ASSERT_TRUE(background.ok()) << background.error;
  EXPECT_EQ(background.scoredWith.settings.boundaryX0, 80);
  EXPECT_EQ(background.scoredWith.settings.boundaryY0, 60);
  EXPECT_EQ(background.scoredWith.settings.boundaryR, 12);
}

TEST_F(ScorerAutoMazeTest, SummaryShowsWhatWasFound) {
  // Per row: found, not found, and a row with the command line's boundary.
  writeAll(path("rows.csv"),
           "file,auto_maze\n"
           "off-centre.avi,yes\n"
           "no-maze.avi,yes\n"
           "small.avi,\n");
  Options options;
  const char* argv[] = {"verdaxel-score", "--settings", nullptr, "-q"};
  const std::string rows = path("rows.csv");
  argv[2] = rows.c_str();
  const ParseResult parsed = parseOptions(4, argv, &options);
  ASSERT_EQ(parsed.outcome, ParseOutcome::kRun) << parsed.message;
  options.scoring = smallOptions();
  options.csvPath = path("summary.csv");
  std::FILE* out = std::tmpfile();
  std::FILE* err = std::tmpfile();
  EXPECT_EQ(runBatch(options, out, err), kExitSomeFailed);  // the video without a maze
  std::fclose(out);
  std::fclose(err);
  const std::vector<std::string> lines = linesOf(readAll(options.csvPath));
  ASSERT_EQ(lines.size(), 4u);
  const std::string settings = "no,\"0,0,0,0\",50,100,60,0.5,yes,0,bright";
  EXPECT_NE(lines[1].find(",ok,140,131,20,yes,\"0,0,0,0\","), std::string::npos) << lines[1];
  EXPECT_EQ(lines[2], path("no-maze.avi") + ",,,,,,,,,,," + csvField(
                          scoreVideo(path("no-maze.avi"), automatic(smallOptions())).error) +
                          ",,,,yes,\"0,0,0,0\",50,100,60,0.5,yes,0,bright");
  EXPECT_NE(lines[3].find(",ok,80,60,12," + settings), std::string::npos) << lines[3];

  // The table gets a column of the boundary when a maze was to be found.
  std::vector<VideoResult> results = {
      scoreVideo(path("off-centre.avi"), automatic(smallOptions())),
      scoreVideo(path("no-maze.avi"), automatic(smallOptions()))};
  const std::vector<std::string> table = linesOf(summaryTable(results));
  ASSERT_EQ(table.size(), 3u);
  const size_t column = table[0].find("Maze X0,Y0,R");
  ASSERT_NE(column, std::string::npos);
  EXPECT_NE(table[1].find("140,131,20  ok"), std::string::npos) << table[1];
  EXPECT_NE(table[2].find("-  no maze found: "), std::string::npos) << table[2];
  results.pop_back();
  results[0] = scoreVideo(path("small.avi"), smallOptions());
  EXPECT_EQ(summaryTable(results).find("Maze"), std::string::npos);
}
