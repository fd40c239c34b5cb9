// The scorer on videos with a scripted animal: known entries and times, the
// batch's rows and exit status, threads, traces and plots.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "cli/batch.h"
#include "cli/score_video.h"
#include "scorer_fixtures.h"

namespace fs = std::filesystem;
using namespace scorer_fixtures;

namespace {

// The animal's script, 20 frames a second for 4 s. Each place changes at a
// time midway between two recording steps, so a step's frame is the same
// whichever side of a whole tenth its running-sum position falls.
std::vector<PathPoint> scriptedPath(const MazeScene& s) {
  const double cx = s.centerX;
  const double cy = s.centerY;
  return {
      {0.0, false, cx, cy, false},       // empty maze: steps 0.1 .. 1.0
      {1.05, true, cx, cy, false},       // centre: 1.1 .. 1.5
      {1.55, true, cx, 25, false},       // upper (closed) arm: 1.6 .. 2.0
      {2.05, true, cx, cy, false},       // centre: 2.1 .. 2.5
      {2.55, true, 125, cy, false},      // right (open) arm: 2.6 .. 3.0
      {3.05, true, 35, cy, false},       // straight into the left (open) arm: 3.1 .. 3.5
      {3.55, true, cx, 95, false},       // lower (closed) arm: 3.6 .. end
  };
}

constexpr int kFps = 20;
constexpr int kFrames = 80;

bool writeScripted(const std::string& path, bool darkAnimal, std::string* error) {
  const MazeScene scene = smallScene();
  return writeSceneVideo(path, FixtureCodec::kFfv1Avi, scene, scriptedPath(scene), kFps, kFrames,
                         darkAnimal, error);
}

class ScorerScoringTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    dir_ = fs::temp_directory_path() / ("verdaxel-scoring-" + std::to_string(getpid()));
    fs::create_directories(dir_);
    std::string error;
    ready_ = writeScripted(path("bright.avi"), false, &error) &&
             writeScripted(path("dark.avi"), true, &error);
    if (!ready_) std::fprintf(stderr, "cannot write the scripted videos: %s\n", error.c_str());
    std::ofstream(path("notes.txt")) << "not a video\n";
  }
  static void TearDownTestSuite() { fs::remove_all(dir_); }
  void SetUp() override { ASSERT_TRUE(ready_); }

  static std::string path(const std::string& name) { return (dir_ / name).string(); }

  // Runs a batch with the small maze's settings; the summary goes to a CSV
  // file whose text is returned in *csv.
  static int runSmallBatch(Options options, const std::string& csvName, std::string* csv) {
    options.scoring = smallOptions();
    options.csvPath = path(csvName);
    options.quiet = true;
    std::FILE* out = std::tmpfile();
    std::FILE* err = std::tmpfile();
    const int status = runBatch(options, out, err);
    std::fclose(out);
    std::fclose(err);
    *csv = readAll(options.csvPath);
    return status;
  }

  static fs::path dir_;
  static bool ready_;
};

fs::path ScorerScoringTest::dir_;
bool ScorerScoringTest::ready_ = false;

}  // namespace

TEST_F(ScorerScoringTest, ScriptedPathGivesKnownEntriesAndTimes) {
  const VideoResult r = scoreVideo(path("bright.avi"), smallOptions());
  ASSERT_TRUE(r.ok()) << r.error;
  EXPECT_EQ(r.width, 160);
  EXPECT_EQ(r.height, 120);
  EXPECT_EQ(r.unreadSteps, 0);
  const RunScores& s = r.scores;
  const double recordTime = runRecordTime(0, r.streamLength);
  EXPECT_EQ(s.closedEntries, 2);  // upper, lower
  EXPECT_EQ(s.openEntries, 2);    // right, then straight into left
  EXPECT_NEAR(s.openArmTime, 1.0, 1e-9);
  EXPECT_NEAR(s.elapsed, recordTime, 1e-9);
  EXPECT_NEAR(s.totalTime, recordTime, 1e-9);
  // The empty maze decides nothing, so its steps stay in the centre the run starts in.
  EXPECT_NEAR(s.centerTime, 2.0, 1e-9);
  EXPECT_NEAR(s.closedArmTime, recordTime - 3.0, 1e-9);
  EXPECT_NEAR(s.firstOpenEntryTime, 2.6, 1e-9);
}

