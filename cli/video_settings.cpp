#include "cli/video_settings.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>

#include "analysis/frame_tracker.h"

const std::array<const char*, kSettingCount> kSettingNames = {
    "x0",           "y0",           "r",
    "auto_maze",    "exclude",      "pixel_threshold",
    "pixel_count_threshold",        "ratio_threshold",
    "background_at", "remove_background", "start",
    "animal"};

namespace {

// Latest stream time accepted for start and background_at, seconds.
constexpr double kMaxSeconds = 1e7;

enum class Kind { kWhole, kYesNo, kBox, kSeconds, kSecondsOrNone, kAnimal };

struct Spec {
  Kind kind;
  long min;
  long max;
};

// By setting index, in the order of kSettingNames.
const Spec kSpecs[kSettingCount] = {
    {Kind::kWhole, 0, kMaxFrameSide},     // x0
    {Kind::kWhole, 0, kMaxFrameSide},     // y0
    {Kind::kWhole, 0, kMaxFrameSide},     // r
    {Kind::kYesNo, 0, 0},                 // auto_maze
    {Kind::kBox, 0, 0},                   // exclude
    {Kind::kWhole, 0, 255},               // pixel_threshold
    {Kind::kWhole, 0, kMaxFramePixels},   // pixel_count_threshold
    {Kind::kWhole, 0, 100},               // ratio_threshold
    {Kind::kSecondsOrNone, 0, 0},         // background_at
    {Kind::kYesNo, 0, 0},                 // remove_background
    {Kind::kSeconds, 0, 0},               // start
    {Kind::kAnimal, 0, 0},                // animal
};

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

bool parseYesNo(const std::string& text, bool* out) {
  if (text == "yes" || text == "true" || text == "1") {
    *out = true;
  } else if (text == "no" || text == "false" || text == "0") {
    *out = false;
  } else {
    return false;
  }
  return true;
}

// A number as short as it can be written without losing digits.
std::string plainNumber(double value) {
  char text[64];
  std::snprintf(text, sizeof text, "%.10g", value);
  return text;
}

std::string yesNo(bool value) { return value ? "yes" : "no"; }

}  // namespace

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

std::string inQuotes(const std::string& text) { return "'" + text + "'"; }

std::string wholeProblem(long min, long max, const std::string& text) {
  const char* what = !text.empty() && text[0] == '-' ? "negative numbers are not allowed; " : "";
  return std::string(what) + "expected a whole number from " + std::to_string(min) + " to " +
         std::to_string(max) + ", got " + inQuotes(text);
}

int findSetting(const std::string& name) {
  for (int i = 0; i < kSettingCount; ++i) {
    if (name == kSettingNames[static_cast<size_t>(i)]) return i;
  }
  return -1;
}

bool applySetting(int index, const std::string& text, ScoreOptions* options,
                  std::string* problem) {
  if (index < 0 || index >= kSettingCount) {
    *problem = "no such setting";
    return false;
  }
  const Spec& spec = kSpecs[index];
  AnalysisSettings& s = options->settings;
  long whole = 0;
  double seconds = 0;
  bool flag = false;
  switch (spec.kind) {
    case Kind::kWhole:
      if (!parseWhole(text, spec.min, spec.max, &whole)) {
        *problem = wholeProblem(spec.min, spec.max, text);
        return false;
      }
      break;
    case Kind::kYesNo:
      if (!parseYesNo(text, &flag)) {
        *problem = "expected 'yes' or 'no', got " + inQuotes(text);
        return false;
      }
      break;
    case Kind::kBox:
      if (text == "none") break;
      if (!parseBox(text, &options->excludeBox)) {
        *problem = "expected four whole numbers X0,Y0,W,H from 0 to " +
                   std::to_string(kMaxFrameSide) + " (such as 340,0,146,26) or 'none', got " +
                   inQuotes(text);
        return false;
      }
      break;
    case Kind::kSecondsOrNone:
      if (text == "none") break;
      [[fallthrough]];
    case Kind::kSeconds:
      if (!parseSeconds(text, &seconds)) {
        *problem = "expected seconds as a number of 0 or more (such as 1 or 2.5), got " +
                   inQuotes(text);
        return false;
      }
      break;
    case Kind::kAnimal:
      if (text != "bright" && text != "dark") {
        *problem = "expected 'bright' or 'dark', got " + inQuotes(text);
        return false;
      }
      break;
  }
  const double value = static_cast<double>(whole);
  switch (index) {
    case 0: s.boundaryX0 = value; break;
    case 1: s.boundaryY0 = value; break;
    case 2: s.boundaryR = value; break;
    case 3: options->autoMaze = flag; break;
    case 4: s.excludeBox = text != "none"; break;
    case 5: s.pixelThreshold = value; break;
    case 6: s.pixelCountThreshold = value; break;
    case 7: s.ratioThreshold = value; break;
    case 8:
      if (text == "none") {
        options->backgroundAt.reset();
      } else {
        options->backgroundAt = seconds;
      }
      break;
    case 9: s.removeBackground = flag; break;
    case 10: options->start = seconds; break;
    case 11: s.invertLevels = text == "dark"; break;
    default: break;
  }
  return true;
}

std::array<std::string, kSettingCount> settingValues(const ScoreOptions& options) {
  const AnalysisSettings& s = options.settings;
  const ExcludeBox& b = options.excludeBox;
  auto whole = [](double v) { return plainNumber(v); };
  std::string box = "none";
  if (s.excludeBox) box = whole(b.x0) + "," + whole(b.y0) + "," + whole(b.w) + "," + whole(b.h);
  return {whole(s.boundaryX0),
          whole(s.boundaryY0),
          whole(s.boundaryR),
          yesNo(options.autoMaze),
          box,
          whole(s.pixelThreshold),
          whole(s.pixelCountThreshold),
          whole(s.ratioThreshold),
          options.backgroundAt ? plainNumber(*options.backgroundAt) : std::string("none"),
          yesNo(s.removeBackground),
          plainNumber(options.start),
          s.invertLevels ? "dark" : "bright"};
}
