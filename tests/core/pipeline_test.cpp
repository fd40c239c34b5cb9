#include "analysis/pipeline.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <new>
#include <random>
#include <vector>

#include "analysis/truncate.h"
#include "tests/fake_frame_detector.h"

// Counts allocations while a test asks for it, to show that analysing a frame
// allocates nothing.
namespace {
std::atomic<bool> g_countAllocations{false};
std::atomic<int> g_allocations{0};
}  // namespace

void* operator new(std::size_t size) {
  if (g_countAllocations) ++g_allocations;
  if (void* p = std::malloc(size == 0 ? 1 : size)) return p;
  throw std::bad_alloc();
}
// Kept out of line: inlined, the compiler takes the free for a mismatch.
__attribute__((noinline)) void operator delete(void* p) noexcept { std::free(p); }
__attribute__((noinline)) void operator delete(void* p, std::size_t) noexcept { std::free(p); }

namespace {

void prepare(FrameTracker& t, int32_t width, int32_t height) {
  ASSERT_TRUE(prepareTracker(t, width, height));
}

void setSourcePixel(FrameTracker& t, int32_t x, int32_t y, uint8_t r, uint8_t g, uint8_t b) {
  setFramePixel(t.frameBits, t.width, t.height, x, y, r, g, b);
}

AnalysisSettings plainSettings(double pixelThreshold) {
  AnalysisSettings s;
  s.removeBackground = false;
  s.excludeBox = false;
  s.pixelThreshold = pixelThreshold;
  return s;
}

std::vector<uint8_t> bytes(const std::unique_ptr<uint8_t[]>& p, int32_t n) {
  return std::vector<uint8_t>(p.get(), p.get() + n);
}

// What the three buffers hold after the pipeline, by the rule written out
// step by step: the gather through flipIndex, the first pass (gray level,
// background removal, exclusion) and the threshold pass.
struct Buffers {
  std::vector<uint8_t> rgb, gray, active;
};

Buffers tableDrivenRule(const FrameTracker& t, const AnalysisSettings& s) {
  Buffers out;
  out.rgb.resize(t.byteCount);
  out.gray.resize(t.pixelCount);
  out.active.resize(t.pixelCount);
  for (int32_t i = 0; i < t.byteCount; ++i) out.rgb[i] = t.frameBits[t.flipIndex[i]];
  const int32_t threshold = truncateValue(s.pixelThreshold);
  for (int32_t i = 0; i < t.pixelCount; ++i) {
    int32_t g = (out.rgb[3 * i] + out.rgb[3 * i + 1] + out.rgb[3 * i + 2]) / 3;
    if (s.invertLevels) g = 255 - g;
    out.gray[i] = static_cast<uint8_t>(g);
    if (s.removeBackground) {
      int32_t b = t.backgroundBuf[i];
      if (s.invertLevels) b = 255 - b;
      out.gray[i] = static_cast<uint8_t>(g >= b ? g - b : 0);
    }
    if (s.excludeBox && t.excludeMask[i] != 0) out.gray[i] = 0;
  }
  for (int32_t i = 0; i < t.pixelCount; ++i) {
    if (out.gray[i] > threshold) {
      out.gray[i] = static_cast<uint8_t>(out.gray[i] - threshold);
      out.active[i] = 1;
    } else {
      out.gray[i] = 0;
      out.active[i] = 0;
    }
  }
  return out;
}

// The region of pixel (x, y) by the rectangles' table, or -1.
int regionOf(int64_t x, int64_t y, const AnalysisSettings& s, int64_t width, int64_t height) {
  const int64_t x0 = truncateValue(s.boundaryX0);
  const int64_t y0 = truncateValue(s.boundaryY0);
  const int64_t r = truncateValue(s.boundaryR);
  const int64_t ranges[kRegionCount][4] = {
      {x0 - r, x0 + r, 0, y0 - r},      {x0 + r, width, y0 - r, y0 + r},
      {x0 - r, x0 + r, y0 + r, height}, {0, x0 - r, y0 - r, y0 + r},
      {x0 - r, x0 + r, y0 - r, y0 + r}};
  for (int k = 0; k < kRegionCount; ++k) {
    if (ranges[k][0] <= x && x < ranges[k][1] && ranges[k][2] <= y && y < ranges[k][3]) return k;
  }
  return -1;
}

}  // namespace

