// FrameTracker::openVideo and grabFrame: the order of the detector calls, what
// each failing call leaves changed, and opens of real generated videos.

#include <gtest/gtest.h>

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "analysis/frame_tracker.h"
#include "tests/core/video_test_support.h"

namespace {

enum class Step { kNone, kCreate, kFilename, kStreams, kFrameRate, kLength, kMediaType, kSizeQuery };

// What the fake detector reports, and what it was asked.
struct Script {
  Step failAt = Step::kNone;
  int32_t failCode = E_FAIL;
  std::vector<MediaGuid> streams = {MEDIATYPE_Video};
  MediaGuid formatType = FORMAT_VideoInfo;
  uint32_t formatSize = sizeof(VideoInfoHeader);
  int32_t formatWidth = 160;
  int32_t formatHeight = 120;
  double frameRate = 25.0;
  double length = 12.5;
  int32_t sizeShortfall = 0;  // bytes the size query reports too few
  bool withUnknown = false;

  std::vector<int32_t> madeCurrent;
  int32_t current = 0;
  double queryTime = -1.0;
  int32_t queryWidth = 0, queryHeight = 0;
  int unknownReleases = 0;
  int grabs = 0;
};

class CountedUnknown : public MediaUnknown {
 public:
  explicit CountedUnknown(int* releases) : releases_(releases) {}
  void Release() override {
    ++*releases_;
    delete this;
  }

 private:
  int* releases_;
};

class FakeDetector : public MediaDetector {
 public:
  explicit FakeDetector(Script* s) : s_(s) {}
  int32_t putFilename(const char*) override { return result(Step::kFilename); }
  int32_t getOutputStreams(int32_t* count) override {
    if (s_->failAt == Step::kStreams) return s_->failCode;
    *count = static_cast<int32_t>(s_->streams.size());
    return S_OK;
  }
  int32_t putCurrentStream(int32_t index) override {
    s_->madeCurrent.push_back(index);
    s_->current = index;
    return S_OK;
  }
  int32_t getStreamType(MediaGuid* type) override {
    *type = s_->streams.at(static_cast<size_t>(s_->current));
    return S_OK;
  }
  int32_t getFrameRate(double* fps) override {
    if (s_->failAt == Step::kFrameRate) return s_->failCode;
    *fps = s_->frameRate;
    return S_OK;
  }
  int32_t getStreamLength(double* seconds) override {
    if (s_->failAt == Step::kLength) return s_->failCode;
    *seconds = s_->length;
    return S_OK;
  }
  int32_t getStreamMediaType(MediaType* type) override {
    if (s_->failAt == Step::kMediaType) return s_->failCode;
    type->majortype = MEDIATYPE_Video;
    type->formattype = s_->formatType;
    if (s_->formatSize > 0) {
      auto* info = static_cast<VideoInfoHeader*>(std::calloc(1, sizeof(VideoInfoHeader)));
      info->bmiHeader.biWidth = s_->formatWidth;
      info->bmiHeader.biHeight = s_->formatHeight;
      type->pbFormat = reinterpret_cast<uint8_t*>(info);
      type->cbFormat = s_->formatSize;
    }
    if (s_->withUnknown) type->pUnk = new CountedUnknown(&s_->unknownReleases);
    return S_OK;
  }
  int32_t getBitmapBits(double t, int32_t* size, uint8_t* buffer, int32_t w, int32_t h) override {
    if (buffer == nullptr) {
      if (size == nullptr) return E_POINTER;
      s_->queryTime = t;
      s_->queryWidth = w;
      s_->queryHeight = h;
      if (s_->failAt == Step::kSizeQuery) return s_->failCode;
      *size = 40 + 3 * w * h - s_->sizeShortfall;
      return S_OK;
    }
    ++s_->grabs;
    std::memset(buffer, 7, 40 + 3 * static_cast<size_t>(w) * h);
    return S_OK;
  }

