#include "cli/report.h"

#include <algorithm>
#include <cstdio>

const std::array<const char*, kSummaryColumns> kSummaryHeader = {
    "file",           "closed_entries",       "open_entries",
    "open_arm_time",  "total_time",           "record_time",
    "open_time_percent", "open_entries_percent", "center_time",
    "closed_arm_time", "first_open_entry_latency", "status",
    // The settings, as kSettingNames orders them.
    "x0", "y0", "r", "auto_maze", "exclude", "pixel_threshold", "pixel_count_threshold",
    "ratio_threshold", "background_at", "remove_background", "start", "animal"};

namespace {

constexpr size_t kStatusColumn = kResultColumns - 1;

std::string oneDecimal(double value) {
  char text[64];
  std::snprintf(text, sizeof text, "%.1f", value);
  return text;
}

// A number as short as it can be written without losing digits.
std::string plainNumber(double value) {
  char text[64];
  std::snprintf(text, sizeof text, "%.10g", value);
  return text;
}

// 100 * part / whole with one decimal; empty when whole is 0.
std::string percent(double part, double whole) {
  return whole > 0 ? oneDecimal(100.0 * part / whole) : std::string();
}

// Result cells that are numbers (the rest are text).
bool isNumberColumn(size_t column) { return column != 0 && column != kStatusColumn; }

// A cell as a JSON value: numbers, flags and boxes as such, "none" and empty
// cells as null, the rest as strings.
std::string jsonValue(size_t column, const std::string& cell) {
  if (column < kResultColumns && !isNumberColumn(column)) return jsonString(cell);
  if (cell.empty() || cell == "none") return "null";
  if (cell == "yes" || cell == "no") return cell == "yes" ? "true" : "false";
  if (cell == "bright" || cell == "dark") return jsonString(cell);
  if (cell.find(',') != std::string::npos) {  // the exclude box
    std::string list = "[";
    for (char c : cell) list += c == ',' ? std::string(", ") : std::string(1, c);
    return list + "]";
  }
  return cell;
}

}  // namespace

std::array<std::string, kSummaryColumns> summaryCells(const VideoResult& result) {
  std::array<std::string, kSummaryColumns> cells;
  cells[0] = result.file;
  cells[kStatusColumn] = result.status();
  const auto settings = settingValues(result.scoredWith);
  std::copy(settings.begin(), settings.end(), cells.begin() + kResultColumns);
  if (result.scoredWith.autoMaze && !result.mazeFound) {
    for (int k : {kSettingX0, kSettingY0, kSettingR}) cells[kResultColumns + k].clear();
  }
  if (!result.ok()) return cells;
  const RunScores& s = result.scores;
  cells[1] = std::to_string(s.closedEntries);
  cells[2] = std::to_string(s.openEntries);
  cells[3] = oneDecimal(s.openArmTime);
  cells[4] = oneDecimal(s.totalTime);
  cells[5] = oneDecimal(s.elapsed);
  cells[6] = percent(s.openArmTime, s.totalTime);
  cells[7] = percent(s.openEntries, s.openEntries + s.closedEntries);
  cells[8] = oneDecimal(s.centerTime);
  cells[9] = oneDecimal(s.closedArmTime);
  if (s.firstOpenEntryTime >= 0) cells[10] = oneDecimal(s.firstOpenEntryTime);
  return cells;
}

std::string csvField(const std::string& text) {
  if (text.find_first_of(",\"\r\n") == std::string::npos) return text;
  std::string out = "\"";
  for (char c : text) {
    if (c == '"') out += '"';
    out += c;
  }
  return out + "\"";
}

std::string csvHeaderLine() {
  std::string line;
  for (const char* name : kSummaryHeader) {
    if (!line.empty()) line += ',';
    line += name;
  }
  return line + "\n";
}

std::string csvSummaryLine(const VideoResult& result) {
  const auto cells = summaryCells(result);
  std::string line;
  for (size_t i = 0; i < cells.size(); ++i) {
    if (i > 0) line += ',';
    line += csvField(cells[i]);
  }
  return line + "\n";
}

std::string jsonString(const std::string& text) {
  std::string out = "\"";
  for (char c : text) {
    const unsigned char u = static_cast<unsigned char>(c);
    switch (c) {
      case '"': out += "\\\""; break;
      case '\\': out += "\\\\"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      default:
        if (u < 0x20) {
          char escape[8];
          std::snprintf(escape, sizeof escape, "\\u%04x", u);
          out += escape;
        } else {
          out += c;
        }
    }
  }
  return out + "\"";
}

