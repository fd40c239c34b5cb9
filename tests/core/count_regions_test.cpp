#include <gtest/gtest.h>

#include <vector>
#include <cstring>

#include "analysis/frame_tracker.h"

namespace {

// A tracker of the given size with an empty mask.
class CountRegionsTest : public ::testing::Test {
 protected:
  void resize(int32_t width, int32_t height) {
    tracker_.width = width;
    tracker_.height = height;
    ASSERT_TRUE(tracker_.allocateBuffers());
  }
  void clearMask() { std::memset(tracker_.activeMask.get(), 0, tracker_.pixelCount); }
  void fillMask() { std::memset(tracker_.activeMask.get(), 1, tracker_.pixelCount); }
  void activate(int32_t x, int32_t y, int32_t n = 1) {
    for (int32_t i = 0; i < n; ++i) tracker_.activeMask[y * tracker_.width + x + i] = 1;
  }
  // Puts n active pixels in the first row of a region of the default maze.
  void activateIn(int region, int32_t n) {
    static const int32_t anchor[kRegionCount][2] = {
        {285, 0}, {357, 205}, {285, 277}, {0, 205}, {285, 205}};
    ASSERT_LE(n, 72);
    activate(anchor[region][0], anchor[region][1], n);
  }
  // Counts a mask holding the given numbers of active pixels per region.
  void countFrame(const int32_t (&perRegion)[kRegionCount]) {
    clearMask();
    for (int k = 0; k < kRegionCount; ++k) activateIn(k, perRegion[k]);
    tracker_.countRegions(settings_);
  }
  std::vector<int32_t> counts() const {
    return std::vector<int32_t>(tracker_.regionCount, tracker_.regionCount + kRegionCount);
  }
  std::vector<double> ratios() const {
    return std::vector<double>(tracker_.regionRatio, tracker_.regionRatio + kRegionCount);
  }

  FrameTracker tracker_;
  AnalysisSettings settings_;
};

}  // namespace

TEST_F(CountRegionsTest, DefaultRectanglesOnTheDefaultFrame) {
  fillMask();
  settings_.pixelCountThreshold = 0;
  tracker_.countRegions(settings_);
  // upper 72 x 205, right 283 x 72, lower 72 x 203, left 285 x 72, centre 72 x 72
  EXPECT_EQ(counts(), (std::vector<int32_t>{14760, 20376, 14616, 20520, 5184}));
  EXPECT_EQ(tracker_.activeTotal, 14760 + 20376 + 14616 + 20520 + 5184);
}

TEST_F(CountRegionsTest, EachPixelBelongsToOneRegionOrNone) {
  struct Case {
    int32_t x, y;
    int region;  // -1: a corner area, counted nowhere
  };
  const Case cases[] = {
      {285, 0, REGION_UPPER},    {356, 204, REGION_UPPER},  {284, 0, -1},
      {357, 204, -1},            {285, 205, REGION_CENTER}, {356, 276, REGION_CENTER},
      {357, 205, REGION_RIGHT},  {639, 276, REGION_RIGHT},  {639, 277, -1},
      {0, 205, REGION_LEFT},     {284, 276, REGION_LEFT},   {0, 204, -1},
      {285, 277, REGION_LOWER},  {356, 479, REGION_LOWER},  {357, 277, -1},
      {0, 0, -1},                {639, 479, -1},            {0, 479, -1},
  };
  settings_.pixelCountThreshold = 0;
  for (const Case& c : cases) {
    clearMask();
    activate(c.x, c.y);
    tracker_.countRegions(settings_);
    std::vector<int32_t> expected(kRegionCount, 0);
    if (c.region >= 0) expected[c.region] = 1;
    EXPECT_EQ(counts(), expected) << c.x << "," << c.y;
    EXPECT_EQ(tracker_.activeTotal, c.region >= 0 ? 1 : 0) << c.x << "," << c.y;
  }
}

