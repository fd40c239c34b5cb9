#pragma once
// Small maze videos and helpers shared by the scorer's tests.
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "cli/score_video.h"
#include "tools/fixture_video.h"
#include "tools/maze_scene.h"

namespace scorer_fixtures {

// A small maze: 160 x 120, centre (80, 60), arms 24 pixels wide.
inline MazeScene smallScene() { return smallMazeScene(); }

// The small maze's boundary, no exclude box, a pixel count threshold the
// animal exceeds, and the background saved at 0.5 s (before the animal).
inline ScoreOptions smallOptions() {
  const MazeScene scene = smallScene();
  ScoreOptions o;
  o.settings.boundaryX0 = scene.centerX;
  o.settings.boundaryY0 = scene.centerY;
  o.settings.boundaryR = scene.halfWidth;
  o.settings.pixelCountThreshold = 100;
  o.excludeBox = ExcludeBox{0, 0, 0, 0};
  o.backgroundAt = 0.5;
  return o;
}

// Record time of a run from start on a stream of the given length, summed
// step by step as the run sums it.
inline double runRecordTime(double start, double streamLength) {
  double position = start;
  double elapsed = 0;
  while (streamLength > position && elapsed < kRecordTimeLimit) {
    position += kPlaybackStep;
    elapsed += kPlaybackStep;
  }
  return elapsed;
}

inline std::string readAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

inline void writeAll(const std::string& path, const std::string& text) {
  std::ofstream(path, std::ios::binary) << text;
}

inline size_t countLines(const std::string& text) {
  return static_cast<size_t>(std::count(text.begin(), text.end(), '\n'));
}

// The lines of text without their line ends.
inline std::vector<std::string> linesOf(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

// A folder of its own under the temporary folder, for one test suite.
inline std::filesystem::path suiteFolder(const std::string& name) {
  const std::filesystem::path dir =
      std::filesystem::temp_directory_path() / ("verdaxel-" + name + "-" + std::to_string(getpid()));
  std::filesystem::remove_all(dir);
  std::filesystem::create_directories(dir);
  return dir;
}

}  // namespace scorer_fixtures
