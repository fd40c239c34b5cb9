#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "cli/batch.h"
#include "cli/safe_file.h"

namespace fs = std::filesystem;

namespace {

// A fresh folder per test, removed afterwards.
class ScorerOutputTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    dir_ = fs::temp_directory_path() /
           ("verdaxel-out-" + std::to_string(getpid()) + "-" + info->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }

  std::string path(const std::string& name) const { return (dir_ / name).string(); }
  size_t entries() const {
    return static_cast<size_t>(std::distance(fs::directory_iterator(dir_), fs::directory_iterator()));
  }

  fs::path dir_;
};

std::string readAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

void writeAll(const std::string& path, const std::string& text) {
  std::ofstream(path, std::ios::binary) << text;
}

}  // namespace

TEST_F(ScorerOutputTest, SafeFileAppearsOnlyWhenCommitted) {
  const std::string target = path("summary.csv");
  writeAll(target, "old");
  {
    SafeFile file;
    ASSERT_TRUE(file.open(target)) << file.error();
    file.write("new");
    file.flush();
    EXPECT_EQ(readAll(target), "old");  // the old file stays until the rename
    EXPECT_EQ(entries(), 2u);
  }
  // Abandoned: the temporary file is gone and the old file untouched.
  EXPECT_EQ(readAll(target), "old");
  EXPECT_EQ(entries(), 1u);

  SafeFile file;
  ASSERT_TRUE(file.open(target));
  file.write("new");
  ASSERT_TRUE(file.commit()) << file.error();
  EXPECT_EQ(readAll(target), "new");
  EXPECT_EQ(entries(), 1u);
}

TEST_F(ScorerOutputTest, SafeFileInMissingFolderFails) {
  SafeFile file;
  EXPECT_FALSE(file.open(path("no/such/folder/x.csv")));
  EXPECT_NE(file.error().find("cannot create"), std::string::npos);
  EXPECT_FALSE(file.commit());
}

TEST_F(ScorerOutputTest, FileSetKnowsFilesByAnyName) {
  writeAll(path("v.avi"), "video");
  fs::create_symlink(path("v.avi"), path("link.avi"));
  FileSet files;
  files.add(path("other.avi"));  // does not exist
  files.add(path("v.avi"));
  EXPECT_TRUE(files.contains(path("v.avi")));
  EXPECT_TRUE(files.contains(path("link.avi")));
  EXPECT_TRUE(files.contains((dir_ / "." / "v.avi").string()));
  EXPECT_TRUE(files.contains((dir_ / "sub" / ".." / "other.avi").string()));
  EXPECT_FALSE(files.contains(path("v.csv")));
}

TEST_F(ScorerOutputTest, OutputOverAnInputOrAnotherOutputIsRefused) {
  const std::string video = path("v.avi");
  writeAll(video, "not really a video");
  struct Case {
    const char* name;
    Options options;
  };
  Options csvOverInput;
  csvOverInput.csvPath = video;
  Options traceOverInput;
  traceOverInput.traceDir = dir_.string();
  writeAll(path("w.csv"), "an input named like a trace");
  for (Options* o : {&csvOverInput, &traceOverInput}) {
    o->quiet = true;
    o->videos = {video, path("w.csv")};
  }
  Options csvOverTrace;
  csvOverTrace.traceDir = dir_.string();
  csvOverTrace.csvPath = path("v.csv");  // the trace of v.avi
  csvOverTrace.quiet = true;
  csvOverTrace.videos = {video};
  for (const Options& options : {csvOverInput, traceOverInput, csvOverTrace}) {
    std::FILE* out = std::tmpfile();
    std::FILE* err = std::tmpfile();
    EXPECT_EQ(runBatch(options, out, err), kExitUsage);
    EXPECT_EQ(std::ftell(out), 0);  // nothing scored, nothing printed
    std::fclose(out);
    std::fclose(err);
  }
  EXPECT_EQ(readAll(video), "not really a video");
  EXPECT_EQ(readAll(path("w.csv")), "an input named like a trace");
}

TEST(ScorerPlanTest, TraceAndPlotNamesAreUnique) {
  Options options;
  options.traceDir = "t";
  options.plotDir = "p";
  options.videos = {"a/mouse.avi", "b/mouse.avi", "mouse-2.wmv", "c/mouse.mp4", "noext"};
  const std::vector<VideoOutputs> plan = planOutputs(options);
  ASSERT_EQ(plan.size(), 5u);
  EXPECT_EQ(plan[0].trace, "t/mouse.csv");
  EXPECT_EQ(plan[1].trace, "t/mouse-2.csv");
  EXPECT_EQ(plan[2].trace, "t/mouse-2-2.csv");
  EXPECT_EQ(plan[3].trace, "t/mouse-3.csv");
  EXPECT_EQ(plan[4].trace, "t/noext.csv");
  EXPECT_EQ(plan[0].plot, "p/mouse.png");
  options.plotDir.clear();
  EXPECT_TRUE(planOutputs(options)[0].plot.empty());
}
