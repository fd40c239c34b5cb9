#include "cli/options.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "analysis/frame_tracker.h"

namespace {

constexpr int kMaxJobs = 1024;
// Latest stream time accepted for --start and --background-at, seconds.
constexpr double kMaxSeconds = 1e7;

ParseResult usageError(const std::string& message) {
  return {ParseOutcome::kError, message};
}

std::string quoted(const std::string& text) { return "'" + text + "'"; }

// A whole number from min to max written as decimal digits only: no sign,
// no space, no fraction, no exponent.
bool parseWhole(const std::string& text, long min, long max, long* out) {
  if (text.empty() || text.size() > 12) return false;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
  }
  const long value = std::strtol(text.c_str(), nullptr, 10);
  if (value < min || value > max) return false;
  *out = value;
  return true;
}

// A number of seconds: digits with an optional decimal point, nothing else.
bool parseSeconds(const std::string& text, double* out) {
  if (text.empty() || text.size() > 32 || text == ".") return false;
  bool point = false;
  for (char c : text) {
    if (c == '.') {
      if (point) return false;
      point = true;
    } else if (c < '0' || c > '9') {
      return false;
    }
  }
  errno = 0;
  const double value = std::strtod(text.c_str(), nullptr);
  if (errno != 0 || value > kMaxSeconds) return false;
  *out = value;
  return true;
}

std::string wholeMessage(const std::string& option, long min, long max, const std::string& text) {
  const char* what = !text.empty() && text[0] == '-' ? "negative numbers are not allowed; " : "";
  return option + ": " + what + "expected a whole number from " + std::to_string(min) + " to " +
         std::to_string(max) + ", got " + quoted(text);
}

// The exclude box as four whole numbers "X0,Y0,W,H".
bool parseBox(const std::string& text, ExcludeBox* box) {
  double values[4];
  size_t begin = 0;
  for (int i = 0; i < 4; ++i) {
    const size_t comma = text.find(',', begin);
    const bool last = i == 3;
    if (last != (comma == std::string::npos)) return false;
    const std::string part = text.substr(begin, last ? std::string::npos : comma - begin);
    long value = 0;
    if (!parseWhole(part, 0, kMaxFrameSide, &value)) return false;
    values[i] = static_cast<double>(value);
    begin = comma + 1;
  }
  *box = ExcludeBox{values[0], values[1], values[2], values[3]};
  return true;
}

// What an option does with its value.
enum class Kind { kFlag, kWhole, kSeconds, kText, kBox, kAnimal };

struct OptionSpec {
  const char* name;
  Kind kind;
  long min;
  long max;
};

const OptionSpec kSpecs[] = {
    {"--x0", Kind::kWhole, 0, kMaxFrameSide},
    {"--y0", Kind::kWhole, 0, kMaxFrameSide},
    {"--r", Kind::kWhole, 0, kMaxFrameSide},
    {"--exclude", Kind::kBox, 0, 0},
    {"--no-exclude", Kind::kFlag, 0, 0},
    {"--pixel-threshold", Kind::kWhole, 0, 255},
    {"--pixel-count-threshold", Kind::kWhole, 0, kMaxFramePixels},
    {"--ratio-threshold", Kind::kWhole, 0, 100},
    {"--background-at", Kind::kSeconds, 0, 0},
    {"--no-remove-background", Kind::kFlag, 0, 0},
    {"--start", Kind::kSeconds, 0, 0},
    {"--animal", Kind::kAnimal, 0, 0},
    {"--csv", Kind::kText, 0, 0},
    {"--no-header", Kind::kFlag, 0, 0},
    {"--trace", Kind::kText, 0, 0},
    {"--json", Kind::kFlag, 0, 0},
    {"--plot", Kind::kText, 0, 0},
    {"-j", Kind::kWhole, 1, kMaxJobs},
    {"-q", Kind::kFlag, 0, 0},
};

const OptionSpec* findSpec(const std::string& name) {
  for (const OptionSpec& spec : kSpecs) {
    if (name == spec.name) return &spec;
  }
  return nullptr;
}