TEST(PipelineTest, PixelArithmetic) {
  struct Case {
    const char* what;
    uint8_t r, g, b;
    uint8_t background;
    bool excluded;  // the pixel lies in the exclude box
    AnalysisSettings settings;
    uint8_t level;  // expected processed level
    bool active;
  };
  AnalysisSettings removeBackground = plainSettings(15);
  removeBackground.removeBackground = true;
  AnalysisSettings excludeBox = plainSettings(0);
  excludeBox.excludeBox = true;
  AnalysisSettings inverted = plainSettings(10);
  inverted.invertLevels = true;
  AnalysisSettings invertedBackground = removeBackground;
  invertedBackground.invertLevels = true;
  const Case cases[] = {
      {"10/20/31 gives 20", 10, 20, 31, 0, false, plainSettings(0), 20, true},
      {"white", 255, 255, 255, 0, false, plainSettings(0), 255, true},
      {"black", 0, 0, 0, 0, false, plainSettings(0), 0, false},
      {"level equal to t", 50, 50, 50, 0, false, plainSettings(50), 0, false},
      {"level one above t", 51, 51, 51, 0, false, plainSettings(50), 1, true},
      {"t = 0 keeps level 1", 1, 1, 1, 0, false, plainSettings(0), 1, true},
      {"t = 255 leaves nothing", 255, 255, 255, 0, false, plainSettings(255), 0, false},
      {"t = 50.9 acts as 50", 51, 51, 51, 0, false, plainSettings(50.9), 1, true},
      {"t = 50.9, level 50", 50, 50, 50, 0, false, plainSettings(50.9), 0, false},
      {"background above the level", 100, 100, 100, 120, false, removeBackground, 0, false},
      {"background below the level", 120, 120, 120, 100, false, removeBackground, 5, true},
      {"background ignored when off", 120, 120, 120, 100, false, plainSettings(15), 105, true},
      {"excluded pixel", 255, 255, 255, 0, true, excludeBox, 0, false},
      {"exclude box off keeps the pixel", 255, 255, 255, 0, true, plainSettings(0), 255, true},
      {"inverted level", 40, 40, 40, 0, false, inverted, 205, true},
      {"inverted level and background", 40, 40, 40, 100, false, invertedBackground, 45, true},
      // Thresholds outside the control's range keep the rule: active above
      // t, the difference kept as a byte.
      {"t = -1", 0, 0, 0, 0, false, plainSettings(-1), 1, true},
      {"t = -1, white", 255, 255, 255, 0, false, plainSettings(-1), 0, true},
      {"t = 300", 255, 255, 255, 0, false, plainSettings(300), 0, false},
  };
  for (const Case& c : cases) {
    FrameTracker t;
    prepare(t, 1, 1);
    setSourcePixel(t, 0, 0, c.r, c.g, c.b);
    t.backgroundBuf[0] = c.background;
    t.excludeMask[0] = c.excluded ? 1 : 0;
    ASSERT_TRUE(analyseFrame(t, c.settings)) << c.what;
    EXPECT_EQ(t.grayBuf[0], c.level) << c.what;
    EXPECT_EQ(t.activeMask[0], c.active ? 1 : 0) << c.what;
    EXPECT_EQ(bytes(t.rgbBuf, 3), (std::vector<uint8_t>{c.r, c.g, c.b})) << c.what;
  }
}

TEST(PipelineTest, PictureIsTopDownRgb) {
  FrameTracker t;
  prepare(t, 2, 2);
  for (int32_t i = 0; i < 12; ++i) t.frameBits[i] = static_cast<uint8_t>(i);
  ASSERT_TRUE(analyseFrame(t, plainSettings(0)));
  // The bottom source row (bytes 0..5) is the top picture row; BGR becomes RGB.
  EXPECT_EQ(bytes(t.rgbBuf, 12), (std::vector<uint8_t>{8, 7, 6, 11, 10, 9, 2, 1, 0, 5, 4, 3}));
}

