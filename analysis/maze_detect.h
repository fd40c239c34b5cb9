#pragma once
// Finds the plus maze in a top-down picture of it (the background frame, best
// taken before the animal is put in): the centre X0, Y0 and the arm
// half-width R that the boundary controls hold, so the region rectangles fit
// the maze without dragging the three valuators.
//
// Method. The gray level of each pixel is (red + green + blue) / 3, as in the
// pixel pipeline. Otsu's method splits the gray levels, averaged over 3 x 3
// pixels to calm the noise, into two classes; the maze is told from the
// floor at the level midway between the two class means (for a clean
// two-level picture, midway between the two levels), and a 3 x 3 majority
// vote clears isolated noise pixels from that mask without moving a straight
// edge. Either class may be the maze (a bright maze on a dark floor or a dark
// maze on a light floor): both are tried, and only a class that forms a plus
// shape is taken.
//
// The closed arms make one dominant band in the mask's column profile (maze
// pixels per column), the open arms one in its row profile; each band is
// found where its profile stands above half the way from the profile's
// median to its peak, and it must be the only such band. Each band is then
// measured across its arms, line by line away from the centre square: the
// run of maze pixels in each line gives the arm's edges there, a straight
// line fitted through the runs' centres follows a slightly rotated arm, and
// the mean of the middle half of the runs' lengths, corrected for that slope,
// is the arm's width. X0, Y0 is where the two centre lines cross.
//
// How X0, Y0 and R relate to the arms: the region rectangles take the closed
// arms as x in [X0 - R, X0 + R) and the open arms as y in [Y0 - R, Y0 + R).
// A band whose pixels span [s, e) has centre (s + e) / 2 and width e - s, so
// X0 (Y0) is the closed (open) band's centre and R half the width of the
// narrower band, each rounded to the nearest whole pixel (halves up: an odd
// width gives a boundary one pixel wider than the arm, never narrower). A
// maze drawn with arms spanning exactly [X0 - R, X0 + R) and [Y0 - R, Y0 + R)
// gives back exactly X0, Y0 and R.
//
// Nothing is guessed: the result is "not found", with a reason, for a missing
// picture, one too large, a uniform one, when a band is missing or is not the only
// one, when the arms are too short to measure, when the two widths disagree
// by more than the tolerance, when an arm is tilted too far, when the arms
// reach the frame's edge sideways (the maze not wholly in view), or when too
// much of the area outside the plus has the maze's level.

#include <cstdint>
#include <string>

struct MazeGeometry {
  int x0 = 0;  // centre x: the closed arms span x in [x0 - r, x0 + r)
  int y0 = 0;  // centre y: the open arms span y in [y0 - r, y0 + r)
  int r = 0;   // half-width of the arms
};

// One band of arms as measured: the closed arms' band runs down the picture
// (its edges are x values), the open arms' band across it (edges are y).
struct MazeBand {
  double start = 0;        // first edge of the band where the two bands cross, pixels
  double end = 0;          // far edge (end - start = width)
  double width = 0;        // width across the arms, pixels
  // Closed arms: positive when the lower arm leans right; open arms: positive
  // when the right arm leans down.
  double tiltDegrees = 0;
  int lines = 0;           // lines across the arms the width was measured on
};

struct MazeDetectOptions {
  // The two bands' widths may differ by this share of the narrower one, or by
  // minWidthTolerance pixels when that is more, before the frame is refused.
  double widthTolerance = 0.25;
  double minWidthTolerance = 3;
  double minContrast = 16;       // least difference of the two class means, gray levels
  int minArmWidth = 4;           // a band narrower than this (pixels) is noise
  int minLines = 6;              // least lines across the arms to measure a band on
  double maxTiltDegrees = 8;     // arms tilted further from the frame's axes are refused
  double maxOutsideShare = 0.2;  // most of the area outside the plus that may have the maze's level
  int64_t maxPixels = int64_t{64} * 1024 * 1024;  // larger frames are refused, nothing allocated
};

struct MazeDetection {
  bool found = false;
  MazeGeometry geometry;      // the boundary, when found
  std::string reason;         // why nothing was found; empty when found
  double threshold = 0;       // gray level between floor and maze (0 before the split)
  bool mazeIsBright = true;   // the maze is the class above the threshold
  MazeBand closedArms;        // measured when the search got that far
  MazeBand openArms;
  double outsideShare = 0;    // share of the area outside the plus that has the maze's level
};

// rgb: width x height pixels of three bytes (red, green, blue), top row
// first, rows of exactly 3 x width bytes. Any width and height are safe;
// the buffers made come to about three bytes per pixel, freed on return.
MazeDetection detectMaze(const uint8_t* rgb, int width, int height,
                         const MazeDetectOptions& options = {});

// The same on gray levels of one byte per pixel (the background buffer).
MazeDetection detectMazeInGray(const uint8_t* gray, int width, int height,
                               const MazeDetectOptions& options = {});
