#pragma once
// Scripted plus-maze videos for the recording tests: the synthetic maze with
// an animal whose path is known, written losslessly so the scores are exact.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <string>
#include <vector>

#include "tools/maze_scene.h"

namespace scripted {

// Places of the animal at the default boundary (X0 321, Y0 241, R 36).
constexpr double kCx = 321, kCy = 241;
constexpr double kUpperY = 111, kLowerY = 385, kRightX = 483, kLeftX = 148;

inline PathPoint hidden(double t) { return {t, false, 0, 0, false}; }
inline PathPoint upper(double t) { return {t, true, kCx, kUpperY, false}; }
inline PathPoint lower(double t) { return {t, true, kCx, kLowerY, false}; }
inline PathPoint right(double t) { return {t, true, kRightX, kCy, false}; }
inline PathPoint left(double t) { return {t, true, kLeftX, kCy, false}; }
inline PathPoint centre(double t) { return {t, true, kCx, kCy, false}; }

inline std::string videoDir() {
  const std::string dir = std::string(VERDAXEL_BINARY_DIR) + "/test-videos";
  mkdir(dir.c_str(), 0755);
  return dir;
}

// Writes a video of the scene with the animal on path, frameCount frames at
// fps, lossless unless another codec is asked for (it writes its own
// container under the same name); returns its path.
inline std::string writeVideo(const std::string& name, const std::vector<PathPoint>& path,
                              int frameCount, int fps, MazeScene scene = MazeScene{},
                              FixtureCodec codec = FixtureCodec::kFfv1Avi) {
  const std::string file = videoDir() + "/" + name + ".avi";
  std::string error;
  const bool ok = writeSceneVideo(file, codec, scene, path, fps, frameCount, false, &error);
  EXPECT_TRUE(ok) << error;
  return file;
}

}  // namespace scripted
