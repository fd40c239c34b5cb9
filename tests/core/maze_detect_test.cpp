#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "analysis/maze_detect.h"
#include "tools/maze_scene.h"

namespace {

constexpr int kToEdge = 100000;  // an arm length that runs off the frame

// A plus maze drawn from known values: arms spanning x in [x0 - rClosed,
// x0 + rClosed) and y in [y0 - rOpen, y0 + rOpen), each arm reaching its
// length from the centre, the whole turned by degrees (clockwise on screen)
// about the centre, with noise of the given standard deviation.
struct Drawing {
  const char* name;
  int width, height;
  int x0, y0, rClosed, rOpen;
  int up, down, left, right;  // arm lengths from the centre, pixels
  double noise;               // standard deviation, gray levels
  double degrees;
  uint8_t floorLevel = 40;
  uint8_t armLevel = 170;
  bool closedArms = true;
  bool openArms = true;
};

std::vector<uint8_t> draw(const Drawing& d, uint32_t seed) {
  std::vector<uint8_t> rgb(static_cast<size_t>(d.width) * static_cast<size_t>(d.height) * 3);
  std::mt19937 random(seed);
  auto gaussian = [&random] {  // Box-Muller, the same on every platform
    const double u1 = (static_cast<double>(random()) + 0.5) / 4294967296.0;
    const double u2 = (static_cast<double>(random()) + 0.5) / 4294967296.0;
    return std::sqrt(-2 * std::log(u1)) * std::cos(6.283185307179586 * u2);
  };
  const double radians = d.degrees * 3.141592653589793 / 180;
  const double c = std::cos(radians);
  const double s = std::sin(radians);
  size_t i = 0;
  for (int y = 0; y < d.height; ++y) {
    for (int x = 0; x < d.width; ++x, i += 3) {
      const double dx = x + 0.5 - d.x0;
      const double dy = y + 0.5 - d.y0;
      const double u = c * dx + s * dy;  // along the open arms, before the turn
      const double v = -s * dx + c * dy; // along the closed arms
      const bool closed = d.closedArms && u >= -d.rClosed && u < d.rClosed && v >= -d.up &&
                          v < d.down;
      const bool open = d.openArms && v >= -d.rOpen && v < d.rOpen && u >= -d.left &&
                        u < d.right;
      const bool maze = closed || open;
      const double level = (maze ? d.armLevel : d.floorLevel) + d.noise * gaussian();
      // A tint that leaves the gray level (r + g + b) / 3 as it is.
      const int tint[3] = {maze ? 6 : 0, maze ? -6 : 4, maze ? 0 : -4};
      for (int k = 0; k < 3; ++k) {
        const long value = std::lround(level) + tint[k];
        rgb[i + static_cast<size_t>(k)] = static_cast<uint8_t>(std::clamp(value, 0L, 255L));
      }
    }
  }
  return rgb;
}

void invert(std::vector<uint8_t>& rgb) {
  for (uint8_t& b : rgb) b = static_cast<uint8_t>(255 - b);
}

std::string describe(const MazeDetection& found) {
  char text[200];
  std::snprintf(text, sizeof text, "found x0 %d y0 %d r %d; closed %.2f..%.2f open %.2f..%.2f",
                found.geometry.x0, found.geometry.y0, found.geometry.r, found.closedArms.start,
                found.closedArms.end, found.openArms.start, found.openArms.end);
  return found.reason + " " + text;
}

// name, width, height, x0, y0, rClosed, rOpen, up, down, left, right, noise, degrees
const Drawing kMazes[] = {
    {"centred", 640, 480, 321, 241, 36, 36, 230, 230, 310, 310, 0, 0},
    {"small frame", 320, 240, 160, 120, 14, 14, 110, 110, 150, 150, 0, 0},
    {"wide frame", 1280, 720, 640, 360, 50, 50, 340, 340, 500, 500, 0, 0},
    {"off centre, unequal arms", 640, 480, 250, 300, 30, 30, 250, 150, 200, 350, 0, 0},
    {"arms cut by the frame", 640, 480, 200, 150, 25, 25, kToEdge, kToEdge, kToEdge, kToEdge, 0, 0},
    {"near a corner", 320, 240, 70, 60, 12, 12, kToEdge, kToEdge, kToEdge, kToEdge, 0, 0},
    {"narrow arms", 640, 480, 330, 230, 6, 6, 200, 220, 280, 290, 0, 0},
    {"wide arms", 640, 480, 320, 240, 70, 70, 235, 235, 315, 315, 0, 0},
    {"odd centre, short arms", 1280, 720, 517, 401, 23, 23, 120, 180, 150, 260, 0, 0},
    {"noise", 640, 480, 321, 241, 36, 36, 230, 230, 310, 310, 15, 0},
    {"heavy noise", 640, 480, 300, 260, 30, 30, 220, 200, 280, 320, 35, 0},
    {"heavy noise, small frame", 320, 240, 150, 130, 15, 15, 100, 100, 140, 160, 35, 0},
    {"turned +3", 640, 480, 321, 241, 36, 36, 220, 220, 300, 300, 0, 3},
    {"turned -3", 640, 480, 321, 241, 36, 36, 220, 220, 300, 300, 0, -3},
    {"turned +3, noise", 1280, 720, 600, 380, 45, 45, 330, 320, 560, 620, 20, 3},
    {"turned -3, noise, off centre", 640, 480, 260, 200, 28, 28, 190, 270, 250, 400, 20, -3},
    {"turned +3, thin arms to the edges", 1280, 720, 640, 360, 10, 10, kToEdge, kToEdge, kToEdge,
     kToEdge, 10, 3},
    {"turned -2, small frame, noise", 320, 240, 170, 110, 16, 16, 105, 120, 160, 140, 20, -2},
    {"turned +3, heavy noise, cut", 640, 480, 280, 220, 32, 32, kToEdge, kToEdge, kToEdge, kToEdge,
     30, 3},
    {"slightly different widths", 640, 480, 321, 241, 34, 38, 230, 230, 310, 310, 10, 0},
};

TEST(MazeDetectTest, FindsDrawnMazesInBothPolarities) {
  double worstX = 0, worstY = 0, worstR = 0;       // rounded boundary against the drawing
  double worstCentre = 0, worstWidth = 0;          // the bands before rounding
  uint32_t seed = 1;
  for (const Drawing& d : kMazes) {
    for (const bool darkMaze : {false, true}) {
      SCOPED_TRACE(std::string(d.name) + (darkMaze ? ", dark maze on a light floor" : ""));
      std::vector<uint8_t> rgb = draw(d, seed++);
      if (darkMaze) invert(rgb);
      const MazeDetection found = detectMaze(rgb.data(), d.width, d.height);
      ASSERT_TRUE(found.found) << describe(found);
      EXPECT_EQ(found.mazeIsBright, !darkMaze);
      EXPECT_TRUE(found.reason.empty());
      const int r = std::min(d.rClosed, d.rOpen);
      EXPECT_NEAR(found.geometry.x0, d.x0, 2) << describe(found);
      EXPECT_NEAR(found.geometry.y0, d.y0, 2) << describe(found);
      EXPECT_NEAR(found.geometry.r, r, 2) << describe(found);
      if (d.noise == 0 && d.degrees == 0) {
        EXPECT_EQ(found.geometry.x0, d.x0);
        EXPECT_EQ(found.geometry.y0, d.y0);
        EXPECT_EQ(found.geometry.r, r);
        EXPECT_EQ(found.closedArms.start, d.x0 - d.rClosed);
        EXPECT_EQ(found.closedArms.end, d.x0 + d.rClosed);
        EXPECT_EQ(found.openArms.start, d.y0 - d.rOpen);
        EXPECT_EQ(found.openArms.end, d.y0 + d.rOpen);
      }
      // Turned clockwise, the right arm leans down and the lower arm left.
      EXPECT_NEAR(found.openArms.tiltDegrees, d.degrees, 0.5);
      EXPECT_NEAR(found.closedArms.tiltDegrees, -d.degrees, 0.5);
      worstX = std::max(worstX, std::abs(found.geometry.x0 - d.x0 + 0.0));
      worstY = std::max(worstY, std::abs(found.geometry.y0 - d.y0 + 0.0));
      worstR = std::max(worstR, std::abs(found.geometry.r - r + 0.0));
      worstCentre = std::max({worstCentre,
                              std::abs((found.closedArms.start + found.closedArms.end) / 2 - d.x0),
                              std::abs((found.openArms.start + found.openArms.end) / 2 - d.y0)});
      worstWidth = std::max({worstWidth, std::abs(found.closedArms.width - 2 * d.rClosed),
                             std::abs(found.openArms.width - 2 * d.rOpen)});
    }
  }
  std::printf("worst errors: x0 %.0f, y0 %.0f, r %.0f px; band centres %.2f px, widths %.2f px\n",
              worstX, worstY, worstR, worstCentre, worstWidth);
}

TEST(MazeDetectTest, FindsTheSampleScenesMazeExactly) {
  // The program's own synthetic scene: walls along the closed arms, a time
  // stamp over the upper arm, and its inverse.
  MazeScene scene;
  std::vector<uint8_t> rgb(static_cast<size_t>(scene.width * scene.height * 3));
  paintMaze(scene, rgb.data(), 3 * scene.width);
  paintTimeStamp(scene, 0xfff, rgb.data(), 3 * scene.width);
  for (const bool inverted : {false, true}) {
    if (inverted) invertPicture(scene, rgb.data(), 3 * scene.width);
    const MazeDetection found = detectMaze(rgb.data(), scene.width, scene.height);
    ASSERT_TRUE(found.found) << describe(found);
    EXPECT_EQ(found.mazeIsBright, !inverted);
    EXPECT_EQ(found.geometry.x0, scene.centerX);
    EXPECT_EQ(found.geometry.y0, scene.centerY);
    EXPECT_EQ(found.geometry.r, scene.halfWidth);
  }
}

TEST(MazeDetectTest, GrayPlaneGivesTheSameAnswer) {
  const Drawing d{"gray", 320, 240, 161, 119, 15, 15, 100, 100, 140, 140, 10, 2};
  const std::vector<uint8_t> rgb = draw(d, 7);
  std::vector<uint8_t> gray(rgb.size() / 3);
  for (size_t i = 0; i < gray.size(); ++i)
    gray[i] = static_cast<uint8_t>((rgb[3 * i] + rgb[3 * i + 1] + rgb[3 * i + 2]) / 3);
  const MazeDetection fromRgb = detectMaze(rgb.data(), d.width, d.height);
  const MazeDetection fromGray = detectMazeInGray(gray.data(), d.width, d.height);
  ASSERT_TRUE(fromRgb.found) << describe(fromRgb);
  EXPECT_EQ(fromGray.found, fromRgb.found);
  EXPECT_EQ(fromGray.geometry.x0, fromRgb.geometry.x0);
  EXPECT_EQ(fromGray.geometry.y0, fromRgb.geometry.y0);
  EXPECT_EQ(fromGray.geometry.r, fromRgb.geometry.r);
}

TEST(MazeDetectTest, OddBandWidthRoundsToTheCoveringBoundary) {
  // Closed arms x 300..340 (41 px), open arms y 200..240 (41 px): centre
  // 320.5 and 220.5, half-width 20.5, rounded up to a boundary that covers
  // the arms.
  std::vector<uint8_t> rgb(640 * 480 * 3, 30);
  for (int y = 0; y < 480; ++y)
    for (int x = 0; x < 640; ++x) {
      const bool closed = x >= 300 && x <= 340 && y >= 20 && y < 460;
      const bool open = y >= 200 && y <= 240 && x >= 20 && x < 620;
      if (closed || open) std::fill_n(&rgb[(static_cast<size_t>(y) * 640 + x) * 3], 3, 200);
    }
  const MazeDetection found = detectMaze(rgb.data(), 640, 480);
  ASSERT_TRUE(found.found) << describe(found);
  EXPECT_EQ(found.closedArms.width, 41);
  EXPECT_EQ(found.geometry.x0, 321);
  EXPECT_EQ(found.geometry.y0, 221);
  EXPECT_EQ(found.geometry.r, 21);
}

struct Refusal {
  const char* name;
  Drawing drawing;
  const char* reasonHas;  // a part of the reason
};

TEST(MazeDetectTest, RefusesPicturesWithoutAPlusShape) {
  // name, width, height, x0, y0, rClosed, rOpen, up, down, left, right, noise, degrees,
  // floor, arm, closed arms drawn, open arms drawn
  const Refusal cases[] = {
      {"uniform", {"", 640, 480, 320, 240, 30, 30, 200, 200, 300, 300, 0, 0, 128, 128}, "uniform"},
      {"uniform small", {"", 7, 5, 3, 2, 1, 1, 2, 2, 3, 3, 0, 0, 10, 10}, "uniform"},
      {"nearly uniform", {"", 320, 240, 160, 120, 20, 20, 100, 100, 150, 150, 2, 0, 128, 133},
       "uniform"},
      {"faint noise only", {"", 640, 480, 320, 240, 30, 30, 200, 200, 300, 300, 6, 0, 128, 128},
       "uniform"},
      {"strong noise only", {"", 640, 480, 320, 240, 30, 30, 200, 200, 300, 300, 45, 0, 128, 128},
       "band"},
      {"closed arms only",
       {"", 640, 480, 320, 240, 30, 30, 220, 220, 300, 300, 10, 0, 40, 170, true, false},
       "no band of open arms"},
      {"open arms only",
       {"", 640, 480, 320, 240, 30, 30, 220, 220, 300, 300, 10, 0, 40, 170, false, true},
       "no band of closed arms"},
      {"very different widths", {"", 640, 480, 320, 240, 12, 50, 220, 220, 300, 300, 5, 0},
       "widths disagree"},
      {"a square, not a plus", {"", 640, 480, 320, 240, 60, 60, 60, 60, 60, 60, 5, 0},
       "too short"},
      {"closed arms running off the side",
       {"", 640, 480, 20, 240, 36, 36, 230, 230, 310, 310, 0, 0}, "frame's edge"},
      {"turned too far", {"", 640, 480, 320, 240, 30, 30, 220, 220, 300, 300, 0, 12}, "tilted"},
  };
  uint32_t seed = 100;
  for (const Refusal& c : cases) {
    for (const bool darkMaze : {false, true}) {
      SCOPED_TRACE(std::string(c.name) + (darkMaze ? ", inverted" : ""));
      std::vector<uint8_t> rgb = draw(c.drawing, seed++);
      if (darkMaze) invert(rgb);
      const MazeDetection found = detectMaze(rgb.data(), c.drawing.width, c.drawing.height);
      EXPECT_FALSE(found.found) << describe(found);
      EXPECT_NE(found.reason.find(c.reasonHas), std::string::npos) << found.reason;
    }
  }
}

TEST(MazeDetectTest, RefusesAPlusOnAFloorStrewnWithTheMazesLevel) {
  // Both bands stand out, but a third of the floor has the maze's level.
  const Drawing d{"strewn", 640, 480, 320, 240, 30, 30, 220, 220, 300, 300, 0, 0};
  std::vector<uint8_t> rgb = draw(d, 1);
  for (int y = 0; y < d.height; ++y)
    for (int x = 0; x < d.width; ++x) {
      const bool nearArms =
          std::abs(x - d.x0) < d.rClosed + 20 || std::abs(y - d.y0) < d.rOpen + 20;
      if (!nearArms && x % 10 < 6 && y % 10 < 6)
        std::fill_n(&rgb[static_cast<size_t>(y * d.width + x) * 3], 3, d.armLevel);
    }
  const MazeDetection found = detectMaze(rgb.data(), d.width, d.height);
  EXPECT_FALSE(found.found) << describe(found);
  EXPECT_NE(found.reason.find("no plus shape"), std::string::npos) << found.reason;
  EXPECT_GT(found.outsideShare, 0.2);
}

TEST(MazeDetectTest, TinyOddAndRefusedFramesAreSafe) {
  const std::vector<uint8_t> pixels(3 * 64 * 64, 0);
  EXPECT_FALSE(detectMaze(nullptr, 64, 64).found);
  EXPECT_FALSE(detectMaze(pixels.data(), 0, 64).found);
  EXPECT_FALSE(detectMaze(pixels.data(), 64, -1).found);
  EXPECT_FALSE(detectMazeInGray(nullptr, 1, 1).found);
  // Refused by size before a byte is read or a buffer made.
  const MazeDetection huge = detectMaze(pixels.data(), 1 << 30, 1 << 30);
  EXPECT_FALSE(huge.found);
  EXPECT_NE(huge.reason.find("too large"), std::string::npos) << huge.reason;
  MazeDetectOptions small;
  small.maxPixels = 1000;
  EXPECT_NE(detectMaze(pixels.data(), 64, 64, small).reason.find("too large"), std::string::npos);
  // Every small size, with a pattern of two levels: not found, no fault.
  std::vector<uint8_t> pattern(pixels.size());
  for (size_t i = 0; i < pattern.size(); ++i) pattern[i] = (i / 3) % 5 < 2 ? 220 : 20;
  for (int w = 1; w <= 9; ++w)
    for (int h = 1; h <= 9; ++h) {
      const MazeDetection found = detectMaze(pattern.data(), w, h);
      EXPECT_FALSE(found.found) << w << " x " << h;
      EXPECT_FALSE(found.reason.empty());
    }
}

}  // namespace
