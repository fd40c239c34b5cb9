#pragma once
// The summary of a batch as CSV rows, JSON or a readable table.
#include <array>
#include <string>
#include <vector>

#include "cli/score_video.h"

#include "cli/video_settings.h"

// The results' columns, from file to status.
constexpr int kResultColumns = 12;
// Then the settings the video was scored with, one column per setting.
constexpr int kSummaryColumns = kResultColumns + kSettingCount;

// The CSV header names, in column order.
extern const std::array<const char*, kSummaryColumns> kSummaryHeader;

// The cells of a video's summary row as text, in column order. Numbers of a
// failed video, and derived values whose divisor is 0, are empty; so are
// x0, y0 and r of a video whose maze was to be found but was not.
std::array<std::string, kSummaryColumns> summaryCells(const VideoResult& result);

// A CSV field, quoted when it holds a comma, a quote or a line break.
std::string csvField(const std::string& text);

// The header line and one summary line, each ending in '\n'.
std::string csvHeaderLine();
std::string csvSummaryLine(const VideoResult& result);

// The summary of every video as one JSON document: the command line's
// settings, then an object per video with its results and settings.
std::string jsonSummary(const std::vector<VideoResult>& results, const ScoreOptions& options);

// A JSON string literal, quotes included.
std::string jsonString(const std::string& text);

// The summary as a table with aligned columns; with a column of the
// boundary (X0,Y0,R) when a video's maze was to be found.
std::string summaryTable(const std::vector<VideoResult>& results);
