#include "cli/options.h"

#include "cli/video_settings.h"

namespace {

constexpr int kMaxJobs = 1024;

ParseResult usageError(const std::string& message) {
  return {ParseOutcome::kError, message};
}

// What an option does with its value.
enum class Kind { kFlag, kSetting, kWhole, kText };

struct OptionSpec {
  const char* name;
  Kind kind;
  const char* setting;  // kSetting: the setting it gives; kFlag: the setting it sets...
  const char* value;    // ...to this value (null: the flag is handled by name)
};

const OptionSpec kSpecs[] = {
    {"--x0", Kind::kSetting, "x0", nullptr},
    {"--y0", Kind::kSetting, "y0", nullptr},
    {"--r", Kind::kSetting, "r", nullptr},
    {"--auto-maze", Kind::kFlag, "auto_maze", "yes"},
    {"--exclude", Kind::kSetting, "exclude", nullptr},
    {"--no-exclude", Kind::kFlag, nullptr, nullptr},
    {"--pixel-threshold", Kind::kSetting, "pixel_threshold", nullptr},
    {"--pixel-count-threshold", Kind::kSetting, "pixel_count_threshold", nullptr},
    {"--ratio-threshold", Kind::kSetting, "ratio_threshold", nullptr},
    {"--background-at", Kind::kSetting, "background_at", nullptr},
    {"--no-remove-background", Kind::kFlag, "remove_background", "no"},
    {"--start", Kind::kSetting, "start", nullptr},
    {"--animal", Kind::kSetting, "animal", nullptr},
    {"--settings", Kind::kText, nullptr, nullptr},
    {"--csv", Kind::kText, nullptr, nullptr},
    {"--no-header", Kind::kFlag, nullptr, nullptr},
    {"--trace", Kind::kText, nullptr, nullptr},
    {"--json", Kind::kFlag, nullptr, nullptr},
    {"--plot", Kind::kText, nullptr, nullptr},
    {"-j", Kind::kWhole, nullptr, nullptr},
    {"-q", Kind::kFlag, nullptr, nullptr},
};

const OptionSpec* findSpec(const std::string& name) {
  for (const OptionSpec& spec : kSpecs) {
    if (name == spec.name) return &spec;
  }
  return nullptr;
}

// What the parse has seen besides the values it stored.
struct Seen {
  bool noExclude = false;  // applied last, so that it holds wherever it stands
  bool boundary = false;   // --x0, --y0 or --r
};

// Checks the value of one option and stores it.
ParseResult takeValue(const OptionSpec& spec, const std::string& text, Options* options,
                      Seen* seen) {
  const std::string name = spec.name;
  if (spec.kind == Kind::kSetting || (spec.kind == Kind::kFlag && spec.setting != nullptr)) {
    const int setting = findSetting(spec.setting);
    std::string problem;
    if (!applySetting(setting, spec.kind == Kind::kFlag ? spec.value : text, &options->scoring,
                      &problem)) {
      return usageError(name + ": " + problem);
    }
    seen->boundary = seen->boundary || setting == kSettingX0 || setting == kSettingY0 ||
                     setting == kSettingR;
    return {};
  }
  if (spec.kind == Kind::kText && text.empty()) return usageError(name + ": the path is empty");
  if (name == "-j") {
    long jobs = 0;
    if (!parseWhole(text, 1, kMaxJobs, &jobs)) return usageError(name + ": " + wholeProblem(1, kMaxJobs, text));
    options->jobs = static_cast<int>(jobs);
  } else if (name == "--no-exclude") {
    seen->noExclude = true;
  } else if (name == "--settings") {
    SettingsFile file;
    file.path = text;
    file.position = options->videos.size();
    options->settingsFiles.push_back(std::move(file));
  } else if (name == "--csv") {
    options->csvPath = text;
  } else if (name == "--no-header") {
    options->csvHeader = false;
  } else if (name == "--trace") {
    options->traceDir = text;
  } else if (name == "--json") {
    options->json = true;
  } else if (name == "--plot") {
    options->plotDir = text;
  } else if (name == "-q") {
    options->quiet = true;
  }
  return {};
}

}  // namespace

std::vector<VideoTask> videoTasks(const Options& options) {
  std::vector<VideoTask> tasks;
  size_t next = 0;  // the next command-line video
  auto commandLineUpTo = [&](size_t end) {
    for (; next < end && next < options.videos.size(); ++next) {
      tasks.push_back({options.videos[next], options.scoring});
    }
  };
  for (const SettingsFile& file : options.settingsFiles) {
    commandLineUpTo(file.position);
    for (const SettingsRow& row : file.rows) {
      tasks.push_back({row.video, rowOptions(options.scoring, row)});
    }
  }
  commandLineUpTo(options.videos.size());
  return tasks;
}

