// The media detector on bad input (missing, empty, text, truncated and damaged
// files, streams that are not video) and on the real-world samples; and what
// grabs cost in decoded frames.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "tests/core/video_test_support.h"
#include "video/media_detector.h"

namespace {

TEST(VideoBadInputTest, FilesThatCannotBeOpened) {
  struct Case {
    std::string path;
    int32_t code;
  } const cases[] = {
      {testVideo("no-such-file.avi"), E_FILE_NOT_FOUND},
      {testVideo("no-such-folder/clip.avi"), E_FILE_NOT_FOUND},
      {testVideo("empty.wmv"), VFW_E_INVALID_FILE_FORMAT},
      {testVideo("text.wmv"), VFW_E_INVALID_FILE_FORMAT},
      {testVideo("truncated.mp4"), VFW_E_INVALID_FILE_FORMAT},  // index lost with the end
      {std::string(VERDAXEL_TEST_VIDEOS), VFW_E_INVALID_FILE_FORMAT},  // a folder
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    std::unique_ptr<MediaDetector> det;
    ASSERT_EQ(createMediaDetector(&det), S_OK);
    EXPECT_EQ(det->putFilename(c.path.c_str()), c.code);
    // Nothing is open: every later call fails, none crashes.
    int32_t count = -1;
    double value = -1;
    MediaGuid type{};
    MediaType mediaType;
    std::vector<uint8_t> buffer(40 + 3 * 16 * 16);
    EXPECT_EQ(det->getOutputStreams(&count), E_FAIL);
    EXPECT_EQ(det->putCurrentStream(0), E_FAIL);
    EXPECT_EQ(det->getStreamType(&type), E_FAIL);
    EXPECT_EQ(det->getFrameRate(&value), E_FAIL);
    EXPECT_EQ(det->getStreamLength(&value), E_FAIL);
    EXPECT_EQ(det->getStreamMediaType(&mediaType), E_FAIL);
    EXPECT_EQ(det->getBitmapBits(0.0, nullptr, buffer.data(), 16, 16), E_FAIL);
  }
  std::unique_ptr<MediaDetector> det;
  ASSERT_EQ(createMediaDetector(&det), S_OK);
  EXPECT_EQ(det->putFilename(nullptr), E_POINTER);
}

// An audio stream is typed and measured, but has no frame rate, no frame
// size and no frames.
TEST(VideoBadInputTest, AudioStreamsHaveNoFrames) {
  for (const char* file : {"audio-only.wmv", "audio-first.avi"}) {
    SCOPED_TRACE(file);
    std::unique_ptr<MediaDetector> det;
    ASSERT_EQ(createMediaDetector(&det), S_OK);
    ASSERT_EQ(det->putFilename(testVideo(file).c_str()), S_OK);
    MediaGuid type{};
    ASSERT_EQ(det->getStreamType(&type), S_OK);
    EXPECT_EQ(type, MEDIATYPE_Audio);
    double fps = -1, length = -1;
    EXPECT_EQ(det->getFrameRate(&fps), VX_E_NOT_VIDEO);
    EXPECT_EQ(det->getStreamLength(&length), S_OK);
    EXPECT_NEAR(length, std::string(file) == "audio-only.wmv" ? 2.0 : 1.0, 0.1);
    MediaType mediaType;
    ASSERT_EQ(det->getStreamMediaType(&mediaType), S_OK);
    EXPECT_EQ(mediaType.majortype, MEDIATYPE_Audio);
    EXPECT_EQ(mediaType.formattype, FORMAT_None);
    EXPECT_EQ(mediaType.cbFormat, 0u);
    EXPECT_EQ(mediaType.pbFormat, nullptr);
    int32_t size = 0;
    std::vector<uint8_t> buffer(40 + 3 * 320 * 240);
    EXPECT_EQ(det->getBitmapBits(24.0, &size, nullptr, 320, 240), VX_E_NOT_VIDEO);
    EXPECT_EQ(det->getBitmapBits(0.0, nullptr, buffer.data(), 320, 240), VX_E_NOT_VIDEO);
  }
}

// Switching streams back and forth: each video stream shows its own picture.
TEST(VideoBadInputTest, SwitchingStreamsKeepsEachStreamsFrames) {
  FrameReader reader;
  ASSERT_EQ(reader.open(testVideo("two-videos.avi")), S_OK);
  MediaDetector& det = reader.detector();
  std::vector<uint8_t> inverted(reader.buffer().size());
  for (int round = 0; round < 2; ++round) {
    ASSERT_EQ(det.putCurrentStream(0), S_OK);
    EXPECT_EQ(reader.frameAt(0.5), 15);
    ASSERT_EQ(det.putCurrentStream(1), S_OK);
    ASSERT_EQ(reader.grab(0.7), S_OK);
    for (size_t i = 0; i < inverted.size(); ++i) {
      inverted[i] = static_cast<uint8_t>(255 - reader.buffer()[i]);
    }
    EXPECT_EQ(readFrameIdentity(inverted.data() + 40, reader.width(), reader.height()), 21);
  }
}

// Truncated and damaged files: no grab crashes or hangs; a grab gives a good
// frame no later than the one asked for, or fails; the frames before the
// damage and, in damaged files, well after it come out right; past the cut
// of a truncated file the last whole frame stays shown.
TEST(VideoBadInputTest, TruncatedAndDamagedFiles) {
  struct Case {
    const char* file;
    int frames;       // frames of the undamaged video
    int goodUntil;    // frames before this one are untouched
    int goodFrom;     // frames from this one on are untouched (damaged files)
  } const cases[] = {
      {"truncated.wmv", 150, 80, -1},
      {"truncated.avi", 90, 50, -1},
      {"corrupt.wmv", 150, 60, 100},
      {"corrupt.mp4", 150, 60, 100},
      {"corrupt.avi", 90, 40, 50},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file);
    FrameReader reader;
    ASSERT_EQ(reader.open(testVideo(c.file)), S_OK);
    std::vector<int> forward;
    double t = 0.0;
    for (int k = 0; k * 3 < c.frames + 30; ++k) {
      const int wanted = std::min(3 * k, c.frames - 1);
      const int got = reader.frameAt(t);
      forward.push_back(got);
      if (got != -2) {
        EXPECT_GE(got, 0) << "t=" << t;  // a readable frame, never garbage
        EXPECT_LE(got, wanted) << "t=" << t;
      }
      if (wanted < c.goodUntil || (c.goodFrom >= 0 && wanted >= c.goodFrom)) {
        EXPECT_EQ(got, wanted) << "t=" << t;
      }
      t += 0.1;
    }
    if (c.goodFrom < 0) {
      // Past the cut: the last frame that could be read, again and again.
      EXPECT_GE(forward.back(), c.goodUntil);
      EXPECT_EQ(reader.frameAt(1000.0), forward.back());
    }
    // Jumping about gives what reading forward gave.
    for (size_t k = forward.size(); k-- > 0;) {
      if (k % 4 == 0) {
        EXPECT_EQ(reader.frameAt(0.1 * static_cast<double>(k) + 1e-9), forward[k]) << "k=" << k;
      }
    }
  }
}

