// Settings files: CSV reading, which value a video gets (row, command line,
// default), the place of the rows among the command line's videos, every
// kind of unusable file, and the settings repeated in the summary.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "cli/batch.h"
#include "cli/options.h"
#include "cli/report.h"
#include "cli/settings_file.h"
#include "cli/video_settings.h"
#include "scorer_fixtures.h"

namespace fs = std::filesystem;
using namespace scorer_fixtures;

namespace {

ParseResult parse(std::vector<std::string> args, Options* options) {
  args.insert(args.begin(), "verdaxel-score");
  std::vector<const char*> argv;
  for (const std::string& a : args) argv.push_back(a.c_str());
  return parseOptions(static_cast<int>(argv.size()), argv.data(), options);
}

class ScorerSettingsTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    dir_ = suiteFolder("settings");
    fs::create_directories(dir_ / "day1");
    // Files that exist; only the scoring test needs them to be videos.
    for (const char* name : {"day1/a.avi", "day1/b.avi", "top.avi", "cmd1.avi", "cmd2.avi"}) {
      writeAll(path(name), "x");
    }
    // The animal: empty maze to 1 s, centre, upper arm from 1.55 s, centre
    // from 2.05 s, right arm from 2.55 s.
    const MazeScene scene = smallScene();
    const double cx = scene.centerX;
    const double cy = scene.centerY;
    const std::vector<PathPoint> script = {{0.0, false, cx, cy, false},
                                           {1.05, true, cx, cy, false},
                                           {1.55, true, cx, 25, false},
                                           {2.05, true, cx, cy, false},
                                           {2.55, true, 125, cy, false}};
    std::string error;
    ready_ = writeSceneVideo(path("day1/mouse.avi"), FixtureCodec::kFfv1Avi, scene, script, 20,
                             60, false, &error);
    if (!ready_) std::fprintf(stderr, "cannot write the test video: %s\n", error.c_str());
  }
  static void TearDownTestSuite() { fs::remove_all(dir_); }

  static std::string path(const std::string& name) { return (dir_ / name).string(); }

  static fs::path dir_;
  static bool ready_;
};

fs::path ScorerSettingsTest::dir_;
bool ScorerSettingsTest::ready_ = false;

}  // namespace

