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

// Writes (once per test binary run) a lossless video of the scene with the
// animal on path, frameCount frames at fps; returns its path. Another codec
// writes its own container under the same name.
inline std::string writeVideo(const std::string& name, const std::vector<PathPoint>& path,
                              int frameCount, int fps, MazeScene scene = MazeScene{},
                              FixtureCodec codec = FixtureCodec::kFfv1Avi) {
  const std::string file = videoDir() + "/" + name + ".avi";
  FixtureVideoSpec spec;
  spec.codec = codec;
  spec.width = scene.width;
  spec.height = scene.height;
  spec.fpsNum = fps;
  spec.frameCount = frameCount;
  std::string error;
  const bool ok = writeFixtureVideo(
      file, spec,
      [&](int frame, uint8_t* rgb, int stride) {
        const double t = static_cast<double>(frame) / fps;
        paintMaze(scene, rgb, stride);
        paintTimeStamp(scene, frame, rgb, stride);
        paintAnimal(scene, placeAt(path, t), rgb, stride);
      },
      &error);
  EXPECT_TRUE(ok) << error;
  return file;
}

}  // namespace scripted