TEST_F(ScorerScoringTest, StartAndBackgroundOptionsChangeTheRun) {
  ScoreOptions late = smallOptions();
  late.start = 2.5;  // first scored frame at 2.6, in the right arm
  const VideoResult r = scoreVideo(path("bright.avi"), late);
  ASSERT_TRUE(r.ok()) << r.error;
  EXPECT_EQ(r.scores.closedEntries, 1);
  EXPECT_EQ(r.scores.openEntries, 2);
  EXPECT_NEAR(r.scores.openArmTime, 1.0, 1e-9);
  EXPECT_NEAR(r.scores.firstOpenEntryTime, 0.1, 1e-9);  // record time, not stream time
  EXPECT_NEAR(r.scores.elapsed, runRecordTime(2.5, r.streamLength), 1e-9);

  // Without a background the whole maze is above the pixel threshold: the
  // arms' pixels outnumber the animal's and no arm wins a decision.
  ScoreOptions noBackground = smallOptions();
  noBackground.backgroundAt.reset();
  const VideoResult n = scoreVideo(path("bright.avi"), noBackground);
  ASSERT_TRUE(n.ok()) << n.error;
  EXPECT_EQ(n.scores.closedEntries + n.scores.openEntries, 0);

  // Times at or past the end of the 4 s stream would score nothing, or save
  // the last frame as background: the video's error instead.
  ScoreOptions pastEnd = smallOptions();
  pastEnd.start = 4;
  EXPECT_EQ(scoreVideo(path("bright.avi"), pastEnd).error, "start past the end of the video");
  pastEnd = smallOptions();
  pastEnd.backgroundAt = 10;
  EXPECT_EQ(scoreVideo(path("bright.avi"), pastEnd).error,
            "background time past the end of the video");
}

TEST_F(ScorerScoringTest, DarkAnimalOnLightMazeScoresLikeTheBrightOne) {
  const VideoResult bright = scoreVideo(path("bright.avi"), smallOptions());
  ScoreOptions darkOptions = smallOptions();
  darkOptions.settings.invertLevels = true;
  const VideoResult dark = scoreVideo(path("dark.avi"), darkOptions);
  ASSERT_TRUE(bright.ok() && dark.ok()) << bright.error << dark.error;
  EXPECT_EQ(dark.scores.closedEntries, bright.scores.closedEntries);
  EXPECT_EQ(dark.scores.openEntries, bright.scores.openEntries);
  EXPECT_EQ(dark.scores.openArmTime, bright.scores.openArmTime);
  EXPECT_EQ(dark.scores.centerTime, bright.scores.centerTime);
  EXPECT_EQ(dark.scores.firstOpenEntryTime, bright.scores.firstOpenEntryTime);
  // Taken as bright, the dark animal is never active.
  const VideoResult asBright = scoreVideo(path("dark.avi"), smallOptions());
  ASSERT_TRUE(asBright.ok());
  EXPECT_EQ(asBright.scores.closedEntries + asBright.scores.openEntries, 0);
}

TEST_F(ScorerScoringTest, BadFilesGetStatusRowsWhileTheOthersAreScored) {
  Options options;
  options.videos = {path("bright.avi"), path("missing.avi"), path("notes.txt"), dir_.string(),
                    path("dark.avi")};
  std::string csv;
  EXPECT_EQ(runSmallBatch(options, "bad.csv", &csv), kExitSomeFailed);
  std::istringstream lines(csv);
  std::string header, row;
  std::getline(lines, header);
  EXPECT_EQ(header.rfind("file,closed_entries,", 0), 0u);
  std::vector<std::string> rows;
  while (std::getline(lines, row)) rows.push_back(row);
  ASSERT_EQ(rows.size(), 5u) << csv;
  // Every row ends in the settings it was scored with.
  const std::string settings = ",80,60,12,no,\"0,0,0,0\",50,100,60,0.5,yes,0,bright";
  EXPECT_EQ(rows[0].rfind(path("bright.avi") + ",2,2,1.0,", 0), 0u) << rows[0];
  EXPECT_NE(rows[0].find(",ok" + settings), std::string::npos) << rows[0];
  EXPECT_EQ(rows[1], path("missing.avi") + ",,,,,,,,,,,file not found" + settings);
  EXPECT_EQ(rows[2], path("notes.txt") + ",,,,,,,,,,,not a video" + settings);
  EXPECT_EQ(rows[3], dir_.string() + ",,,,,,,,,,,is a folder" + settings);
  EXPECT_NE(rows[4].find(",ok" + settings), std::string::npos);  // scored, just nothing seen
}