TEST(PipelineTest, MatchesTheTableDrivenRuleOnRandomFrames) {
  // Rows shorter than, equal to and just past the 16-pixel steps of the
  // vector loop, and rows whose last step overlaps the one before.
  const int32_t sizes[][2] = {{1, 1},  {2, 2},  {3, 5},   {17, 9},  {18, 4},   {19, 3},
                              {33, 7}, {34, 2}, {65, 3},  {1, 31},  {641, 3},  {127, 129}};
  std::mt19937 random(20240531);
  auto uniform = [&](int32_t lo, int32_t hi) {
    return std::uniform_int_distribution<int32_t>(lo, hi)(random);
  };
  for (const auto& size : sizes) {
    FrameTracker t;
    prepare(t, size[0], size[1]);
    for (int trial = 0; trial < 12; ++trial) {
      // Frames with large flat areas as well as noise, so that levels near
      // the background and the threshold occur.
      const int32_t base = uniform(0, 255);
      for (int32_t i = 0; i < t.byteCount; ++i) {
        t.frameBits[i] = static_cast<uint8_t>(uniform(0, 3) == 0 ? uniform(0, 255) : base);
      }
      for (int32_t i = 0; i < t.pixelCount; ++i) {
        t.backgroundBuf[i] = static_cast<uint8_t>(uniform(0, 2) == 0 ? uniform(0, 255) : base);
      }
      t.buildExclusionMask(ExcludeBox{double(uniform(-3, t.width)), double(uniform(-3, t.height)),
                                      double(uniform(0, t.width)), double(uniform(0, t.height))});
      AnalysisSettings s;
      s.removeBackground = (trial & 1) != 0;
      s.excludeBox = (trial & 2) != 0;
      s.invertLevels = trial % 5 == 4;
      const double thresholds[] = {0, 1, 254, 255};
      s.pixelThreshold = trial < 4 ? thresholds[trial] : uniform(0, 2550) / 10.0;
      s.boundaryX0 = uniform(-5, t.width + 5);
      s.boundaryY0 = uniform(-5, t.height + 5);
      s.boundaryR = uniform(0, (t.width + t.height) / 3);
      s.pixelCountThreshold = uniform(0, t.pixelCount / 4);
      ASSERT_TRUE(analyseFrame(t, s));

      const Buffers expected = tableDrivenRule(t, s);
      ASSERT_EQ(bytes(t.rgbBuf, t.byteCount), expected.rgb) << size[0] << "x" << size[1];
      ASSERT_EQ(bytes(t.grayBuf, t.pixelCount), expected.gray) << size[0] << "x" << size[1];
      ASSERT_EQ(bytes(t.activeMask, t.pixelCount), expected.active) << size[0] << "x" << size[1];

      std::vector<int32_t> counts(kRegionCount, 0);
      for (int32_t y = 0; y < t.height; ++y) {
        for (int32_t x = 0; x < t.width; ++x) {
          const int k = regionOf(x, y, s, t.width, t.height);
          if (k >= 0) counts[k] += expected.active[y * t.width + x];
        }
      }
      EXPECT_EQ(std::vector<int32_t>(t.regionCount, t.regionCount + kRegionCount), counts)
          << size[0] << "x" << size[1] << " X0 " << s.boundaryX0 << " Y0 " << s.boundaryY0
          << " R " << s.boundaryR;
    }
  }
}

TEST(PipelineTest, CountsTheMaskItBuilt) {
  FrameTracker t;
  prepare(t, 640, 480);
  for (int32_t x = 400; x < 420; ++x) setSourcePixel(t, x, 240, 200, 200, 200);
  AnalysisSettings s = plainSettings(50);
  s.pixelCountThreshold = 10;
  ASSERT_TRUE(analyseFrame(t, s));
  EXPECT_EQ(t.activeTotal, 20);
  EXPECT_EQ(t.regionCount[REGION_RIGHT], 20);
  EXPECT_EQ(t.currentRegion, REGION_RIGHT);
  EXPECT_TRUE(t.entered);
  EXPECT_EQ(t.grayBuf[240 * 640 + 400], 150);
}

TEST(PipelineTest, NoVideoOrNoFrameChangesNothing) {
  FrameTracker t;
  prepare(t, 8, 6);
  std::memset(t.rgbBuf.get(), 7, t.byteCount);
  std::memset(t.grayBuf.get(), 8, t.pixelCount);
  std::memset(t.activeMask.get(), 1, t.pixelCount);
  std::memset(t.frameBits, 200, t.byteCount);
  t.currentRatio = 3;
  t.regionCount[0] = 9;
  auto unchanged = [&](const char* what) {
    EXPECT_EQ(bytes(t.rgbBuf, t.byteCount), std::vector<uint8_t>(t.byteCount, 7)) << what;
    EXPECT_EQ(bytes(t.grayBuf, t.pixelCount), std::vector<uint8_t>(t.pixelCount, 8)) << what;
    EXPECT_EQ(bytes(t.activeMask, t.pixelCount), std::vector<uint8_t>(t.pixelCount, 1)) << what;
    EXPECT_EQ(t.currentRatio, 3) << what;
    EXPECT_EQ(t.regionCount[0], 9) << what;
  };

  EXPECT_FALSE(processFrame(t, plainSettings(0), 0.0));
  unchanged("no video open");

  t.frameBufferSize = 40 + t.byteCount - 1;
  EXPECT_FALSE(analyseFrame(t, plainSettings(0)));
  unchanged("a frame buffer too small");

  t.frameBufferSize = 40 + t.byteCount;
  t.width = 9;  // sizes that are not the buffers' any more
  EXPECT_FALSE(analyseFrame(t, plainSettings(0)));
  unchanged("a size that is not the buffers'");
  t.width = 8;

  t.frameBuffer.reset();
  t.frameBits = nullptr;
  t.frameBufferSize = 0;
  EXPECT_FALSE(analyseFrame(t, plainSettings(0)));
  unchanged("no frame buffer");
}

