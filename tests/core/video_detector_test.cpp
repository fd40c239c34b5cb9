// The FFmpeg media detector on generated videos whose frames carry their
// frame number: stream typing, rate, length, size, and the frame at a time.

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstring>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

#include "tests/core/video_test_support.h"
#include "video/media_detector.h"

namespace {

struct Codec {
  const char* file;
  int32_t width, height;
  double fps;
  int frames;
};

const Codec kCodecs[] = {
    {"raw.avi", 320, 240, 30.0, 24},     {"ffv1.avi", 320, 240, 30.0, 90},
    {"mjpeg.avi", 640, 480, 30.0, 90},   {"mjpeg-ntsc.avi", 320, 240, 30000.0 / 1001, 60},
    {"wmv2.wmv", 320, 240, 30.0, 150},   {"h264.mp4", 800, 600, 30.0, 150},
    {"h264-25fps.mp4", 320, 240, 25.0, 50},
};

class VideoDetectorCodecTest : public ::testing::TestWithParam<Codec> {};

TEST_P(VideoDetectorCodecTest, ReportsStreamRateLengthAndSize) {
  const Codec& c = GetParam();
  std::unique_ptr<MediaDetector> det;
  ASSERT_EQ(createMediaDetector(&det), S_OK);
  ASSERT_EQ(det->putFilename(testVideo(c.file).c_str()), S_OK);
  int32_t streams = 0;
  EXPECT_EQ(det->getOutputStreams(&streams), S_OK);
  EXPECT_EQ(streams, 1);
  MediaGuid type{};
  EXPECT_EQ(det->putCurrentStream(0), S_OK);
  EXPECT_EQ(det->getStreamType(&type), S_OK);
  EXPECT_EQ(type, MEDIATYPE_Video);
  double fps = 0, length = 0;
  EXPECT_EQ(det->getFrameRate(&fps), S_OK);
  EXPECT_NEAR(fps, c.fps, 1e-3);
  EXPECT_EQ(det->getStreamLength(&length), S_OK);
  EXPECT_NEAR(length, c.frames / c.fps, 0.07);

  MediaType mt;
  ASSERT_EQ(det->getStreamMediaType(&mt), S_OK);
  EXPECT_EQ(mt.majortype, MEDIATYPE_Video);
  ASSERT_EQ(mt.formattype, FORMAT_VideoInfo);
  ASSERT_EQ(mt.cbFormat, sizeof(VideoInfoHeader));
  VideoInfoHeader info;
  std::memcpy(&info, mt.pbFormat, sizeof info);
  mediaFree(mt.pbFormat);
  EXPECT_EQ(mt.pUnk, nullptr);
  EXPECT_EQ(info.bmiHeader.biWidth, c.width);
  EXPECT_EQ(info.bmiHeader.biHeight, c.height);
  EXPECT_EQ(info.bmiHeader.biSize, 40u);

  int32_t size = 0;
  EXPECT_EQ(det->getBitmapBits(24.0, &size, nullptr, c.width, c.height), S_OK);
  EXPECT_EQ(size, 40 + 3 * c.width * c.height);
}

TEST_P(VideoDetectorCodecTest, GrabsFirstMiddleAndLastFrameWithHonestHeader) {
  const Codec& c = GetParam();
  FrameReader reader;
  ASSERT_EQ(reader.open(testVideo(c.file)), S_OK);
  const int middle = c.frames / 2;
  EXPECT_EQ(reader.frameAt(0.0), 0);
  EXPECT_EQ(reader.frameAt((middle + 0.5) / c.fps), middle);
  EXPECT_EQ(reader.frameAt((c.frames - 0.5) / c.fps), c.frames - 1);
  // At or past the end: the last frame.
  EXPECT_EQ(reader.frameAt(c.frames / c.fps), c.frames - 1);
  EXPECT_EQ(reader.frameAt(1000.0), c.frames - 1);
  EXPECT_EQ(reader.frameAt(1e300), c.frames - 1);

  BitmapInfoHeader header;
  std::memcpy(&header, reader.buffer().data(), sizeof header);
  EXPECT_EQ(header.biSize, 40u);
  EXPECT_EQ(header.biWidth, c.width);
  EXPECT_EQ(header.biHeight, c.height);
  EXPECT_EQ(header.biPlanes, 1);
  EXPECT_EQ(header.biBitCount, 24);
  EXPECT_EQ(header.biCompression, 0u);
  EXPECT_EQ(header.biSizeImage, static_cast<uint32_t>(3 * c.width * c.height));
}

// Reading forward in 0.1 s steps, jumping about, and opening afresh for each
// time all give the same frames.
TEST_P(VideoDetectorCodecTest, ForwardRandomAndFreshGrabsAgree) {
  const Codec& c = GetParam();
  const double length = c.frames / c.fps;
  std::vector<double> times;
  double t = 0.0;
  for (int i = 0; t < length + 0.2; ++i) {
    times.push_back(t);
    t += 0.1;  // a running sum, as the recording loop makes it
  }
  FrameReader forward;
  ASSERT_EQ(forward.open(testVideo(c.file)), S_OK);
  std::vector<int> expected;
  for (double time : times) expected.push_back(forward.frameAt(time));
  for (size_t i = 0; i < times.size(); ++i) {
    EXPECT_GE(expected[i], 0) << "t=" << times[i];
    if (i > 0) {
      EXPECT_GE(expected[i], expected[i - 1]);
    }
  }

  // A fixed shuffle: back and forth, large and small jumps.
  FrameReader jumping;
  ASSERT_EQ(jumping.open(testVideo(c.file)), S_OK);
  for (size_t k = 0; k < times.size(); ++k) {
    const size_t i = (k * 17 + 5) % times.size();
    EXPECT_EQ(jumping.frameAt(times[i]), expected[i]) << "t=" << times[i];
  }
  for (size_t i = 0; i < times.size(); i += 7) {
    FrameReader fresh;
    ASSERT_EQ(fresh.open(testVideo(c.file)), S_OK);
    EXPECT_EQ(fresh.frameAt(times[i]), expected[i]) << "t=" << times[i];
  }
}

INSTANTIATE_TEST_SUITE_P(AllCodecs, VideoDetectorCodecTest, ::testing::ValuesIn(kCodecs),
                         [](const ::testing::TestParamInfo<Codec>& param) {
                           std::string name = param.param.file;
                           for (char& ch : name) {
                             if (!std::isalnum(static_cast<unsigned char>(ch))) ch = '_';
                           }
                           return name;
                         });

// Frame n of a 30 fps AVI is shown from exactly n / 30 s (stored as n in a
// time base of 1/30); times are compared after rounding to 100 ns.
TEST(VideoDetectorTest, FrameAtTimeAroundFrameBoundaries) {
  FrameReader reader;
  ASSERT_EQ(reader.open(testVideo("ffv1.avi")), S_OK);
  struct Case {
    double t;
    int frame;
  } const cases[] = {
      {0.0, 0},
      {1.0 / 30, 1},
      {1.0 / 30 - 1e-4, 0},
      {1.0 / 30 + 1e-4, 1},
      {0.0333333, 1},        // 333333 ticks: frame 1 starts at 333333
      {0.03333325, 1},       // rounds to 333333
      {0.0333332, 0},        // 333332 ticks: still frame 0
      {2.0 - 1e-9, 60},      // 2 s less a nanosecond rounds to 2 s
      {2.0 - 2e-7, 59},      // two ticks early
      {0.7, 21},
      {45.0 / 30, 45},
      {45.0 / 30 - 1e-6, 44},
      {89.0 / 30, 89},
      {3.0, 89},
  };
  for (const Case& c : cases) EXPECT_EQ(reader.frameAt(c.t), c.frame) << "t=" << c.t;
  for (auto it = std::rbegin(cases); it != std::rend(cases); ++it) {
    EXPECT_EQ(reader.frameAt(it->t), it->frame) << "backwards t=" << it->t;
  }
}

// 0.1 added k times is not k / 10 in binary, but rounds to the same 100 ns.
TEST(VideoDetectorTest, RunningSumsOfTenthsHitTheirFrames) {
  struct File {
    const char* name;
    int fps, frames;
  } const files[] = {{"ffv1.avi", 30, 90}, {"mjpeg.avi", 30, 90}, {"wmv2.wmv", 30, 150},
                     {"h264.mp4", 30, 150}, {"h264-25fps.mp4", 25, 50}};
  for (const File& f : files) {
    const char* file = f.name;
    FrameReader reader;
    ASSERT_EQ(reader.open(testVideo(file)), S_OK) << file;
    double t = 0.0;
    for (int k = 0; k <= 20; ++k) {
      // k tenths is frame 3k at 30 fps, frame 2.5k (rounded down) at 25 fps.
      const int want = std::min(k * f.fps / 10, f.frames - 1);
      EXPECT_EQ(reader.frameAt(t), want) << file << " k=" << k << " t=" << t;
      t += 0.1;
    }
  }
}

TEST(VideoDetectorTest, RejectsBadGrabArguments) {
  FrameReader reader;
  ASSERT_EQ(reader.open(testVideo("ffv1.avi")), S_OK);
  MediaDetector& det = reader.detector();
  std::vector<uint8_t> buffer(40 + 3 * 320 * 240);
  int32_t size = 0;
  EXPECT_EQ(det.getBitmapBits(-0.1, nullptr, buffer.data(), 320, 240), E_INVALIDARG);
  EXPECT_EQ(det.getBitmapBits(-1e-12, nullptr, buffer.data(), 320, 240), E_INVALIDARG);
  EXPECT_EQ(det.getBitmapBits(std::nan(""), nullptr, buffer.data(), 320, 240), E_INVALIDARG);
  EXPECT_EQ(det.getBitmapBits(0.0, nullptr, nullptr, 320, 240), E_POINTER);
  EXPECT_EQ(det.getBitmapBits(0.0, &size, nullptr, 0, 240), E_INVALIDARG);
  EXPECT_EQ(det.getBitmapBits(0.0, &size, nullptr, 320, -240), E_INVALIDARG);
  EXPECT_EQ(det.getBitmapBits(0.0, &size, nullptr, 100000, 100000), E_INVALIDARG);
  EXPECT_EQ(det.getBitmapBits(0.0, nullptr, buffer.data(), 0, 0), E_INVALIDARG);
  EXPECT_EQ(det.putCurrentStream(1), E_INVALIDARG);
  EXPECT_EQ(det.putCurrentStream(-1), E_INVALIDARG);
  EXPECT_EQ(det.getOutputStreams(nullptr), E_POINTER);
  // The detector still works after every refusal.
  EXPECT_EQ(reader.frameAt(0.5), 15);
}

// A grab at another size is scaled; the header tells the size asked for.
TEST(VideoDetectorTest, ScalesToTheRequestedSize) {
  FrameReader reader;
  ASSERT_EQ(reader.open(testVideo("ffv1.avi")), S_OK);
  // 320 x 240 is converted straight into the bitmap, the others through a
  // padded picture.
  for (auto [w, h] : {std::pair<int32_t, int32_t>{640, 480}, {320, 240}, {161, 97}, {1, 1}}) {
    std::vector<uint8_t> buffer(40 + 3 * static_cast<size_t>(w) * h + 16, 0xAB);
    ASSERT_EQ(reader.detector().getBitmapBits(0.5, nullptr, buffer.data(), w, h), S_OK);
    BitmapInfoHeader header;
    std::memcpy(&header, buffer.data(), sizeof header);
    EXPECT_EQ(header.biWidth, w);
    EXPECT_EQ(header.biHeight, h);
    // Not one byte past the frame is written.
    for (size_t i = buffer.size() - 16; i < buffer.size(); ++i) ASSERT_EQ(buffer[i], 0xAB);
    if (w == 640) {
      // Twice the size: the frame number blocks are 32 pixels now. Frame 15
      // has bits 0 to 3 set (white above black) and bit 4 clear.
      auto level = [&](int x, int y) {
        const uint8_t* p = buffer.data() + 40 + 3 * ((h - 1 - y) * w + x);
        return (p[0] + p[1] + p[2]) / 3;
      };
      for (int bit = 0; bit < 5; ++bit) {
        EXPECT_EQ(level(32 * bit + 16, 16) > 128, bit < 4) << bit;
        EXPECT_EQ(level(32 * bit + 16, 48) > 128, bit >= 4) << bit;
      }
    }
  }
}

// Lossless videos give back exactly the painted bytes, bottom row first, BGR.
TEST(VideoDetectorTest, LosslessFramesArriveExactlyAsPainted) {
  for (const char* file : {"raw.avi", "ffv1.avi"}) {
    FrameReader reader;
    ASSERT_EQ(reader.open(testVideo(file)), S_OK);
    const int w = reader.width(), h = reader.height();
    std::vector<uint8_t> painted(3 * static_cast<size_t>(w) * h);
    for (int frame : {0, 7, 23}) {
      ASSERT_EQ(reader.grab(frame / 30.0), S_OK);
      paintFrameIdentity(frame, painted.data(), 3 * w, w, h);
      int differing = 0;
      for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
          const uint8_t* got = reader.bits() + 3 * ((h - 1 - y) * w + x);
          const uint8_t* want = painted.data() + 3 * (y * w + x);
          differing += got[0] != want[2] || got[1] != want[1] || got[2] != want[0];
        }
      }
      EXPECT_EQ(differing, 0) << file << " frame " << frame;
    }
  }
}

}  // namespace
