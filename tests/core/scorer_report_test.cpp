#include "cli/report.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

VideoResult scored(int closed, int open, double openTime, double total, double center,
                   double closedTime, double firstOpen) {
  VideoResult r;
  r.file = "v.avi";
  r.scores.closedEntries = closed;
  r.scores.openEntries = open;
  r.scores.openArmTime = openTime;
  r.scores.totalTime = total;
  r.scores.elapsed = total;
  r.scores.centerTime = center;
  r.scores.closedArmTime = closedTime;
  r.scores.firstOpenEntryTime = firstOpen;
  return r;
}

}  // namespace

TEST(ScorerReportTest, HeaderNamesTheColumnsInOrder) {
  EXPECT_EQ(csvHeaderLine(),
            "file,closed_entries,open_entries,open_arm_time,total_time,record_time,"
            "open_time_percent,open_entries_percent,center_time,closed_arm_time,"
            "first_open_entry_latency,status,x0,y0,r,auto_maze,exclude,pixel_threshold,"
            "pixel_count_threshold,ratio_threshold,background_at,remove_background,start,"
            "animal\n");
}

TEST(ScorerReportTest, RowsAndDerivedColumns) {
  struct Case {
    const char* name;
    VideoResult result;
    const char* line;
  };
  VideoResult failed;
  failed.file = "bad.avi";
  failed.error = "not a video";
  // Times summed from 0.1 steps are a little off whole tenths; one decimal hides it.
  double sum = 0;
  for (int i = 0; i < 3; ++i) sum += 0.1;
  VideoResult truncated = scored(3, 1, 12.3, 60.0, 20.0, 27.7, 4.5);
  truncated.framesEnd = 111.24;
  truncated.streamLength = 370;
  const Case cases[] = {
      {"typical", scored(3, 1, 12.3, 60.0, 20.0, 27.7, 4.5),
       "v.avi,3,1,12.3,60.0,60.0,20.5,25.0,20.0,27.7,4.5,ok\n"},
      {"no entries and no time: derived columns empty", scored(0, 0, 0, 0, 0, 0, -1),
       "v.avi,0,0,0.0,0.0,0.0,,,0.0,0.0,,ok\n"},
      {"running sums print as tenths", scored(0, 2, sum, sum, 0, 0, 0.1),
       "v.avi,0,2,0.3,0.3,0.3,100.0,100.0,0.0,0.0,0.1,ok\n"},
      {"truncated video: numbers of its frames, where they end as status", truncated,
       "v.avi,3,1,12.3,60.0,60.0,20.5,25.0,20.0,27.7,4.5,truncated: frames end at 111.2 s of 370.0 s\n"},
      {"failed video: numbers empty, reason as status", failed,
       "bad.avi,,,,,,,,,,,not a video\n"},
  };
  // The settings of a default ScoreOptions: the desktop program's.
  const std::string defaults = ",321,241,36,no,\"340,0,146,26\",50,1000,60,none,yes,0,bright\n";
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::string line = c.line;
    EXPECT_EQ(csvSummaryLine(c.result), line.replace(line.size() - 1, 1, defaults));
  }
}

TEST(ScorerReportTest, FieldsWithSeparatorsAreQuoted) {
  EXPECT_EQ(csvField("plain.avi"), "plain.avi");
  EXPECT_EQ(csvField("a,b.avi"), "\"a,b.avi\"");
  EXPECT_EQ(csvField("say \"hi\".avi"), "\"say \"\"hi\"\".avi\"");
  EXPECT_EQ(csvField("two\nlines"), "\"two\nlines\"");
}

TEST(ScorerReportTest, JsonHasNumbersNullsAndEscapedNames) {
  VideoResult odd = scored(1, 0, 0, 0.5, 0.2, 0.3, -1);
  odd.file = "dir\\\"x\".avi";
  const std::string json = jsonSummary({odd}, ScoreOptions());
  EXPECT_NE(json.find("\"file\": \"dir\\\\\\\"x\\\".avi\""), std::string::npos) << json;
  EXPECT_NE(json.find("\"closed_entries\": 1,"), std::string::npos) << json;
  EXPECT_NE(json.find("\"open_time_percent\": 0.0,"), std::string::npos) << json;
  EXPECT_NE(json.find("\"open_entries_percent\": 0.0,"), std::string::npos) << json;
  EXPECT_NE(json.find("\"first_open_entry_latency\": null,"), std::string::npos) << json;
  EXPECT_NE(json.find("\"background_at\": null"), std::string::npos) << json;
  EXPECT_EQ(jsonString(std::string("a\x01z")), "\"a\\u0001z\"");
  // Each video carries the settings it was scored with after its status.
  EXPECT_NE(json.find("\"status\": \"ok\", \"x0\": 321, \"y0\": 241, \"r\": 36, "
                      "\"auto_maze\": false, \"exclude\": [340, 0, 146, 26], "
                      "\"pixel_threshold\": 50, \"pixel_count_threshold\": 1000, "
                      "\"ratio_threshold\": 60, \"background_at\": null, "
                      "\"remove_background\": true, \"start\": 0, \"animal\": \"bright\"}"),
            std::string::npos)
      << json;
}

TEST(ScorerReportTest, TableAlignsColumnsAndMarksEmptyNumbers) {
  VideoResult failed;
  failed.file = "missing.avi";
  failed.error = "file not found";
  const std::string table = summaryTable({scored(3, 1, 12.3, 60.0, 20.0, 27.7, 4.5), failed});
  std::vector<std::string> lines;
  size_t begin = 0;
  for (size_t end; (end = table.find('\n', begin)) != std::string::npos; begin = end + 1) {
    lines.push_back(table.substr(begin, end - begin));
  }
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[0].find("File"), 0u);
  // The status column starts at the same place on every line.
  const size_t status = lines[0].find("Status");
  EXPECT_EQ(lines[1].find("ok"), status);
  EXPECT_EQ(lines[2].find("file not found"), status);
  EXPECT_NE(lines[2].find(" - "), std::string::npos);
}
