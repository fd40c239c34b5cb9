#include "cli/settings_file.h"

#include <cctype>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <system_error>

#include "cli/video_settings.h"

namespace fs = std::filesystem;

namespace {

// Settings files larger than this are refused unread: they are tables of a
// few thousand rows at most.
constexpr std::uintmax_t kMaxFileBytes = 16 * 1024 * 1024;

bool isBlank(char c) { return c == ' ' || c == '\t'; }

std::string trimmed(const std::string& text) {
  size_t begin = 0;
  size_t end = text.size();
  while (begin < end && isBlank(text[begin])) ++begin;
  while (end > begin && isBlank(text[end - 1])) --end;
  return text.substr(begin, end - begin);
}

std::string lowered(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

bool blankRecord(const CsvRecord& record) {
  for (const std::string& cell : record.cells) {
    if (!cell.empty()) return false;
  }
  return true;
}

// What a header cell names.
struct Column {
  std::string name;  // as written, for messages
  bool file = false;
  int setting = -1;  // index into kSettingNames; -1 with file false: a column without a name
};

std::string knownColumns() {
  std::string list = "file";
  for (const char* name : kSettingNames) list += std::string(", ") + name;
  return list;
}

}  // namespace

bool parseCsv(const std::string& text, std::vector<CsvRecord>* records, std::string* error) {
  const size_t n = text.size();
  size_t i = text.compare(0, 3, "\xEF\xBB\xBF") == 0 ? 3 : 0;
  CsvRecord record;
  record.row = 1;
  while (true) {
    std::string cell;
    size_t j = i;
    while (j < n && isBlank(text[j])) ++j;
    if (j < n && text[j] == '"') {
      for (++j;; ++j) {
        if (j >= n) {
          *error = "row " + std::to_string(record.row) + ": a quoted cell is not closed";
          return false;
        }
        if (text[j] == '"') {
          if (j + 1 < n && text[j + 1] == '"') {
            cell += '"';
            ++j;
            continue;
          }
          ++j;
          break;
        }
        cell += text[j];
      }
      while (j < n && isBlank(text[j])) ++j;
      if (j < n && text[j] != ',' && text[j] != '\n' && text[j] != '\r') {
        *error = "row " + std::to_string(record.row) + ", cell " +
                 std::to_string(record.cells.size() + 1) + ": text after the closing quote";
        return false;
      }
    } else {
      j = i;
      while (j < n && text[j] != ',' && text[j] != '\n' && text[j] != '\r') ++j;
      cell = trimmed(text.substr(i, j - i));
    }
    record.cells.push_back(std::move(cell));
    if (j >= n) {
      records->push_back(std::move(record));
      return true;
    }
    if (text[j] == ',') {
      i = j + 1;
      continue;
    }
    // A line end: CRLF, LF or a lone CR.
    if (text[j] == '\r' && j + 1 < n && text[j + 1] == '\n') ++j;
    i = j + 1;
    const int next = record.row + 1;
    records->push_back(std::move(record));
    if (i >= n) return true;  // the last line's end, not an empty row after it
    record = CsvRecord();
    record.row = next;
  }
}

bool readSettingsFile(SettingsFile* file, std::string* error) {
  const std::string& path = file->path;
  auto failAt = [&](int row, const std::string& column, const std::string& what) {
    *error = path + ", row " + std::to_string(row) + ", column " + column + ": " + what;
    return false;
  };
  auto fail = [&](const std::string& what) {
    *error = path + ": " + what;
    return false;
  };

  std::error_code ec;
  const fs::file_status status = fs::status(path, ec);
  if (!fs::exists(status)) return fail("no such settings file");
  if (fs::is_directory(status)) return fail("is a folder, not a settings file");
  const std::uintmax_t size = fs::file_size(path, ec);
  if (!ec && size > kMaxFileBytes) return fail("too large for a settings file");
  std::ifstream in(path, std::ios::binary);
  std::ostringstream contents;
  if (!in || !(contents << in.rdbuf())) {
    if (!ec && size == 0) return fail("empty; expected a header row naming the columns");
    return fail("cannot be read");
  }
  const std::string text = contents.str();
  if (text.compare(0, 2, "\xFF\xFE") == 0 || text.compare(0, 2, "\xFE\xFF") == 0) {
    return fail("is UTF-16 text; save it as CSV in UTF-8");
  }
  if (text.find('\0') != std::string::npos) return fail("holds NUL bytes; not a CSV text file");

  std::vector<CsvRecord> records;
  std::string csvError;
  if (!parseCsv(text, &records, &csvError)) return fail(csvError);

  size_t at = 0;
  while (at < records.size() && blankRecord(records[at])) ++at;
  if (at == records.size()) return fail("empty; expected a header row naming the columns");
  const CsvRecord& header = records[at++];
  std::vector<Column> columns;
  bool haveFile = false;
  for (const std::string& cell : header.cells) {
    Column column;
    column.name = cell;
    const std::string name = lowered(trimmed(cell));
    if (name == "file") {
      column.file = true;
    } else if (!name.empty()) {
      column.setting = findSetting(name);
      if (column.setting < 0) {
        std::string hint = "unknown column; the columns are " + knownColumns();
        if (name.find(';') != std::string::npos) hint += " (separated by commas, not semicolons)";
        return failAt(header.row, inQuotes(cell), hint);
      }
    }
    for (const Column& earlier : columns) {
      if (!name.empty() && lowered(trimmed(earlier.name)) == name) {
        return failAt(header.row, cell, "named twice");
      }
    }
    haveFile = haveFile || column.file;
    columns.push_back(column);
  }
  if (!haveFile) {
    return fail("row " + std::to_string(header.row) +
                ": no 'file' column; the header names the video column 'file'");
  }

  const fs::path folder = fs::path(path).parent_path();
  for (; at < records.size(); ++at) {
    const CsvRecord& record = records[at];
    if (blankRecord(record)) continue;
    for (size_t c = columns.size(); c < record.cells.size(); ++c) {
      if (!record.cells[c].empty()) {
        return fail("row " + std::to_string(record.row) + ": " +
                    std::to_string(record.cells.size()) + " cells, but the header names " +
                    std::to_string(columns.size()) + " columns");
      }
    }
    SettingsRow row;
    row.row = record.row;
    ScoreOptions checked;
    bool boundaryGiven = false;
    for (size_t c = 0; c < columns.size() && c < record.cells.size(); ++c) {
      const Column& column = columns[c];
      const std::string& cell = record.cells[c];
      if (column.file) {
        if (cell.empty()) return failAt(record.row, "file", "empty; every row names a video");
        const fs::path video(cell);
        row.video = video.is_relative() && !folder.empty() ? (folder / video).string() : cell;
        const fs::file_status videoStatus = fs::status(row.video, ec);
        if (!fs::exists(videoStatus)) {
          return failAt(record.row, "file", "no such file " + inQuotes(row.video));
        }
        if (fs::is_directory(videoStatus)) {
          return failAt(record.row, "file", inQuotes(row.video) + " is a folder, not a video");
        }
      } else if (!cell.empty()) {
        if (column.setting < 0) {
          return failAt(record.row, "number " + std::to_string(c + 1),
                        "a value under a column without a name");
        }
        std::string problem;
        if (!applySetting(column.setting, cell, &checked, &problem)) {
          return failAt(record.row, column.name, problem);
        }
        boundaryGiven = boundaryGiven || column.setting == kSettingX0 ||
                        column.setting == kSettingY0 || column.setting == kSettingR;
        row.values.emplace_back(column.setting, cell);
      }
    }
    if (row.video.empty()) return failAt(record.row, "file", "empty; every row names a video");
    if (boundaryGiven && checked.autoMaze) {
      return failAt(record.row, kSettingNames[kSettingAutoMaze],
                    "yes finds x0, y0 and r in the video; leave their cells empty in this row");
    }
    file->rows.push_back(std::move(row));
  }
  return true;
}

ScoreOptions rowOptions(const ScoreOptions& options, const SettingsRow& row) {
  ScoreOptions out = options;
  bool boundaryGiven = false;
  bool autoGiven = false;
  for (const auto& [setting, text] : row.values) {
    std::string problem;
    applySetting(setting, text, &out, &problem);  // checked when the file was read
    boundaryGiven = boundaryGiven || setting == kSettingX0 || setting == kSettingY0 ||
                    setting == kSettingR;
    autoGiven = autoGiven || setting == kSettingAutoMaze;
  }
  if (boundaryGiven && !autoGiven) out.autoMaze = false;
  return out;
}
