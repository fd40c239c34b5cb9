// The per-frame analysis (conversion of the grabbed frame, gray level with
// background removal and exclusion, threshold, region count) beside a memcpy
// of the same grabbed frame, measured in the same run. After the usual table
// it prints each size's analysis time as a multiple of the memcpy time, from
// the fastest repetition of each (run with --benchmark_repetitions=N).
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "analysis/frame_tracker.h"
#include "analysis/pipeline.h"

namespace {

// A tracker holding one grabbed frame of noise, a background and the default
// exclude box, as after an open and a saved background.
std::unique_ptr<FrameTracker> trackerWithFrame(int32_t width, int32_t height) {
  auto tracker = std::make_unique<FrameTracker>();
  tracker->width = width;
  tracker->height = height;
  if (!tracker->allocateBuffers()) return nullptr;
  tracker->frameBufferSize = 40 + tracker->byteCount;
  tracker->frameBuffer.reset(new uint8_t[tracker->frameBufferSize]);
  tracker->frameBits = tracker->frameBuffer.get() + 40;
  std::mt19937 random(7);
  for (int32_t i = 0; i < tracker->byteCount; ++i) {
    tracker->frameBits[i] = static_cast<uint8_t>(random());
  }
  for (int32_t i = 0; i < tracker->pixelCount; ++i) {
    tracker->backgroundBuf[i] = static_cast<uint8_t>(random() % 128);
  }
  tracker->buildExclusionMask(ExcludeBox{});
  return tracker;
}

void BM_Analysis(benchmark::State& state) {
  auto tracker = trackerWithFrame(int32_t(state.range(0)), int32_t(state.range(1)));
  if (tracker == nullptr) {
    state.SkipWithError("no buffers for this size");
    return;
  }
  const AnalysisSettings settings;  // the controls' defaults: background and box on
  for (auto _ : state) {
    benchmark::DoNotOptimize(analyseFrame(*tracker, settings));
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * tracker->byteCount);
}

void BM_Memcpy(benchmark::State& state) {
  const size_t bytes = size_t(3) * size_t(state.range(0)) * size_t(state.range(1));
  std::vector<uint8_t> source(bytes, 1);
  std::vector<uint8_t> target(bytes, 0);
  for (auto _ : state) {
    std::memcpy(target.data(), source.data(), bytes);
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(bytes));
}

BENCHMARK(BM_Memcpy)->Args({640, 480})->Args({1920, 1080})->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Analysis)->Args({640, 480})->Args({1920, 1080})->Unit(benchmark::kMicrosecond);

// The console table, then the ratio of analysis to memcpy per frame size.
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& run : runs) {
      if (run.run_type != Run::RT_Iteration || run.error_occurred) continue;
      double& fastest = fastest_[run.run_name.args][run.run_name.function_name];
      const double t = run.GetAdjustedRealTime();
      fastest = fastest == 0 ? t : std::min(fastest, t);
    }
  }

  void Finalize() override {
    ConsoleReporter::Finalize();
    for (const auto& [size, times] : fastest_) {
      const auto analysis = times.find("BM_Analysis");
      const auto copy = times.find("BM_Memcpy");
      if (analysis == times.end() || copy == times.end() || copy->second <= 0) continue;
      std::printf("analysis %s: %.1f us, memcpy %.1f us, ratio %.2fx memcpy\n", size.c_str(),
                  analysis->second, copy->second, analysis->second / copy->second);
    }
  }

 private:
  std::map<std::string, std::map<std::string, double>> fastest_;
};

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  return 0;
}
