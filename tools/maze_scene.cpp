#include "tools/maze_scene.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdio>
#include <cstdlib>

namespace {

void fillRect(const MazeScene& scene, uint8_t* rgb, int stride, int x0, int y0, int x1, int y1,
              uint8_t level) {
  x0 = std::clamp(x0, 0, scene.width);
  x1 = std::clamp(x1, 0, scene.width);
  y0 = std::clamp(y0, 0, scene.height);
  y1 = std::clamp(y1, 0, scene.height);
  for (int y = y0; y < y1; ++y) {
    uint8_t* row = rgb + static_cast<std::ptrdiff_t>(y) * stride;
    std::fill(row + 3 * x0, row + 3 * x1, level);
  }
}

}  // namespace

AnimalPlace placeAt(const std::vector<PathPoint>& path, double t) {
  AnimalPlace place;
  for (size_t i = 0; i < path.size(); ++i) {
    const PathPoint& p = path[i];
    if (p.time > t) break;
    place.visible = p.visible;
    place.x = p.x;
    place.y = p.y;
    if (p.glide && i + 1 < path.size() && path[i + 1].time > p.time) {
      const PathPoint& next = path[i + 1];
      const double f = std::min(1.0, (t - p.time) / (next.time - p.time));
      place.x = p.x + f * (next.x - p.x);
      place.y = p.y + f * (next.y - p.y);
    }
  }
  return place;
}

void paintMaze(const MazeScene& scene, uint8_t* rgb, int stride) {
  const int cx = scene.centerX;
  const int cy = scene.centerY;
  const int r = scene.halfWidth;
  const int margin = std::max(2, r / 6);  // floor between the arm ends and the frame edge
  fillRect(scene, rgb, stride, 0, 0, scene.width, scene.height, scene.floorLevel);
  // Open arms across, closed arms down; the centre square is where they cross.
  fillRect(scene, rgb, stride, margin, cy - r, scene.width - margin, cy + r, scene.armLevel);
  fillRect(scene, rgb, stride, cx - r, margin, cx + r, scene.height - margin, scene.armLevel);
  // Walls along both sides of each closed arm.
  const int wall = std::max(1, r / 12);
  for (const int x : {cx - r, cx + r - wall}) {
    fillRect(scene, rgb, stride, x, margin, x + wall, cy - r, scene.wallLevel);
    fillRect(scene, rgb, stride, x, cy + r, x + wall, scene.height - margin, scene.wallLevel);
  }
}

void paintTimeStamp(const MazeScene& scene, int frame, uint8_t* rgb, int stride) {
  if (!scene.timeStamp) return;
  // Twelve blocks of the frame number's bits, bright on black.
  fillRect(scene, rgb, stride, 344, 4, 482, 22, 0);
  for (int bit = 0; bit < 12; ++bit) {
    if (((frame >> bit) & 1) == 0) continue;
    const int x = 346 + 11 * (11 - bit);
    fillRect(scene, rgb, stride, x, 6, x + 9, 20, 240);
  }
}

void paintAnimal(const MazeScene& scene, const AnimalPlace& place, uint8_t* rgb, int stride) {
  if (!place.visible) return;
  const bool alongY = std::abs(place.y - scene.centerY) > std::abs(place.x - scene.centerX);
  const double a = alongY ? scene.animalWidth : scene.animalLength;   // half-size along x
  const double b = alongY ? scene.animalLength : scene.animalWidth;   // half-size along y
  const int x0 = std::max(0, static_cast<int>(std::floor(place.x - a)));
  const int x1 = std::min(scene.width - 1, static_cast<int>(std::ceil(place.x + a)));
  const int y0 = std::max(0, static_cast<int>(std::floor(place.y - b)));
  const int y1 = std::min(scene.height - 1, static_cast<int>(std::ceil(place.y + b)));
  for (int y = y0; y <= y1; ++y) {
    uint8_t* row = rgb + static_cast<std::ptrdiff_t>(y) * stride;
    for (int x = x0; x <= x1; ++x) {
      const double dx = (x + 0.5 - place.x) / a;
      const double dy = (y + 0.5 - place.y) / b;
      if (dx * dx + dy * dy <= 1.0) std::fill(row + 3 * x, row + 3 * x + 3, scene.animalLevel);
    }
  }
}

