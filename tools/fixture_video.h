#pragma once
// Test videos with known content, written with FFmpeg's encoders.
//
// Usage: fill a FixtureVideoSpec (codec, size, frame rate, frame count, and
// optionally the stream layout and keyframe interval), then call
//   std::string error;
//   bool ok = writeFixtureVideo(path, spec,
//       [](int frame, uint8_t* rgb, int stride) { /* paint frame `frame` */ }, &error);
// The paint function gets a top-down RGB24 picture of spec.width x spec.height
// (3 bytes a pixel, rows `stride` bytes apart, cleared to black) for every
// frame 0 .. frameCount - 1; frame n is shown from n / fps seconds. Lossless
// codecs (kRawAvi, kFfv1Avi) give back exactly the painted bytes;
// kMjpegAvi, kWmv2Wmv and kH264Mp4 are lossy. paintFrameIdentity and
// readFrameIdentity put the frame number into large blocks that survive lossy
// coding, so a test can tell which frame a grab returned. The file's container
// follows the codec, whatever the path's extension. Writing lowers FFmpeg's
// log level to errors. Link `verdaxel_fixtures`; the program
// `verdaxel_make_test_videos FOLDER` writes the video layer's test set.

#include <cstdint>
#include <functional>
#include <string>

enum class FixtureCodec {
  kRawAvi,    // uncompressed BGR24 in AVI, lossless
  kFfv1Avi,   // FFV1 (every frame a keyframe, unless keyframeInterval says) in AVI, lossless
  kMjpegAvi,  // Motion JPEG in AVI, intra-only
  kWmv2Wmv,   // Windows Media Video 8 in ASF
  kH264Mp4,   // H.264 (libx264, with B-frames) in MP4
  // Matroska states the length in its header, so a truncated copy still
  // claims the whole length.
  kFfv1Mkv,   // FFV1 in Matroska, lossless
  kH264Mkv,   // H.264 (libx264, with B-frames) in Matroska
};

enum class FixtureLayout {
  kVideo,           // one video stream
  kAudioThenVideo,  // stream 0 audio (silence), stream 1 video
  kTwoVideos,       // two video streams; the second shows the inverted picture
  kAudioOnly,       // one audio stream of frameCount / fps seconds, no video
};

struct FixtureVideoSpec {
  FixtureCodec codec = FixtureCodec::kFfv1Avi;
  FixtureLayout layout = FixtureLayout::kVideo;
  int width = 320;           // pixels, even
  int height = 240;          // pixels, even
  int fpsNum = 30;           // frame rate fpsNum / fpsDen frames per second
  int fpsDen = 1;
  int frameCount = 30;       // frames written
  int keyframeInterval = 0;  // frames between keyframes; 0: 30 (FFV1: 1, all keyframes)
};

using FixturePainter = std::function<void(int frame, uint8_t* rgb24, int stride)>;

// Writes the video; false with a message in *error (when not null) on failure.
bool writeFixtureVideo(const std::string& path, const FixtureVideoSpec& spec,
                       const FixturePainter& paint, std::string* error);

// Paints the frame number into two rows of blocks at the top left of a
// top-down RGB24 picture (bits, then their complement; 14 bits) over a
// mid-gray background with a gradient that moves from frame to frame.
// Needs width >= 28 and height >= 4.
void paintFrameIdentity(int frame, uint8_t* rgb24, int stride, int width, int height);

// Reads the frame number back from a bottom-up BGR picture of rows of exactly
// 3 * width bytes (the grabbed frame layout). -1 when the blocks do not agree.
int readFrameIdentity(const uint8_t* bgrBottomUp, int width, int height);