// Stores a checked value of the option named name into options.
void apply(const std::string& name, long whole, double seconds, const std::string& text,
           Options* options) {
  AnalysisSettings& s = options->scoring.settings;
  const double value = static_cast<double>(whole);
  if (name == "--x0") s.boundaryX0 = value;
  else if (name == "--y0") s.boundaryY0 = value;
  else if (name == "--r") s.boundaryR = value;
  else if (name == "--no-exclude") s.excludeBox = false;
  else if (name == "--pixel-threshold") s.pixelThreshold = value;
  else if (name == "--pixel-count-threshold") s.pixelCountThreshold = value;
  else if (name == "--ratio-threshold") s.ratioThreshold = value;
  else if (name == "--background-at") options->scoring.backgroundAt = seconds;
  else if (name == "--no-remove-background") s.removeBackground = false;
  else if (name == "--start") options->scoring.start = seconds;
  else if (name == "--animal") s.invertLevels = text == "dark";
  else if (name == "--csv") options->csvPath = text;
  else if (name == "--no-header") options->csvHeader = false;
  else if (name == "--trace") options->traceDir = text;
  else if (name == "--json") options->json = true;
  else if (name == "--plot") options->plotDir = text;
  else if (name == "-j") options->jobs = static_cast<int>(whole);
  else if (name == "-q") options->quiet = true;
}

// Checks the value of one option and stores it.
ParseResult takeValue(const OptionSpec& spec, const std::string& text, Options* options) {
  const std::string name = spec.name;
  long whole = 0;
  double seconds = 0;
  switch (spec.kind) {
    case Kind::kFlag:
      break;
    case Kind::kWhole:
      if (!parseWhole(text, spec.min, spec.max, &whole)) {
        return usageError(wholeMessage(name, spec.min, spec.max, text));
      }
      break;
    case Kind::kSeconds:
      if (!parseSeconds(text, &seconds)) {
        return usageError(name + ": expected seconds as a number of 0 or more (such as 1 or 2.5), got " +
                          quoted(text));
      }
      break;
    case Kind::kText:
      if (text.empty()) return usageError(name + ": the path is empty");
      break;
    case Kind::kBox:
      if (!parseBox(text, &options->scoring.excludeBox)) {
        return usageError(name + ": expected four whole numbers X0,Y0,W,H from 0 to " +
                          std::to_string(kMaxFrameSide) + " (such as 340,0,146,26), got " +
                          quoted(text));
      }
      break;
    case Kind::kAnimal:
      if (text != "bright" && text != "dark") {
        return usageError(name + ": expected 'bright' or 'dark', got " + quoted(text));
      }
      break;
  }
  apply(name, whole, seconds, text, options);
  return {};
}

}  // namespace

ParseResult parseOptions(int argc, const char* const* argv, Options* options) {
  bool optionsEnded = false;
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
    if (spec == nullptr) return usageError("unknown option " + quoted(arg));
    if (spec->kind == Kind::kFlag) {
      if (inlineValue) return usageError(name + " takes no value");
    } else if (!inlineValue) {
      if (i + 1 >= argc) return usageError(name + " needs a value");
      value = argv[++i];
    }
    const ParseResult taken = takeValue(*spec, value, options);
    if (taken.outcome != ParseOutcome::kRun) return taken;
  }

  if (options->videos.empty()) return usageError("no video given");
  if (options->json && options->csvPath == "-") {
    return usageError("--json and --csv - would both write to standard output");
  }
  return {};
}

void printUsage(std::FILE* out) {
  std::fputs(
      "usage: verdaxel-score [OPTIONS] VIDEO...\n"
      "\n"
      "Scores each video as the desktop program's Record button does after opening\n"
      "the file, and prints a table of the results (or CSV / JSON).\n"
      "\n"
      "maze and analysis (defaults are the desktop program's):\n"
      "  --x0 N, --y0 N          maze centre, pixels; up to the frame size [321, 241]\n"
      "  --r N                   half-width of the arms, pixels [36]\n"
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
      "output:\n"
      "  --csv FILE              summary as CSV, a row per video; '-': stdout [none]\n"
      "  --no-header             leave out the CSV header row [header written]\n"
      "  --trace DIR             a CSV per video with a row per recording step [none]\n"
      "  --json                  summary as JSON on stdout instead of the table [off]\n"
      "  --plot DIR              a PNG per video: regions, track, heat map, times [none]\n"
      "  -j N                    videos scored at once [number of cores]\n"
      "  -q                      no progress display [shown when stderr is a terminal]\n"
      "  -h, --help              this text\n"
      "\n"
      "Exit status: 0 every video scored, 1 a video or an output failed (the others are\n"
      "still scored and reported), 2 usage error (nothing scored).\n",
      out);
}
