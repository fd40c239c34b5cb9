#pragma once
// The summary of a batch as CSV rows, JSON or a readable table.
#include <array>
#include <string>
#include <vector>

#include "cli/score_video.h"

constexpr int kSummaryColumns = 12;

// The CSV header names, in column order.
extern const std::array<const char*, kSummaryColumns> kSummaryHeader;

// The cells of a video's summary row as text, in column order. Numbers of a
// failed video, and derived values whose divisor is 0, are empty.
std::array<std::string, kSummaryColumns> summaryCells(const VideoResult& result);

// A CSV field, quoted when it holds a comma, a quote or a line break.
std::string csvField(const std::string& text);

// The header line and one summary line, each ending in '\n'.
std::string csvHeaderLine();
std::string csvSummaryLine(const VideoResult& result);

// The summary of every video as one JSON document, with the settings used.
std::string jsonSummary(const std::vector<VideoResult>& results, const ScoreOptions& options);

// A JSON string literal, quotes included.
std::string jsonString(const std::string& text);

// The summary as a table with aligned columns.
std::string summaryTable(const std::vector<VideoResult>& results);
