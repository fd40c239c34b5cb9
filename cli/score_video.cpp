#include "cli/score_video.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <system_error>

#include "analysis/frame_tracker.h"
#include "analysis/maze_detect.h"
#include "analysis/pipeline.h"
#include "analysis/truncate.h"
#include "video/result_codes.h"

namespace {

// A short reason for a failed open, from the detector's result code.
std::string openFailure(int32_t code) {
  switch (code) {
    case E_FILE_NOT_FOUND: return "file not found";
    case VFW_E_INVALID_FILE_FORMAT: return "not a video";
    case VX_E_NOT_VIDEO: return "no video stream";
    case VX_E_DECODE: return "cannot decode the video";
    case E_OUTOFMEMORY: return "out of memory";
    case E_INVALIDARG: return "unsupported frame size";
    default: break;
  }
  char text[64];
  std::snprintf(text, sizeof text, "cannot open the video (code %d)", code);
  return text;
}

// Where the file at path cannot be a video at all; empty when it may be one.
std::string fileProblem(const std::string& path) {
  std::error_code ec;
  const std::filesystem::file_status st = std::filesystem::status(path, ec);
  if (!std::filesystem::exists(st)) return "file not found";
  if (std::filesystem::is_directory(st)) return "is a folder";
  return std::string();
}

// Mean position of the active pixels of the whole frame.
void measureActivePixels(const FrameTracker& tracker, StepRecord* step) {
  const uint8_t* mask = tracker.activeMask.get();
  int64_t count = 0;
  int64_t sumX = 0;
  int64_t sumY = 0;
  for (int32_t y = 0; y < tracker.height; ++y) {
    const uint8_t* row = mask + static_cast<int64_t>(y) * tracker.width;
    int64_t rowCount = 0;
    for (int32_t x = 0; x < tracker.width; ++x) {
      rowCount += row[x];
      sumX += row[x] != 0 ? x : 0;
    }
    count += rowCount;
    sumY += rowCount * y;
  }
  step->activePixels = static_cast<int32_t>(count);
  if (count > 0) {
    step->centroidX = static_cast<double>(sumX) / static_cast<double>(count);
    step->centroidY = static_cast<double>(sumY) / static_cast<double>(count);
  }
}

StepRecord recordStep(const FrameTracker& tracker, double position, bool analysed,
                      const RunScores& scores) {
  StepRecord step;
  step.position = position;
  step.analysed = analysed;
  step.region = tracker.currentRegion;
  step.entered = analysed && tracker.entered;
  std::copy(tracker.regionRatio, tracker.regionRatio + kRegionCount, step.ratio);
  step.pixelCount = tracker.activeTotal;
  if (analysed) measureActivePixels(tracker, &step);
  step.scores = scores;
  return step;
}

// Record time the run reaches at most: up to the time limit, or until the
// position passes the end of the stream.
double expectedRunLength(double streamLength, double start) {
  const double toEnd = streamLength - start + kPlaybackStep;
  return std::max(0.0, std::min(toEnd, kRecordTimeLimit + kPlaybackStep));
}

// Where the decodable frames end, once a grab has reached the last of them.
struct FramesEnd {
  bool known = false;
  double end = 0;  // the last frame's presentation time plus one frame's duration
};

// After a successful grab: notes where the frames end when the grab reached
// the last frame. A detector that cannot tell leaves it unknown.
void noteFramesEnd(const FrameTracker& tracker, FramesEnd* frames) {
  if (frames->known) return;
  double shown = 0;
  bool last = false;
  if (tracker.mediaDet->getGrabbedFrame(&shown, &last) < 0 || !last) return;
  const double frameDuration = tracker.frameRate > 0 ? 1.0 / tracker.frameRate : 0.0;
  frames->known = true;
  // A damaged file can time its last frame before the stream's start; the
  // frames then end where they begin.
  frames->end = std::max(shown, 0.0) + std::min(frameDuration, kTruncationMargin);
}

bool truncated(const FramesEnd& frames, double streamLength) {
  return frames.known && streamLength - frames.end > kTruncationMargin;
}

std::string truncationText(double framesEnd, double streamLength) {
  char text[96];
  std::snprintf(text, sizeof text, "truncated: frames end at %.1f s of %.1f s", framesEnd,
                streamLength);
  return text;
}

}  // namespace

std::string VideoResult::status() const {
  if (!ok()) return error;
  if (framesEnd >= 0) return truncationText(framesEnd, streamLength);
  return "ok";
}

