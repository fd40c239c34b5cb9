#pragma once
// A synthetic plus-maze picture, seen from above: a floor, a plus-shaped maze
// (closed arms up and down with walls along their sides, open arms left and
// right), an optional time stamp in the corner where the desktop program's
// default exclude box lies, and an animal as an ellipse that lies along the
// arm it is in. Scripted paths of the animal give videos whose scores are
// known; the bundled sample is one of them.
#include <cstdint>
#include <string>
#include <vector>

#include "tools/fixture_video.h"

struct MazeScene {
  int width = 640;      // frame size, pixels
  int height = 480;
  int centerX = 321;    // maze centre, as the boundary X0 and Y0 mark it
  int centerY = 241;
  int halfWidth = 36;   // half-width of the arms, as the boundary R marks it
  int animalLength = 32;  // half-length of the animal's ellipse, pixels
  int animalWidth = 17;   // half-width of the animal's ellipse, pixels
  uint8_t floorLevel = 25;    // gray level of the floor
  uint8_t armLevel = 85;      // gray level of the maze's arms and centre
  uint8_t wallLevel = 150;    // gray level of the closed arms' walls
  uint8_t animalLevel = 235;  // gray level of the animal
  bool timeStamp = true;      // a changing stamp at x 344..482, y 4..22
};

// Where the animal is from a time on: its centre, or hidden.
struct PathPoint {
  double time;     // seconds from which this place holds (until the next point)
  bool visible;    // false: no animal in the picture
  double x, y;     // centre of the animal, pixels
  bool glide;      // true: move in a straight line to the next point's place
};

// The animal's place at time t on path (points in order of time). Before the
// first point, or when the point in force is hidden, visible is false.
struct AnimalPlace {
  bool visible = false;
  double x = 0, y = 0;
};
AnimalPlace placeAt(const std::vector<PathPoint>& path, double t);

// Paints the empty maze into a top-down RGB24 picture (rows stride bytes apart).
void paintMaze(const MazeScene& scene, uint8_t* rgb, int stride);

// Paints the time stamp for frame (its blocks change with the frame number).
void paintTimeStamp(const MazeScene& scene, int frame, uint8_t* rgb, int stride);

// Paints the animal centred at place; it lies along y when it is further
// from the centre vertically than horizontally, else along x.
void paintAnimal(const MazeScene& scene, const AnimalPlace& place, uint8_t* rgb, int stride);

// Turns every level of the picture into 255 - level (a dark animal on a light
// maze from a bright one on a dark maze).
void invertPicture(const MazeScene& scene, uint8_t* rgb, int stride);

// A small maze for fast tests: 160 x 120, centre (80, 60), arms 24 pixels
// wide, no time stamp; the animal's ellipse covers about 190 pixels.
MazeScene smallMazeScene();

// Writes frameCount frames of scene with the animal following script (frame
// n shown from n / fps seconds) with codec; inverted: a dark animal on a
// light maze. False with a message in *error on failure.
bool writeSceneVideo(const std::string& path, FixtureCodec codec, const MazeScene& scene,
                     const std::vector<PathPoint>& script, int fps, int frameCount, bool inverted,
                     std::string* error);

// The script of the bundled sample: an empty maze for the first 2.5 s, then
// an animal that visits every arm and the centre, for about 80 s.
std::vector<PathPoint> samplePath(const MazeScene& scene);
constexpr double kSampleSeconds = 80.0;
constexpr int kSampleFramesPerSecond = 15;

// Writes a session of the sample's scene and script (the script repeated
// after kSampleSeconds) lasting seconds, at fps, with codec. The video is
// written under path + ".part" and renamed to path when complete. False with
// a message in *error on failure.
bool writeSampleSession(const std::string& path, FixtureCodec codec, int fps, double seconds,
                        std::string* error);
