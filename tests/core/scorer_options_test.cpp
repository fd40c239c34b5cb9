#include "cli/options.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

struct Parsed {
  ParseResult result;
  Options options;
};

Parsed parse(std::vector<std::string> args) {
  args.insert(args.begin(), "verdaxel-score");
  std::vector<const char*> argv;
  for (const std::string& a : args) argv.push_back(a.c_str());
  Parsed p;
  p.result = parseOptions(static_cast<int>(argv.size()), argv.data(), &p.options);
  return p;
}

}  // namespace

TEST(ScorerOptionsTest, DefaultsAreTheDesktopControls) {
  const Parsed p = parse({"a.avi"});
  ASSERT_EQ(p.result.outcome, ParseOutcome::kRun) << p.result.message;
  const ScoreOptions& s = p.options.scoring;
  const AnalysisSettings gui;
  const ExcludeBox guiBox;
  EXPECT_EQ(s.settings.boundaryX0, gui.boundaryX0);
  EXPECT_EQ(s.settings.boundaryY0, gui.boundaryY0);
  EXPECT_EQ(s.settings.boundaryR, gui.boundaryR);
  EXPECT_EQ(s.settings.pixelThreshold, gui.pixelThreshold);
  EXPECT_EQ(s.settings.pixelCountThreshold, gui.pixelCountThreshold);
  EXPECT_EQ(s.settings.ratioThreshold, gui.ratioThreshold);
  EXPECT_TRUE(s.settings.removeBackground);
  EXPECT_TRUE(s.settings.excludeBox);
  EXPECT_FALSE(s.settings.invertLevels);
  EXPECT_EQ(s.excludeBox.x0, guiBox.x0);
  EXPECT_EQ(s.excludeBox.y0, guiBox.y0);
  EXPECT_EQ(s.excludeBox.w, guiBox.w);
  EXPECT_EQ(s.excludeBox.h, guiBox.h);
  EXPECT_FALSE(s.backgroundAt.has_value());
  EXPECT_EQ(s.start, 0);
  EXPECT_TRUE(p.options.csvPath.empty());
  EXPECT_TRUE(p.options.csvHeader);
  EXPECT_FALSE(p.options.json);
  EXPECT_EQ(p.options.jobs, 0);
  EXPECT_FALSE(p.options.quiet);
  EXPECT_EQ(p.options.videos, std::vector<std::string>{"a.avi"});
}

TEST(ScorerOptionsTest, GoodValuesAreStored) {
  const Parsed p = parse({"--x0", "700", "--y0=500", "--r", "40", "--exclude", "1,2,3,4",
                          "--no-exclude", "--pixel-threshold", "255", "--pixel-count-threshold",
                          "0", "--ratio-threshold", "100", "--background-at", "1.5",
                          "--no-remove-background", "--start", "2", "--animal", "dark", "--csv",
                          "-", "--no-header", "--trace", "t", "--plot", "p", "-j3", "-q", "a.avi",
                          "--", "-b.avi"});
  ASSERT_EQ(p.result.outcome, ParseOutcome::kRun) << p.result.message;
  const ScoreOptions& s = p.options.scoring;
  EXPECT_EQ(s.settings.boundaryX0, 700);
  EXPECT_EQ(s.settings.boundaryY0, 500);
  EXPECT_EQ(s.settings.boundaryR, 40);
  EXPECT_EQ(s.excludeBox.x0, 1);
  EXPECT_EQ(s.excludeBox.y0, 2);
  EXPECT_EQ(s.excludeBox.w, 3);
  EXPECT_EQ(s.excludeBox.h, 4);
  EXPECT_FALSE(s.settings.excludeBox);
  EXPECT_EQ(s.settings.pixelThreshold, 255);
  EXPECT_EQ(s.settings.pixelCountThreshold, 0);
  EXPECT_EQ(s.settings.ratioThreshold, 100);
  ASSERT_TRUE(s.backgroundAt.has_value());
  EXPECT_EQ(*s.backgroundAt, 1.5);
  EXPECT_FALSE(s.settings.removeBackground);
  EXPECT_EQ(s.start, 2);
  EXPECT_TRUE(s.settings.invertLevels);
  EXPECT_EQ(p.options.csvPath, "-");
  EXPECT_FALSE(p.options.csvHeader);
  EXPECT_EQ(p.options.traceDir, "t");
  EXPECT_EQ(p.options.plotDir, "p");
  EXPECT_EQ(p.options.jobs, 3);
  EXPECT_TRUE(p.options.quiet);
  EXPECT_EQ(p.options.videos, (std::vector<std::string>{"a.avi", "-b.avi"}));
}