TEST_F(CountRegionsTest, RectanglesFromTheBoundaryValues) {
  struct Case {
    const char* what;
    int32_t width, height;
    double x0, y0, r;
    std::vector<int32_t> expected;  // counts of an all-active mask
  };
  const Case cases[] = {
      {"R = 0 empties every rectangle", 640, 480, 321, 241, 0, {0, 0, 0, 0, 0}},
      {"one row above the centre", 640, 480, 321, 2, 1, {2, 318 * 2, 2 * 477, 320 * 2, 4}},
      {"one column right of the centre", 640, 480, 638, 241, 1,
       {2 * 240, 1 * 2, 2 * 238, 637 * 2, 4}},
      {"fractions truncate", 640, 480, 321.9, 241.5, 36.99,
       {14760, 20376, 14616, 20520, 5184}},
      {"R beyond the frame", 640, 480, 321, 241, 400, {0, 0, 0, 0, 307200}},
      {"X0 + R beyond the width", 640, 480, 630, 241, 36,
       {46 * 205, 0, 46 * 203, 594 * 72, 46 * 72}},
      {"X0 - R below 0", 640, 480, 10, 241, 36, {46 * 205, 594 * 72, 46 * 203, 0, 46 * 72}},
      {"a frame narrower than 357 pixels", 320, 240, 321, 241, 36,
       {35 * 205, 0, 0, 285 * 35, 35 * 35}},
      {"the default maze on a frame of one pixel", 1, 1, 321, 241, 36, {0, 0, 0, 0, 0}},
      {"a frame of one pixel in the left arm", 1, 1, 5, 0, 1, {0, 0, 0, 1, 0}},
      // Saturated to 2^31 - 1, -2^31 and 2^31 - 1; the sums do not wrap.
      {"values past the integer range", 640, 480, 1e12, -1e12, 3e9, {0, 0, 307200, 0, 0}},
      {"a negative R", 640, 480, 321, 241, -36, {0, 0, 0, 0, 0}},
  };
  settings_.pixelCountThreshold = 0;
  for (const Case& c : cases) {
    resize(c.width, c.height);
    fillMask();
    settings_.boundaryX0 = c.x0;
    settings_.boundaryY0 = c.y0;
    settings_.boundaryR = c.r;
    tracker_.countRegions(settings_);
    EXPECT_EQ(counts(), c.expected) << c.what;
  }
}

TEST_F(CountRegionsTest, ColumnsBeyondTheRightEdgeAreNotTheNextRow) {
  // On a 320-wide frame the upper arm's columns 285..356 run past the edge;
  // read unclipped, columns 320.. of row 0 would be pixels 0.. of row 1.
  resize(320, 240);
  clearMask();
  activate(0, 1, 37);
  settings_.pixelCountThreshold = 0;
  tracker_.countRegions(settings_);
  EXPECT_EQ(counts(), (std::vector<int32_t>{0, 0, 0, 0, 0}));
}

TEST_F(CountRegionsTest, NoActivePixelGivesZeroRatios) {
  clearMask();
  settings_.pixelCountThreshold = 0;
  tracker_.currentRatio = 12;
  tracker_.countRegions(settings_);
  EXPECT_EQ(ratios(), std::vector<double>(kRegionCount, 0.0));
  EXPECT_EQ(tracker_.currentRegion, REGION_UPPER);
  EXPECT_EQ(tracker_.currentRatio, 12);
  EXPECT_FALSE(tracker_.entered);
}

TEST_F(CountRegionsTest, PixelCountThreshold) {
  settings_.pixelCountThreshold = 10;
  tracker_.currentRatio = 7;

  // Total equal to the threshold: ratios shown, no decision.
  countFrame({0, 10, 0, 0, 0});
  EXPECT_EQ(ratios(), (std::vector<double>{0, 100, 0, 0, 0}));
  EXPECT_EQ(tracker_.currentRegion, REGION_UPPER);
  EXPECT_EQ(tracker_.currentRatio, 7);
  EXPECT_FALSE(tracker_.entered);

  // Below it: every ratio 0, nothing decided.
  countFrame({0, 9, 0, 0, 0});
  EXPECT_EQ(tracker_.activeTotal, 9);
  EXPECT_EQ(ratios(), std::vector<double>(kRegionCount, 0.0));
  EXPECT_EQ(tracker_.currentRegion, REGION_UPPER);
  EXPECT_EQ(tracker_.currentRatio, 7);

  // Above it, also for a fractional threshold.
  settings_.pixelCountThreshold = 10.5;
  countFrame({0, 11, 0, 0, 0});
  EXPECT_EQ(tracker_.currentRegion, REGION_RIGHT);
  EXPECT_EQ(tracker_.currentRatio, 100);
  EXPECT_TRUE(tracker_.entered);
}

