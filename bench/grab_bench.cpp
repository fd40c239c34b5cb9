// The frame source against plain decoding. BM_Grab makes 3,600 grabs at
// 0.1 s steps from 0 (a recording run's worth) on a 6-minute 640x480
// video; each iteration also times `ffmpeg -v error -i FILE -t 360 -f null -`
// on the same file. The counter "ratio" is the quickest grab run over the
// quickest ffmpeg run (wall time), "cpu_ratio" the same for processor time
// (all threads), which a busy machine disturbs less.
// The counter "decoded" is the frames the grab run decoded.
// BM_RandomGrab makes 200 grabs at scattered times; its "frames_per_grab"
// counter is the frames decoded per grab (about half a keyframe interval is
// the aim). The videos (MJPEG AVI, WMV2 WMV, H.264 MP4, keyframe every 30
// frames, numbered frames; and the sample's maze scene in FFV1 at 15 fps, as
// the bundled sample is written: every frame a keyframe of a codec not
// marked intra-only, a third of them never shown at 0.1 s steps) are written
// at the first run into the build folder.

#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "tools/fixture_video.h"
#include "tools/maze_scene.h"
#include "video/media_detector.h"
#include "video/video_thread.h"

namespace fs = std::filesystem;

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kWidth = 640;
constexpr int kHeight = 480;
constexpr int kFps = 30;
constexpr int kSeconds = 360;
constexpr int kGrabs = 3600;

