// Writes the video layer's test videos into one folder:
//   make_test_videos [--small] FOLDER
// Every video shows its frame number in blocks (paintFrameIdentity). Besides
// good files of every codec it writes the bad inputs: an empty file, a text
// file named .wmv, truncated and damaged copies, and a copy under a UTF-8 name.
// --small writes the same set at 48x32 with at most 8 frames (keyframes every
// 4): the fuzz target's seed corpus, small so that it runs many inputs a second.

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "tools/fixture_video.h"

namespace {

struct Video {
  const char* name;
  FixtureCodec codec;
  FixtureLayout layout;
  int width, height, fpsNum, fpsDen, frames, keyframeInterval;
};

constexpr Video kVideos[] = {
    {"raw.avi", FixtureCodec::kRawAvi, FixtureLayout::kVideo, 320, 240, 30, 1, 24, 0},
    {"ffv1.avi", FixtureCodec::kFfv1Avi, FixtureLayout::kVideo, 320, 240, 30, 1, 90, 0},
    {"mjpeg.avi", FixtureCodec::kMjpegAvi, FixtureLayout::kVideo, 640, 480, 30, 1, 90, 0},
    {"mjpeg-ntsc.avi", FixtureCodec::kMjpegAvi, FixtureLayout::kVideo, 320, 240, 30000, 1001, 60, 0},
    {"wmv2.wmv", FixtureCodec::kWmv2Wmv, FixtureLayout::kVideo, 320, 240, 30, 1, 150, 30},
    {"h264.mp4", FixtureCodec::kH264Mp4, FixtureLayout::kVideo, 800, 600, 30, 1, 150, 30},
    {"h264-25fps.mp4", FixtureCodec::kH264Mp4, FixtureLayout::kVideo, 320, 240, 25, 1, 50, 25},
    {"audio-first.avi", FixtureCodec::kFfv1Avi, FixtureLayout::kAudioThenVideo, 320, 240, 30, 1, 30, 0},
    {"two-videos.avi", FixtureCodec::kFfv1Avi, FixtureLayout::kTwoVideos, 320, 240, 30, 1, 30, 0},
    {"audio-only.wmv", FixtureCodec::kWmv2Wmv, FixtureLayout::kAudioOnly, 320, 240, 30, 1, 60, 0},
    {"ffv1.mkv", FixtureCodec::kFfv1Mkv, FixtureLayout::kVideo, 320, 240, 30, 1, 30, 0},
    {"h264.mkv", FixtureCodec::kH264Mkv, FixtureLayout::kVideo, 320, 240, 30, 1, 60, 30},
};

// The --small set's frame size and length.
constexpr int kSmallWidth = 48;
constexpr int kSmallHeight = 32;
constexpr int kSmallFrames = 8;
constexpr int kSmallKeyframeInterval = 4;

std::vector<char> readAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<char>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool writeAll(const std::string& path, const std::vector<char>& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  return static_cast<bool>(out);
}

}  // namespace

int main(int argc, char** argv) {
  const bool small = argc == 3 && std::string(argv[1]) == "--small";
  if (argc != 2 && !small) {
    std::fprintf(stderr, "usage: make_test_videos [--small] FOLDER\n");
    return 2;
  }
  const std::string folder = std::string(argv[argc - 1]) + "/";
  for (const Video& v : kVideos) {
    FixtureVideoSpec spec;
    spec.codec = v.codec;
    spec.layout = v.layout;
    spec.width = small ? kSmallWidth : v.width;
    spec.height = small ? kSmallHeight : v.height;
    spec.fpsNum = v.fpsNum;
    spec.fpsDen = v.fpsDen;
    spec.frameCount = small ? std::min(v.frames, kSmallFrames) : v.frames;
    spec.keyframeInterval =
        small && v.keyframeInterval > 0 ? kSmallKeyframeInterval : v.keyframeInterval;
    const int width = spec.width;
    const int height = spec.height;
    std::string error;
    const bool ok = writeFixtureVideo(
        folder + v.name, spec,
        [&](int frame, uint8_t* rgb, int stride) { paintFrameIdentity(frame, rgb, stride, width, height); },
        &error);
    if (!ok) {
      std::fprintf(stderr, "make_test_videos: %s: %s\n", v.name, error.c_str());
      return 1;
    }
  }

  const std::vector<char> wmv = readAll(folder + "wmv2.wmv");
  const std::vector<char> mp4 = readAll(folder + "h264.mp4");
  const std::vector<char> mjpeg = readAll(folder + "mjpeg.avi");
  const std::vector<char> ffv1 = readAll(folder + "ffv1.avi");
  const size_t least = small ? 1024 : 4096;
  if (wmv.size() < least || mp4.size() < least || mjpeg.size() < least || ffv1.empty()) {
    std::fprintf(stderr, "make_test_videos: the written videos are too small\n");
    return 1;
  }
  // Damage in the middle: a run of bytes overwritten inside the frame data.
  const size_t damage = small ? 64 : 1500;
  auto damaged = [damage](std::vector<char> bytes) {
    const size_t middle = bytes.size() / 2;
    for (size_t i = middle; i < middle + damage && i < bytes.size(); ++i) {
      bytes[i] = static_cast<char>(i * 37 % 251);
    }
    return bytes;
  };
  const std::string text = "This is not a video, only text named like one.\n";
  const bool ok =
      writeAll(folder + "empty.wmv", {}) &&
      writeAll(folder + "text.wmv", std::vector<char>(text.begin(), text.end())) &&
      writeAll(folder + "truncated.wmv", std::vector<char>(wmv.begin(), wmv.begin() + static_cast<long>(wmv.size() * 6 / 10))) &&
      writeAll(folder + "truncated.mp4", std::vector<char>(mp4.begin(), mp4.begin() + static_cast<long>(mp4.size() * 6 / 10))) &&
      writeAll(folder + "truncated.avi", std::vector<char>(mjpeg.begin(), mjpeg.begin() + static_cast<long>(mjpeg.size() * 6 / 10))) &&
      writeAll(folder + "corrupt.wmv", damaged(wmv)) &&
      writeAll(folder + "corrupt.mp4", damaged(mp4)) &&
      writeAll(folder + "corrupt.avi", damaged(mjpeg)) &&
      writeAll(folder + "vid\xC3\xA9o \xC3\xB1 \xE6\x97\xA5\xE6\x9C\xAC.avi", ffv1);
  if (!ok) {
    std::fprintf(stderr, "make_test_videos: cannot write the bad inputs\n");
    return 1;
  }
  return 0;
}