void invertPicture(const MazeScene& scene, uint8_t* rgb, int stride) {
  for (int y = 0; y < scene.height; ++y) {
    uint8_t* row = rgb + static_cast<std::ptrdiff_t>(y) * stride;
    for (int i = 0; i < 3 * scene.width; ++i) row[i] = static_cast<uint8_t>(255 - row[i]);
  }
}

std::vector<PathPoint> samplePath(const MazeScene& scene) {
  const double cx = scene.centerX;
  const double cy = scene.centerY;
  const double upper = cy - 3.6 * scene.halfWidth;
  const double nearUpper = cy - 2.5 * scene.halfWidth;
  const double lower = cy + 4.0 * scene.halfWidth;
  const double right = cx + 4.5 * scene.halfWidth;
  const double nearRight = cx + 2.8 * scene.halfWidth;
  const double left = cx - 4.8 * scene.halfWidth;
  // time, visible, x, y, glide to the next point
  return {
      {0.0, false, cx, cy, false},  // the empty maze, for the background
      {2.5, true, cx, cy, false},   // put into the centre
      {5.0, true, cx, cy, true},    {7.0, true, cx, upper, false},  // closed arm
      {15.0, true, cx, upper, true}, {17.0, true, cx, cy, false},
      {19.0, true, cx, cy, true},   {21.5, true, right, cy, false},  // open arm
      {27.0, true, right, cy, true}, {29.5, true, cx, cy, false},
      {31.0, true, cx, cy, true},   {33.5, true, cx, lower, false},  // closed arm
      {42.0, true, cx, lower, true}, {44.5, true, cx, cy, true},
      {46.5, true, cx, nearUpper, false},  // back to a closed arm, briefly
      {50.0, true, cx, nearUpper, true}, {52.0, true, cx, cy, true},
      {55.0, true, left, cy, false},  // open arm
      {61.0, true, left, cy, true}, {64.0, true, cx, cy, true},
      {66.0, true, nearRight, cy, false},  // peeks into the other open arm
      {70.0, true, nearRight, cy, true}, {72.0, true, cx, cy, false},
      {74.0, true, cx, cy, true},   {76.0, true, cx, upper, false},  // ends in a closed arm
  };
}

MazeScene smallMazeScene() {
  MazeScene scene;
  scene.width = 160;
  scene.height = 120;
  scene.centerX = 80;
  scene.centerY = 60;
  scene.halfWidth = 12;
  scene.animalLength = 10;
  scene.animalWidth = 6;
  scene.timeStamp = false;
  return scene;
}

bool writeSceneVideo(const std::string& path, FixtureCodec codec, const MazeScene& scene,
                     const std::vector<PathPoint>& script, int fps, int frameCount, bool inverted,
                     std::string* error) {
  FixtureVideoSpec spec;
  spec.codec = codec;
  spec.width = scene.width;
  spec.height = scene.height;
  spec.fpsNum = fps;
  spec.frameCount = frameCount;
  return writeFixtureVideo(
      path, spec,
      [&](int frame, uint8_t* rgb, int stride) {
        paintMaze(scene, rgb, stride);
        paintTimeStamp(scene, frame, rgb, stride);
        paintAnimal(scene, placeAt(script, static_cast<double>(frame) / fps), rgb, stride);
        if (inverted) invertPicture(scene, rgb, stride);
      },
      error);
}

bool writeSampleSession(const std::string& path, FixtureCodec codec, int fps, double seconds,
                        std::string* error) {
  const MazeScene scene;
  const std::vector<PathPoint> script = samplePath(scene);
  FixtureVideoSpec spec;
  spec.codec = codec;
  spec.width = scene.width;
  spec.height = scene.height;
  spec.fpsNum = fps;
  spec.fpsDen = 1;
  spec.frameCount = static_cast<int>(std::lround(seconds * fps));
  const std::string partial = path + ".part";
  const bool written = writeFixtureVideo(
      partial, spec,
      [&](int frame, uint8_t* rgb, int stride) {
        const double t = std::fmod(static_cast<double>(frame) / fps, kSampleSeconds);
        paintMaze(scene, rgb, stride);
        paintTimeStamp(scene, frame, rgb, stride);
        paintAnimal(scene, placeAt(script, t), rgb, stride);
      },
      error);
  if (!written || std::rename(partial.c_str(), path.c_str()) != 0) {
    if (written && error != nullptr) *error = "cannot rename " + partial + " to " + path;
    std::remove(partial.c_str());
    return false;
  }
  return true;
}
