#pragma once
// Scoring one video without a window: open it as the desktop program's Open
// File does, optionally save a background, move to the start position and run
// the recording run the Record button would run, with no events in between.
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "analysis/recording_run.h"
#include "analysis/settings.h"


struct ScoreOptions {
  // Boundary, thresholds, "Remove Background" and "Exclude Box" as the
  // desktop program's controls would hold them.
  AnalysisSettings settings;
  // The exclude box ("X0", "Y0", "W", "H").
  ExcludeBox excludeBox;
  // Stream time whose frame is saved as background before the run; none:
  // the background stays all zero, as right after opening a file.
  std::optional<double> backgroundAt;
  // Position when the run starts (Record pressed there), seconds.
  double start = 0;
  // Find X0, Y0 and R in the background frame (the first frame without one)
  // instead of taking them from settings.
  bool autoMaze = false;
  // Keep a StepRecord per recording step (for traces and plots). Adds a
  // pass over the active mask per step for the centroid.
  bool keepSteps = false;
  // Keep a copy of the background frame, or the first frame without one
  // (for plots).
  bool keepFrame = false;
};

// What the tracker held after one recording step.
struct StepRecord {
  double position = 0;       // stream time of the step's frame, seconds
  bool analysed = false;     // the frame was read and analysed
  int region = 0;            // current region after the step
  bool entered = false;      // the step's analysis raised an entry
  double ratio[5] = {};      // percent of active pixels per region, by region index
  int32_t pixelCount = 0;    // active pixels inside the five regions
  int32_t activePixels = 0;  // active pixels anywhere in the frame
  double centroidX = 0;      // mean x of the active pixels; valid when activePixels > 0
  double centroidY = 0;      // mean y of the active pixels
  RunScores scores;          // the run's counts and times after the step
};

// Called after each recording step with the record time so far and the
// record time the run will reach at most.
using ProgressFn = std::function<void(double recordTime, double runLength)>;

// Frames that end this much earlier than the stream's length make the
// video truncated, seconds.
constexpr double kTruncationMargin = 1.0;

struct VideoResult {
  std::string file;            // the path as given
  std::string error;           // empty when the video was scored; else a short reason
  ScoreOptions scoredWith;     // the options used; with autoMaze, the boundary found
  bool mazeFound = false;      // autoMaze: the boundary in scoredWith was found in the video
  RunScores scores;            // the run's outputs; meaningful when error is empty
  int unreadSteps = 0;         // steps whose frame could not be read (counted as nothing)
  // Where the decodable frames end, seconds, when that is more than
  // kTruncationMargin before streamLength: the run stopped there. -1: whole.
  double framesEnd = -1;
  int32_t width = 0;           // frame size of the video
  int32_t height = 0;
  double streamLength = 0;     // seconds
  std::vector<uint8_t> frame;  // keepFrame: top-down RGB, width x height
  std::vector<StepRecord> steps;  // keepSteps: one per recording step

  // Scored, whole or truncated.
  bool ok() const { return error.empty(); }
  // Scored to the stream's end (or the time limit).
  bool whole() const { return ok() && framesEnd < 0; }
  // "ok", "truncated: frames end at T s of L s", or the error.
  std::string status() const;
};

// Scores the video at path (UTF-8; relative to the working folder or
// absolute). Never throws for a bad file: the reason is in error. A video
// whose decodable frames end more than kTruncationMargin before the stream's
// length is scored as if the stream ended there, and framesEnd says where.
VideoResult scoreVideo(const std::string& path, const ScoreOptions& options,
                       const ProgressFn& progress = ProgressFn());