TEST(ScorerCsvTest, SplitsRecordsAsSpreadsheetsWriteThem) {
  struct Case {
    const char* name;
    std::string text;
    std::vector<std::vector<std::string>> records;
    std::vector<int> rows;
  };
  const Case cases[] = {
      {"plain, last line without its end", "file,x0\na.avi,5", {{"file", "x0"}, {"a.avi", "5"}},
       {1, 2}},
      {"CRLF and a byte order mark", "\xEF\xBB\xBF" "file,x0\r\na.avi,5\r\n",
       {{"file", "x0"}, {"a.avi", "5"}}, {1, 2}},
      {"lone CR", "file\ra.avi\r", {{"file"}, {"a.avi"}}, {1, 2}},
      {"quoted commas, quotes and a line break", "\"a,b.avi\",\"say \"\"hi\"\"\",\"two\r\nlines\"\nnext",
       {{"a,b.avi", "say \"hi\"", "two\r\nlines"}, {"next"}}, {1, 2}},
      {"spaces around cells trimmed, inside quotes kept", " a.avi , \" b \" ,\t7\t",
       {{"a.avi", " b ", "7"}}, {1}},
      {"blank rows kept for numbering", "file\n\n,,\nb.avi\n", {{"file"}, {""}, {"", "", ""}, {"b.avi"}},
       {1, 2, 3, 4}},
      {"empty cells", ",,\"\"", {{"", "", ""}}, {1}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<CsvRecord> records;
    std::string error;
    ASSERT_TRUE(parseCsv(c.text, &records, &error)) << error;
    ASSERT_EQ(records.size(), c.records.size());
    for (size_t i = 0; i < records.size(); ++i) {
      EXPECT_EQ(records[i].cells, c.records[i]) << "record " << i;
      EXPECT_EQ(records[i].row, c.rows[i]) << "record " << i;
    }
  }
  std::vector<CsvRecord> records;
  std::string error;
  EXPECT_FALSE(parseCsv("file\na.avi,\"open\n", &records, &error));
  EXPECT_EQ(error, "row 2: a quoted cell is not closed");
  records.clear();
  EXPECT_FALSE(parseCsv("file,x0\n\"a.avi\"x,5\n", &records, &error));
  EXPECT_EQ(error, "row 2, cell 1: text after the closing quote");
}

TEST(ScorerCsvTest, SettingsWriteBackAsTheyAreRead) {
  ScoreOptions o;
  o.settings.boundaryX0 = 700;
  o.settings.pixelCountThreshold = 12345;
  o.settings.removeBackground = false;
  o.settings.invertLevels = true;
  o.excludeBox = ExcludeBox{1, 2, 3, 4};
  o.backgroundAt = 2.25;
  o.start = 0.5;
  o.autoMaze = true;
  const auto values = settingValues(o);
  EXPECT_EQ(values[kSettingX0], "700");
  EXPECT_EQ(values[4], "1,2,3,4");
  EXPECT_EQ(values[8], "2.25");
  ScoreOptions back;
  back.settings.excludeBox = false;
  for (int i = 0; i < kSettingCount; ++i) {
    std::string problem;
    ASSERT_TRUE(applySetting(i, values[static_cast<size_t>(i)], &back, &problem))
        << kSettingNames[static_cast<size_t>(i)] << ": " << problem;
  }
  EXPECT_EQ(settingValues(back), values);
  o.settings.excludeBox = false;
  o.backgroundAt.reset();
  EXPECT_EQ(settingValues(o)[4], "none");
  EXPECT_EQ(settingValues(o)[8], "none");
}

TEST_F(ScorerSettingsTest, RowsOverTheCommandLineOverTheDefaults) {
  writeAll(path("day1/s.csv"),
           "File,x0,pixel_threshold,background_at,animal,exclude,remove_background\n"
           "a.avi,200,,none,dark,none,no\n"
           "b.avi\n"
           "../top.avi,,,,,\"1,2,3,4\",\n" +
               path("cmd1.avi") + ",,7,,,,\n");
  Options options;
  const ParseResult parsed = parse({"--x0", "100", "--pixel-threshold", "30", "--background-at",
                                    "1.5", "--no-exclude", path("cmd1.avi"), "--settings",
                                    path("day1/s.csv"), path("cmd2.avi")},
                                   &options);
  ASSERT_EQ(parsed.outcome, ParseOutcome::kRun) << parsed.message;
  const std::vector<VideoTask> tasks = videoTasks(options);
  ASSERT_EQ(tasks.size(), 6u);
  // The rows stand where the file was named; relative paths are taken from
  // its folder, absolute ones as they are.
  EXPECT_EQ(tasks[0].path, path("cmd1.avi"));
  EXPECT_EQ(tasks[1].path, path("day1/a.avi"));
  EXPECT_EQ(tasks[2].path, path("day1/b.avi"));
  EXPECT_EQ(tasks[3].path, path("day1/../top.avi"));
  EXPECT_EQ(tasks[4].path, path("cmd1.avi"));
  EXPECT_EQ(tasks[5].path, path("cmd2.avi"));

  const AnalysisSettings gui;
  // The command line's videos: its values, the defaults elsewhere.
  for (const size_t i : {0u, 5u}) {
    const ScoreOptions& o = tasks[i].scoring;
    EXPECT_EQ(o.settings.boundaryX0, 100);
    EXPECT_EQ(o.settings.boundaryY0, gui.boundaryY0);
    EXPECT_EQ(o.settings.pixelThreshold, 30);
    EXPECT_EQ(*o.backgroundAt, 1.5);
    EXPECT_FALSE(o.settings.excludeBox);
  }
  const ScoreOptions& a = tasks[1].scoring;  // a row's values win
  EXPECT_EQ(a.settings.boundaryX0, 200);
  EXPECT_EQ(a.settings.boundaryY0, gui.boundaryY0);
  EXPECT_EQ(a.settings.pixelThreshold, 30);
  EXPECT_FALSE(a.backgroundAt.has_value());
  EXPECT_TRUE(a.settings.invertLevels);
  EXPECT_FALSE(a.settings.excludeBox);
  EXPECT_FALSE(a.settings.removeBackground);
  const ScoreOptions& b = tasks[2].scoring;  // a row of empty cells: the command line's
  EXPECT_EQ(settingValues(b), settingValues(tasks[0].scoring));
  const ScoreOptions& top = tasks[3].scoring;  // a box turns the exclude box on
  EXPECT_TRUE(top.settings.excludeBox);
  EXPECT_EQ(top.excludeBox.w, 3);
  EXPECT_EQ(tasks[4].scoring.settings.pixelThreshold, 7);
}

TEST_F(ScorerSettingsTest, BoundaryCellsTurnTheAutomaticMazeOffForTheirRow) {
  writeAll(path("auto.csv"),
           "file,x0,y0,r,auto_maze\n"
           "day1/a.avi,,,,\n"
           "day1/a.avi,300,200,20,\n"
           "day1/a.avi,,,,no\n"
           "day1/a.avi,300,,,no\n");
  Options options;
  const ParseResult parsed = parse({"--auto-maze", "--settings", path("auto.csv")}, &options);
  ASSERT_EQ(parsed.outcome, ParseOutcome::kRun) << parsed.message;
  const std::vector<VideoTask> tasks = videoTasks(options);
  ASSERT_EQ(tasks.size(), 4u);
  EXPECT_TRUE(tasks[0].scoring.autoMaze);
  EXPECT_FALSE(tasks[1].scoring.autoMaze);
  EXPECT_EQ(tasks[1].scoring.settings.boundaryR, 20);
  EXPECT_FALSE(tasks[2].scoring.autoMaze);
  EXPECT_FALSE(tasks[3].scoring.autoMaze);
  EXPECT_EQ(tasks[3].scoring.settings.boundaryY0, AnalysisSettings().boundaryY0);
}

TEST_F(ScorerSettingsTest, UnusableFilesNameFileRowAndColumn) {
  struct Case {
    const char* name;
    std::string text;  // written to bad.csv
    std::string message;
  };
  const std::string file = path("bad.csv");
  const Case cases[] = {
      {"a missing video", "file,x0\nday1/a.avi,5\nday1/nope.avi,5\n",
       ", row 3, column file: no such file '" + path("day1/nope.avi") + "'"},
      {"a folder for a video", "file\nday1\n", ", row 2, column file: '" + path("day1") +
                                                    "' is a folder, not a video"},
      {"an empty file cell", "file,x0\n,5\n", ", row 2, column file: empty; every row names a video"},
      {"an unknown column", "file,x0,speed\n",
       ", row 1, column 'speed': unknown column; the columns are file, x0, y0, r, auto_maze, "
       "exclude, pixel_threshold, pixel_count_threshold, ratio_threshold, background_at, "
       "remove_background, start, animal"},
      {"semicolons", "file;x0\n", "(separated by commas, not semicolons)"},
      {"a column named twice", "file,x0,X0\n", ", row 1, column X0: named twice"},
      {"no file column", "x0,y0\n5,5\n", ": row 1: no 'file' column"},
      {"header only after blank rows: the row is counted", "\n\nfile,r\nday1/a.avi,-3\n",
       ", row 4, column r: negative numbers are not allowed; expected a whole number from 0 to "
       "16384, got '-3'"},
      {"a fraction", "file,x0\nday1/a.avi,12.5\n",
       ", row 2, column x0: expected a whole number from 0 to 16384, got '12.5'"},
      {"a threshold out of range", "file,pixel_threshold\nday1/a.avi,256\n",
       ", row 2, column pixel_threshold: expected a whole number from 0 to 255, got '256'"},
      {"a box of three", "file,exclude\nday1/a.avi,\"1,2,3\"\n",
       ", row 2, column exclude: expected four whole numbers X0,Y0,W,H"},
      {"seconds", "file,background_at\nday1/a.avi,soon\n",
       ", row 2, column background_at: expected seconds as a number of 0 or more"},
      {"negative start", "file,start\nday1/a.avi,-1\n", ", row 2, column start: expected seconds"},
      {"animal", "file,animal\nday1/a.avi,grey\n",
       ", row 2, column animal: expected 'bright' or 'dark', got 'grey'"},
      {"flag", "file,auto_maze\nday1/a.avi,maybe\n",
       ", row 2, column auto_maze: expected 'yes' or 'no', got 'maybe'"},
      {"automatic and given boundary", "file,r,auto_maze\nday1/a.avi,30,yes\n",
       ", row 2, column auto_maze: yes finds x0, y0 and r in the video; leave their cells empty"},
      {"too many cells", "file,x0\nday1/a.avi,5,6\n", ": row 2: 3 cells, but the header names 2 columns"},
      {"a value under a nameless column", "file,,x0\nday1/a.avi,9,5\n",
       ", row 2, column number 2: a value under a column without a name"},
      {"an open quote", "file\n\"day1/a.avi\n", ": row 2: a quoted cell is not closed"},
      {"empty", "", ": empty; expected a header row naming the columns"},
      {"blank", "\n \n", ": empty; expected a header row naming the columns"},
      {"UTF-16", std::string("\xFF\xFE" "f\0i\0l\0e\0", 10), ": is UTF-16 text; save it as CSV in UTF-8"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    writeAll(file, c.text);
    Options options;
    const ParseResult parsed = parse({"--settings", file, path("cmd1.avi")}, &options);
    EXPECT_EQ(parsed.outcome, ParseOutcome::kError);
    EXPECT_EQ(parsed.message.rfind(file, 0), 0u) << parsed.message;  // starts with the file
    EXPECT_NE(parsed.message.find(c.message), std::string::npos) << parsed.message;
  }
  Options options;
  ParseResult parsed = parse({"--settings", path("missing.csv")}, &options);
  EXPECT_EQ(parsed.message, path("missing.csv") + ": no such settings file");
  options = Options();
  parsed = parse({"--settings", path("day1")}, &options);
  EXPECT_EQ(parsed.message, path("day1") + ": is a folder, not a settings file");
  // Tolerated: trailing empty cells, blank rows, a nameless empty column.
  writeAll(file, "file,x0,\r\nday1/a.avi,5,,,\r\n\r\n,,\r\n");
  options = Options();
  parsed = parse({"--settings", file}, &options);
  ASSERT_EQ(parsed.outcome, ParseOutcome::kRun) << parsed.message;
  EXPECT_EQ(videoTasks(options).size(), 1u);
  // A file without rows and no other video: nothing to score.
  writeAll(file, "file,x0\n");
  options = Options();
  EXPECT_EQ(parse({"--settings", file}, &options).message, "no video given");
}

TEST_F(ScorerSettingsTest, SummaryRowsCarryTheirOwnSettings) {
  ASSERT_TRUE(ready_);
  writeAll(path("day1/scoring.csv"),
           "file,start,pixel_count_threshold,exclude\n"
           "mouse.avi,,,\n"
           "mouse.avi,2.0,,none\n"
           "mouse.avi,,5000,\n");
  Options options;
  const ParseResult parsed = parse({"--settings", path("day1/scoring.csv"), "-q"}, &options);
  ASSERT_EQ(parsed.outcome, ParseOutcome::kRun) << parsed.message;
  options.scoring = smallOptions();  // the command line's values for the empty cells
  options.csvPath = path("summary.csv");
  std::FILE* out = std::tmpfile();
  std::FILE* err = std::tmpfile();
  EXPECT_EQ(runBatch(options, out, err), kExitScored);
  std::fclose(out);
  std::fclose(err);
  const std::vector<std::string> lines = linesOf(readAll(options.csvPath));
  ASSERT_EQ(lines.size(), 4u);
  EXPECT_EQ(lines[0], csvHeaderLine().substr(0, csvHeaderLine().size() - 1));
  const std::string video = path("day1/mouse.avi");
  // Whole run: the upper arm, then the right arm. From 2.0 s: the centre,
  // then the right arm. With 5000 pixels needed, no decision at all.
  EXPECT_EQ(lines[1], video + ",1,1,0.5,3.0,3.0,16.7,50.0,2.0,0.5,2.6,ok,"
                              "80,60,12,no,\"0,0,0,0\",50,100,60,0.5,yes,0,bright");
  EXPECT_EQ(lines[2], video + ",0,1,0.5,1.0,1.0,50.0,100.0,0.5,0.0,0.6,ok,"
                              "80,60,12,no,none,50,100,60,0.5,yes,2,bright");
  EXPECT_EQ(lines[3], video + ",0,0,0.0,3.0,3.0,0.0,,3.0,0.0,,ok,"
                              "80,60,12,no,\"0,0,0,0\",50,5000,60,0.5,yes,0,bright");
}

TEST_F(ScorerSettingsTest, OutputOverTheSettingsFileIsRefused) {
  const std::string settings = "file\nday1/a.avi\n";
  writeAll(path("keep.csv"), settings);
  Options options;
  ASSERT_EQ(parse({"--settings", path("keep.csv"), "--csv", path("keep.csv")}, &options).outcome,
            ParseOutcome::kRun);
  std::FILE* out = std::tmpfile();
  std::FILE* err = std::tmpfile();
  EXPECT_EQ(runBatch(options, out, err), kExitUsage);
  std::rewind(err);
  char message[256] = {};
  EXPECT_NE(std::fgets(message, sizeof message, err), nullptr);
  EXPECT_NE(std::string(message).find("it is a settings file"), std::string::npos) << message;
  std::fclose(out);
  std::fclose(err);
  EXPECT_EQ(readAll(path("keep.csv")), settings);
}
