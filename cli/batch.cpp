#include "cli/batch.h"

#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <mutex>
#include <optional>
#include <set>
#include <thread>

#include "cli/plot.h"
#include "cli/progress.h"
#include "cli/report.h"
#include "cli/safe_file.h"
#include "cli/trace.h"

namespace fs = std::filesystem;

namespace {

int workerCount(const Options& options, size_t videos) {
  int jobs = options.jobs;
  if (jobs <= 0) jobs = static_cast<int>(std::thread::hardware_concurrency());
  if (jobs <= 0) jobs = 1;
  return static_cast<int>(std::min<size_t>(static_cast<size_t>(jobs), videos > 0 ? videos : 1));
}

// Makes the folder when it is missing. False, with *error set, when it
// cannot be made or is not a folder.
bool ensureFolder(const std::string& folder, std::string* error) {
  std::error_code ec;
  fs::create_directories(folder, ec);
  if (!fs::is_directory(folder)) {
    *error = "cannot make the folder " + folder + (ec ? ": " + ec.message() : std::string());
    return false;
  }
  return true;
}

// Where the summary rows go as the videos finish: in the order of the
// videos, each row as soon as every earlier one is out.
class RowSink {
 public:
  RowSink(std::FILE* stream, SafeFile* file, size_t videos)
      : stream_(stream), file_(file), ready_(videos) {}

  void header() { emit(csvHeaderLine()); }

  void add(size_t index, std::string row) {
    std::lock_guard<std::mutex> lock(mutex_);
    ready_[index] = std::move(row);
    while (next_ < ready_.size() && ready_[next_]) {
      emit(*ready_[next_]);
      ready_[next_].reset();
      ++next_;
    }
  }

 private:
  void emit(const std::string& text) {
    if (file_ != nullptr) {
      file_->write(text);
      file_->flush();
    } else if (stream_ != nullptr) {
      std::fputs(text.c_str(), stream_);
      std::fflush(stream_);
    }
  }

  std::FILE* stream_;
  SafeFile* file_;
  std::mutex mutex_;
  std::vector<std::optional<std::string>> ready_;
  size_t next_ = 0;
};

}  // namespace

std::vector<VideoOutputs> planOutputs(const Options& options) {
  return planOutputs(options, videoTasks(options));
}

std::vector<VideoOutputs> planOutputs(const Options& options, const std::vector<VideoTask>& tasks) {
  std::vector<VideoOutputs> outputs(tasks.size());
  std::set<std::string> used;
  for (size_t i = 0; i < tasks.size(); ++i) {
    std::string stem = fs::path(tasks[i].path).stem().string();
    if (stem.empty() || stem == "." || stem == "..") stem = "video";
    std::string name = stem;
    for (int n = 2; used.count(name) != 0; ++n) name = stem + "-" + std::to_string(n);
    used.insert(name);
    if (!options.traceDir.empty()) outputs[i].trace = (fs::path(options.traceDir) / (name + ".csv")).string();
    if (!options.plotDir.empty()) outputs[i].plot = (fs::path(options.plotDir) / (name + ".png")).string();
  }
  return outputs;
}