TEST_F(ScorerScoringTest, BoundaryOutsideTheFrameIsTheVideosError) {
  ScoreOptions o = smallOptions();
  o.settings.boundaryX0 = 161;  // one past the 160-pixel frame
  const VideoResult r = scoreVideo(path("bright.avi"), o);
  EXPECT_EQ(r.error, "boundary centre outside the 160x120 frame");
  o.settings.boundaryX0 = 160;  // up to the frame's size is allowed
  EXPECT_TRUE(scoreVideo(path("bright.avi"), o).ok());
}

TEST_F(ScorerScoringTest, TwoThreadsGiveTheSameRowsAsOne) {
  Options options;
  options.videos = {path("bright.avi"), path("dark.avi"), path("missing.avi"), path("bright.avi")};
  options.traceDir = path("traces-j1");
  std::string one, two;
  options.jobs = 1;
  EXPECT_EQ(runSmallBatch(options, "j1.csv", &one), kExitSomeFailed);
  options.jobs = 2;
  options.traceDir = path("traces-j2");
  EXPECT_EQ(runSmallBatch(options, "j2.csv", &two), kExitSomeFailed);
  EXPECT_EQ(countLines(one), 5u);
  EXPECT_EQ(one, two);
  for (const char* name : {"bright.csv", "dark.csv", "bright-2.csv"}) {
    EXPECT_EQ(readAll(path("traces-j1/") + name), readAll(path("traces-j2/") + name)) << name;
  }
}

TEST_F(ScorerScoringTest, TracesAndPlotsAreWritten) {
  Options options;
  options.videos = {path("bright.avi")};
  options.traceDir = path("traces");
  options.plotDir = path("plots");
  options.csvHeader = false;
  std::string csv;
  ASSERT_EQ(runSmallBatch(options, "one.csv", &csv), kExitScored);
  EXPECT_EQ(countLines(csv), 1u);  // --no-header: the row alone

  const std::string trace = readAll(path("traces/bright.csv"));
  const VideoResult r = scoreVideo(path("bright.avi"), smallOptions());
  const size_t steps = static_cast<size_t>(std::lround(r.scores.elapsed / kPlaybackStep));
  ASSERT_EQ(countLines(trace), steps + 1);
  std::istringstream rows(trace);
  std::string line;
  std::getline(rows, line);
  EXPECT_EQ(line.rfind("position,record_time,analysed,region,entered,ratio_upper,", 0), 0u);
  // The step that enters the upper arm: its region, the entry, full ratio,
  // the animal's pixels and centroid (mean pixel index), the running counts.
  for (int i = 0; i < 16; ++i) std::getline(rows, line);
  EXPECT_EQ(line.rfind("1.600,1.6,1,upper,1,100.00,0.00,0.00,0.00,0.00,", 0), 0u) << line;
  EXPECT_NE(line.find(",79.5,24.5,1,0,0.0,1.6,1.5,0.1"), std::string::npos) << line;

  const std::string png = readAll(path("plots/bright.png"));
  ASSERT_GT(png.size(), 1000u);
  EXPECT_EQ(png.substr(0, 8), std::string("\x89PNG\r\n\x1a\n", 8));
  // Nothing but the finished files is left in the output folders.
  EXPECT_EQ(std::distance(fs::directory_iterator(path("traces")), fs::directory_iterator()), 1);
  EXPECT_EQ(std::distance(fs::directory_iterator(path("plots")), fs::directory_iterator()), 1);
}