 private:
  int32_t result(Step step) const { return s_->failAt == step ? s_->failCode : S_OK; }
  Script* s_;
};

// Everything written to a failure log so far.
std::string logText(std::FILE* log) {
  std::fflush(log);
  std::rewind(log);
  std::string text;
  for (int ch; (ch = std::fgetc(log)) != EOF;) text += static_cast<char>(ch);
  return text;
}

class OpenVideoTest : public ::testing::Test {
 protected:
  void SetUp() override {
    previous_ = setMediaDetectorFactory([this](std::unique_ptr<MediaDetector>* out) {
      if (script_.failAt == Step::kCreate) return script_.failCode;
      out->reset(new FakeDetector(&script_));
      return S_OK;
    });
    log_ = std::tmpfile();
    ASSERT_NE(log_, nullptr);
    tracker_.failureLog = log_;
  }
  void TearDown() override {
    setMediaDetectorFactory(previous_);
    std::fclose(log_);
  }
  std::string printed() { return logText(log_); }
  int countExcluded() const {
    int n = 0;
    for (int32_t i = 0; i < tracker_.pixelCount; ++i) n += tracker_.excludeMask[i];
    return n;
  }

  Script script_;
  FrameTracker tracker_;
  ExcludeBox box_{10, 5, 20, 10};
  MediaDetectorFactory previous_;
  std::FILE* log_ = nullptr;
};

TEST_F(OpenVideoTest, SuccessfulOpenRemakesEveryBufferForTheNewSize) {
  script_.streams = {MEDIATYPE_Audio, MEDIATYPE_Video, MEDIATYPE_Video};
  script_.withUnknown = true;
  std::memset(tracker_.backgroundBuf.get(), 9, static_cast<size_t>(tracker_.pixelCount));
  tracker_.openVideo("clip.wmv", box_);

  EXPECT_EQ(printed(), "");
  EXPECT_GE(tracker_.hr, 0);
  ASSERT_NE(tracker_.mediaDet, nullptr);
  EXPECT_EQ(script_.madeCurrent, (std::vector<int32_t>{0, 1}));  // stops at the first video
  EXPECT_EQ(tracker_.streamCount, 3);
  EXPECT_EQ(tracker_.frameRate, 25.0);
  EXPECT_EQ(tracker_.streamLength, 12.5);
  EXPECT_EQ(script_.unknownReleases, 1);
  EXPECT_EQ(script_.queryTime, 24.0);
  EXPECT_EQ(script_.queryWidth, 160);
  EXPECT_EQ(script_.queryHeight, 120);
  EXPECT_EQ(tracker_.width, 160);
  EXPECT_EQ(tracker_.height, 120);
  EXPECT_EQ(tracker_.pixelCount, 160 * 120);
  EXPECT_EQ(tracker_.byteCount, 3 * 160 * 120);
  EXPECT_EQ(tracker_.frameBufferSize, 40 + 3 * 160 * 120);
  ASSERT_NE(tracker_.frameBuffer, nullptr);
  EXPECT_EQ(tracker_.frameBits, tracker_.frameBuffer.get() + 40);
  for (int32_t i = 0; i < tracker_.pixelCount; ++i) ASSERT_EQ(tracker_.backgroundBuf[i], 0);
  EXPECT_EQ(countExcluded(), 200);
  EXPECT_EQ(tracker_.flipIndex[0], 3 * (119 * 160) + 2);

  EXPECT_TRUE(tracker_.grabFrame(1.0));
  EXPECT_EQ(script_.grabs, 1);
  EXPECT_EQ(tracker_.frameBits[3 * 160 * 120 - 1], 7);
}

TEST_F(OpenVideoTest, ScanKeepsTheLastStreamWhenNoneIsVideo) {
  script_.streams = {MEDIATYPE_Audio, MEDIATYPE_Other, MEDIATYPE_Audio};
  script_.formatType = FORMAT_None;
  script_.formatSize = 0;
  tracker_.openVideo("sound.wmv", box_);
  EXPECT_EQ(script_.madeCurrent, (std::vector<int32_t>{0, 1, 2}));
  EXPECT_EQ(script_.current, 2);
  // Not a video-info format: the frame size stays.
  EXPECT_EQ(script_.queryWidth, 640);
  EXPECT_EQ(script_.queryHeight, 480);
  EXPECT_EQ(tracker_.width, 640);
  EXPECT_EQ(tracker_.pixelCount, 640 * 480);
  EXPECT_EQ(printed(), "");
}

TEST_F(OpenVideoTest, NoStreamsMeansNoStreamIsMadeCurrent) {
  script_.streams = {};
  tracker_.openVideo("none.wmv", box_);
  EXPECT_TRUE(script_.madeCurrent.empty());
  EXPECT_EQ(tracker_.streamCount, 0);
}

// Each failing call stops the open; what it leaves changed follows the order
// of the calls, and no buffer is touched.
TEST_F(OpenVideoTest, EachFailingStepLeavesTheTableState) {
  struct Case {
    Step step;
    int32_t code;
    bool detectorStays, streamsRead, rateRead, lengthRead;
  } const cases[] = {
      {Step::kCreate, E_OUTOFMEMORY, false, false, false, false},
      {Step::kFilename, E_FILE_NOT_FOUND, false, false, false, false},
      {Step::kStreams, E_FAIL, true, false, false, false},
      {Step::kFrameRate, VX_E_NOT_VIDEO, true, true, false, false},
      {Step::kLength, E_FAIL, true, true, true, false},
      {Step::kMediaType, E_OUTOFMEMORY, true, true, true, true},
      {Step::kSizeQuery, E_INVALIDARG, true, true, true, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(static_cast<int>(c.step));
    // A first, successful open of a 160 x 120 video with a saved background.
    script_ = Script{};
    tracker_.openVideo("first.avi", box_);
    ASSERT_EQ(tracker_.width, 160);
    std::memset(tracker_.backgroundBuf.get(), 3, static_cast<size_t>(tracker_.pixelCount));
    const uint8_t* rgb = tracker_.rgbBuf.get();
    const uint8_t* frame = tracker_.frameBuffer.get();
    const uint8_t* mask = tracker_.excludeMask.get();

    // The second open, of a 320 x 200 file with two streams, fails.
    script_ = Script{};
    script_.failAt = c.step;
    script_.failCode = c.code;
    script_.streams = {MEDIATYPE_Audio, MEDIATYPE_Video};
    script_.formatWidth = 320;
    script_.formatHeight = 200;
    script_.frameRate = 50.0;
    script_.length = 99.0;
    const std::string before = printed();
    tracker_.openVideo("second.avi", box_);

    EXPECT_EQ(tracker_.hr, c.code);
    EXPECT_EQ(printed(), before + std::to_string(c.code));
    EXPECT_EQ(tracker_.mediaDet != nullptr, c.detectorStays);
    EXPECT_EQ(tracker_.streamCount, c.streamsRead ? 2 : 1);
    EXPECT_EQ(tracker_.frameRate, c.rateRead ? 50.0 : 25.0);
    EXPECT_EQ(tracker_.streamLength, c.lengthRead ? 99.0 : 12.5);
    EXPECT_EQ(script_.current, c.streamsRead ? 1 : 0);
    // Size and buffers stay those of the first file, all in agreement.
    EXPECT_EQ(tracker_.width, 160);
    EXPECT_EQ(tracker_.height, 120);
    EXPECT_EQ(tracker_.pixelCount, 160 * 120);
    EXPECT_EQ(tracker_.rgbBuf.get(), rgb);
    EXPECT_EQ(tracker_.frameBuffer.get(), frame);
    EXPECT_EQ(tracker_.excludeMask.get(), mask);
    EXPECT_EQ(tracker_.backgroundBuf[tracker_.pixelCount - 1], 3);

    // With the detector kept, frames of the new file come at the old size.
    if (c.detectorStays) {
      EXPECT_TRUE(tracker_.grabFrame(0.0));
      EXPECT_EQ(tracker_.frameBits[3 * 160 * 120 - 1], 7);
    }
  }
}

// Frame sizes in the format block: a negative height is a top-down picture;
// zero, negative widths and sizes beyond the buffers' limits fail the open.
TEST_F(OpenVideoTest, FormatBlockSizes) {
  struct Case {
    int32_t w, h;
    uint32_t formatSize;
    bool opens;
    int32_t wantW, wantH;
  } const cases[] = {
      {320, -240, sizeof(VideoInfoHeader), true, 320, 240},
      {2, 2, sizeof(VideoInfoHeader), true, 2, 2},
      {0, 240, sizeof(VideoInfoHeader), false, 640, 480},
      {320, 0, sizeof(VideoInfoHeader), false, 640, 480},
      {-320, 240, sizeof(VideoInfoHeader), false, 640, 480},
      {320, INT_MIN, sizeof(VideoInfoHeader), false, 640, 480},
      {100000, 100000, sizeof(VideoInfoHeader), false, 640, 480},
      {16384, 16384, sizeof(VideoInfoHeader), false, 640, 480},
      {320, 240, sizeof(VideoInfoHeader) - 1, false, 640, 480},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.w) + "x" + std::to_string(c.h));
    FrameTracker tracker;
    tracker.failureLog = nullptr;
    script_ = Script{};
    script_.formatWidth = c.w;
    script_.formatHeight = c.h;
    script_.formatSize = c.formatSize;
    const uint8_t* rgb = tracker.rgbBuf.get();
    tracker.openVideo("sized.avi", box_);
    EXPECT_EQ(tracker.hr >= 0, c.opens);
    EXPECT_EQ(tracker.width, c.wantW);
    EXPECT_EQ(tracker.height, c.wantH);
    EXPECT_EQ(tracker.pixelCount, c.wantW * c.wantH);
    if (!c.opens) {
      EXPECT_EQ(tracker.hr, VX_E_FRAME_SIZE);
      EXPECT_EQ(tracker.rgbBuf.get(), rgb);
      EXPECT_EQ(tracker.frameBuffer, nullptr);
      EXPECT_NE(tracker.mediaDet, nullptr);
    }
  }
}