std::string jsonSummary(const std::vector<VideoResult>& results, const ScoreOptions& options) {
  const AnalysisSettings& s = options.settings;
  const ExcludeBox& box = options.excludeBox;
  char settings[768];
  std::snprintf(settings, sizeof settings,
                "  \"settings\": {\"x0\": %.0f, \"y0\": %.0f, \"r\": %.0f, "
                "\"exclude\": [%.0f, %.0f, %.0f, %.0f], \"exclude_box\": %s, "
                "\"pixel_threshold\": %.0f, \"pixel_count_threshold\": %.0f, "
                "\"ratio_threshold\": %.0f, \"background_at\": %s, \"remove_background\": %s, "
                "\"start\": %s, \"animal\": \"%s\", \"auto_maze\": %s},\n",
                s.boundaryX0, s.boundaryY0, s.boundaryR, box.x0, box.y0, box.w, box.h,
                s.excludeBox ? "true" : "false", s.pixelThreshold, s.pixelCountThreshold,
                s.ratioThreshold,
                options.backgroundAt ? plainNumber(*options.backgroundAt).c_str() : "null",
                s.removeBackground ? "true" : "false", plainNumber(options.start).c_str(),
                s.invertLevels ? "dark" : "bright", options.autoMaze ? "true" : "false");
  std::string out = "{\n";
  out += settings;
  out += "  \"videos\": [";
  for (size_t v = 0; v < results.size(); ++v) {
    const auto cells = summaryCells(results[v]);
    out += v == 0 ? "\n    {" : ",\n    {";
    for (size_t i = 0; i < cells.size(); ++i) {
      if (i > 0) out += ", ";
      out += jsonString(kSummaryHeader[i]);
      out += ": ";
      out += jsonValue(i, cells[i]);
    }
    out += "}";
  }
  out += results.empty() ? "]\n}\n" : "\n  ]\n}\n";
  return out;
}

std::string summaryTable(const std::vector<VideoResult>& results) {
  static const char* const kHeadings[kResultColumns] = {
      "File",          "Closed entries", "Open entries",   "Open arm (s)",
      "Total (s)",     "Record (s)",     "Open time %",    "Open entries %",
      "Centre (s)",    "Closed arm (s)", "First open (s)", "Status"};
  bool boundaryColumn = false;
  for (const VideoResult& r : results) boundaryColumn = boundaryColumn || r.scoredWith.autoMaze;
  // Columns shown: the results, with the boundary before the status.
  std::vector<std::string> heading(std::begin(kHeadings), std::end(kHeadings));
  if (boundaryColumn) heading.insert(heading.begin() + kStatusColumn, "Maze X0,Y0,R");
  const size_t statusAt = heading.size() - 1;
  std::vector<std::vector<std::string>> rows;
  rows.reserve(results.size() + 1);
  rows.push_back(heading);
  for (const VideoResult& r : results) {
    const auto cells = summaryCells(r);
    std::vector<std::string> row(cells.begin(), cells.begin() + kResultColumns);
    for (size_t i = 1; i < kStatusColumn; ++i) {
      if (row[i].empty()) row[i] = "-";
    }
    if (boundaryColumn) {
      const std::string* b = &cells[kResultColumns];
      const std::string boundary =
          b[kSettingX0].empty() ? "-" : b[kSettingX0] + "," + b[kSettingY0] + "," + b[kSettingR];
      row.insert(row.begin() + kStatusColumn, boundary);
    }
    rows.push_back(std::move(row));
  }
  std::vector<size_t> widths(heading.size(), 0);
  for (const auto& row : rows) {
    for (size_t i = 0; i < row.size(); ++i) widths[i] = std::max(widths[i], row[i].size());
  }
  std::string out;
  for (const auto& row : rows) {
    std::string line;
    for (size_t i = 0; i < row.size(); ++i) {
      const size_t pad = widths[i] - row[i].size();
      const bool text = i == 0 || i == statusAt;
      if (i > 0) line += "  ";
      // Text columns to the left, numbers to the right.
      if (!text) line.append(pad, ' ');
      line += row[i];
      if (text && i + 1 < row.size()) line.append(pad, ' ');
    }
    out += line + "\n";
  }
  return out;
}
