#include "analysis/frame_tracker.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

int countMarked(const FrameTracker& t) {
  int n = 0;
  for (int32_t i = 0; i < t.pixelCount; ++i) n += t.excludeMask[i];
  return n;
}

std::vector<int32_t> flipMap(const FrameTracker& t) {
  return std::vector<int32_t>(t.flipIndex.get(), t.flipIndex.get() + t.byteCount);
}

}  // namespace

TEST(FrameTrackerTest, ConstructsWithDefaultGeometry) {
  FrameTracker t;
  EXPECT_EQ(t.width, 640);
  EXPECT_EQ(t.height, 480);
  EXPECT_EQ(t.pixelCount, 307200);
  EXPECT_EQ(t.byteCount, 921600);
  EXPECT_EQ(t.mediaDet, nullptr);
  EXPECT_EQ(t.streamLength, 0.0);
  EXPECT_EQ(t.currentRegion, REGION_UPPER);
  EXPECT_EQ(t.previousRegion, REGION_UPPER);
  EXPECT_FALSE(t.entered);
  EXPECT_EQ(t.frameBuffer, nullptr);
  EXPECT_EQ(t.frameBits, nullptr);
  EXPECT_EQ(t.hr, 0);
  EXPECT_EQ(t.currentRatio, 0.0);
  // New buffers start black.
  for (int32_t i = 0; i < t.byteCount; ++i) ASSERT_EQ(t.rgbBuf[i], 0);
}

TEST(FrameTrackerTest, FlipMapOfDefaultFrame) {
  FrameTracker t;
  EXPECT_EQ(t.flipIndex[0], 919682);
  EXPECT_EQ(t.flipIndex[1], 919681);
  EXPECT_EQ(t.flipIndex[2], 919680);
  EXPECT_EQ(t.flipIndex[921599], 1917);
  // Every source byte is used exactly once.
  std::vector<char> used(t.byteCount, 0);
  for (int32_t i = 0; i < t.byteCount; ++i) {
    const int32_t s = t.flipIndex[i];
    ASSERT_GE(s, 0);
    ASSERT_LT(s, t.byteCount);
    ASSERT_EQ(used[s], 0);
    used[s] = 1;
  }
}

TEST(FrameTrackerTest, FlipMapOfTinyFrames) {
  struct Case {
    int32_t w, h;
    std::vector<int32_t> expected;
  };
  const Case cases[] = {
      {2, 2, {8, 7, 6, 11, 10, 9, 2, 1, 0, 5, 4, 3}},
      {1, 1, {2, 1, 0}},
      {3, 1, {2, 1, 0, 5, 4, 3, 8, 7, 6}},
      {1, 2, {5, 4, 3, 2, 1, 0}},
  };
  for (const Case& c : cases) {
    FrameTracker t;
    t.width = c.w;
    t.height = c.h;
    ASSERT_TRUE(t.allocateBuffers());
    EXPECT_EQ(flipMap(t), c.expected) << c.w << "x" << c.h;
  }
}

TEST(FrameTrackerTest, ReallocationMakesFreshBuffers) {
  FrameTracker t;
  t.backgroundBuf[5] = 77;
  ASSERT_TRUE(t.allocateBuffers());
  EXPECT_EQ(t.backgroundBuf[5], 0);
}

TEST(FrameTrackerTest, RefusesSizesItCannotHold) {
  const int32_t sizes[][2] = {{0, 480}, {640, 0}, {-640, 480}, {640, -1}, {16385, 2},
                              {2, 16385}, {16384, 16384}, {9000, 8000}};
  for (const auto& s : sizes) {
    FrameTracker t;
    t.rgbBuf[0] = 9;
    uint8_t* before = t.rgbBuf.get();
    t.width = s[0];
    t.height = s[1];
    EXPECT_FALSE(t.allocateBuffers()) << s[0] << "x" << s[1];
    EXPECT_EQ(t.width, 640);
    EXPECT_EQ(t.height, 480);
    EXPECT_EQ(t.pixelCount, 307200);
    EXPECT_EQ(t.byteCount, 921600);
    EXPECT_EQ(t.rgbBuf.get(), before);
    EXPECT_EQ(t.rgbBuf[0], 9);
  }
  EXPECT_TRUE(frameSizeAllowed(16384, 4096));
  EXPECT_TRUE(frameSizeAllowed(8192, 8192));
  EXPECT_FALSE(frameSizeAllowed(8192, 8193));
}

TEST(FrameTrackerTest, ExclusionMaskCounts) {
  struct Case {
    ExcludeBox box;
    int expected;
  };
  const Case cases[] = {
      {{340, 0, 146, 26}, 3796},      // the default box
      {{340, 0, 0, 26}, 0},           // no width
      {{340, 0, 146, 0}, 0},          // no height
      {{340, 0, -5, 26}, 0},          // negative width
      {{600, 0, 100, 1}, 40},         // cut at the right edge: columns 600..639
      {{-10, -10, 20, 20}, 100},      // cut at the top-left corner
      {{10.9, -0.5, 1.9, 1.2}, 1},    // 10.9 -> 10, -0.5 -> 0, 1.9 -> 1, 1.2 -> 1
      {{0, 0, 640, 480}, 307200},     // the whole frame
      {{0, 470, 5, 1e12}, 50},        // a huge height saturates instead of overflowing
  };
  for (const Case& c : cases) {
    FrameTracker t;
    t.buildExclusionMask(c.box);
    EXPECT_EQ(countMarked(t), c.expected) << c.box.x0 << "," << c.box.y0 << "," << c.box.w << ","
                                          << c.box.h;
  }
}

TEST(FrameTrackerTest, ExclusionMaskMarksTheBoxItself) {
  FrameTracker t;
  t.buildExclusionMask(ExcludeBox{});
  auto at = [&](int x, int y) { return t.excludeMask[y * t.width + x]; };
  EXPECT_EQ(at(340, 0), 1);
  EXPECT_EQ(at(485, 25), 1);
  EXPECT_EQ(at(486, 25), 0);
  EXPECT_EQ(at(485, 26), 0);
  EXPECT_EQ(at(339, 0), 0);
  // The truncated position 10.9 marks column 10, not 11.
  t.buildExclusionMask(ExcludeBox{10.9, -0.5, 1, 1});
  EXPECT_EQ(at(10, 0), 1);
  EXPECT_EQ(at(11, 0), 0);
}