TEST_F(OpenVideoTest, SizeQueryTooSmallForThePictureFails) {
  script_.sizeShortfall = 1;
  tracker_.openVideo("short.avi", box_);
  EXPECT_EQ(tracker_.hr, E_FAIL);
  EXPECT_EQ(tracker_.width, 640);
  EXPECT_EQ(tracker_.frameBuffer, nullptr);
}

// A detector kept after a failed first open has no frame buffer to fill.
TEST_F(OpenVideoTest, GrabWithoutFrameBufferFails) {
  script_.failAt = Step::kSizeQuery;
  tracker_.openVideo("first.avi", box_);
  ASSERT_NE(tracker_.mediaDet, nullptr);
  ASSERT_EQ(tracker_.frameBuffer, nullptr);
  const std::string before = printed();
  EXPECT_FALSE(tracker_.grabFrame(0.0));
  EXPECT_EQ(script_.grabs, 0);
  EXPECT_EQ(tracker_.hr, E_POINTER);
  EXPECT_EQ(printed(), before + std::to_string(E_POINTER));
}

TEST_F(OpenVideoTest, GrabWithoutDetectorFails) {
  EXPECT_FALSE(tracker_.grabFrame(0.0));
  EXPECT_LT(tracker_.hr, 0);
}

// Real videos through the FFmpeg detector.
class OpenRealVideoTest : public ::testing::Test {
 protected:
  void SetUp() override {
    log_ = std::tmpfile();
    ASSERT_NE(log_, nullptr);
    tracker_.failureLog = log_;
  }
  void TearDown() override { std::fclose(log_); }
  std::string printed() { return logText(log_); }
  int grabbedFrame() const {
    return readFrameIdentity(tracker_.frameBits, tracker_.width, tracker_.height);
  }