ParseResult parseOptions(int argc, const char* const* argv, Options* options) {
  bool optionsEnded = false;
  Seen seen;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (optionsEnded || arg.empty() || arg[0] != '-' || arg == "-") {
      options->videos.push_back(arg);
      continue;
    }
    if (arg == "--") {
      optionsEnded = true;
      continue;
    }
    if (arg == "-h" || arg == "--help") return {ParseOutcome::kHelp, std::string()};

    // Split "--opt=VALUE" and "-jN".
    std::string name = arg;
    std::string value;
    bool inlineValue = false;
    const size_t equals = arg.find('=');
    if (arg.compare(0, 2, "--") == 0 && equals != std::string::npos) {
      name = arg.substr(0, equals);
      value = arg.substr(equals + 1);
      inlineValue = true;
    } else if (arg.size() > 2 && arg.compare(0, 2, "-j") == 0) {
      name = "-j";
      value = arg.substr(2);
      inlineValue = true;
    }
    const OptionSpec* spec = findSpec(name);
    if (spec == nullptr) return usageError("unknown option " + inQuotes(arg));
    if (spec->kind == Kind::kFlag) {
      if (inlineValue) return usageError(name + " takes no value");
    } else if (!inlineValue) {
      if (i + 1 >= argc) return usageError(name + " needs a value");
      value = argv[++i];
    }
    const ParseResult taken = takeValue(*spec, value, options, &seen);
    if (taken.outcome != ParseOutcome::kRun) return taken;
  }
  if (seen.noExclude) options->scoring.settings.excludeBox = false;

  if (options->scoring.autoMaze && seen.boundary) {
    return usageError("--auto-maze finds X0, Y0 and R itself; leave out --x0, --y0 and --r");
  }
  if (options->json && options->csvPath == "-") {
    return usageError("--json and --csv - would both write to standard output");
  }
  size_t videos = options->videos.size();
  for (SettingsFile& file : options->settingsFiles) {
    std::string error;
    if (!readSettingsFile(&file, &error)) return usageError(error);
    videos += file.rows.size();
  }
  if (videos == 0) return usageError("no video given");
  return {};
}

void printUsage(std::FILE* out) {
  std::fputs(
      "usage: verdaxel-score [OPTIONS] [--settings FILE.csv] VIDEO...\n"
      "\n"
      "Scores each video as the desktop program's Record button does after opening\n"
      "the file, and prints a table of the results (or CSV / JSON).\n"
      "\n"
      "maze and analysis (defaults are the desktop program's):\n"
      "  --x0 N, --y0 N          maze centre, pixels; up to the frame size [321, 241]\n"
      "  --r N                   half-width of the arms, pixels [36]\n"
      "  --auto-maze             find X0, Y0 and R in the background frame (or the\n"
      "                          first frame); a video without a plus maze in it\n"
      "                          fails with 'no maze found: REASON' [off]\n"
      "  --exclude X0,Y0,W,H     the exclude box [340,0,146,26]\n"
      "  --no-exclude            do not blank the exclude box [it is blanked]\n"
      "  --pixel-threshold N     level above which a pixel is active, 0-255 [50]\n"
      "  --pixel-count-threshold N\n"
      "                          active pixels needed for a decision [1000]\n"
      "  --ratio-threshold N     percent a region must exceed, 0-100 [60]\n"
      "  --background-at SECONDS save the frame at that time as background before the\n"
      "                          run [none: background all zero]\n"
      "  --no-remove-background  do not subtract the background [subtracted]\n"
      "  --start SECONDS         position when the run starts [0]\n"
      "  --animal bright|dark    dark: gray levels inverted before background\n"
      "                          removal, for a dark animal on a light maze [bright]\n"
      "\n"
      "settings per video:\n"
      "  --settings FILE.csv     a CSV table with a row per video: a 'file' column and\n"
      "                          any of x0, y0, r, auto_maze (yes/no), exclude\n"
      "                          (X0,Y0,W,H or none), pixel_threshold,\n"
      "                          pixel_count_threshold, ratio_threshold, background_at\n"
      "                          (seconds or none), remove_background (yes/no), start,\n"
      "                          animal. Empty cells and missing columns take the\n"
      "                          command line's values; relative video paths are\n"
      "                          taken from the CSV file's folder. May be repeated\n"
      "                          and mixed with videos on the command line.\n"
      "\n"
      "output:\n"
      "  --csv FILE              summary as CSV, a row per video, with the settings it\n"
      "                          was scored with after the status; '-': stdout [none]\n"
      "  --no-header             leave out the CSV header row [header written]\n"
      "  --trace DIR             a CSV per video with a row per recording step [none]\n"
      "  --json                  summary as JSON on stdout instead of the table [off]\n"
      "  --plot DIR              a PNG per video: regions, track, heat map, times [none]\n"
      "  -j N                    videos scored at once [number of cores]\n"
      "  -q                      no progress display [shown when stderr is a terminal]\n"
      "  -h, --help              this text\n"
      "\n"
      "A video whose frames end more than 1 s before its stated length is scored up\n"
      "to its last frame and reported as 'truncated: frames end at T s of L s'.\n"
      "\n"
      "Exit status: 0 every video scored whole, 1 a video or an output failed or a\n"
      "video was truncated (the others are still scored and reported), 2 usage error\n"
      "or unusable settings file (nothing scored).\n",
      out);
}
