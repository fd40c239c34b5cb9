#pragma once
// A batch: every video of the options scored on worker threads, each worker
// with its own tracker, and the summary, traces and plots written.
#include <cstdio>
#include <string>
#include <vector>

#include "cli/options.h"

// Output files of one video (empty: not asked for).
struct VideoOutputs {
  std::string trace;
  std::string plot;
};

// Names the trace and plot files of each video in the folders asked for:
// the video's name without its extension, then ".csv" or ".png"; a name
// used by an earlier video gets "-2", "-3", ... appended.
std::vector<VideoOutputs> planOutputs(const Options& options);
std::vector<VideoOutputs> planOutputs(const Options& options, const std::vector<VideoTask>& tasks);

// Scores the batch and writes its outputs: the summary to out (table, JSON
// or CSV on "-"), messages and progress to err. Returns the exit status:
// kExitScored when every video was scored whole, kExitSomeFailed when one
// failed or was truncated or an output failed, kExitUsage for unusable
// output paths.
int runBatch(const Options& options, std::FILE* out, std::FILE* err);
