// The headless scorer against plain decoding. Each iteration decodes the
// video with `ffmpeg -v error -i FILE -f null -` and then scores it (background
// at 1 s, run from 0), both timed in the same iteration; the counter "ratio"
// is scoring time / ffmpeg time. Videos: the bundled sample (80 s FFV1 at
// 15 fps) and 6-minute 640x480 30 fps MJPEG and H.264 sessions, written at
// the first run into the build folder. BM_Threads scores four videos with
// -j 2 and with -j 1 and reports their ratio.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "cli/batch.h"
#include "cli/score_video.h"
#include "tools/maze_scene.h"
#include "video/video_thread.h"

namespace fs = std::filesystem;

namespace {

using Clock = std::chrono::steady_clock;

double secondsSince(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

// Writes the video at the first run; later runs reuse it.
bool writeSession(const std::string& path, FixtureCodec codec, int fps, double seconds) {
  if (fs::exists(path)) return true;
  fs::create_directories(fs::path(path).parent_path());
  std::string error;
  if (!writeSampleSession(path, codec, fps, seconds, &error)) {
    std::fprintf(stderr, "cannot write %s: %s\n", path.c_str(), error.c_str());
    return false;
  }
  return true;
}

struct BenchVideo {
  const char* name;
  FixtureCodec codec;
  int fps;
  double seconds;
};

const BenchVideo kVideos[] = {
    {"sample-ffv1.avi", FixtureCodec::kFfv1Avi, kSampleFramesPerSecond, kSampleSeconds},
    {"session-mjpeg.avi", FixtureCodec::kMjpegAvi, 30, 360.0},
    {"session-h264.mp4", FixtureCodec::kH264Mp4, 30, 360.0},
};

std::string videoPath(const BenchVideo& v) {
  return (fs::path(VERDAXEL_BENCH_VIDEOS) / v.name).string();
}

ScoreOptions benchOptions() {
  ScoreOptions options;
  options.backgroundAt = 1.0;
  return options;
}

void BM_ScoreVsFfmpeg(benchmark::State& state) {
  const BenchVideo& video = kVideos[state.range(0)];
  const std::string path = videoPath(video);
  state.SetLabel(video.name);
  if (!writeSession(path, video.codec, video.fps, video.seconds)) {
    state.SkipWithError("cannot write the video");
    return;
  }
  const std::string command = "ffmpeg -v error -i '" + path + "' -f null -";
  double ffmpegTotal = 0;
  double scoreTotal = 0;
  for (auto _ : state) {
    const Clock::time_point decodeStart = Clock::now();
    if (std::system(command.c_str()) != 0) {
      state.SkipWithError("ffmpeg failed");
      return;
    }
    const double ffmpegSeconds = secondsSince(decodeStart);
    const Clock::time_point scoreStart = Clock::now();
    const VideoResult result = scoreVideo(path, benchOptions());
    const double scoreSeconds = secondsSince(scoreStart);
    if (!result.ok()) {
      state.SkipWithError(result.error.c_str());
      return;
    }
    state.SetIterationTime(scoreSeconds);
    ffmpegTotal += ffmpegSeconds;
    scoreTotal += scoreSeconds;
    state.counters["steps"] = result.scores.elapsed / kPlaybackStep;
  }
  state.counters["ffmpeg_s"] = ffmpegTotal / static_cast<double>(state.iterations());
  state.counters["ratio"] = scoreTotal / ffmpegTotal;
}
BENCHMARK(BM_ScoreVsFfmpeg)
    ->DenseRange(0, 2)
    ->Iterations(2)
    ->UseManualTime()
    ->Unit(benchmark::kSecond);

// Four videos: two samples and two 80-second MJPEG sessions.
void BM_Threads(benchmark::State& state) {
  const BenchVideo mjpeg80 = {"short-mjpeg.avi", FixtureCodec::kMjpegAvi, 30, kSampleSeconds};
  const std::string sample = videoPath(kVideos[0]);
  const std::string shortSession = videoPath(mjpeg80);
  if (!writeSession(sample, kVideos[0].codec, kVideos[0].fps, kVideos[0].seconds) ||
      !writeSession(shortSession, mjpeg80.codec, mjpeg80.fps, mjpeg80.seconds)) {
    state.SkipWithError("cannot write the videos");
    return;
  }
  Options options;
  options.scoring = benchOptions();
  options.quiet = true;
  options.videos = {sample, shortSession, sample, shortSession};
  std::FILE* sink = std::fopen("/dev/null", "w");
  double oneTotal = 0;
  double twoTotal = 0;
  for (auto _ : state) {
    options.jobs = 1;
    const Clock::time_point oneStart = Clock::now();
    const int oneStatus = runBatch(options, sink, sink);
    const double oneSeconds = secondsSince(oneStart);
    options.jobs = 2;
    const Clock::time_point twoStart = Clock::now();
    const int twoStatus = runBatch(options, sink, sink);
    const double twoSeconds = secondsSince(twoStart);
    if (oneStatus != kExitScored || twoStatus != kExitScored) {
      state.SkipWithError("a video was not scored");
      break;
    }
    state.SetIterationTime(twoSeconds);
    oneTotal += oneSeconds;
    twoTotal += twoSeconds;
  }
  std::fclose(sink);
  if (twoTotal > 0) {
    state.counters["j1_s"] = oneTotal / static_cast<double>(state.iterations());
    state.counters["ratio_j2_to_j1"] = twoTotal / oneTotal;
  }
}
BENCHMARK(BM_Threads)->Iterations(2)->UseManualTime()->Unit(benchmark::kSecond);

}  // namespace

int main(int argc, char** argv) {
  prepareVideoThread();
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  releaseVideoThread();
  return 0;
}