double secondsSince(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

struct BenchVideo {
  const char* name;
  FixtureCodec codec;
  int fps;
  bool mazeScene;  // the sample's scene instead of numbered frames
};
const BenchVideo kVideos[] = {
    {"grab-mjpeg.avi", FixtureCodec::kMjpegAvi, kFps, false},
    {"grab-wmv2.wmv", FixtureCodec::kWmv2Wmv, kFps, false},
    {"grab-h264.mp4", FixtureCodec::kH264Mp4, kFps, false},
    {"grab-ffv1-15fps.avi", FixtureCodec::kFfv1Avi, kSampleFramesPerSecond, true},
};

// The video's path, written first if it is not there yet.
std::string benchVideo(const BenchVideo& video) {
  const std::string path = std::string(VERDAXEL_BENCH_VIDEOS) + "/" + video.name;
  if (fs::exists(path)) return path;
  fs::create_directories(VERDAXEL_BENCH_VIDEOS);
  std::string error;
  if (video.mazeScene) {
    if (!writeSampleSession(path, video.codec, video.fps, kSeconds, &error)) {
      std::fprintf(stderr, "cannot write %s: %s\n", path.c_str(), error.c_str());
      return std::string();
    }
    return path;
  }
  FixtureVideoSpec spec;
  spec.codec = video.codec;
  spec.width = kWidth;
  spec.height = kHeight;
  spec.fpsNum = video.fps;
  spec.frameCount = video.fps * kSeconds;
  spec.keyframeInterval = 30;
  const std::string partial = path + ".part";
  const bool ok = writeFixtureVideo(
      partial, spec,
      [](int frame, uint8_t* rgb, int stride) { paintFrameIdentity(frame, rgb, stride, kWidth, kHeight); },
      &error);
  if (!ok || std::rename(partial.c_str(), path.c_str()) != 0) {
    std::fprintf(stderr, "cannot write %s: %s\n", path.c_str(), error.c_str());
    std::remove(partial.c_str());
    return std::string();
  }
  return path;
}

// User and system time of this process (every thread) or of its waited-for children.
double cpuSeconds(int who) {
  rusage usage {};
  getrusage(who, &usage);
  return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
         static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

struct Timing {
  double wall = 1e300;  // the quickest run
  double cpu = 1e300;   // the least processor time of a run
  void add(double wallSeconds, double cpuTime) {
    wall = std::min(wall, wallSeconds);
    cpu = std::min(cpu, cpuTime);
  }
};

bool timeFfmpeg(const std::string& path, Timing* timing) {
  const std::string command = "ffmpeg -nostdin -v error -i '" + path + "' -t 360 -f null -";
  const double cpuBefore = cpuSeconds(RUSAGE_CHILDREN);
  const Clock::time_point start = Clock::now();
  const int status = std::system(command.c_str());
  timing->add(secondsSince(start), cpuSeconds(RUSAGE_CHILDREN) - cpuBefore);
  return status == 0;
}

// A detector on the file's video stream, and a buffer for one frame.
struct Source {
  std::unique_ptr<MediaDetector> detector;
  std::vector<uint8_t> buffer;

  bool open(const std::string& path) {
    int32_t size = 0;
    if (createMediaDetector(&detector) < 0 || detector->putFilename(path.c_str()) < 0 ||
        detector->getBitmapBits(0.0, &size, nullptr, kWidth, kHeight) < 0) {
      return false;
    }
    buffer.assign(static_cast<size_t>(size), 0);
    return true;
  }
  bool grab(double t) {
    return detector->getBitmapBits(t, nullptr, buffer.data(), kWidth, kHeight) >= 0;
  }
  int frame() const { return readFrameIdentity(buffer.data() + 40, kWidth, kHeight); }
};

void BM_Grab(benchmark::State& state) {
  prepareVideoThread();
  const BenchVideo& video = kVideos[state.range(0)];
  state.SetLabel(video.name);
  const std::string path = benchVideo(video);
  if (path.empty()) {
    state.SkipWithError("cannot write the video");
    return;
  }
  // The machine may be busy with other work: the quickest of the runs of
  // each side is compared, and their processor times as well.
  Timing grabs;
  Timing ffmpeg;
  int64_t decoded = 0;
  for (auto _ : state) {
    Source source;
    if (!source.open(path)) {
      state.SkipWithError("cannot open the video");
      return;
    }
    const double cpuBefore = cpuSeconds(RUSAGE_SELF);
    const Clock::time_point start = Clock::now();
    double t = 0.0;
    for (int i = 0; i < kGrabs; ++i) {
      if (!source.grab(t)) {
        state.SkipWithError("a grab failed");
        return;
      }
      t += 0.1;
    }
    const double seconds = secondsSince(start);
    state.SetIterationTime(seconds);
    grabs.add(seconds, cpuSeconds(RUSAGE_SELF) - cpuBefore);
    decoded = source.detector->framesDecoded();
    // The last grab (at 359.9 s) must be frame 10797.
    if (!video.mazeScene && source.frame() != 10797) {
      state.SkipWithError("the last grab returned the wrong frame");
      return;
    }
    if (!timeFfmpeg(path, &ffmpeg)) {
      state.SkipWithError("ffmpeg failed");
      return;
    }
  }
  state.counters["grab_s"] = grabs.wall;
  state.counters["ffmpeg_s"] = ffmpeg.wall;
  state.counters["ratio"] = grabs.wall / ffmpeg.wall;
  state.counters["cpu_ratio"] = grabs.cpu / ffmpeg.cpu;
  state.counters["decoded"] = static_cast<double>(decoded);
}
BENCHMARK(BM_Grab)->DenseRange(0, 3)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_RandomGrab(benchmark::State& state) {
  prepareVideoThread();
  const BenchVideo& video = kVideos[state.range(0)];
  state.SetLabel(video.name);
  const std::string path = benchVideo(video);
  Source source;
  if (path.empty() || !source.open(path)) {
    state.SkipWithError("cannot open the video");
    return;
  }
  uint32_t seed = 12345;
  int64_t grabs = 0;
  for (auto _ : state) {
    seed = seed * 1664525u + 1013904223u;
    const double t = (seed >> 8) % 3590000 / 10000.0;
    if (!source.grab(t)) {
      state.SkipWithError("a grab failed");
      return;
    }
    ++grabs;
  }
  state.counters["frames_per_grab"] =
      static_cast<double>(source.detector->framesDecoded()) / static_cast<double>(grabs);
}
BENCHMARK(BM_RandomGrab)->DenseRange(0, 3)->Unit(benchmark::kMillisecond)->Iterations(200);

}  // namespace

BENCHMARK_MAIN();
