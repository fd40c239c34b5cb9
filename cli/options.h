#pragma once
// Command-line options of verdaxel-score. Every scoring option starts at the
// desktop program's control default, so a bare call scores what the desktop
// program scores after opening the file and pressing Record at position 0.
#include <cstdio>
#include <string>
#include <vector>

#include "cli/score_video.h"
#include "cli/settings_file.h"

struct Options {
  // How each video named on the command line is scored, and the values a
  // settings file's empty cells take: boundary (or --auto-maze),
  // thresholds, exclude box, background, start position and animal kind.
  ScoreOptions scoring;
  // --settings FILE, each read when the options are parsed: videos with
  // settings of their own.
  std::vector<SettingsFile> settingsFiles;
  // --csv FILE: the summary as CSV; empty: none; "-": standard output.
  std::string csvPath;
  // --no-header clears it: the CSV starts with its header row.
  bool csvHeader = true;
  // --trace DIR: a CSV per video with a row per recording step; empty: none.
  std::string traceDir;
  // --json: the summary as JSON on standard output instead of the table.
  bool json = false;
  // --plot DIR: a PNG picture per video; empty: none.
  std::string plotDir;
  // -j N: videos scored at once; 0: one per processor core.
  int jobs = 0;
  // -q: no progress display (it shows only when standard error is a terminal).
  bool quiet = false;
  // The videos named on the command line, in the order given.
  std::vector<std::string> videos;
};

// One video of a batch and how it is scored.
struct VideoTask {
  std::string path;
  ScoreOptions scoring;
};

// The videos of the batch in the order named: the command line's with its
// settings, each settings file's rows at the place the file was named.
std::vector<VideoTask> videoTasks(const Options& options);

enum class ParseOutcome {
  kRun,    // options complete: score the videos
  kHelp,   // --help: print the usage and stop
  kError,  // usage error: message says what is wrong; exit status 2
};

struct ParseResult {
  ParseOutcome outcome = ParseOutcome::kRun;
  std::string message;  // for kError: what is wrong, naming the option
};

// Reads argv[1] .. argv[argc - 1] into *options, then reads the settings
// files named. Options and videos may come in any order; "--" ends the
// options. Both "--opt VALUE" and "--opt=VALUE" forms are accepted, and
// "-jN" for -j. A settings file that cannot be used is a usage error too.
ParseResult parseOptions(int argc, const char* const* argv, Options* options);

// Writes the usage text, every option with its default, to out.
void printUsage(std::FILE* out);

// Exit statuses of verdaxel-score.
constexpr int kExitScored = 0;      // every video scored
constexpr int kExitSomeFailed = 1;  // a video could not be scored or an output not written
constexpr int kExitUsage = 2;       // bad options: nothing scored
