#include "cli/trace.h"

#include <cstdio>

#include "cli/safe_file.h"

const char* const kRegionNames[5] = {"upper", "right", "lower", "left", "center"};

const char* regionName(int region) {
  return region >= 0 && region < kRegionCount ? kRegionNames[region] : "none";
}

std::string traceCsv(const VideoResult& result) {
  std::string out =
      "position,record_time,analysed,region,entered,ratio_upper,ratio_right,ratio_lower,"
      "ratio_left,ratio_center,pixel_count,active_pixels,centroid_x,centroid_y,closed_entries,"
      "open_entries,open_arm_time,total_time,center_time,closed_arm_time\n";
  out.reserve(out.size() + result.steps.size() * 128);
  char line[512];
  for (const StepRecord& s : result.steps) {
    char centroid[64] = ",";
    if (s.analysed && s.activePixels > 0) {
      std::snprintf(centroid, sizeof centroid, "%.1f,%.1f", s.centroidX, s.centroidY);
    }
    const RunScores& r = s.scores;
    std::snprintf(line, sizeof line,
                  "%.3f,%.1f,%d,%s,%d,%.2f,%.2f,%.2f,%.2f,%.2f,%d,%d,%s,%d,%d,%.1f,%.1f,%.1f,%.1f\n",
                  s.position, r.elapsed, s.analysed ? 1 : 0, regionName(s.region),
                  s.entered ? 1 : 0, s.ratio[0], s.ratio[1], s.ratio[2], s.ratio[3], s.ratio[4],
                  s.pixelCount, s.activePixels, centroid, r.closedEntries, r.openEntries,
                  r.openArmTime, r.totalTime, r.centerTime, r.closedArmTime);
    out += line;
  }
  return out;
}

bool writeTrace(const std::string& path, const VideoResult& result, std::string* error) {
  SafeFile file;
  if (!file.open(path)) {
    *error = file.error();
    return false;
  }
  file.write(traceCsv(result));
  if (!file.commit()) {
    *error = file.error();
    return false;
  }
  return true;
}
