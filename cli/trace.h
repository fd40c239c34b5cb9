#pragma once
// The trace of a video: a CSV row per recording step.
#include <string>

#include "cli/score_video.h"

// Short names of the regions by index, as traces and plots show them.
extern const char* const kRegionNames[5];
const char* regionName(int region);

// The trace as CSV text: a header row, then a row per step of result.steps.
std::string traceCsv(const VideoResult& result);

// Writes traceCsv to path through a temporary file. False with *error set
// on failure.
bool writeTrace(const std::string& path, const VideoResult& result, std::string* error);
