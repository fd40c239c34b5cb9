#pragma once
// Settings files: a CSV table with a row per video, the video in the `file`
// column and any of the per-video settings (video_settings.h) in columns of
// their own names. A cell left empty, or a column left out, keeps the
// command line's value for that video.
//
//   file,x0,y0,r,background_at
//   day1/mouse1.avi,320,240,36,1
//   day1/mouse2.avi,,,,2.5
//   "day 2, cage 3/mouse4.avi",,,,
//
// A relative path in the file column is taken from the settings file's
// folder. The CSV may have quoted cells (with commas, doubled quotes and
// line breaks in them), CRLF or LF line ends and a UTF-8 byte order mark;
// blank rows are passed over. Column names are matched without regard to
// case. Rows are numbered as a spreadsheet shows them, the header being
// row 1.
#include <cstddef>
#include <string>
#include <utility>
#include <vector>

#include "cli/score_video.h"

// One video of a settings file with the settings its row gives.
struct SettingsRow {
  std::string video;  // the file cell, relative ones joined to the settings file's folder
  int row = 0;        // the row's number in the file (the header is row 1)
  // The row's non-empty cells: setting index (video_settings.h) and text,
  // each checked to be a value of that setting.
  std::vector<std::pair<int, std::string>> values;
};

struct SettingsFile {
  std::string path;       // as given to --settings
  size_t position = 0;    // videos named on the command line before it
  std::vector<SettingsRow> rows;
};

// Reads and checks the settings file at file->path into file->rows. False,
// with *error naming the file, the row and the column, when the file cannot
// be read, is not a CSV table of known columns, holds a value a setting does
// not take, or names a video that does not exist.
bool readSettingsFile(SettingsFile* file, std::string* error);

// The cells of one CSV record and the row it starts on.
struct CsvRecord {
  int row = 0;
  std::vector<std::string> cells;
};

// Splits CSV text into records (RFC 4180, with LF or CRLF line ends; a UTF-8
// byte order mark is dropped; spaces around an unquoted cell are trimmed).
// False, with *error naming the row, for a quote left open or text after a
// closing quote.
bool parseCsv(const std::string& text, std::vector<CsvRecord>* records, std::string* error);

// options with the values of row over them. A row that sets x0, y0 or r
// without an auto_maze cell scores with that boundary, not an automatic one.
ScoreOptions rowOptions(const ScoreOptions& options, const SettingsRow& row);