VideoResult scoreVideo(const std::string& path, const ScoreOptions& options,
                       const ProgressFn& progress) {
  VideoResult result;
  result.file = path;
  result.scoredWith = options;
  result.error = fileProblem(path);
  if (!result.ok()) return result;

  FrameTracker tracker;
  tracker.failureLog = nullptr;  // failures become the video's status instead
  AnalysisSettings& settings = result.scoredWith.settings;

  // As Open File does: position 0, open, process the first frame.
  double position = 0;
  tracker.openVideo(path.c_str(), options.excludeBox);
  if (tracker.mediaDet == nullptr || tracker.hr < 0) {
    result.error = openFailure(tracker.hr);
    return result;
  }
  result.width = tracker.width;
  result.height = tracker.height;
  result.streamLength = tracker.streamLength;
  if (!options.autoMaze && (truncateValue(settings.boundaryX0) > tracker.width ||
                            truncateValue(settings.boundaryY0) > tracker.height)) {
    char text[96];
    std::snprintf(text, sizeof text, "boundary centre outside the %dx%d frame", tracker.width,
                  tracker.height);
    result.error = text;
    return result;
  }
  FramesEnd frames;
  if (!processFrame(tracker, settings, position)) {
    result.error = "cannot read the first frame";
    return result;
  }
  noteFramesEnd(tracker, &frames);
  // Times past the end would quietly score nothing, or save the last frame
  // as background: refused instead.
  if (!(tracker.streamLength > 0)) {
    result.error = "the video states no length (a damaged or truncated file?)";
    return result;
  }
  if (options.backgroundAt && !(tracker.streamLength > *options.backgroundAt)) {
    result.error = "background time past the end of the video";
    return result;
  }
  if (!(tracker.streamLength > options.start)) {
    result.error = "start past the end of the video";
    return result;
  }

  // Move to the background time and save that frame's gray levels.
  if (options.backgroundAt) {
    position = *options.backgroundAt;
    if (!processFrame(tracker, settings, position)) {
      result.error = "cannot read the background frame";
      return result;
    }
    noteFramesEnd(tracker, &frames);
    if (truncated(frames, tracker.streamLength) && !(frames.end > position)) {
      result.error = "background time past the end of the frames (" +
                     truncationText(frames.end, tracker.streamLength) + ")";
      return result;
    }
    saveBackground(tracker);
  }

  // The boundary from the frame just read: the background, else the first.
  if (options.autoMaze) {
    const MazeDetection maze = detectMaze(tracker.rgbBuf.get(), tracker.width, tracker.height);
    if (!maze.found) {
      result.error = "no maze found: " + maze.reason;
      return result;
    }
    settings.boundaryX0 = maze.geometry.x0;
    settings.boundaryY0 = maze.geometry.y0;
    settings.boundaryR = maze.geometry.r;
    result.mazeFound = true;
  }
  if (options.keepFrame) {
    result.frame.assign(tracker.rgbBuf.get(), tracker.rgbBuf.get() + tracker.byteCount);
  }

  // The run ends at the first position not before the end of the stream,
  // or of the frames when they end early.
  double runEnd = tracker.streamLength;
  const double start = options.start;
  if (truncated(frames, tracker.streamLength)) {
    runEnd = frames.end;
    result.framesEnd = frames.end;
    if (!(runEnd > start)) {
      result.error = "start past the end of the frames (" +
                     truncationText(frames.end, tracker.streamLength) + ")";
      return result;
    }
  }

  // Record pressed at the start position. Moving there would process its
  // frame, but the run resets the region state and every step analyses its
  // own frame, so nothing of that frame reaches the scores: it is skipped.
  position = start;
  if (options.keepSteps) {
    result.steps.reserve(static_cast<size_t>(expectedRunLength(runEnd, start) / kPlaybackStep) + 2);
  }
  RecordingRun run(tracker, settings.ratioThreshold);
  RunScores scores;
  bool pastFrames = false;  // a step began after the end of the frames
  if (runEnd > position) {
    while (run.mayBeginStep()) {
      const double from = position;
      scores = run.scores();
      run.beginStep(position, kPlaybackStep);
      const bool analysed = processFrame(tracker, settings, position);
      if (analysed && !frames.known) {
        noteFramesEnd(tracker, &frames);
        if (truncated(frames, tracker.streamLength)) {
          runEnd = frames.end;
          result.framesEnd = frames.end;
          // The step before was already the last one of a run that ends there.
          pastFrames = !(runEnd > from);
          if (pastFrames) break;
        }
      }
      run.scoreStep(analysed, kPlaybackStep);
      if (!analysed) ++result.unreadSteps;
      if (options.keepSteps) {
        result.steps.push_back(recordStep(tracker, position, analysed, run.scores()));
      }
      if (progress) progress(run.scores().elapsed, expectedRunLength(runEnd, start));
      if (!(runEnd > position)) break;
    }
  }
  if (!pastFrames) scores = run.scores();
  if (pastFrames && scores.elapsed == 0) {
    result.error = "start past the end of the frames (" +
                   truncationText(result.framesEnd, tracker.streamLength) + ")";
    return result;
  }
  result.scores = scores;
  return result;
}