int runBatch(const Options& options, std::FILE* out, std::FILE* err) {
  // Check every output before scoring anything.
  std::string problem;
  if (!options.traceDir.empty() && !ensureFolder(options.traceDir, &problem)) {
    std::fprintf(err, "verdaxel-score: %s\n", problem.c_str());
    return kExitUsage;
  }
  if (!options.plotDir.empty() && !ensureFolder(options.plotDir, &problem)) {
    std::fprintf(err, "verdaxel-score: %s\n", problem.c_str());
    return kExitUsage;
  }
  std::vector<VideoTask> tasks = videoTasks(options);
  const bool keepSteps = !options.traceDir.empty() || !options.plotDir.empty();
  for (VideoTask& task : tasks) {
    task.scoring.keepSteps = keepSteps;
    task.scoring.keepFrame = !options.plotDir.empty();
  }
  const std::vector<VideoOutputs> outputs = planOutputs(options, tasks);
  std::vector<std::string> outputPaths;
  const bool csvToFile = !options.csvPath.empty() && options.csvPath != "-";
  if (csvToFile) outputPaths.push_back(options.csvPath);
  for (const VideoOutputs& o : outputs) {
    if (!o.trace.empty()) outputPaths.push_back(o.trace);
    if (!o.plot.empty()) outputPaths.push_back(o.plot);
  }
  FileSet inputs;
  for (const VideoTask& task : tasks) inputs.add(task.path);
  FileSet settingsFiles;
  for (const SettingsFile& file : options.settingsFiles) settingsFiles.add(file.path);
  FileSet written;
  for (const std::string& path : outputPaths) {
    const char* input = inputs.contains(path)          ? "one of the input videos"
                        : settingsFiles.contains(path) ? "a settings file"
                                                       : nullptr;
    if (input != nullptr) {
      std::fprintf(err, "verdaxel-score: refusing to write %s: it is %s\n", path.c_str(), input);
      return kExitUsage;
    }
    if (written.contains(path)) {
      std::fprintf(err, "verdaxel-score: refusing to write %s twice\n", path.c_str());
      return kExitUsage;
    }
    written.add(path);
  }

  SafeFile csvFile;
  if (csvToFile && !csvFile.open(options.csvPath)) {
    std::fprintf(err, "verdaxel-score: %s\n", csvFile.error().c_str());
    return kExitUsage;
  }
  const bool csvToStdout = options.csvPath == "-";
  RowSink rows(csvToStdout ? out : nullptr, csvToFile ? &csvFile : nullptr, tasks.size());
  if ((csvToFile || csvToStdout) && options.csvHeader) rows.header();

  const int workers = workerCount(options, tasks.size());
  ProgressDisplay progress(err, !options.quiet && isatty(fileno(err)) != 0, workers);
  std::vector<VideoResult> results(tasks.size());
  std::atomic<size_t> nextVideo{0};
  std::atomic<bool> outputFailed{false};
  auto message = [&](const std::string& text) { progress.print("verdaxel-score: " + text); };

  auto work = [&](int slot) {
    for (size_t i = nextVideo++; i < tasks.size(); i = nextVideo++) {
      const std::string& path = tasks[i].path;
      progress.begin(slot, path);
      VideoResult result = scoreVideo(path, tasks[i].scoring, [&](double recordTime, double runLength) {
        progress.update(slot, recordTime, runLength);
      });
      progress.end(slot);
      if (!result.whole()) message(path + ": " + result.status());
      if (result.ok() && result.unreadSteps > 0) {
        message(path + ": " + std::to_string(result.unreadSteps) +
                " steps could not be read and were not scored");
      }
      std::string error;
      if (result.ok() && !outputs[i].trace.empty() && !writeTrace(outputs[i].trace, result, &error)) {
        message(error);
        outputFailed = true;
      }
      if (result.ok() && !outputs[i].plot.empty() &&
          !writePlot(outputs[i].plot, result, &error)) {
        message(error);
        outputFailed = true;
      }
      // The per-step data and the frame are not needed any more.
      std::vector<StepRecord>().swap(result.steps);
      std::vector<uint8_t>().swap(result.frame);
      rows.add(i, csvSummaryLine(result));
      results[i] = std::move(result);
    }
  };
  std::vector<std::thread> threads;
  for (int slot = 1; slot < workers; ++slot) threads.emplace_back(work, slot);
  work(0);
  for (std::thread& t : threads) t.join();
  progress.close();
  if (!options.plotDir.empty()) releasePlotCaches();

  if (csvToFile && !csvFile.commit()) {
    std::fprintf(err, "verdaxel-score: %s\n", csvFile.error().c_str());
    outputFailed = true;
  }
  if (options.json) {
    std::fputs(jsonSummary(results, options.scoring).c_str(), out);
  } else if (options.csvPath.empty()) {
    std::fputs(summaryTable(results).c_str(), out);
  }
  std::fflush(out);

  bool allScored = true;
  for (const VideoResult& r : results) allScored = allScored && r.whole();
  return allScored && !outputFailed ? kExitScored : kExitSomeFailed;
}