TEST(PipelineTest, FailedGrabChangesNothing) {
  FrameTracker t;
  prepare(t, 4, 4);
  t.failureLog = nullptr;
  auto detector = std::make_unique<FakeFrameDetector>();
  detector->failCode = E_FAIL;
  FakeFrameDetector* fake = detector.get();
  t.mediaDet = std::move(detector);
  std::memset(t.rgbBuf.get(), 7, t.byteCount);
  std::memset(t.frameBits, 200, t.byteCount);
  EXPECT_FALSE(processFrame(t, plainSettings(0), 1.5));
  EXPECT_EQ(fake->grabs, 1);
  EXPECT_EQ(bytes(t.rgbBuf, t.byteCount), std::vector<uint8_t>(t.byteCount, 7));
}

TEST(PipelineTest, GrabbedFrameIsAnalysed) {
  FrameTracker t;
  prepare(t, 2, 1);
  auto detector = std::make_unique<FakeFrameDetector>();
  detector->pixels = {30, 20, 10, 90, 90, 90};  // BGR of (0, 0) and (1, 0)
  t.mediaDet = std::move(detector);
  EXPECT_TRUE(processFrame(t, plainSettings(25), 0.3));
  EXPECT_EQ(bytes(t.rgbBuf, 6), (std::vector<uint8_t>{10, 20, 30, 90, 90, 90}));
  EXPECT_EQ(bytes(t.grayBuf, 2), (std::vector<uint8_t>{0, 65}));
  EXPECT_EQ(bytes(t.activeMask, 2), (std::vector<uint8_t>{0, 1}));
}

TEST(PipelineTest, SavedBackgroundCancelsTheSameFrame) {
  FrameTracker t;
  prepare(t, 5, 3);
  for (int32_t i = 0; i < t.byteCount; ++i) t.frameBits[i] = static_cast<uint8_t>(i * 37);
  ASSERT_TRUE(analyseFrame(t, plainSettings(0)));
  saveBackground(t);
  for (int32_t i = 0; i < t.pixelCount; ++i) {
    const int32_t sum = t.rgbBuf[3 * i] + t.rgbBuf[3 * i + 1] + t.rgbBuf[3 * i + 2];
    ASSERT_EQ(t.backgroundBuf[i], sum / 3) << i;
  }
  AnalysisSettings s = plainSettings(0);
  s.removeBackground = true;
  ASSERT_TRUE(analyseFrame(t, s));
  EXPECT_EQ(bytes(t.activeMask, t.pixelCount), std::vector<uint8_t>(t.pixelCount, 0));
  EXPECT_EQ(bytes(t.grayBuf, t.pixelCount), std::vector<uint8_t>(t.pixelCount, 0));
}

TEST(PipelineTest, SaveBackgroundWithoutVideoTakesTheColourBuffer) {
  FrameTracker t;
  t.rgbBuf[0] = 10;
  t.rgbBuf[1] = 20;
  t.rgbBuf[2] = 31;
  saveBackground(t);
  EXPECT_EQ(t.backgroundBuf[0], 20);
  EXPECT_EQ(t.backgroundBuf[1], 0);
}

TEST(PipelineTest, AnalysingAFrameAllocatesNothing) {
  FrameTracker t;
  prepare(t, 64, 48);
  AnalysisSettings s;
  g_allocations = 0;
  g_countAllocations = true;
  const bool analysed = analyseFrame(t, s);
  saveBackground(t);
  g_countAllocations = false;
  EXPECT_TRUE(analysed);
  EXPECT_EQ(g_allocations, 0);
}
