#pragma once

// The five regions of the plus maze. Upper and lower are the closed arms,
// right and left the open arms.
enum : int {
  REGION_UPPER = 0,
  REGION_RIGHT = 1,
  REGION_LOWER = 2,
  REGION_LEFT = 3,
  REGION_CENTER = 4,
};

constexpr int kRegionCount = 5;

inline bool isClosedArm(int region) { return region == REGION_UPPER || region == REGION_LOWER; }
inline bool isOpenArm(int region) { return region == REGION_RIGHT || region == REGION_LEFT; }