  FrameTracker tracker_;
  ExcludeBox box_;
  std::FILE* log_ = nullptr;
};

TEST_F(OpenRealVideoTest, OpensAndGrabsAtTheFileSize) {
  tracker_.openVideo(testVideo("h264.mp4").c_str(), box_);
  ASSERT_GE(tracker_.hr, 0);
  EXPECT_EQ(printed(), "");
  EXPECT_EQ(tracker_.streamCount, 1);
  EXPECT_NEAR(tracker_.frameRate, 30.0, 1e-9);
  EXPECT_NEAR(tracker_.streamLength, 5.0, 0.05);
  EXPECT_EQ(tracker_.width, 800);
  EXPECT_EQ(tracker_.height, 600);
  EXPECT_EQ(tracker_.frameBufferSize, 40 + 3 * 800 * 600);
  ASSERT_TRUE(tracker_.grabFrame(0.5));
  EXPECT_EQ(grabbedFrame(), 15);
  ASSERT_TRUE(tracker_.grabFrame(4.0));
  EXPECT_EQ(grabbedFrame(), 120);
}

// Stream 0 audio and stream 1 video: stream 1. Two video streams: the first
// (the second shows the inverted picture, whose frame number cannot be read).
TEST_F(OpenRealVideoTest, PicksTheFirstVideoStream) {
  for (const char* file : {"audio-first.avi", "two-videos.avi"}) {
    SCOPED_TRACE(file);
    tracker_.openVideo(testVideo(file).c_str(), box_);
    ASSERT_GE(tracker_.hr, 0);
    EXPECT_EQ(tracker_.streamCount, 2);
    EXPECT_EQ(tracker_.width, 320);
    ASSERT_TRUE(tracker_.grabFrame(0.5));
    EXPECT_EQ(grabbedFrame(), 15);
  }
}