// Copies of good videos cut short and with bytes overwritten at random places
// (header, index and frame data alike): each opens or fails with a code, and
// no grab crashes, hangs or reads out of bounds (run under the sanitizers).
TEST(VideoBadInputTest, RandomDamageIsRefusedOrSurvived) {
  uint32_t seed = 2024;
  int grabbed = 0;  // damaged files that opened, so that grabs were tried
  auto next = [&seed] {
    seed = seed * 1664525u + 1013904223u;
    return seed >> 8;
  };
  for (const char* file : {"wmv2.wmv", "h264-25fps.mp4", "mjpeg-ntsc.avi", "audio-first.avi"}) {
    std::ifstream in(testVideo(file), std::ios::binary);
    const std::vector<char> good((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    ASSERT_GT(good.size(), 1000u) << file;
    for (int copy = 0; copy < 6; ++copy) {
      std::vector<char> bad = good;
      if (copy % 3 == 2) bad.resize(bad.size() * static_cast<size_t>(copy + 1) / 20);
      for (int hit = 0; hit < 1 + copy * 4 && !bad.empty(); ++hit) {
        const size_t at = next() % bad.size();
        for (size_t i = at; i < at + 1 + next() % 64 && i < bad.size(); ++i) {
          bad[i] = static_cast<char>(next());
        }
      }
      const std::string path = testVideo(std::string("damaged-") + std::to_string(copy) + "-" + file);
      std::ofstream(path, std::ios::binary).write(bad.data(), static_cast<std::streamsize>(bad.size()));
      SCOPED_TRACE(path);
      FrameReader reader;
      const int32_t opened = reader.open(path);
      std::remove(path.c_str());  // the open file stays readable
      if (opened < 0) continue;   // refused with a code: fine
      ++grabbed;
      for (double t : {0.0, 0.5, 0.6, 1.9, 0.1, 30.0, 1.0}) {
        const int32_t r = reader.grab(t);
        EXPECT_TRUE(r == S_OK || r == VX_E_DECODE) << "t=" << t << " r=" << r;
      }
    }
  }
  EXPECT_GE(grabbed, 20);
}

// Real-world files FFmpeg cannot write: WMV3, and MS-MPEG4 with audio whose
// video starts at 0.046 s. Forward, jumping and fresh grabs agree.
TEST(VideoBadInputTest, RealWorldSamples) {
  struct Case {
    const char* file;
    int32_t streams, width, height;
    double fps, length;
  } const cases[] = {
      {"wmv3-320x240-10s.wmv", 1, 320, 240, 30.0, 9.93},
      {"msmpeg4v3-640x360-audio.wmv", 2, 640, 360, 25.0, 33.17},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file);
    const std::string path = sharedFixture(c.file);
    if (!fileExists(path)) GTEST_SKIP() << "shared fixture missing: " << path;
    FrameReader reader;
    ASSERT_EQ(reader.open(path), S_OK);
    int32_t streams = 0;
    double fps = 0, length = 0;
    reader.detector().getOutputStreams(&streams);
    reader.detector().getFrameRate(&fps);
    reader.detector().getStreamLength(&length);
    EXPECT_EQ(streams, c.streams);
    EXPECT_EQ(reader.width(), c.width);
    EXPECT_EQ(reader.height(), c.height);
    EXPECT_NEAR(fps, c.fps, 0.01);
    EXPECT_NEAR(length, c.length, 0.05);

    std::vector<double> times;
    for (double t = 0.0; t < c.length + 0.5; t += 0.1) times.push_back(t);
    std::vector<uint64_t> forward;
    for (double t : times) {
      ASSERT_EQ(reader.grab(t), S_OK) << "t=" << t;
      forward.push_back(reader.pixelHash());
    }
    // The first frame is shown from 0, and the last one past the end.
    ASSERT_EQ(reader.grab(0.01), S_OK);
    EXPECT_EQ(reader.pixelHash(), forward.front());
    EXPECT_EQ(forward.back(), forward[forward.size() - 2]);
    for (size_t k = 0; k < times.size(); ++k) {
      const size_t i = (k * 37 + 11) % times.size();
      ASSERT_EQ(reader.grab(times[i]), S_OK);
      EXPECT_EQ(reader.pixelHash(), forward[i]) << "t=" << times[i];
    }
    for (size_t i = 3; i < times.size(); i += 41) {
      FrameReader fresh;
      ASSERT_EQ(fresh.open(path), S_OK);
      ASSERT_EQ(fresh.grab(times[i]), S_OK);
      EXPECT_EQ(fresh.pixelHash(), forward[i]) << "t=" << times[i];
    }
  }
}

// Reading forward decodes each frame once; a jump costs at most about one
// keyframe interval (30 frames here) of decoding, however far it goes: the
// interval, the 0.3 s (9 frames) a seek must save, and the decoder's delay.
// Where every frame is a keyframe (an intra-only codec, or FFV1 as written
// here) only the frames shown are decoded.
TEST(VideoBadInputTest, GrabsDecodeOnlyWhatTheyNeed) {
  struct Case {
    const char* file;
    bool intraOnly;  // every frame a keyframe
  } const cases[] = {
      {"h264.mp4", false}, {"wmv2.wmv", false}, {"mjpeg.avi", true}, {"ffv1.avi", true}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file);
    FrameReader reader;
    ASSERT_EQ(reader.open(testVideo(c.file)), S_OK);
    const MediaDetector& det = reader.detector();
    auto costOf = [&](double t) {
      const int64_t before = det.framesDecoded();
      EXPECT_GE(reader.frameAt(t), 0) << "t=" << t;
      return det.framesDecoded() - before;
    };
    // Forward in 0.1 s steps: three frames a grab, one for intra-only video.
    costOf(0.0);
    int64_t forward = 0;
    for (int k = 1; k <= 20; ++k) forward += costOf(0.1 * k);
    EXPECT_LE(forward, c.intraOnly ? 20 : 3 * 20 + 2);
    if (c.intraOnly) {
      EXPECT_EQ(forward, 20);
    }
    // Backwards, and far ahead.
    for (double t : {0.5, 2.9, 1.0, 4.5, 3.05, 0.2}) {
      const int64_t cost = costOf(t);
      EXPECT_LE(cost, c.intraOnly ? 1 : 30 + 9 + 8) << "t=" << t;
    }
  }
}

}  // namespace