TEST_F(CountRegionsTest, RatioThresholdAndScanOrder) {
  struct Case {
    const char* what;
    double ratioThreshold;
    int32_t perRegion[kRegionCount];
    int region;    // expected current region
    double ratio;  // expected current ratio
  };
  const Case cases[] = {
      {"a ratio equal to the threshold does not qualify", 50, {5, 0, 0, 0, 5}, REGION_LEFT, 0},
      {"the upper arm before the centre", 30, {35, 0, 0, 0, 65}, REGION_UPPER, 35},
      {"the lower index wins below 50", 20, {0, 0, 30, 45, 25}, REGION_LOWER, 30},
      {"the centre only when no arm qualifies", 60, {0, 30, 0, 0, 70}, REGION_CENTER, 70},
      {"no region above the threshold", 60, {25, 25, 25, 25, 0}, REGION_LEFT, 0},
  };
  settings_.pixelCountThreshold = 0;
  for (const Case& c : cases) {
    tracker_.currentRegion = tracker_.previousRegion = REGION_LEFT;
    tracker_.currentRatio = 99;
    settings_.ratioThreshold = c.ratioThreshold;
    countFrame(c.perRegion);
    EXPECT_EQ(tracker_.currentRegion, c.region) << c.what;
    EXPECT_EQ(tracker_.previousRegion, c.region) << c.what;
    EXPECT_EQ(tracker_.currentRatio, c.ratio) << c.what;
  }
}

TEST_F(CountRegionsTest, EntrySequences) {
  struct Step {
    int32_t perRegion[kRegionCount];
    int region;
    bool entered;
  };
  struct Case {
    const char* what;
    int start;
    std::vector<Step> steps;
  };
  const Case cases[] = {
      {"upper, centre, upper", REGION_UPPER,
       {{{0, 0, 0, 0, 20}, REGION_CENTER, false}, {{20, 0, 0, 0, 0}, REGION_UPPER, true}}},
      {"upper to right", REGION_UPPER, {{{0, 20, 0, 0, 0}, REGION_RIGHT, true}}},
      {"the same arm again", REGION_UPPER,
       {{{20, 0, 0, 0, 0}, REGION_UPPER, false}, {{20, 0, 0, 0, 0}, REGION_UPPER, false}}},
      {"a lost frame within an arm is no entry", REGION_CENTER,
       {{{0, 0, 20, 0, 0}, REGION_LOWER, true},
        {{0, 0, 0, 0, 0}, REGION_LOWER, false},
        {{0, 0, 20, 0, 0}, REGION_LOWER, false}}},
      {"no qualifying region clears the flag", REGION_CENTER,
       {{{0, 0, 0, 20, 0}, REGION_LEFT, true}, {{10, 10, 0, 0, 0}, REGION_LEFT, false}}},
      {"first arm after a run start", REGION_CENTER, {{{0, 0, 0, 20, 0}, REGION_LEFT, true}}},
  };
  settings_.pixelCountThreshold = 5;
  for (const Case& c : cases) {
    tracker_.currentRegion = tracker_.previousRegion = c.start;
    int n = 0;
    for (const Step& s : c.steps) {
      countFrame(s.perRegion);
      EXPECT_EQ(tracker_.currentRegion, s.region) << c.what << ", step " << n;
      EXPECT_EQ(tracker_.previousRegion, s.region) << c.what << ", step " << n;
      EXPECT_EQ(tracker_.entered, s.entered) << c.what << ", step " << n;
      ++n;
    }
  }
}