TEST(ScorerOptionsTest, BadValuesAreUsageErrors) {
  struct Case {
    std::vector<std::string> args;
    const char* inMessage;  // a part of the message that names the problem
  };
  const Case cases[] = {
      {{"--x0", "-5", "a.avi"}, "--x0: negative"},
      {{"--x0", "12.5", "a.avi"}, "--x0: expected a whole number"},
      {{"--x0", "", "a.avi"}, "--x0"},
      {{"--x0", " 3", "a.avi"}, "--x0"},
      {{"--x0", "3x", "a.avi"}, "--x0"},
      {{"--y0", "1e3", "a.avi"}, "--y0"},
      {{"--r", "99999999999999999999", "a.avi"}, "--r"},
      {{"--pixel-threshold", "256", "a.avi"}, "from 0 to 255"},
      {{"--ratio-threshold", "101", "a.avi"}, "from 0 to 100"},
      {{"--pixel-count-threshold", "-1", "a.avi"}, "negative"},
      {{"--exclude", "1,2,3", "a.avi"}, "four whole numbers"},
      {{"--exclude", "1,2,3,4,5", "a.avi"}, "four whole numbers"},
      {{"--exclude", "1,2,,4", "a.avi"}, "four whole numbers"},
      {{"--exclude", "1,2,3,-4", "a.avi"}, "four whole numbers"},
      {{"--background-at", "-1", "a.avi"}, "--background-at: expected seconds"},
      {{"--background-at", "nan", "a.avi"}, "--background-at"},
      {{"--start", "inf", "a.avi"}, "--start"},
      {{"--start", "1.2.3", "a.avi"}, "--start"},
      {{"--animal", "grey", "a.avi"}, "'bright' or 'dark'"},
      {{"-j", "0", "a.avi"}, "-j"},
      {{"-jx", "a.avi"}, "-j"},
      {{"--csv", "", "a.avi"}, "--csv: the path is empty"},
      {{"--json", "--csv", "-", "a.avi"}, "standard output"},
      {{"--no-header=1", "a.avi"}, "takes no value"},
      {{"--bogus", "a.avi"}, "unknown option '--bogus'"},
      {{"-x", "a.avi"}, "unknown option '-x'"},
      {{"a.avi", "--x0"}, "--x0 needs a value"},
      {{"--x0", "5"}, "no video"},
      {{"--auto-maze", "--r", "30", "a.avi"}, "--auto-maze finds X0, Y0 and R itself"},
      {{"--settings", "", "a.avi"}, "--settings: the path is empty"},
      {{"--settings", "/nonexistent/s.csv", "a.avi"}, "/nonexistent/s.csv: no such settings file"},
      {{"--auto-maze=yes", "a.avi"}, "takes no value"},
  };
  for (const Case& c : cases) {
    std::string joined;
    for (const std::string& a : c.args) joined += "[" + a + "]";
    SCOPED_TRACE(joined);
    const Parsed p = parse(c.args);
    EXPECT_EQ(p.result.outcome, ParseOutcome::kError);
    EXPECT_NE(p.result.message.find(c.inMessage), std::string::npos) << p.result.message;
  }
}

TEST(ScorerOptionsTest, HelpStopsParsing) {
  EXPECT_EQ(parse({"--help"}).result.outcome, ParseOutcome::kHelp);
  EXPECT_EQ(parse({"a.avi", "-h", "--bogus"}).result.outcome, ParseOutcome::kHelp);
}