TEST_F(OpenRealVideoTest, ReopeningClearsTheSavedBackground) {
  tracker_.openVideo(testVideo("ffv1.avi").c_str(), box_);
  ASSERT_GE(tracker_.hr, 0);
  std::memset(tracker_.backgroundBuf.get(), 200, static_cast<size_t>(tracker_.pixelCount));
  tracker_.openVideo(testVideo("ffv1.avi").c_str(), box_);
  ASSERT_GE(tracker_.hr, 0);
  for (int32_t i = 0; i < tracker_.pixelCount; ++i) ASSERT_EQ(tracker_.backgroundBuf[i], 0);
}

TEST_F(OpenRealVideoTest, OpensAUtf8FileName) {
  tracker_.openVideo(testVideo("vid\xC3\xA9o \xC3\xB1 \xE6\x97\xA5\xE6\x9C\xAC.avi").c_str(), box_);
  ASSERT_GE(tracker_.hr, 0);
  ASSERT_TRUE(tracker_.grabFrame(1.0));
  EXPECT_EQ(grabbedFrame(), 30);
}

// An audio-only file passes the scan with its last stream, then has no frame
// rate: the open stops there, keeping the detector and every buffer.
TEST_F(OpenRealVideoTest, AudioOnlyFileStopsAtTheFrameRate) {
  tracker_.openVideo(testVideo("audio-only.wmv").c_str(), box_);
  EXPECT_EQ(tracker_.hr, VX_E_NOT_VIDEO);
  EXPECT_NE(tracker_.mediaDet, nullptr);
  EXPECT_EQ(tracker_.width, 640);
  EXPECT_EQ(tracker_.frameBuffer, nullptr);
  EXPECT_FALSE(tracker_.grabFrame(0.0));
  EXPECT_EQ(printed(), std::to_string(VX_E_NOT_VIDEO) + std::to_string(E_POINTER));
}

// After a good open, a failed one keeps the earlier frame buffer; the new
// file's grabs then fail honestly instead of reading the wrong stream.
TEST_F(OpenRealVideoTest, FailedOpenAfterAGoodOneKeepsTheBuffers) {
  tracker_.openVideo(testVideo("ffv1.avi").c_str(), box_);
  ASSERT_GE(tracker_.hr, 0);
  const uint8_t* frame = tracker_.frameBuffer.get();
  tracker_.openVideo(testVideo("audio-only.wmv").c_str(), box_);
  EXPECT_EQ(tracker_.hr, VX_E_NOT_VIDEO);
  EXPECT_EQ(tracker_.frameBuffer.get(), frame);
  EXPECT_EQ(tracker_.width, 320);
  EXPECT_FALSE(tracker_.grabFrame(0.0));
  EXPECT_EQ(tracker_.hr, VX_E_NOT_VIDEO);
}

TEST_F(OpenRealVideoTest, TwoFailedOpensPrintTwoNumbersRunTogether) {
  tracker_.openVideo(testVideo("no-such-file.wmv").c_str(), box_);
  EXPECT_EQ(tracker_.mediaDet, nullptr);
  tracker_.openVideo(testVideo("text.wmv").c_str(), box_);
  EXPECT_EQ(tracker_.mediaDet, nullptr);
  EXPECT_EQ(printed(), "-2147024894-2147220872");
}

}  // namespace
